#pragma once
// Sample datatype strings of the form "[r|c][f|i|u][bit_depth]_[le|be]" and the
// decoding of headerless sample files written in them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SampleFormat
{
    bool complex = false;      // "c": an I value followed by a Q value; "r": I only, Q is 0
    char kind = 'f';           // 'f' IEEE float, 'i' signed, 'u' unsigned; others fail at decoding
    int32_t bitDepth = 0;      // 8, 16, 32 or 64
    bool littleEndian = true;  // "le" or "be"
    int32_t bytesPerValue = 0;   // bitDepth / 8
    int32_t valuesPerSample = 0; // 2 if complex, else 1
    int32_t sampleSize = 0;      // bytes one sample occupies in the file
};

// Parses a datatype string such as "ci16_le". Throws std::runtime_error with the
// user-facing reason; a bit depth that is not a number lets std::stoi's own
// std::invalid_argument / std::out_of_range through.
SampleFormat parseSampleFormat(const std::string& datatype);

// Why samples of datatype cannot be read, in the user's words ("values of 33 bits
// are not supported (only 8, 16, 32 or 64)"), or empty when they can: the rules of
// parseSampleFormat and chunkDecoderFor, never the conversion's own "stoi".
std::string datatypeFault(const std::string& datatype);

// Decodes one stored value starting at bytes into the number it holds (no scaling).
// Throws "Unsupported datatype" for a kind other than f/i/u or a float that is not
// 32 or 64 bits wide.
double decodeValue(const unsigned char* bytes, char kind, int bitDepth, bool littleEndian);
double decodeSigned(const unsigned char* bytes, int bitDepth, bool littleEndian);
double decodeUnsigned(const unsigned char* bytes, int bitDepth, bool littleEndian);

// Decodes count consecutive samples from bytes into iOut[0..count) and
// qOut[0..count) (0.0 for real data), value for value as decodeValue does.
using ChunkDecoder = void (*)(const unsigned char* bytes, std::size_t count, double* iOut,
                              double* qOut);
// The decoder specialised for format, or nullptr when its values cannot be decoded.
ChunkDecoder chunkDecoderFor(const SampleFormat& format);

// The most samples one recording may hold.
constexpr uint64_t maxSampleCount = 1000000000;

// The checks that readBinarySamples makes of size bytes of samples, in its order:
// "File is empty or invalid", the datatype string (parseSampleFormat), whole
// samples only, and at most maxSampleCount samples. Returns the parsed format; the
// values may still be undecodable (chunkDecoderFor gives nullptr).
SampleFormat checkSampleBytes(uint64_t size, const std::string& datatype);

// Checks the file at path against datatype and decodes all of it into iSamples and
// qSamples (resized in place; Q is 0 for real data). Returns the sample count.
// Files of more than 1,000,000,000 samples, or whose sequences do not fit in the
// available memory, are refused before anything is allocated.
int32_t readBinarySamples(const std::string& path, const std::string& datatype,
                          std::vector<double>& iSamples, std::vector<double>& qSamples);

// The sample value of full scale for a datatype ("ci16_le", "cu8", "cf32_le", and
// "ci24_le" for 24-bit PCM): 2^(bits - 1) for integers (128, 32768, 8388608,
// 2147483648), 1 for floats and for anything it cannot read.
double fullScaleOf(const std::string& datatype);
