// Datatype string parsing, per-value decoding and the headerless sample file reader.

#include "io/SampleFormat.h"

#include "io/InputFile.h"
#include "io/MemoryCheck.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <type_traits>

namespace {

constexpr std::size_t chunkBytes = 8192;

// The bytes of value in reverse order, one routine for every stored type.
template <typename T>
T reversedBytes(T value)
{
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    std::reverse(bytes, bytes + sizeof(T));
    T result;
    std::memcpy(&result, bytes, sizeof(T));
    return result;
}

// The value of type T whose bytes start at bytes, in the stated order.
template <typename T>
T storedValue(const unsigned char* bytes, bool littleEndian)
{
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    if (littleEndian != (std::endian::native == std::endian::little))
        value = reversedBytes(value);
    return value;
}

// Chunk decoders: one instantiation per stored type, byte order and sample shape,
// so nothing is decided per value. Each value converts exactly as decodeValue does.
template <std::size_t Size> struct UnsignedOfSize;
template <> struct UnsignedOfSize<2> { using Type = uint16_t; };
template <> struct UnsignedOfSize<4> { using Type = uint32_t; };
template <> struct UnsignedOfSize<8> { using Type = uint64_t; };

inline uint16_t swapped(uint16_t v) { return __builtin_bswap16(v); }
inline uint32_t swapped(uint32_t v) { return __builtin_bswap32(v); }
inline uint64_t swapped(uint64_t v) { return __builtin_bswap64(v); }

template <typename T, bool Swap>
inline double decodeOne(const unsigned char* bytes)
{
    T value;
    if constexpr (sizeof(T) == 1 || !Swap) {
        std::memcpy(&value, bytes, sizeof(T));
    } else {
        typename UnsignedOfSize<sizeof(T)>::Type raw;
        std::memcpy(&raw, bytes, sizeof(T));
        raw = swapped(raw);
        std::memcpy(&value, &raw, sizeof(T));
    }
    return static_cast<double>(value);
}

template <typename T, bool Swap, bool Complex>
void decodeChunk(const unsigned char* bytes, std::size_t count, double* iOut, double* qOut)
{
    constexpr std::size_t sampleSize = sizeof(T) * (Complex ? 2 : 1);
    for (std::size_t k = 0; k < count; ++k) {
        const unsigned char* sample = bytes + k * sampleSize;
        iOut[k] = decodeOne<T, Swap>(sample);
        qOut[k] = Complex ? decodeOne<T, Swap>(sample + sizeof(T)) : 0.0;
    }
}

template <typename T>
ChunkDecoder decoderFor(const SampleFormat& format)
{
    const bool swap = format.littleEndian != (std::endian::native == std::endian::little);
    if (format.complex)
        return swap ? decodeChunk<T, true, true> : decodeChunk<T, false, true>;
    return swap ? decodeChunk<T, true, false> : decodeChunk<T, false, false>;
}

[[noreturn]] void fail(const char* message)
{
    throw std::runtime_error(message);
}

} // namespace

SampleFormat parseSampleFormat(const std::string& datatype)
{
    if (datatype.size() <= 4)
        fail("Invalid datatype string");
    SampleFormat format;
    if (datatype[0] == 'c')
        format.complex = true;
    else if (datatype[0] == 'r')
        format.complex = false;
    else
        fail("Datatype must start with 'c' or 'r'");
    format.kind = datatype[1];

    const std::size_t underscore = datatype.find('_');
    if (underscore == std::string::npos)
        fail("Invalid datatype format - missing underscore");
    // std::stoi accepts leading blanks and a sign and stops at the first non-digit;
    // its own exceptions ("stoi") are the message for a depth that is not a number.
    // When the underscore is the kind character itself, the length wraps and the
    // field runs to the end of the string (std::string clamps it).
    format.bitDepth = std::stoi(datatype.substr(2, underscore - 2));
    if (format.bitDepth != 8 && format.bitDepth != 16 && format.bitDepth != 32
        && format.bitDepth != 64)
        throw std::runtime_error("Unsupported bit depth: " + std::to_string(format.bitDepth));

    const std::string order = datatype.substr(underscore + 1);
    if (order == "le")
        format.littleEndian = true;
    else if (order == "be")
        format.littleEndian = false;
    else
        throw std::runtime_error("Invalid endianness: " + order);

    format.bytesPerValue = format.bitDepth / 8;
    format.valuesPerSample = format.complex ? 2 : 1;
    format.sampleSize = format.bytesPerValue * format.valuesPerSample;
    return format;
}

std::string datatypeFault(const std::string& datatype)
{
    const std::string form = "it is not a datatype such as \"ci16_le\"";
    SampleFormat format;
    try {
        format = parseSampleFormat(datatype);
    } catch (const std::runtime_error&) {
        const std::size_t underscore = datatype.find('_');
        const bool depthRead = datatype.size() > 4 && (datatype[0] == 'c' || datatype[0] == 'r')
                               && underscore != std::string::npos && underscore > 2;
        if (!depthRead)
            return form;
        int bits = 0;
        try {
            bits = std::stoi(datatype.substr(2, underscore - 2));
        } catch (const std::exception&) {
            return form;
        }
        if (bits != 8 && bits != 16 && bits != 32 && bits != 64)
            return "values of " + std::to_string(bits) + " bits are not supported (only 8, 16, 32 or 64)";
        return "its byte order must be \"le\" or \"be\"";
    } catch (const std::exception&) {
        return form;
    }
    if (chunkDecoderFor(format))
        return {};
    if (format.kind == 'f')
        return "floats of " + std::to_string(format.bitDepth) + " bits are not supported (only 32 or 64)";
    return std::string("\"") + format.kind + "\" is not a kind of value (f float, i signed or u unsigned integer)";
}

double decodeValue(const unsigned char* bytes, char kind, int bitDepth, bool littleEndian)
{
    switch (kind) {
    case 'f':
        if (bitDepth == 32)
            return static_cast<double>(storedValue<float>(bytes, littleEndian));
        if (bitDepth == 64)
            return storedValue<double>(bytes, littleEndian);
        break;
    case 'i':
        return decodeSigned(bytes, bitDepth, littleEndian);
    case 'u':
        return decodeUnsigned(bytes, bitDepth, littleEndian);
    default:
        break;
    }
    fail("Unsupported datatype");
}

double decodeSigned(const unsigned char* bytes, int bitDepth, bool littleEndian)
{
    switch (bitDepth) {
    case 8:
        return static_cast<double>(static_cast<int8_t>(bytes[0]));
    case 16:
        return static_cast<double>(storedValue<int16_t>(bytes, littleEndian));
    case 32:
        return static_cast<double>(storedValue<int32_t>(bytes, littleEndian));
    case 64:
        return static_cast<double>(storedValue<int64_t>(bytes, littleEndian));
    default:
        fail("Unsupported bit depth for signed int");
    }
}

double decodeUnsigned(const unsigned char* bytes, int bitDepth, bool littleEndian)
{
    switch (bitDepth) {
    case 8:
        return static_cast<double>(bytes[0]);
    case 16:
        return static_cast<double>(storedValue<uint16_t>(bytes, littleEndian));
    case 32:
        return static_cast<double>(storedValue<uint32_t>(bytes, littleEndian));
    case 64:
        return static_cast<double>(storedValue<uint64_t>(bytes, littleEndian));
    default:
        fail("Unsupported bit depth for unsigned int");
    }
}

ChunkDecoder chunkDecoderFor(const SampleFormat& format)
{
    switch (format.kind) {
    case 'f':
        if (format.bitDepth == 32)
            return decoderFor<float>(format);
        if (format.bitDepth == 64)
            return decoderFor<double>(format);
        return nullptr;
    case 'i':
        switch (format.bitDepth) {
        case 8: return decoderFor<int8_t>(format);
        case 16: return decoderFor<int16_t>(format);
        case 32: return decoderFor<int32_t>(format);
        case 64: return decoderFor<int64_t>(format);
        default: return nullptr;
        }
    case 'u':
        switch (format.bitDepth) {
        case 8: return decoderFor<uint8_t>(format);
        case 16: return decoderFor<uint16_t>(format);
        case 32: return decoderFor<uint32_t>(format);
        case 64: return decoderFor<uint64_t>(format);
        default: return nullptr;
        }
    default:
        return nullptr;
    }
}

SampleFormat checkSampleBytes(uint64_t size, const std::string& datatype)
{
    if (size == 0)
        fail("File is empty or invalid");
    const SampleFormat format = parseSampleFormat(datatype);
    const auto sampleSize = static_cast<uint64_t>(format.sampleSize);
    if (size % sampleSize != 0)
        fail("File size is not a multiple of sample size");
    if (size / sampleSize > maxSampleCount)
        fail("File too large or invalid datatype specified");
    return format;
}

int32_t readBinarySamples(const std::string& path, const std::string& datatype,
                          std::vector<double>& iSamples, std::vector<double>& qSamples)
{
    const InputFile file(path);
    file.requireOpen();
    const SampleFormat format = checkSampleBytes(file.size(), datatype);
    const auto sampleSize = static_cast<uint64_t>(format.sampleSize);
    const uint64_t count = file.size() / sampleSize;
    checkMemoryForSamples(count);

    iSamples.resize(count);
    qSamples.resize(count);

    // Unknown kinds and 8- or 16-bit floats fail when the first value is decoded.
    const ChunkDecoder decode = chunkDecoderFor(format);
    unsigned char buffer[chunkBytes];
    const uint64_t samplesPerChunk = chunkBytes / sampleSize;
    uint64_t done = 0;
    while (done < count) {
        const uint64_t chunk = std::min(samplesPerChunk, count - done);
        const std::size_t wanted = static_cast<std::size_t>(chunk * sampleSize);
        // A short read means the file changed under us: never pad with zeros.
        if (file.readAt(done * sampleSize, buffer, wanted) != wanted)
            fail("Failed to read file");
        if (!decode)
            fail("Unsupported datatype");
        decode(buffer, chunk, iSamples.data() + done, qSamples.data() + done);
        done += chunk;
    }
    return static_cast<int32_t>(iSamples.size());
}

double fullScaleOf(const std::string& datatype)
{
    // [r|c][f|i|u]<bits>[_le|_be]
    if (datatype.size() < 3 || (datatype[1] != 'i' && datatype[1] != 'u'))
        return 1.0;
    int bits = 0;
    for (size_t k = 2; k < datatype.size() && std::isdigit(static_cast<unsigned char>(datatype[k])); ++k)
        bits = bits * 10 + (datatype[k] - '0');
    if (bits < 2 || bits > 64)
        return 1.0;
    return std::ldexp(1.0, bits - 1);
}
