// Power spectra searched for lines.

#include "analysis/LineSpectrum.h"

#include "dsp/FftWork.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace {

// Transforms of the sizes used stay with the thread: building one costs more
// than running it.
FftWork& workOf(uint32_t e)
{
    thread_local std::array<std::unique_ptr<FftWork>, 32> kept;
    std::unique_ptr<FftWork>& work = kept[e];
    if (!work)
        work = std::make_unique<FftWork>(e);
    return *work;
}

uint32_t paddedExponent(std::size_t n)
{
    uint32_t e = 1;
    while ((std::size_t(1) << e) < 2 * n)
        ++e;
    return e;
}

double medianOf(std::vector<double> values)
{
    if (values.empty())
        return 0;
    auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

LineSpectrum::LineSpectrum(std::vector<double> p, double r) : power(std::move(p)), background(power.size(), 1.0), rate(r)
{
}

LineSpectrum::LineSpectrum(const std::complex<double>* x, std::size_t n, double r) : rate(r)
{
    const uint32_t e = paddedExponent(n);
    FftWork& work = workOf(e);
    double* re = work.inputRe();
    double* im = work.inputIm();
    const std::size_t size = std::size_t(1) << e;
    for (std::size_t k = 0; k < n; ++k) {
        re[k] = x[k].real();
        im[k] = x[k].imag();
    }
    std::fill(re + n, re + size, 0.0);
    std::fill(im + n, im + size, 0.0);
    work.transformInput();
    power.resize(size);
    for (std::size_t k = 0; k < size; ++k)
        power[k] = work.re()[k] * work.re()[k] + work.im()[k] * work.im()[k];
    background.assign(size, 1.0);
}

std::pair<LineSpectrum, LineSpectrum> LineSpectrum::ofReal(const double* a, const double* b, std::size_t n,
                                                           double rate)
{
    const uint32_t e = paddedExponent(n);
    FftWork& work = workOf(e);
    const std::size_t size = std::size_t(1) << e;
    std::copy(a, a + n, work.inputRe());
    std::copy(b, b + n, work.inputIm());
    std::fill(work.inputRe() + n, work.inputRe() + size, 0.0);
    std::fill(work.inputIm() + n, work.inputIm() + size, 0.0);
    work.transformInput();
    // A[k] = (X[k] + conj X[-k]) / 2, B[k] = (X[k] - conj X[-k]) / 2i.
    std::vector<double> pa(size), pb(size);
    const double* re = work.re();
    const double* im = work.im();
    for (std::size_t k = 0; k < size; ++k) {
        const std::size_t m = (size - k) & (size - 1);
        const double ar = (re[k] + re[m]) / 2, ai = (im[k] - im[m]) / 2;
        const double br = (im[k] + im[m]) / 2, bi = (re[m] - re[k]) / 2;
        pa[k] = ar * ar + ai * ai;
        pb[k] = br * br + bi * bi;
    }
    return {LineSpectrum(std::move(pa), rate), LineSpectrum(std::move(pb), rate)};
}

std::vector<double> LineSpectrum::normalised() const
{
    std::vector<double> out(power.size());
    for (std::size_t k = 0; k < power.size(); ++k)
        out[k] = power[k] / background[k];
    return out;
}

LineSpectrum LineSpectrum::ofPowers(std::vector<double> powers, double rate)
{
    return LineSpectrum(std::move(powers), rate);
}

std::size_t LineSpectrum::binOf(double hz) const
{
    const auto size = static_cast<long long>(power.size());
    long long k = std::llround(hz / binHz()) % size;
    return static_cast<std::size_t>(k < 0 ? k + size : k);
}

double LineSpectrum::frequencyOf(double bin) const
{
    const auto size = static_cast<double>(power.size());
    return (bin > size / 2 ? bin - size : bin) * binHz();
}

void LineSpectrum::useMedianOver(double lowHz, double highHz)
{
    std::vector<double> values;
    const auto first = static_cast<long long>(std::ceil(lowHz / binHz()));
    const auto last = static_cast<long long>(std::floor(highHz / binHz()));
    for (long long k = first; k <= last; ++k)
        values.push_back(power[binOf(static_cast<double>(k) * binHz())]);
    const double level = medianOf(std::move(values));
    background.assign(power.size(), level > 0 ? level : 1e-300);
}

void LineSpectrum::useLocalMedian(std::size_t blockBins, double lowHz, double highHz)
{
    const std::size_t size = power.size();
    blockBins = std::clamp<std::size_t>(blockBins, 4, size);
    const std::size_t blocks = size / blockBins;
    // Blocks over the bins asked for and one either side.
    const auto blockOf = [&](double hz) {
        return static_cast<long long>(std::floor(hz / binHz() / static_cast<double>(blockBins)));
    };
    const long long firstBlock = blockOf(lowHz) - 1;
    const long long lastBlock = blockOf(highHz) + 1;
    const auto n = static_cast<long long>(blocks);
    const auto wrap = [n](long long b) { return static_cast<std::size_t>(((b % n) + n) % n); };
    std::vector<double> medians(blocks, 0.0), block(blockBins);
    for (long long b = firstBlock; b <= lastBlock && b - firstBlock < n; ++b) {
        const std::size_t at = wrap(b) * blockBins;
        for (std::size_t k = 0; k < block.size(); ++k)
            block[k] = power[at + k];
        const auto middle = block.begin() + static_cast<std::ptrdiff_t>(block.size() / 2);
        std::nth_element(block.begin(), middle, block.end());
        medians[wrap(b)] = *middle;
    }
    const double half = static_cast<double>(blockBins) / 2;
    background.assign(size, 1.0);
    const auto firstBin = static_cast<long long>(std::ceil(lowHz / binHz()));
    const auto lastBin = static_cast<long long>(std::floor(highHz / binHz()));
    for (long long bin = firstBin; bin <= lastBin && bin - firstBin < static_cast<long long>(size); ++bin) {
        const double at = (static_cast<double>(bin) - half) / static_cast<double>(blockBins);
        const double floorAt = std::floor(at);
        const auto b0 = static_cast<long long>(floorAt);
        const double t = at - floorAt;
        background[binOf(static_cast<double>(bin) * binHz())] =
            std::max(1e-300, (1 - t) * medians[wrap(b0)] + t * medians[wrap(b0 + 1)]);
    }
}

LineSpectrum::Line LineSpectrum::refine(std::size_t bin) const
{
    const std::size_t size = power.size();
    const double l0 = std::log(power[(bin + size - 1) % size] + 1e-300);
    const double l1 = std::log(power[bin] + 1e-300);
    const double l2 = std::log(power[(bin + 1) % size] + 1e-300);
    const double curvature = l0 - 2 * l1 + l2;
    double delta = curvature < 0 ? 0.5 * (l0 - l2) / curvature : 0.0;
    delta = std::clamp(delta, -0.5, 0.5);
    Line line;
    line.bin = bin;
    line.hz = frequencyOf(static_cast<double>(bin) + delta);
    line.heightDb = 10 * std::log10(power[bin] / background[bin] + 1e-300);
    return line;
}

std::optional<LineSpectrum::Line> LineSpectrum::strongest(double lowHz, double highHz) const
{
    const auto first = static_cast<long long>(std::ceil(lowHz / binHz()));
    const auto last = static_cast<long long>(std::floor(highHz / binHz()));
    if (last < first)
        return std::nullopt;
    std::size_t best = binOf(static_cast<double>(first) * binHz());
    double bestRatio = -1;
    for (long long k = first; k <= last; ++k) {
        const std::size_t bin = binOf(static_cast<double>(k) * binHz());
        const double ratio = power[bin] / background[bin];
        if (ratio > bestRatio) {
            bestRatio = ratio;
            best = bin;
        }
    }
    return refine(best);
}

std::optional<LineSpectrum::Line> LineSpectrum::near(double hz, std::size_t span) const
{
    const double reach = static_cast<double>(span) * binHz();
    return strongest(hz - reach, hz + reach);
}

double LineSpectrum::share(const Line& line, std::size_t span) const
{
    double total = 0;
    for (double p : power)
        total += p;
    double inLine = 0;
    const std::size_t size = power.size();
    for (std::size_t d = 0; d <= 2 * span; ++d)
        inLine += power[(line.bin + size + d - span) % size];
    return total > 0 ? inLine / total : 0.0;
}

double lineThresholdDb(double bins, double falseAlarm)
{
    return 10 * std::log10(std::log(std::max(bins, 1.0) / falseAlarm) / std::log(2.0));
}
