// Peaks, markers and band measurements over a Welch spectrum, worked out on a
// centred copy of its bins (most negative frequency first).

#include "dsp/SpectrumMeasurements.h"

#include "dsp/BandRule.h"
#include "dsp/WelchStatistics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double milliwatt = 1e-3;
constexpr double hundredPercent = 100.0;
// The Hann main lobe's half-width in units of fs / L.
constexpr uint64_t lobeHalfWidthInSegmentBins = 2;
// A marker refined off its peak bin lies within half a bin of it.
constexpr double ownBinReach = 0.5;

double decibels(double ratio)
{
    return 10.0 * std::log10(ratio);
}

// The spectrum's bins in centred order; bin j stands for (j - half) fs / N.
struct Centred
{
    std::vector<double> p;
    size_t half;
    double fs;
    uint32_t segmentLength;

    size_t size() const { return p.size(); }
    double frequency(double j) const { return (j - double(half)) * fs / double(p.size()); }
    double binWidth() const { return fs / double(p.size()); }
};

// Absent for fewer than 2 bins, a sample rate that is not finite and positive, or
// a bin that is not finite and non-negative.
std::optional<Centred> centred(const MeasuredSpectrum& spectrum)
{
    const size_t n = spectrum.power.size();
    if (n < 2 || !(spectrum.sampleRate > 0.0) || !std::isfinite(spectrum.sampleRate))
        return std::nullopt;
    Centred c{std::vector<double>(n), n / 2, spectrum.sampleRate, spectrum.segmentLength};
    const size_t zeroHz = n - n / 2; // the FFT bin of centred bin 0
    for (size_t j = 0; j < n; ++j) {
        const double v = spectrum.power[(j + zeroHz) % n];
        if (!std::isfinite(v) || v < 0.0)
            return std::nullopt;
        c.p[j] = v;
    }
    return c;
}

// Centred bins first ... first + count - 1: those the views show for the band
// [lowHz, highHz] (dsp/BandRule.h), kept within the spectrum.
struct BinRange
{
    size_t first = 0;
    size_t count = 0;
    size_t last() const { return first + count - 1; }
};

BinRange bandBins(const Centred& c, double lowHz, double highHz)
{
    const auto N = uint32_t(std::min<size_t>(c.size(), UINT32_MAX));
    const double low = bandStartPosition(c.fs, N, lowHz);
    const double high = bandStopPosition(c.fs, N, highHz);
    if (!(low <= high)) // also NaN
        return {};
    const double first = std::max(low, 0.0);
    const double last = std::min(high, double(c.size()) - 1.0);
    if (first > last)
        return {};
    return {size_t(first), size_t(last - first) + 1};
}

std::optional<double> dbm(double squaredSamples, const PowerCalibration& calibration)
{
    const double V = calibration.fullScaleVoltage;
    const double FS = calibration.fullScaleValue;
    const double wattsPerUnit = V * V / (FS * FS) / 2.0 / calibration.inputImpedance;
    if (!(wattsPerUnit > 0.0) || !std::isfinite(wattsPerUnit))
        return std::nullopt;
    const double watts = squaredSamples * wattsPerUnit;
    if (!(watts > 0.0) || !std::isfinite(watts))
        return std::nullopt;
    return decibels(watts / milliwatt);
}

// The highest bin of the range (the lowest of equal ones); absent when it is 0.
std::optional<size_t> highestBin(const Centred& c, BinRange band)
{
    if (band.count == 0)
        return std::nullopt;
    const auto begin = c.p.begin() + std::ptrdiff_t(band.first);
    const size_t j = size_t(std::max_element(begin, begin + std::ptrdiff_t(band.count)) - c.p.begin());
    if (!(c.p[j] > 0.0))
        return std::nullopt;
    return j;
}

// S(x) = sin(x L / 2) / sin(x / 2), the Dirichlet kernel's magnitude part (L at 0).
double dirichlet(double x, double L)
{
    const double den = std::sin(0.5 * x);
    return den == 0.0 ? L : std::sin(0.5 * x * L) / den;
}

// |W(d)|^2 for the L-point symmetric Hann window (hannWindow) zero-filled to N
// points, at d bins from a tone: W(w) = sum w[n] e^{-jwn} with w[n] = 1/2 - 1/2
// cos(theta n), theta = 2 pi / (L - 1), is e^{-jw(L-1)/2} (S(w)/2 + S(w - theta)/4 +
// S(w + theta)/4) at w = 2 pi d / N, a closed form of the window's own transform.
double hannResponse(double d, double N, double L)
{
    const double w = 2.0 * std::numbers::pi * d / N;
    const double theta = 2.0 * std::numbers::pi / (L - 1.0);
    const double value = 0.5 * dirichlet(w, L) + 0.25 * dirichlet(w - theta, L) + 0.25 * dirichlet(w + theta, L);
    return value * value;
}

// The offset delta in [-1/2, 1/2] of a lone tone from bin j whose neighbours hold a
// and c: the power at bin j + m of a tone delta bins above j is |W(m - delta)|^2
// times its own, so c / a = |W(1 - delta)|^2 / |W(-1 - delta)|^2, which rises with
// delta across the main lobe and is solved by bisection: right by construction,
// to the rounding of the powers, at any offset and segment length.
double hannOffset(double a, double c, double N, double L)
{
    const auto excess = [&](double delta) {
        return std::log(hannResponse(1.0 - delta, N, L)) - std::log(hannResponse(-1.0 - delta, N, L))
               - std::log(c / a);
    };
    double low = -0.5, high = 0.5;
    if (excess(low) >= 0.0)
        return low;
    if (excess(high) <= 0.0)
        return high;
    for (int step = 0; step < 64 && high - low > 1e-15; ++step) {
        const double middle = 0.5 * (low + high);
        (excess(middle) < 0.0 ? low : high) = middle;
    }
    return 0.5 * (low + high);
}

SpectrumMarker marker(const Centred& c, size_t j, const PowerCalibration& calibration)
{
    const size_t n = c.size();
    const double a = c.p[(j + n - 1) % n];
    const double b = c.p[j];
    const double cNext = c.p[(j + 1) % n];
    double offset = 0.0;
    double level = decibels(b);
    const double N = double(n);
    const double L = double(c.segmentLength);
    if (a > 0.0 && cNext > 0.0 && b >= a && b >= cNext && c.segmentLength >= 3 && c.segmentLength <= n) {
        offset = hannOffset(a, cNext, N, L);
        // The level at the vertex: the bin's power less the window's loss there.
        level = decibels(b * hannResponse(0.0, N, L) / hannResponse(-offset, N, L));
    } else if (a > 0.0 && cNext > 0.0 && b >= a && b >= cNext) {
        // No Hann segment to invert: the parabola through the three in dB.
        const double A = decibels(a);
        const double C = decibels(cNext);
        const double curvature = A - 2.0 * level + C;
        if (curvature < 0.0) {
            offset = 0.5 * (A - C) / curvature;
            level = level - 0.25 * (A - C) * offset;
        }
    }
    double f = c.frequency(double(j) + offset);
    if (f < -0.5 * c.fs)
        f = f + c.fs;
    else if (f >= 0.5 * c.fs)
        f = f - c.fs;
    SpectrumMarker result{f, level - decibels(c.fs), std::nullopt};
    const uint32_t h = mainLobeHalfWidth(uint32_t(std::min<size_t>(n, UINT32_MAX)), c.segmentLength);
    if (h > 0) {
        double sum = 0.0;
        if (2 * size_t(h) + 1 >= n) {
            for (double v : c.p)
                sum = sum + v;
        } else {
            for (size_t k = 0; k <= 2 * size_t(h); ++k)
                sum = sum + c.p[(j + n - h + k) % n];
        }
        result.powerDbm = dbm(sum / double(n), calibration);
    }
    return result;
}

// Walking from bin j up (or down), the spectrum falls to `floorLevel` or below, or
// reaches its end, before it rises above `top`.
bool fallsBeforeRising(const std::vector<double>& p, size_t j, bool up, double floorLevel, double top)
{
    const size_t steps = up ? p.size() - 1 - j : j;
    for (size_t s = 1; s <= steps; ++s) {
        const double v = p[up ? j + s : j - s];
        if (v > top)
            return false;
        if (v <= floorLevel)
            return true;
    }
    return true;
}

bool standsOut(const std::vector<double>& p, size_t j, size_t lobe, double excursionRatio)
{
    const double top = p[j];
    if (!(top > 0.0))
        return false;
    const size_t from = j >= lobe ? j - lobe : 0;
    const size_t to = std::min(j + lobe, p.size() - 1);
    for (size_t i = from; i < j; ++i) {
        if (p[i] >= top)
            return false;
    }
    for (size_t i = j + 1; i <= to; ++i) {
        if (p[i] > top)
            return false;
    }
    const double floorLevel = top / excursionRatio;
    return fallsBeforeRising(p, j, false, floorLevel, top) && fallsBeforeRising(p, j, true, floorLevel, top);
}

// Bins from the band's lower end (upper end, fromTop) at which the power summed
// from that end reaches `cut`, a bin's power spread evenly over its width.
double cutPosition(const double* p, size_t count, double cut, bool fromTop)
{
    double sum = 0.0;
    for (size_t i = 0; i < count; ++i) {
        const double v = p[fromTop ? count - 1 - i : i];
        if (v > 0.0 && sum + v >= cut)
            return double(i) + (cut - sum) / v;
        sum = sum + v;
    }
    return double(count);
}

} // namespace

uint32_t mainLobeHalfWidth(uint32_t N, uint32_t L)
{
    if (L == 0 || L > N)
        return 0;
    const uint64_t bins = (lobeHalfWidthInSegmentBins * N + L - 1) / L;
    return uint32_t(std::min<uint64_t>(bins, std::max<uint32_t>(N / 2, 1)));
}

std::optional<SpectrumMarker> spectrumPeak(const MeasuredSpectrum& spectrum, double lowHz,
                                           double highHz, const PowerCalibration& calibration)
{
    const std::optional<Centred> c = centred(spectrum);
    if (!c)
        return std::nullopt;
    const std::optional<size_t> j = highestBin(*c, bandBins(*c, lowHz, highHz));
    if (!j)
        return std::nullopt;
    return marker(*c, *j, calibration);
}

std::optional<SpectrumMarker> nextPeak(const MeasuredSpectrum& spectrum, double fromHz,
                                       PeakDirection direction, double lowHz, double highHz,
                                       const PowerCalibration& calibration, double excursionDb)
{
    const std::optional<Centred> c = centred(spectrum);
    if (!c || !std::isfinite(fromHz) || !(excursionDb >= 0.0))
        return std::nullopt;
    const uint32_t lobe = mainLobeHalfWidth(uint32_t(std::min<size_t>(c->size(), UINT32_MAX)), c->segmentLength);
    const BinRange band = bandBins(*c, lowHz, highHz);
    if (lobe == 0 || band.count == 0)
        return std::nullopt;
    const double excursionRatio = std::pow(10.0, excursionDb / 10.0);
    const double x = fromHz / c->fs * double(c->size()) + double(c->half);
    if (direction == PeakDirection::right) {
        const double start = std::max(std::floor(x + ownBinReach) + 1.0, double(band.first));
        for (size_t j = start <= double(band.last()) ? size_t(start) : band.last() + 1; j <= band.last(); ++j) {
            if (standsOut(c->p, j, lobe, excursionRatio))
                return marker(*c, j, calibration);
        }
    } else {
        const double start = std::min(std::ceil(x - ownBinReach) - 1.0, double(band.last()));
        for (size_t j = start >= double(band.first) ? size_t(start) + 1 : band.first; j-- > band.first;) {
            if (standsOut(c->p, j, lobe, excursionRatio))
                return marker(*c, j, calibration);
        }
    }
    return std::nullopt;
}

BandMeasurements measureBand(const MeasuredSpectrum& spectrum, double lowHz, double highHz,
                             const PowerCalibration& calibration, double occupiedPercent)
{
    BandMeasurements r{};
    r.bandLowHz = lowHz;
    r.bandHighHz = highHz;
    r.binWidthHz = std::numeric_limits<double>::quiet_NaN();
    r.occupiedPercent = occupiedPercent;
    const std::optional<Centred> c = centred(spectrum);
    if (!c)
        return r;
    r.binWidthHz = c->binWidth();
    const BinRange band = bandBins(*c, lowHz, highHz);
    r.binCount = uint32_t(band.count);
    if (band.count == 0)
        return r;
    const double* p = c->p.data() + band.first;
    double total = 0.0;
    double moment = 0.0;
    for (size_t k = 0; k < band.count; ++k) {
        total = total + p[k];
        moment = moment + c->frequency(double(band.first + k)) * p[k];
    }

    if (total > 0.0) {
        r.channelPowerDbm = dbm(total / double(c->size()), calibration);
        r.meanFrequencyHz = moment / total;
        r.peakFrequencyHz = marker(*c, *highestBin(*c, band), calibration).frequencyHz;
        if (occupiedPercent > 0.0 && occupiedPercent <= hundredPercent) {
            const double cut = total * ((hundredPercent - occupiedPercent) / (2.0 * hundredPercent));
            const double width = c->binWidth();
            const double low = c->frequency(double(band.first)) - 0.5 * width
                               + width * cutPosition(p, band.count, cut, false);
            const double high = c->frequency(double(band.last())) + 0.5 * width
                                - width * cutPosition(p, band.count, cut, true);
            r.occupiedLowHz = low;
            r.occupiedHighHz = high;
            r.occupiedBandwidthHz = high - low;
        }
    }

    const double K = spectrum.effectiveSegments;
    if (K >= 1.0 && std::isfinite(K)) {
        std::vector<double> sorted(p, p + band.count);
        const size_t middle = band.count / 2;
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(middle), sorted.end());
        double median = sorted[middle];
        if (band.count % 2 == 0)
            median = 0.5 * (median + *std::max_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(middle)));
        const double dof = 2.0 * K;
        const double noisePerBin = median / (chiSquareMedian(dof) / dof);
        if (noisePerBin > 0.0) {
            r.noiseDensityDbHz = decibels(noisePerBin / c->fs);
            const double noise = noisePerBin * double(band.count);
            if (total > noise)
                r.snrDb = decibels((total - noise) / noise);
        }
    }
    return r;
}
