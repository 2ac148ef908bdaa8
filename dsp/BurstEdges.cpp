// The fine stage of the burst detector: band and time edges from the samples.

#include "dsp/BurstEdges.h"

#include "dsp/BurstGrid.h"
#include "dsp/Spectrum.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace {

constexpr double occupiedDb = -20.0;
// A band narrower than this many bins is measured again on a finer spectrum, of at most finestFftSize points.
constexpr uint32_t finestBandBins = 16;
constexpr uint32_t finestFftSize = 4096;
// A region longer than this many samples has its bands looked for in stretches too.
constexpr uint64_t regionStretch = 8192;
// Grid columns' cells are correlated (Hann, half overlap): cells per independent value.
constexpr double cellsPerValue = 1.5;
constexpr size_t mostSegmentsPerBand = 1024;

struct Spectrum
{
    // Per bin from -fs/2 up, the mean power over the noise's, less 1 (0 for
    // noise alone), and the noise's power.
    std::vector<double> excess;
    std::vector<double> noise;
    uint64_t columns = 0;
    uint32_t size() const { return static_cast<uint32_t>(excess.size()); }
};

// The excess power per bin over samples [s0, s1) (whole grid columns inside; one at least).
Spectrum spectrumOf(const SampleSource& source, const BurstRequest& request, const BurstNoise& noise, uint64_t s0,
                    uint64_t s1)
{
    Spectrum result;
    uint64_t count = s1 > s0 + burstFftSize ? (s1 - s0 - burstFftSize) / burstHop + 1 : 1;
    uint64_t from = s0;
    if (s1 - s0 < burstFftSize) {
        // A short stretch: the one column centred on it, within the range.
        const uint64_t centre = (s0 + s1) / 2;
        from = centre > request.first + burstFftSize / 2 ? centre - burstFftSize / 2 : request.first;
        from = std::min(from, request.end - burstFftSize);
    }
    std::vector<float> grid(count * burstFftSize);
    burstGridColumns(source, from, count, request.offset, grid.data());
    result.excess.assign(burstFftSize, 0.0);
    for (uint64_t c = 0; c < count; ++c)
        for (uint32_t b = 0; b < burstFftSize; ++b)
            result.excess[b] += grid[c * burstFftSize + b];
    for (uint32_t b = 0; b < burstFftSize; ++b)
        result.excess[b] = result.excess[b] / static_cast<double>(count) / noise.binPower[b] - 1.0;
    result.noise = noise.binPower;
    result.columns = count;
    return result;
}

struct Stretch
{
    size_t first = 0;
    size_t end = 0;
    double sum = 0.0;
};

// A sample's vote between burst and noise: its power against the decision
// level (the log-likelihood ratio of exponential powers, scaled). A strong
// burst outvotes a long gap: stretches are split at deep dips.
double vote(double power, double level)
{
    return (power - level) / level;
}

// The stretch of [lo, hi) with the largest sum of score(k) (sign = 1), or the
// smallest (sign = -1).
template <typename Score>
Stretch extremeStretch(size_t lo, size_t hi, double sign, Score score)
{
    Stretch best, running{lo, lo, 0.0};
    for (size_t k = lo; k < hi; ++k) {
        if (running.sum <= 0.0)
            running = {k, k, 0.0};
        running.sum += sign * score(k);
        running.end = k + 1;
        if (running.sum > best.sum)
            best = running;
    }
    best.sum *= sign;
    return best;
}

double meanOf(const std::vector<double>& v, size_t lo, size_t hi)
{
    double sum = 0.0;
    for (size_t k = lo; k < hi; ++k)
        sum += v[k];
    return hi > lo ? sum / static_cast<double>(hi - lo) : 0.0;
}

// The level that best tells power of mean p1 from power of mean p0.
double decisionLevel(double p0, double p1)
{
    return p0 * p1 * std::log(p1 / p0) / (p1 - p0);
}

// How far a mean power p (the noise's 1) over `cells` grid cells lies above
// the noise, in standard deviations of a normal variable with the same tail:
// the mean of n independent exponential values is a gamma variable, made
// nearly normal by its cube root (Wilson and Hilferty).
double noiseSigmas(double p, double cells)
{
    const double n = std::max(cells / cellsPerValue, 1.0);
    const double v = 1.0 / (9.0 * n);
    return (std::cbrt(std::max(p, 0.0)) - (1.0 - v)) / std::sqrt(v);
}

struct BinRun
{
    uint32_t first = 0;
    uint32_t last = 0;
    // Its mean excess and how many standard deviations of noise that is.
    double excess = 0.0;
    double sigmas = 0.0;
};

// The bins of [lo, hi] the burst occupies: the stretch of bins that best fits
// "burst here, noise around" (as in time), refined with its own level.
std::optional<BinRun> occupiedRun(const Spectrum& s, uint32_t lo, uint32_t hi)
{
    std::vector<double> power(s.size());
    for (uint32_t b = 0; b < s.size(); ++b)
        power[b] = 1.0 + s.excess[b];
    double p1 = meanOf(power, lo, hi + 1);
    if (!(p1 > 1.001))
        return std::nullopt;
    Stretch best;
    for (int pass = 0; pass < 3; ++pass) {
        const double level = decisionLevel(1.0, p1);
        best = extremeStretch(lo, hi + 1, 1.0, [&](size_t b) { return vote(power[b], level); });
        if (best.end <= best.first)
            return std::nullopt;
        p1 = meanOf(power, best.first, best.end);
        if (!(p1 > 1.001))
            return std::nullopt;
    }
    BinRun run;
    run.first = static_cast<uint32_t>(best.first);
    run.last = static_cast<uint32_t>(best.end - 1);
    run.excess = p1 - 1.0;
    run.sigmas = noiseSigmas(p1, static_cast<double>(best.end - best.first) * static_cast<double>(s.columns));
    return run;
}

// The occupied runs of [lo, hi] that reach `sigmas`: the strongest, then those beside it.
std::vector<BinRun> occupiedRuns(const Spectrum& s, uint32_t lo, uint32_t hi, double sigmas)
{
    std::vector<BinRun> runs;
    std::vector<std::pair<uint32_t, uint32_t>> todo{{lo, hi}};
    while (!todo.empty()) {
        const auto [a, b] = todo.back();
        todo.pop_back();
        const std::optional<BinRun> run = occupiedRun(s, a, b);
        if (!run || run->sigmas < sigmas)
            continue;
        // Within two bins of a run 20 dB stronger, it is that run's leakage.
        const bool leakage = std::any_of(runs.begin(), runs.end(), [&](const BinRun& r) {
            return r.first <= run->last + 2 && run->first <= r.last + 2 && run->excess * 100.0 < r.excess;
        });
        if (!leakage)
            runs.push_back(*run);
        if (run->first > a)
            todo.emplace_back(a, run->first - 1);
        if (run->last < b)
            todo.emplace_back(run->last + 1, b);
    }
    std::sort(runs.begin(), runs.end(), [](const BinRun& x, const BinRun& y) { return x.first < y.first; });
    return runs;
}

// |H(f)|^2 of two moving averages of K samples, f in cycles per sample.
double averagePowerResponse(double f, uint32_t K)
{
    const double d = std::sin(std::numbers::pi * f);
    if (std::abs(d) < 1e-12)
        return 1.0;
    const double h = std::sin(std::numbers::pi * f * K) / (K * d);
    return h * h * h * h;
}

// The band [first, last] bins' power against time over samples [r0, r1): the
// band mixed to 0 Hz and averaged twice over K samples, centred.
struct BandPower
{
    uint64_t start = 0; // sample of power[0]
    std::vector<double> power;
    double noise = 0.0;
    uint32_t averaging = 1;
};

BandPower bandPower(const SampleSource& source, const BurstRequest& request, const BurstNoise& noise,
                    const BinRun& run, uint64_t r0, uint64_t r1)
{
    const double width = run.last - run.first + 1;
    const auto K = static_cast<uint32_t>(std::max(1.0, std::round(burstFftSize / width)));
    const double centre = ((run.first + run.last) / 2.0 - burstFftSize / 2.0) / burstFftSize;
    const auto n = static_cast<size_t>(r1 - r0);
    std::vector<double> i(n), q(n);
    source.read(r0, n, i.data(), q.data());
    std::vector<std::complex<double>> mixed(n);
    for (size_t k = 0; k < n; ++k) {
        const double phase = -2.0 * std::numbers::pi * centre * static_cast<double>((r0 + k) % (2 * burstFftSize));
        const std::complex<double> x(request.offset.remove ? i[k] - request.offset.i : i[k],
                                     request.offset.remove ? q[k] - request.offset.q : q[k]);
        mixed[k] = x * std::polar(1.0, phase);
    }
    // Two running means of K samples: output k stands for sample k - (K - 1).
    auto runningMean = [K](std::vector<std::complex<double>>& v) {
        std::complex<double> sum = 0.0;
        std::vector<std::complex<double>> out(v.size());
        for (size_t k = 0; k < v.size(); ++k) {
            sum += v[k];
            if (k >= K)
                sum -= v[k - K];
            out[k] = sum / static_cast<double>(K);
        }
        v = std::move(out);
    };
    runningMean(mixed);
    runningMean(mixed);
    BandPower result;
    result.averaging = K;
    const size_t delay = K - 1;
    result.start = r0;
    if (n > 2 * delay) {
        result.power.resize(n - 2 * delay);
        for (size_t k = 0; k < result.power.size(); ++k)
            result.power[k] = std::norm(mixed[k + 2 * delay]);
        result.start = r0 + delay;
    }
    const double windowPower = burstWindowPower();
    for (uint32_t b = 0; b < burstFftSize; ++b) {
        const double f = (b - burstFftSize / 2.0) / burstFftSize - centre;
        result.noise += noise.binPower[b] / windowPower / burstFftSize * averagePowerResponse(f, K);
    }
    return result;
}

// A finer spectrum of samples [s0, s1): N-point Welch segments at half
// overlap, the noise per bin taken from the grid's floor.
Spectrum finerSpectrum(const SampleSource& source, const BurstRequest& request, const BurstNoise& noise, uint64_t s0,
                       uint64_t s1, uint32_t N)
{
    const auto n = static_cast<size_t>(s1 - s0);
    std::vector<double> i(n), q(n);
    source.read(s0, n, i.data(), q.data());
    if (request.offset.remove)
        for (size_t k = 0; k < n; ++k) {
            i[k] -= request.offset.i;
            q[k] -= request.offset.q;
        }
    const std::vector<double> power = welchSpectrum(i.data(), q.data(), n, N, N, N / 2, 1);
    Spectrum result;
    result.excess.resize(N);
    result.noise.resize(N);
    const uint32_t ratio = N / burstFftSize;
    const double windowPower = burstWindowPower();
    for (uint32_t k = 0; k < N; ++k) {
        const uint32_t grid = std::min<uint32_t>(burstFftSize - 1, (k + ratio / 2) / ratio);
        result.noise[k] = noise.binPower[grid] / windowPower;
        result.excess[k] = power[(k + N / 2) % N] / result.noise[k] - 1.0;
    }
    result.columns = n >= N ? (n - N) / (N / 2) + 1 : 1;
    return result;
}

struct Edges
{
    double lowHz = 0.0;
    double highHz = 0.0;
    double snrDb = 0.0;
    double sigmas = 0.0;
    // The occupied bins' run.
    BinRun run;
};

// The band a burst occupies among bins [lo, hi] of a spectrum of N bins over
// rate: the run of bins that stands out (its significance), then, where it
// stands well out of the noise, the bins within 20 dB of its peak (smoothed
// over three bins) with edges where the excess crosses half their median
// level; its SNR over the noise in that band.
std::optional<Edges> edgesOf(const Spectrum& s, uint32_t lo, uint32_t hi, double rate)
{
    const std::optional<BinRun> found = occupiedRun(s, lo, hi);
    if (!found)
        return std::nullopt;
    const BinRun& band = *found;
    const uint32_t N = s.size();
    const double binHz = rate / N;
    auto binFrequency = [&](double b) { return (b - N / 2.0) * binHz; };
    double lowBin = band.first - 0.5, highBin = band.last + 0.5;
    const double spread = std::sqrt(cellsPerValue / static_cast<double>(s.columns));
    auto smoothed = [&](uint32_t b) {
        const double left = b > lo ? s.excess[b - 1] : s.excess[b];
        const double right = b < hi ? s.excess[b + 1] : s.excess[b];
        return (left + s.excess[b] + right) / 3.0;
    };
    uint32_t peakBin = band.first;
    double peak = 0.0;
    for (uint32_t b = band.first; b <= band.last; ++b)
        if (smoothed(b) > peak) {
            peak = smoothed(b);
            peakBin = b;
        }
    const double occupied = std::max(peak * std::pow(10.0, occupiedDb / 10.0), 3.0 * spread);
    uint32_t oa = peakBin, ob = peakBin;
    while (oa > lo && (smoothed(oa - 1) >= occupied || (oa > lo + 1 && smoothed(oa - 2) >= occupied)))
        --oa;
    while (ob < hi && (smoothed(ob + 1) >= occupied || (ob + 1 < hi && smoothed(ob + 2) >= occupied)))
        ++ob;
    std::vector<double> levels(s.excess.begin() + oa, s.excess.begin() + ob + 1);
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    const double half = levels[levels.size() / 2] / 2.0;
    if (half > 4.0 * spread) {
        for (uint32_t b = oa; b <= ob; ++b)
            if (s.excess[b] >= half) {
                const double below = b > 0 ? s.excess[b - 1] : 0.0;
                lowBin = b - std::clamp((s.excess[b] - half) / std::max(s.excess[b] - below, 1e-30), 0.0, 1.0);
                break;
            }
        for (uint32_t b = ob + 1; b-- > oa;)
            if (s.excess[b] >= half) {
                const double above = b + 1 < N ? s.excess[b + 1] : 0.0;
                highBin = b + std::clamp((s.excess[b] - half) / std::max(s.excess[b] - above, 1e-30), 0.0, 1.0);
                break;
            }
    }
    Edges edges;
    edges.run = band;
    edges.sigmas = band.sigmas;
    edges.lowHz = binFrequency(lowBin);
    edges.highHz = binFrequency(highBin);
    // Leakage just outside the occupied bins is the burst's power too; the
    // noise is that of the band between the edges.
    const uint32_t a = std::min(band.first, oa), z = std::max(band.last, ob);
    double signal = 0.0, noisePower = 0.0;
    for (uint32_t b = a > 0 ? a - 1 : 0; b <= std::min(N - 1, z + 1); ++b)
        signal += s.excess[b] * s.noise[b];
    for (uint32_t b = a; b <= z; ++b)
        noisePower += s.noise[b];
    const double noiseInBand = noisePower / (z - a + 1) * std::max(highBin - lowBin, 1.0);
    edges.snrDb = 10.0 * std::log10(std::max(signal, 1e-300) / noiseInBand);
    return edges;
}

// A burst over samples [s0, s1) in the bins of `run` and beside them: its
// band edges and SNR, or nothing when its energy over the noise is not
// significant. A narrow band is measured again on a finer spectrum, when the
// burst is long enough for one.
std::optional<Burst> measured(const SampleSource& source, const BurstRequest& request, const BurstNoise& noise,
                              const BinRun& run, uint64_t s0, uint64_t s1)
{
    const Spectrum s = spectrumOf(source, request, noise, s0, s1);
    const uint32_t reach = std::max<uint32_t>(2, (run.last - run.first + 1) / 2);
    const uint32_t lo = std::max(noise.firstBin, run.first > reach ? run.first - reach : 0);
    const uint32_t hi = std::min(noise.endBin - 1, run.last + reach);
    std::optional<Edges> edges = edgesOf(s, lo, hi, request.sampleRate);
    if (!edges || edges->sigmas < noise.acceptSigmas)
        return std::nullopt;
    uint32_t ratio = 1;
    while ((edges->run.last - edges->run.first + 1) * ratio < finestBandBins && burstFftSize * ratio < finestFftSize
           && s1 - s0 >= uint64_t(8) * burstFftSize * ratio * 2)
        ratio *= 2;
    if (ratio > 1) {
        const Spectrum fine = finerSpectrum(source, request, noise, s0, s1, burstFftSize * ratio);
        const uint32_t a = edges->run.first > 2 ? edges->run.first - 2 : 0;
        const uint32_t z = std::min(burstFftSize - 1, edges->run.last + 2);
        if (const std::optional<Edges> finer =
                edgesOf(fine, std::max(a * ratio, noise.firstBin * ratio),
                        std::min(z * ratio + ratio - 1, noise.endBin * ratio - 1), request.sampleRate))
            edges = finer;
    }
    Burst burst;
    burst.sampleStart = s0;
    burst.sampleCount = s1 - s0;
    burst.lowHz = std::max(request.low, edges->lowHz);
    burst.highHz = std::min(request.high, edges->highHz);
    burst.snrDb = edges->snrDb;
    return burst;
}

} // namespace

std::vector<Burst> burstsInRegion(const SampleSource& source, const BurstRequest& request, const BurstNoise& noise,
                                  const BurstRegion& region, WorkControl& control)
{
    std::vector<Burst> found;
    const uint64_t s0 = request.first + region.firstColumn * burstHop;
    const uint64_t s1 = std::min(request.end, request.first + region.lastColumn * burstHop + burstFftSize);
    const uint32_t lo = std::max(noise.firstBin, region.firstBin);
    const uint32_t hi = std::min(noise.endBin - 1, region.lastBin);
    // The bands occupied: over the whole region, and over stretches of it at
    // half overlap where it is long (bursts one after the other in other bands).
    // The bands occupied: over stretches of the region at half overlap, 8192
    // samples long, four times that, ... up to the whole region (bursts one
    // after the other in other bands make one wide band of a long stretch, and
    // a long weak burst stands out of the noise only over a long one). Bands
    // found twice count once.
    std::vector<BinRun> runs;
    auto add = [&runs](const BinRun& run) {
        const bool known = std::any_of(runs.begin(), runs.end(), [&](const BinRun& r) {
            return std::abs(int(r.first) - int(run.first)) <= 2 && std::abs(int(r.last) - int(run.last)) <= 2;
        });
        if (!known)
            runs.push_back(run);
    };
    for (uint64_t stretch = regionStretch;; stretch *= 4) {
        for (uint64_t w0 = s0;; w0 += stretch / 2) {
            const uint64_t w1 = s1 - s0 <= stretch ? s1 : std::min(s1, w0 + stretch);
            for (const BinRun& run :
                 occupiedRuns(spectrumOf(source, request, noise, w0, w1), lo, hi, noise.acceptSigmas))
                add(run);
            if (w1 == s1)
                break;
        }
        if (stretch >= s1 - s0)
            break;
    }
    for (const BinRun& run : runs) {
        control.check();
        const uint64_t width = run.last - run.first + 1;
        const uint64_t margin = 4 * std::max<uint64_t>(burstFftSize / width, 1) + burstFftSize;
        const uint64_t r0 = s0 > request.first + margin ? s0 - margin : request.first;
        const uint64_t r1 = std::min(request.end, s1 + margin);
        const BandPower band = bandPower(source, request, noise, run, r0, r1);
        if (band.power.empty())
            continue;
        const size_t c0 = s0 > band.start ? static_cast<size_t>(s0 - band.start) : 0;
        const size_t c1 = std::min(band.power.size(), static_cast<size_t>(s1 - band.start));
        const double p0 = band.noise;
        // Stretches one after the other: the strongest, then those beside it;
        // one holding a dip deep enough to be noise is split there.
        const double dip = 16.0 * static_cast<double>(band.averaging) + 64.0;
        std::vector<std::pair<size_t, size_t>> todo{{0, band.power.size()}};
        size_t segments = 0;
        while (!todo.empty() && segments < mostSegmentsPerBand) {
            const auto [lo2, hi2] = todo.back();
            todo.pop_back();
            double p1 = meanOf(band.power, std::max(lo2, c0), std::min(hi2, c1));
            if (!(p1 > p0 * 1.01))
                p1 = p0 * 2.0;
            Stretch best;
            for (int pass = 0; pass < 3; ++pass) {
                const double level = decisionLevel(p0, p1);
                best = extremeStretch(lo2, hi2, 1.0, [&](size_t k) { return vote(band.power[k], level); });
                if (best.end <= best.first)
                    break;
                p1 = meanOf(band.power, best.first, best.end);
                if (!(p1 > p0 * 1.01))
                    break;
            }
            if (best.end <= best.first || !(p1 > p0 * 1.01))
                continue;
            ++segments;
            const double level = decisionLevel(p0, p1);
            const Stretch gap = extremeStretch(best.first, best.end, -1.0,
                                               [&](size_t k) { return vote(band.power[k], level); });
            if (gap.end > gap.first && gap.sum < -dip && gap.first > best.first && gap.end < best.end) {
                todo.emplace_back(lo2, gap.first);
                todo.emplace_back(gap.end, hi2);
                continue;
            }
            const std::optional<Burst> burst =
                measured(source, request, noise, run, band.start + best.first, band.start + best.end);
            if (!burst)
                continue;
            found.push_back(*burst);
            if (best.first > lo2)
                todo.emplace_back(lo2, best.first);
            if (best.end < hi2)
                todo.emplace_back(best.end, hi2);
        }
    }
    return found;
}
