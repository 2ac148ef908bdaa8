// Windowed-sinc design: the ideal low-pass cut off mid-way through the
// transition band, shaped by a Kaiser window of Kaiser's length and beta.

#include "dsp/KaiserLowPass.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace {

// Kaiser's empirical fits: beta for an attenuation above 50 dB, and the order
// for an attenuation over a transition width (cycles per sample).
constexpr double betaSlope = 0.1102;
constexpr double betaOffset = 8.7;
constexpr double orderOffset = 7.95;
constexpr double orderSlope = 2.285;
// I0's power series converges to double precision well before this term.
constexpr int besselTerms = 200;

// The modified Bessel function of the first kind, order 0.
double besselI0(double x)
{
    const double quarterSquare = x * x / 4.0;
    double term = 1.0;
    double sum = 1.0;
    for (int k = 1; k < besselTerms; ++k) {
        term *= quarterSquare / (static_cast<double>(k) * static_cast<double>(k));
        sum += term;
        if (term < sum * 1e-17)
            break;
    }
    return sum;
}

} // namespace

std::vector<double> kaiserLowPass(double passEdge, double stopEdge, double attenuationDb,
                                  std::size_t maxTaps)
{
    if (!(passEdge >= 0.0 && passEdge < stopEdge && stopEdge <= 0.5))
        throw std::invalid_argument("Low-pass edges must satisfy 0 <= pass < stop <= 0.5");
    const double width = stopEdge - passEdge;
    const double order =
        std::ceil((attenuationDb - orderOffset) / (orderSlope * 2.0 * std::numbers::pi * width));
    if (!(order < static_cast<double>(maxTaps)))
        throw std::invalid_argument("Low-pass filter needs too many taps");
    // An even order gives an odd count, whose middle tap sits on a sample.
    const auto half = static_cast<std::size_t>(std::ceil(order / 2.0));
    const std::size_t count = 2 * half + 1;
    const double beta = betaSlope * (attenuationDb - betaOffset);
    const double cutoff = (passEdge + stopEdge) / 2.0;
    const double windowScale = besselI0(beta);

    std::vector<double> taps(count);
    taps[half] = 2.0 * cutoff;
    for (std::size_t k = 1; k <= half; ++k) {
        const double n = static_cast<double>(k);
        const double ratio = n / static_cast<double>(half);
        const double window = besselI0(beta * std::sqrt(1.0 - ratio * ratio)) / windowScale;
        const double sinc = std::sin(2.0 * std::numbers::pi * cutoff * n) / (std::numbers::pi * n);
        taps[half - k] = taps[half + k] = sinc * window;
    }
    // Summed from the outside in, small values first, in one fixed order.
    double sum = 0.0;
    for (std::size_t k = 0; k < half; ++k)
        sum += taps[k] + taps[count - 1 - k];
    sum += taps[half];
    for (double& tap : taps)
        tap /= sum;
    return taps;
}

double symmetricFirMagnitude(const std::vector<double>& taps, double frequency)
{
    // A symmetric filter's response is real about its middle tap: a cosine sum.
    const std::size_t half = taps.size() / 2;
    double sum = taps[half];
    for (std::size_t k = 1; k <= half; ++k)
        sum += 2.0 * taps[half + k]
               * std::cos(2.0 * std::numbers::pi * frequency * static_cast<double>(k));
    return std::abs(sum);
}
