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
