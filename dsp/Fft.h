#pragma once
// Forward radix-2 FFT of complex doubles: unscaled, forward sign, natural
// output order (bin 0 is DC, bins N/2 ... N-1 the negative frequencies).

#include <complex>
#include <cstdint>

// The largest exponent fft() accepts; 2^31 is the largest power of two an
// unsigned 32-bit size can hold.
constexpr uint32_t maxFftExponent = 31;

// Bit i of value moved to bit (bits - 1 - i), for i = 0 ... bits - 1; bits of
// value at positions bits and above are ignored. Defined for any bits (0 gives 0).
uint32_t reverseBits(uint32_t bits, uint32_t value);

// out[k] = sum over n of in[n] * exp(-2*pi*i*n*k/N) for N = 2^e, no 1/N factor.
// Reads all of in before writing out, so in == out is allowed. Non-finite
// values propagate exactly as in the plain radix-2 arithmetic. Throws
// std::invalid_argument when e > maxFftExponent.
void fft(uint32_t e, const std::complex<double>* in, std::complex<double>* out);
