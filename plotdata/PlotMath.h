#pragma once
// Plain computations behind the plot and the views: the data window of a curve,
// the sample range of a time range, and the moving-average power curve.
// Nothing here draws; the widgets call these and paint the results.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Machine epsilon of double, added before logarithms so that zero power stays finite.
constexpr double powerFloor = 2.220446049250313e-16;

// Double to int toward zero, saturated to the int range; NaN gives 0.
int truncToInt(double value);

// The data window of a curve: smallest and largest x and y over the points whose
// coordinates are both finite (first found). With `symmetric`, a y range that
// straddles zero is widened to be centred on it. A zero extent (all values equal)
// is opened up around the value, by a tenth of it, or by 1 around zero. `finite`
// is false when no point is finite; the ranges are then meaningless.
struct PlotRanges
{
    double xMin;
    double xMax;
    double yMin;
    double yMax;
    bool finite;
};
PlotRanges plotRanges(const std::vector<double>& x, const std::vector<double>& y, bool symmetric);
// The symmetric and zero-extent widening of plotRanges applied to the plain
// smallest and largest finite coordinates.
PlotRanges completePlotRanges(PlotRanges plain, bool symmetric);

// The sample at or after time t (floor(fs t)) and the one at or before it
// (ceil(fs t)), as whole doubles (not clamped; NaN for NaN). Where fs t rounds
// across a whole number, the sample k whose time k / fs (as a double) t equals
// is taken: the shortest text of a sample's time reads back as that sample.
double sampleAtOrAfter(double fs, double t);
double sampleAtOrBefore(double fs, double t);

// Samples [first, end) of a time range at fs samples per second: first =
// sampleAtOrAfter(fs, startTime), end = sampleAtOrBefore(fs, stopTime) + 1, both
// clamped to 0 ... count, so that nothing past the recording is ever addressed;
// end >= first.
struct SampleRange
{
    uint32_t first;
    uint32_t end;
    uint32_t size() const { return end - first; }
};
SampleRange sampleRange(double fs, uint32_t count, double startTime, double stopTime);

// t_k = (first + k) / fs for every sample of the range, seconds.
std::vector<double> sampleTimes(const SampleRange& range, double fs);
// The same into `times`, resized to the range (its storage reused when large enough).
void sampleTimes(const SampleRange& range, double fs, std::vector<double>& times);
// The same times, shared: while a vector handed out earlier for the same range and
// rate is still held somewhere, that one is returned instead of a new one, so that
// the views plotting one range against time keep a single copy.
std::shared_ptr<const std::vector<double>> sharedSampleTimes(const SampleRange& range, double fs);

// Power of n samples in dBm after a moving average of `window` samples:
// p_k = V*V*((Q*Q + I*I)/(FS*FS))/2/R watts; output k is the mean of
// p_(k-h) ... p_(k-h+window-1) with h = window/2 - 1, as 10*log10(mean/0.001 + eps);
// the first h outputs repeat output h and the outputs past the last window (which
// ends at p_(n-2)) repeat its value. window <= 1: every sample on its own; n <= window:
// the mean of all n samples everywhere. Costs O(n) whatever the window, and stays
// within 1e-11 dB of summing each window afresh (the sums differ by a few ulps,
// the logarithm is the series of decibelsInPlace).
std::vector<double> powerCurve(const double* i, const double* q, size_t n, uint32_t window,
                               double fullScaleValue, double fullScaleVoltage,
                               double inputImpedance);
// The same into d[0 ... n - 1], so that a caller can reuse its buffer.
void powerCurve(const double* i, const double* q, size_t n, uint32_t window,
                double fullScaleValue, double fullScaleVoltage, double inputImpedance, double* d);
// The same with the windows shared out over `threads` threads (0: as many as the
// length makes worthwhile, up to one per core); the values do not depend on it.
void powerCurve(const double* i, const double* q, size_t n, uint32_t window,
                double fullScaleValue, double fullScaleVoltage, double inputImpedance, double* d,
                unsigned threads);
