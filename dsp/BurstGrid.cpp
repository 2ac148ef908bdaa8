// Short-time power columns of the burst detector.

#include "dsp/BurstGrid.h"

#include "dsp/BurstDetector.h"
#include "dsp/Fft.h"
#include "dsp/ParallelParts.h"
#include "dsp/Spectrum.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <complex>

namespace {

// Columns computed by one read.
constexpr uint64_t columnsPerRead = 2048;

const std::vector<double>& window()
{
    static const std::vector<double> w = hannWindow(burstFftSize);
    return w;
}

void columnsOf(const SampleSource& source, uint64_t first, uint64_t count, const DcOffset& offset, float* out)
{
    const std::vector<double>& w = window();
    std::vector<double> i, q;
    std::vector<std::complex<double>> segment(burstFftSize);
    for (uint64_t c0 = 0; c0 < count; c0 += columnsPerRead) {
        const uint64_t n = std::min(columnsPerRead, count - c0);
        const auto samples = static_cast<size_t>((n - 1) * burstHop + burstFftSize);
        i.resize(samples);
        q.resize(samples);
        source.read(first + c0 * burstHop, samples, i.data(), q.data());
        if (offset.remove)
            for (size_t s = 0; s < samples; ++s) {
                i[s] -= offset.i;
                q[s] -= offset.q;
            }
        for (uint64_t c = 0; c < n; ++c) {
            const size_t at = static_cast<size_t>(c * burstHop);
            for (uint32_t s = 0; s < burstFftSize; ++s)
                segment[s] = {i[at + s] * w[s], q[at + s] * w[s]};
            fft(burstFftExponent, segment.data(), segment.data());
            float* column = out + (c0 + c) * burstFftSize;
            const uint32_t half = burstFftSize / 2;
            for (uint32_t b = 0; b < burstFftSize; ++b) {
                const std::complex<double> v = segment[(b + half) % burstFftSize];
                column[b] = static_cast<float>(v.real() * v.real() + v.imag() * v.imag());
            }
        }
    }
}

} // namespace

void burstGridColumns(const SampleSource& source, uint64_t first, uint64_t count, const DcOffset& offset,
                      float* out)
{
    const size_t parts = partCount(static_cast<size_t>(count), 4096);
    const uint64_t each = (count + parts - 1) / parts;
    runParts(parts, [&](size_t p) {
        const uint64_t c0 = std::min(count, p * each);
        const uint64_t c1 = std::min(count, c0 + each);
        if (c1 > c0)
            columnsOf(source, first + c0 * burstHop, c1 - c0, offset, out + c0 * burstFftSize);
    });
}

double burstWindowPower()
{
    double sum = 0.0;
    for (double v : window())
        sum += v * v;
    return sum;
}
