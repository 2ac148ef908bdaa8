// The recording and its readers: WAV (RIFF chunks walked, samples streamed through
// a fixed buffer), SigMF (JSON metadata plus a sample file) and raw sample files.

#include "io/Recording.h"

#include "io/InputFile.h"
#include "io/MemoryCheck.h"
#include "io/SampleFormat.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

constexpr uint64_t maxRate = std::numeric_limits<uint32_t>::max();
constexpr std::size_t wavChunkBytes = 8192;

// Audio format codes of the "fmt " chunk and the sub-format that
// WAVE_FORMAT_EXTENSIBLE uses for IEEE float samples.
constexpr uint16_t wavFormatFloat = 3;
constexpr uint16_t wavFormatExtensible = 0xFFFE;
constexpr unsigned char floatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Writers that cannot seek back leave the data size at this value: data runs to the end.
constexpr uint32_t wavSizeUnknown = 0xFFFFFFFF;

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

uint16_t littleU16(const unsigned char* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t littleU32(const unsigned char* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8)
           | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

std::string shortestText(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

// Reads exactly size bytes at offset; false when the file ends first.
bool readAt(std::ifstream& file, uint64_t offset, unsigned char* out, std::size_t size)
{
    file.clear();
    file.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(file.read(reinterpret_cast<char*>(out),
                                       static_cast<std::streamsize>(size)));
}

struct WavLayout
{
    bool haveFormat = false;
    uint16_t audioFormat = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 0;
    bool floatSubFormatFound = false;
    bool haveData = false;
    uint64_t dataOffset = 0;
    uint32_t dataSize = 0;
};

// Finds the "fmt " and "data" chunks wherever they are; chunk bodies are padded to
// an even length. Offsets are 64-bit and checked against the file size, so no
// size field can make them wrap or point outside the file.
WavLayout walkWavChunks(std::ifstream& file, uint64_t fileSize)
{
    WavLayout layout;
    uint64_t offset = 12;
    while (!(layout.haveFormat && layout.haveData)) {
        unsigned char header[8];
        if (offset + sizeof(header) > fileSize || !readAt(file, offset, header, sizeof(header)))
            fail("Not a valid WAV file");
        const uint32_t size = littleU32(header + 4);
        const uint64_t body = offset + sizeof(header);
        if (std::memcmp(header, "fmt ", 4) == 0 && !layout.haveFormat) {
            if (size < 16)
                fail("Not a valid WAV file");
            unsigned char fmt[40] = {};
            const std::size_t wanted = std::min<std::size_t>(size, sizeof(fmt));
            if (!readAt(file, body, fmt, wanted))
                fail("Failed to read binary data");
            layout.haveFormat = true;
            layout.audioFormat = littleU16(fmt);
            layout.channels = littleU16(fmt + 2);
            layout.sampleRate = littleU32(fmt + 4);
            layout.bitsPerSample = littleU16(fmt + 14);
            layout.floatSubFormatFound =
                wanted >= 40 && std::memcmp(fmt + 24, floatSubFormat, sizeof(floatSubFormat)) == 0;
        } else if (std::memcmp(header, "data", 4) == 0 && !layout.haveData) {
            layout.haveData = true;
            layout.dataOffset = body;
            layout.dataSize = size;
        }
        offset = body + size + (size & 1u);
    }
    return layout;
}

uint32_t sigmfSampleRate(const nlohmann::json& value)
{
    bool valid = false;
    uint64_t rate = 0;
    if (value.is_number_float()) {
        // Fractions are cut toward zero, as the JSON library converts to integers.
        const double number = value.get<double>();
        valid = number >= 1.0 && number < static_cast<double>(maxRate) + 1.0;
        if (valid)
            rate = static_cast<uint64_t>(number);
    } else if (value.is_number_unsigned()) {
        rate = value.get<uint64_t>();
        valid = rate >= 1 && rate <= maxRate;
    } else if (value.is_number_integer()) {
        const int64_t number = value.get<int64_t>();
        valid = number >= 1 && static_cast<uint64_t>(number) <= maxRate;
        rate = valid ? static_cast<uint64_t>(number) : 0;
    } else if (value.is_boolean()) {
        rate = value.get<bool>() ? 1 : 0;
        valid = rate == 1;
    } else {
        // Strings, arrays and objects: the library's own "type must be number" error.
        rate = static_cast<uint64_t>(value.get<int32_t>());
    }
    if (!valid)
        fail("Invalid sample rate in SigMF metadata file: " + value.dump()
             + " (must be 1 to 4294967295 samples per second)");
    return static_cast<uint32_t>(rate);
}

std::string sigmfDataPath(const std::string& metaPath)
{
    static const std::string metaSuffix = ".sigmf-meta";
    if (metaPath.size() >= metaSuffix.size()
        && metaPath.compare(metaPath.size() - metaSuffix.size(), metaSuffix.size(), metaSuffix)
               == 0)
        return metaPath.substr(0, metaPath.size() - metaSuffix.size()) + ".sigmf-data";
    return metaPath + ".sigmf-data";
}

// SigMF writes its 8-bit types without a byte order, which 8-bit values do not have.
std::string withByteOrder(const std::string& sigmfDatatype)
{
    if (sigmfDatatype == "ci8" || sigmfDatatype == "cu8" || sigmfDatatype == "ri8"
        || sigmfDatatype == "ru8")
        return sigmfDatatype + "_le";
    return sigmfDatatype;
}

} // namespace

Recording::Recording() = default;
Recording::~Recording() = default;

void Recording::assign(uint32_t sampleRate, std::vector<double> i, std::vector<double> q)
{
    if (i.size() != q.size())
        throw std::invalid_argument("I and Q sequences must have the same length");
    if (i.size() > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("Too many samples for one recording");
    commit(sampleRate, i, q);
}

void Recording::assignSource(uint32_t sampleRate, std::shared_ptr<const SampleSource> samples,
                             RecordingInfo info)
{
    if (!samples)
        throw std::invalid_argument("A recording needs a sample source");
    if (samples->size() > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("Too many samples for one recording");
    commit(sampleRate, std::move(samples), std::move(info));
}

void Recording::swap(Recording& other) noexcept
{
    std::scoped_lock lock(wholeMutex, other.wholeMutex);
    std::swap(loaded, other.loaded);
    std::swap(rate, other.rate);
    std::swap(count, other.count);
    source.swap(other.source);
    std::swap(details, other.details);
    iWhole.swap(other.iWhole);
    qWhole.swap(other.qWhole);
}

void Recording::commit(uint32_t sampleRate, std::vector<double>& i, std::vector<double>& q)
{
    commit(sampleRate, memorySamples(std::move(i), std::move(q)), RecordingInfo{});
}

void Recording::commit(uint32_t sampleRate, std::shared_ptr<const SampleSource> samples,
                             RecordingInfo info)
{
    std::lock_guard<std::mutex> lock(wholeMutex);
    source = std::move(samples);
    details = std::move(info);
    std::vector<double>().swap(iWhole);
    std::vector<double>().swap(qWhole);
    rate = sampleRate;
    count = static_cast<uint32_t>(source->size());
    loaded = true;
}

const std::vector<double>& Recording::iSamples() const
{
    if (source && source->memoryI())
        return *source->memoryI();
    decodeWhole();
    return iWhole;
}

const std::vector<double>& Recording::qSamples() const
{
    if (source && source->memoryQ())
        return *source->memoryQ();
    decodeWhole();
    return qWhole;
}

void Recording::decodeWhole() const
{
    std::lock_guard<std::mutex> lock(wholeMutex);
    if (!source || iWhole.size() == source->size())
        return;
    const uint64_t n = source->size();
    checkMemoryForSamples(n);
    std::vector<double> i(n);
    std::vector<double> q(n);
    source->read(0, n, i.data(), q.data());
    iWhole.swap(i);
    qWhole.swap(q);
}

void Recording::loadWav(const std::string& path)
{
    std::ifstream file;
    if (!openInputFile(file, path, true))
        fail("Failed to open file");
    file.seekg(0, std::ios::end);
    const std::streamoff end = file.tellg();
    const uint64_t fileSize = end > 0 ? static_cast<uint64_t>(end) : 0;

    // Every WAV file holds at least the 44 bytes of the canonical header.
    unsigned char header[44];
    if (!readAt(file, 0, header, sizeof(header)))
        fail("Failed to read binary data");
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        fail("Not a valid WAV file");

    const WavLayout layout = walkWavChunks(file, fileSize);
    const bool isFloat =
        layout.audioFormat == wavFormatFloat
        || (layout.audioFormat == wavFormatExtensible && layout.floatSubFormatFound);
    if (layout.bitsPerSample != 32 || !isFloat)
        fail("WAV file must be 32-bit float format");
    if (layout.channels != 2)
        fail("WAV file must have 2 channels");
    if (layout.sampleRate == 0)
        fail("Invalid sample rate in WAV file: 0");

    const uint64_t available = fileSize - std::min(fileSize, layout.dataOffset);
    uint64_t dataSize = layout.dataSize;
    if (layout.dataSize == wavSizeUnknown)
        dataSize = std::min<uint64_t>(available, wavSizeUnknown);
    else if (dataSize > available)
        fail("Failed to read binary data");
    constexpr uint64_t frameBytes = 2 * sizeof(float);
    const uint64_t frames = dataSize / sizeof(float) / 2;
    checkMemoryForSamples(frames);

    std::vector<double> i(frames);
    std::vector<double> q(frames);
    const ChunkDecoder decode = chunkDecoderFor(parseSampleFormat("cf32_le"));
    unsigned char buffer[wavChunkBytes];
    constexpr uint64_t framesPerChunk = wavChunkBytes / frameBytes;
    file.clear();
    file.seekg(static_cast<std::streamoff>(layout.dataOffset));
    for (uint64_t done = 0; done < frames;) {
        const uint64_t chunk = std::min(framesPerChunk, frames - done);
        if (!file.read(reinterpret_cast<char*>(buffer),
                       static_cast<std::streamsize>(chunk * frameBytes)))
            fail("Failed to read binary data");
        decode(buffer, chunk, i.data() + done, q.data() + done);
        done += chunk;
    }
    commit(layout.sampleRate, i, q);
}

void Recording::loadSigmf(const std::string& metaPath)
{
    // A file that cannot be opened reads as empty input: the library's parse error.
    std::ifstream metaFile;
    openInputFile(metaFile, metaPath, false);
    nlohmann::json meta = nlohmann::json::parse(metaFile);
    // operator[] on a non-const document: a missing member reads as null, a
    // non-object raises the library's type error.
    nlohmann::json& global = meta["global"];
    const nlohmann::json& rateValue = global["core:sample_rate"];
    if (rateValue.is_null())
        fail("Sample rate was not found in SigMF metadata file");
    const uint32_t newRate = sigmfSampleRate(rateValue);

    const std::string dataPath = sigmfDataPath(metaPath);
    const nlohmann::json& datatypeValue = global["core:datatype"];
    if (datatypeValue.is_null())
        fail("Data type was not found in SigMF metadata file");
    const std::string datatype = withByteOrder(datatypeValue.get<std::string>());

    std::vector<double> i;
    std::vector<double> q;
    readBinarySamples(dataPath, datatype, i, q);
    commit(newRate, i, q);
}

void Recording::loadBinary(const std::string& path, const std::string& datatype,
                           double sampleRate)
{
    // Whole samples per second: truncated toward zero, and a rate that comes to
    // 0 or does not fit 32 bits is refused rather than stored wrapped.
    if (!(sampleRate >= 1.0 && sampleRate < static_cast<double>(maxRate) + 1.0))
        fail("Invalid sample rate: " + shortestText(sampleRate)
             + " (must be 1 to 4294967295 samples per second)");
    const auto newRate = static_cast<uint32_t>(sampleRate);

    std::vector<double> i;
    std::vector<double> q;
    readBinarySamples(path, datatype, i, q);
    commit(newRate, i, q);
}
