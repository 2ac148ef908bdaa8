// One conversion loop per stored type; byte order written out explicitly so the
// files are the same on any processor.

#include "export/SampleEncoding.h"

#include "io/SampleFormat.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace {

template <typename Bits>
inline void putLittle(unsigned char* out, Bits value, int bytes)
{
    for (int k = 0; k < bytes; ++k)
        out[k] = static_cast<unsigned char>(value >> (8 * k));
}

// The integer nearest value within [low, high], as the unsigned bits of its
// two's complement.
inline uint64_t integerBits(double value, double low, double high)
{
    if (!(value >= low))
        value = std::isnan(value) ? 0.0 : low;
    if (value > high)
        value = high;
    return static_cast<uint64_t>(static_cast<int64_t>(std::nearbyint(value)));
}

template <int Bits, bool Signed>
void encodeIntegers(const double* i, const double* q, std::size_t count, unsigned char* out)
{
    constexpr int bytes = Bits / 8;
    constexpr auto half = static_cast<double>(int64_t(1) << (Bits - 1));
    constexpr double low = Signed ? -half : 0.0;
    constexpr double high = Signed ? half - 1.0 : 2.0 * half - 1.0;
    for (std::size_t k = 0; k < count; ++k) {
        putLittle(out + 2 * bytes * k, integerBits(i[k], low, high), bytes);
        putLittle(out + 2 * bytes * k + bytes, integerBits(q[k], low, high), bytes);
    }
}

template <typename Float, typename Bits>
void encodeFloats(const double* i, const double* q, std::size_t count, unsigned char* out)
{
    constexpr int bytes = sizeof(Float);
    for (std::size_t k = 0; k < count; ++k) {
        for (int part = 0; part < 2; ++part) {
            const auto value = static_cast<Float>(part == 0 ? i[k] : q[k]);
            Bits bits;
            std::memcpy(&bits, &value, bytes);
            putLittle(out + 2 * bytes * k + bytes * part, bits, bytes);
        }
    }
}

} // namespace

std::string SampleEncoding::sigmfDatatype() const
{
    const std::string name = std::string("c") + kind + std::to_string(bits);
    return bits == 8 ? name : name + "_le";
}

void encodeSamples(SampleEncoding encoding, const double* i, const double* q, std::size_t count,
                   unsigned char* out)
{
    const char kind = encoding.kind;
    const int bits = encoding.bits;
    if (kind == 'f' && bits == 32)
        encodeFloats<float, uint32_t>(i, q, count, out);
    else if (kind == 'f' && bits == 64)
        encodeFloats<double, uint64_t>(i, q, count, out);
    else if (kind == 'u' && bits == 8)
        encodeIntegers<8, false>(i, q, count, out);
    else if (kind == 'i' && bits == 16)
        encodeIntegers<16, true>(i, q, count, out);
    else if (kind == 'i' && bits == 24)
        encodeIntegers<24, true>(i, q, count, out);
    else if (kind == 'i' && bits == 32)
        encodeIntegers<32, true>(i, q, count, out);
    else
        throw std::invalid_argument("No encoder for c" + std::string(1, kind) + std::to_string(bits));
}

SampleConversion conversionFor(const std::string& datatype, SampleEncoding to)
{
    const double from = datatype.empty() ? 1.0 : fullScaleOf(datatype);
    const double target = to.kind == 'f' ? 1.0 : std::ldexp(1.0, to.bits - 1);
    SampleConversion conversion;
    conversion.gain = target / from;
    // "[r|c][f|i|u]<bits>_<order>"
    if (datatype.size() > 1 && datatype[1] == 'u' && to.kind != 'u') {
        conversion.offsetI = from; // mid-scale, 2^(bits - 1)
        conversion.offsetQ = datatype[0] == 'c' ? from : 0.0;
    }
    return conversion;
}
