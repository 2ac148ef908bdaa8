// The literal radix-2 transform and bit reversal.

#include "dsp/Fft.h"

#include "dsp/FftWork.h"

#include <array>
#include <memory>
#include <stdexcept>

uint32_t reverseBits(uint32_t bits, uint32_t value)
{
    uint32_t v = value;
    v = ((v >> 1) & 0x55555555u) | ((v & 0x55555555u) << 1);
    v = ((v >> 2) & 0x33333333u) | ((v & 0x33333333u) << 2);
    v = ((v >> 4) & 0x0f0f0f0fu) | ((v & 0x0f0f0f0fu) << 4);
    v = __builtin_bswap32(v);
    if (bits == 0)
        return 0;
    if (bits <= 32)
        return v >> (32 - bits);
    // Wider than the result: the bits that would land above bit 31 are lost.
    return bits - 32 >= 32 ? 0 : v << (bits - 32);
}

void fft(uint32_t e, const std::complex<double>* in, std::complex<double>* out)
{
    if (e > maxFftExponent)
        throw std::invalid_argument("FFT size exponent above 31");
    // Work areas of the sizes the application uses live as long as the thread;
    // larger ones only for the call.
    constexpr uint32_t keptExponents = 16;
    if (e >= keptExponents) {
        FftWork work(e);
        work.transform(in, out);
        return;
    }
    thread_local std::array<std::unique_ptr<FftWork>, keptExponents> kept;
    std::unique_ptr<FftWork>& work = kept[e];
    if (!work)
        work = std::make_unique<FftWork>(e);
    work->transform(in, out);
}
