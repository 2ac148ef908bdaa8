#pragma once
// How exported samples are stored when they cannot be copied as they were:
// I and Q interleaved, little-endian, as integers or IEEE floats.

#include <cstddef>
#include <cstdint>
#include <string>

struct SampleEncoding
{
    char kind = 'f'; // 'u' unsigned, 'i' signed, 'f' float
    int bits = 32;   // 8, 16, 24 (WAV PCM only), 32 or 64

    uint32_t sampleBytes() const { return static_cast<uint32_t>(2 * bits / 8); }
    // The SigMF datatype ("cf32_le", "cu8", ...); not meaningful for 24 bits.
    std::string sigmfDatatype() const;
};

// Writes count samples into out (count * encoding.sampleBytes() bytes): I[k]
// then Q[k]. Integers are rounded to the nearest and held within the type's
// range (NaN as 0); floats are rounded to the nearest float of their width.
void encodeSamples(SampleEncoding encoding, const double* i, const double* q, std::size_t count,
                   unsigned char* out);

// How values read from a source become the values an encoding writes, so that
// full scale stays full scale (fullScaleOf: 2^(bits - 1) for integers, 1 for
// floats): written = (read - offset) * gain, I and Q each with its own offset.
struct SampleConversion
{
    // Mid-scale of offset-binary (unsigned) values going into a signed or float
    // encoding, which become two's complement about 0; 0 otherwise, and for the
    // Q of real samples, which is 0 to begin with.
    double offsetI = 0.0;
    double offsetQ = 0.0;
    // The encoding's full scale over the source's: a power of 2, so exact.
    double gain = 1.0;

    bool identity() const { return offsetI == 0.0 && offsetQ == 0.0 && gain == 1.0; }
};

// The conversion of samples stored as datatype ("ci24_le" for 24-bit PCM; empty
// for samples held in memory, whose full scale is 1) into `to`.
SampleConversion conversionFor(const std::string& datatype, SampleEncoding to);
