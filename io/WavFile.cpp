// WAV files: chunks walked wherever they are (64-bit sizes from "ds64" in RF64 and
// BW64), the sample format checked, the samples decoded from the file on demand.

#include "io/WavFile.h"

#include "io/FileError.h"
#include "io/FileSamples.h"
#include "io/MemoryCheck.h"
#include "io/SampleFormat.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <vector>

namespace {

// Audio format codes of the "fmt " chunk. WAVE_FORMAT_EXTENSIBLE carries the
// code in the first two bytes of a sub-format GUID that ends in subFormatTail.
constexpr uint16_t formatPcm = 1;
constexpr uint16_t formatFloat = 3;
constexpr uint16_t formatExtensible = 0xFFFE;
constexpr unsigned char subFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// A 32-bit chunk size of this value means "see ds64" in RF64 and BW64, and "runs to
// the end of the file" from writers that cannot seek back.
constexpr uint32_t sizeInDs64 = 0xFFFFFFFF;
constexpr std::size_t headerBytes = 44;
constexpr std::size_t fmtBytesRead = 40;
constexpr std::size_t ds64FixedBytes = 28;
constexpr std::size_t ds64EntryBytes = 12;
constexpr std::size_t ds64MaxEntries = 64;
// "auxi": a start SYSTEMTIME, a stop SYSTEMTIME, then the centre frequency in Hz.
constexpr std::size_t auxiFrequencyOffset = 32;
constexpr std::size_t auxiBytesRead = auxiFrequencyOffset + 4;
// Chunks looked at after the samples, for an "auxi" some writers put last.
constexpr int chunksAfterData = 16;

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// A refusal that names the file: "<"path"> <what>".
[[noreturn]] void refuse(const InputFile& file, const std::string& what)
{
    throw FileError(quotedPath(file.path()) + " " + what);
}

// A chunk's four-character id as text, in quotes.
std::string chunkName(const char* id)
{
    std::string name(6, '"');
    std::memcpy(name.data() + 1, id, 4);
    return name;
}

// What the first bytes of a file that is no WAV file are: its leading printable
// characters ("ID3"), or the bytes in hexadecimal when there are none.
std::string leadingBytes(const unsigned char* bytes, std::size_t size)
{
    std::string text;
    for (std::size_t k = 0; k < size && k < 4 && bytes[k] >= 0x20 && bytes[k] < 0x7F; ++k)
        text += static_cast<char>(bytes[k]);
    if (!text.empty())
        return "\"" + text + "\"";
    std::string hex = "the bytes";
    for (std::size_t k = 0; k < size && k < 4; ++k) {
        char digits[4];
        std::snprintf(digits, sizeof(digits), " %02X", static_cast<unsigned>(bytes[k]));
        hex += digits;
    }
    return hex;
}

uint16_t littleU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t littleU32(const unsigned char* p)
{
    return static_cast<uint32_t>(littleU16(p)) | (static_cast<uint32_t>(littleU16(p + 2)) << 16);
}

uint64_t littleU64(const unsigned char* p)
{
    return static_cast<uint64_t>(littleU32(p)) | (static_cast<uint64_t>(littleU32(p + 4)) << 32);
}

bool readFully(const InputFile& file, uint64_t offset, unsigned char* out, std::size_t size)
{
    return file.readAt(offset, out, size) == size;
}

// Signed 24-bit little-endian values, which no datatype string names.
inline double pcm24(const unsigned char* p)
{
    const uint32_t raw = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
                         | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<double>(static_cast<int32_t>(raw << 8) >> 8);
}

void decodePcm24(const unsigned char* bytes, std::size_t count, double* iOut, double* qOut)
{
    for (std::size_t k = 0; k < count; ++k) {
        iOut[k] = pcm24(bytes + 6 * k);
        qOut[k] = pcm24(bytes + 6 * k + 3);
    }
}

struct ChunkSize
{
    uint64_t bytes = 0;
    bool known = true;
};

struct WavLayout
{
    bool sixtyFour = false; // RF64 or BW64
    bool haveFormat = false;
    uint16_t audioFormat = 0;
    // The audio format code, or for extensible files that of the sub-format
    // (0 when the GUID is not of the standard family).
    uint16_t formatCode = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    bool haveDs64 = false;
    uint64_t ds64DataSize = 0;
    std::vector<std::pair<std::string, uint64_t>> ds64Sizes;
    bool haveData = false;
    uint64_t dataOffset = 0;
    ChunkSize dataSize;
    bool haveAuxi = false;
    RecordingInfo info;
};

// The size of a chunk whose header says size32, with the 64-bit sizes of ds64.
ChunkSize chunkSize(const WavLayout& layout, const char* id, uint32_t size32)
{
    if (size32 != sizeInDs64)
        return {size32, true};
    if (layout.sixtyFour && layout.haveDs64) {
        if (std::memcmp(id, "data", 4) == 0)
            return {layout.ds64DataSize, true};
        for (const auto& [entryId, size] : layout.ds64Sizes)
            if (std::memcmp(entryId.data(), id, 4) == 0)
                return {size, true};
    }
    return {size32, false};
}

void readFormat(const InputFile& file, uint64_t body, uint64_t size, WavLayout& layout)
{
    if (size < 16)
        refuse(file, "is damaged: its \"fmt \" chunk holds " + std::to_string(size)
                         + " bytes, fewer than the 16 of its fields");
    unsigned char fmt[fmtBytesRead] = {};
    const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(size, sizeof(fmt)));
    if (!readFully(file, body, fmt, wanted))
        refuse(file, "is damaged: it ends inside its \"fmt \" chunk");
    layout.haveFormat = true;
    layout.audioFormat = littleU16(fmt);
    layout.channels = littleU16(fmt + 2);
    layout.sampleRate = littleU32(fmt + 4);
    layout.bitsPerSample = littleU16(fmt + 14);
    layout.formatCode = layout.audioFormat;
    if (layout.audioFormat == formatExtensible) {
        const bool standard =
            wanted >= fmtBytesRead
            && std::memcmp(fmt + 26, subFormatTail, sizeof(subFormatTail)) == 0;
        layout.formatCode = standard ? littleU16(fmt + 24) : 0;
    }
}

void readDs64(const InputFile& file, uint64_t body, uint64_t size, WavLayout& layout)
{
    unsigned char fixed[ds64FixedBytes];
    if (size < sizeof(fixed) || !readFully(file, body, fixed, sizeof(fixed)))
        refuse(file, "is damaged: its \"ds64\" chunk is too short");
    layout.haveDs64 = true;
    layout.ds64DataSize = littleU64(fixed + 8);
    const uint64_t entries = std::min<uint64_t>(
        {littleU32(fixed + 24), (size - sizeof(fixed)) / ds64EntryBytes, ds64MaxEntries});
    for (uint64_t k = 0; k < entries; ++k) {
        unsigned char entry[ds64EntryBytes];
        if (!readFully(file, body + sizeof(fixed) + k * ds64EntryBytes, entry, sizeof(entry)))
            break;
        layout.ds64Sizes.emplace_back(std::string(reinterpret_cast<const char*>(entry), 4),
                                      littleU64(entry + 4));
    }
}

// "2024-05-01 12:00:00" (and ".250" for milliseconds) from a SYSTEMTIME, or empty
// when its fields are not a date and time.
std::string systemTimeText(const unsigned char* p)
{
    const unsigned year = littleU16(p), month = littleU16(p + 2), day = littleU16(p + 6),
                   hour = littleU16(p + 8), minute = littleU16(p + 10),
                   second = littleU16(p + 12), milliseconds = littleU16(p + 14);
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > 31
        || hour > 23 || minute > 59 || second > 59 || milliseconds > 999)
        return {};
    char text[32];
    if (milliseconds == 0)
        std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u", year, month, day,
                      hour, minute, second);
    else
        std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", year, month, day,
                      hour, minute, second, milliseconds);
    return text;
}

// Takes what can be read of an "auxi" chunk; never refuses the file for it.
void readAuxi(const InputFile& file, uint64_t body, uint64_t size, WavLayout& layout)
{
    layout.haveAuxi = true;
    unsigned char auxi[auxiBytesRead] = {};
    const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(size, sizeof(auxi)));
    try {
        if (!readFully(file, body, auxi, wanted))
            return;
    } catch (const std::runtime_error&) {
        return;
    }
    if (wanted >= 16)
        layout.info.startTime = systemTimeText(auxi);
    // Zero is what writers leave when they know no frequency.
    if (wanted >= auxiBytesRead && littleU32(auxi + auxiFrequencyOffset) != 0)
        layout.info.centreFrequency = littleU32(auxi + auxiFrequencyOffset);
}

// Finds the "fmt " and "data" chunks (and "ds64", "auxi") wherever they are;
// chunk bodies are padded to an even length. Offsets are 64-bit and checked
// against the file size, so no size field can make them wrap or point outside.
WavLayout walkChunks(const InputFile& file, bool sixtyFour)
{
    const uint64_t fileSize = file.size();
    WavLayout layout;
    layout.sixtyFour = sixtyFour;
    uint64_t offset = 12;
    int afterData = 0;
    while (!(layout.haveFormat && layout.haveData)
           || (!layout.haveAuxi && afterData < chunksAfterData)) {
        const bool optional = layout.haveFormat && layout.haveData;
        unsigned char header[8];
        bool haveHeader = false;
        try {
            haveHeader = offset <= fileSize && fileSize - offset >= sizeof(header)
                         && readFully(file, offset, header, sizeof(header));
        } catch (const std::runtime_error&) {
            if (!optional)
                throw;
        }
        if (!haveHeader) {
            if (optional)
                break;
            refuse(file, std::string("is damaged: it ends before its ")
                             + (layout.haveFormat ? "\"data\"" : "\"fmt \"") + " chunk");
        }
        const char* id = reinterpret_cast<const char*>(header);
        const uint64_t body = offset + sizeof(header);
        const ChunkSize size = chunkSize(layout, id, littleU32(header + 4));
        if (optional) {
            ++afterData;
            if (std::memcmp(id, "auxi", 4) == 0)
                readAuxi(file, body, size.bytes, layout);
        } else if (std::memcmp(id, "fmt ", 4) == 0 && !layout.haveFormat) {
            readFormat(file, body, size.bytes, layout);
        } else if (std::memcmp(id, "ds64", 4) == 0 && sixtyFour && !layout.haveDs64
                   && !layout.haveData) {
            readDs64(file, body, size.bytes, layout);
        } else if (std::memcmp(id, "data", 4) == 0 && !layout.haveData) {
            layout.haveData = true;
            layout.dataOffset = body;
            layout.dataSize = size;
        } else if (std::memcmp(id, "auxi", 4) == 0 && !layout.haveAuxi) {
            readAuxi(file, body, size.bytes, layout);
        }
        if (!size.known || size.bytes > fileSize - std::min(fileSize, body)) {
            // Nothing can follow a chunk that runs to, or past, the end of the file.
            if (layout.haveFormat && layout.haveData)
                break;
            refuse(file, "is damaged: its " + chunkName(id) + " chunk at byte " + std::to_string(offset)
                             + " runs past the end of the file");
        }
        offset = body + size.bytes + (size.bytes & 1u);
    }
    return layout;
}

std::string formatName(uint16_t code)
{
    switch (code) {
    case 2: return "ADPCM";
    case 6: return "A-law";
    case 7: return "mu-law";
    case 0x55: return "MP3";
    default: break;
    }
    char text[48];
    std::snprintf(text, sizeof(text), "audio format 0x%04X", static_cast<unsigned>(code));
    return text;
}

// The decoder of one stereo frame's samples, or null with what the file is in what.
ChunkDecoder decoderFor(const WavLayout& layout, std::string& what)
{
    const unsigned bits = layout.bitsPerSample;
    const std::string depth = std::to_string(bits) + "-bit ";
    if (layout.audioFormat == formatExtensible && layout.formatCode == 0) {
        what = depth + "samples of an unknown extensible sub-format";
        return nullptr;
    }
    if (layout.formatCode == formatPcm) {
        what = depth + "integer PCM";
        switch (bits) {
        case 8: return chunkDecoderFor(parseSampleFormat("cu8_le"));
        case 16: return chunkDecoderFor(parseSampleFormat("ci16_le"));
        case 24: return decodePcm24;
        case 32: return chunkDecoderFor(parseSampleFormat("ci32_le"));
        default: return nullptr;
        }
    }
    if (layout.formatCode == formatFloat) {
        what = depth + "float";
        switch (bits) {
        case 32: return chunkDecoderFor(parseSampleFormat("cf32_le"));
        case 64: return chunkDecoderFor(parseSampleFormat("cf64_le"));
        default: return nullptr;
        }
    }
    what = depth + formatName(layout.formatCode);
    return nullptr;
}

// The datatype the samples are stored in (see StoredSamples), for a format that
// decoderFor accepted: integer PCM of 8 to 32 bits or float of 32 or 64.
std::string storedDatatype(const WavLayout& layout)
{
    switch (layout.bitsPerSample) {
    case 8: return "cu8_le";
    case 16: return "ci16_le";
    case 24: return "ci24_le";
    case 32: return layout.formatCode == formatPcm ? "ci32_le" : "cf32_le";
    default: return "cf64_le";
    }
}

// 3200000 as "3,200,000".
std::string groupedNumber(uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0)
            grouped += ',';
        grouped += digits[k];
    }
    return grouped;
}

} // namespace

RecordingContents readWavFile(const std::string& path)
{
    InputFile file(path);
    file.requireOpen();

    // Every WAV file holds at least the 44 bytes of the canonical header.
    unsigned char header[headerBytes];
    const std::size_t got = file.readAt(0, header, sizeof(header));
    if (got == 0)
        refuse(file, "is empty");
    if (got < sizeof(header) && std::memcmp(header, "RIFF", std::min<std::size_t>(got, 4)) != 0)
        refuse(file, "is not a WAV file (it starts with " + leadingBytes(header, got) + ")");
    if (got < sizeof(header))
        refuse(file, "is too short to be a WAV file: it holds " + std::to_string(got)
                         + (got == 1 ? " byte" : " bytes") + ", a WAV header takes 44");
    const bool wave = std::memcmp(header + 8, "WAVE", 4) == 0;
    if (wave && std::memcmp(header, "RIFX", 4) == 0)
        fail("WAV file is big-endian (RIFX), which is not supported: the file must be "
             "little-endian (RIFF, RF64 or BW64)");
    const bool sixtyFour = std::memcmp(header, "RF64", 4) == 0 || std::memcmp(header, "BW64", 4) == 0;
    if (!(sixtyFour || std::memcmp(header, "RIFF", 4) == 0))
        refuse(file, "is not a WAV file (it starts with " + leadingBytes(header, sizeof(header)) + ")");
    if (!wave)
        refuse(file, "is not a WAV file (it is a RIFF file of type "
                         + leadingBytes(header + 8, 4) + ")");

    const WavLayout layout = walkChunks(file, sixtyFour);
    std::string what;
    const ChunkDecoder decode = decoderFor(layout, what);
    if (!decode)
        fail("WAV file must be 8-bit unsigned, 16-, 24- or 32-bit integer PCM, or 32- or 64-bit "
             "float format, this one is " + what);
    if (layout.channels != 2)
        fail("WAV file must have 2 channels (I and Q), this one has "
             + std::to_string(layout.channels));
    if (layout.sampleRate == 0)
        fail("Invalid sample rate in WAV file: 0");

    const uint64_t fileSize = file.size();
    const uint64_t available = fileSize - std::min(fileSize, layout.dataOffset);
    uint64_t dataSize = layout.dataSize.bytes;
    const uint64_t frameBytes = 2u * (layout.bitsPerSample / 8u);
    // A recording cut short (a full disk, a crash) loads the whole frames it has.
    std::string note;
    if (!layout.dataSize.known) {
        dataSize = available;
    } else if (dataSize > available) {
        if (available < frameBytes)
            refuse(file, "ends before its first sample: its \"data\" chunk declares "
                             + groupedNumber(dataSize) + " bytes, the file holds "
                             + groupedNumber(available) + " of them");
        const uint64_t missing = dataSize - available;
        note = "The file ends " + groupedNumber(missing) + (missing == 1 ? " byte" : " bytes")
               + " before its declared end: " + groupedNumber(available / frameBytes)
               + " samples loaded";
        dataSize = available;
    }
    const uint64_t frames = dataSize / frameBytes;
    if (frames > maxSampleCount)
        fail("WAV file too large: it holds " + std::to_string(frames)
             + " samples, at most " + std::to_string(maxSampleCount) + " can be loaded");
    checkWorkingMemory(frames);

    RecordingContents contents;
    contents.sampleRate = layout.sampleRate;
    contents.info = layout.info;
    contents.info.unsignedSamples = layout.bitsPerSample == 8;
    contents.info.files = {path};
    addNote(contents.info, note);
    contents.samples = std::make_shared<const FileSamples>(std::move(file), layout.dataOffset, frames,
                                                           static_cast<uint32_t>(frameBytes), decode,
                                                           storedDatatype(layout));
    return contents;
}
