// Streamed moving-average power curve.

#include "plotdata/PowerCurveStream.h"

#include "dsp/ParallelParts.h"
#include "io/SampleSource.h"
#include "plotdata/CurveSummary.h"
#include "plotdata/PlotMath.h"
#include "plotdata/SummarySet.h"

#include <algorithm>

namespace {

// Fewer windows or samples than this per thread are not worth a thread.
constexpr size_t minWindowsPerPart = size_t(1) << 16;
constexpr size_t minSamplesPerPart = size_t(1) << 16;
// Values of a constant stretch handed on at once.
constexpr size_t constantChunk = size_t(1) << 16;

// The window a sample's value is that of: k - h within the windows, else the
// nearest end one.
uint64_t windowOf(uint64_t k, uint64_t h, uint64_t windows)
{
    return k < h ? 0 : std::min(k - h, windows - 1);
}

} // namespace

StreamRange PowerCurveStream::reads(uint64_t recordingSize, uint32_t window, uint64_t first, uint64_t end)
{
    if (window <= 1 || end <= first)
        return {first, end};
    if (recordingSize <= window)
        return {0, recordingSize};
    const uint64_t w = window;
    const uint64_t h = w / 2 - 1;
    const uint64_t windows = recordingSize - w;
    const uint64_t firstBlock = windowOf(first, h, windows) / w;
    const uint64_t endBlock = windowOf(end - 1, h, windows) / w + 1;
    // Block b reads powers b w ... up to (b + 2) w.
    return {std::min(first, firstBlock * w), std::max(end, std::min(recordingSize, (endBlock + 1) * w))};
}

PowerCurveStream::PowerCurveStream(uint64_t recordingSize, uint64_t first, uint64_t n, double fs,
                                   const PowerCurveSettings& settings, double xMin, double xMax, int width)
    : total(recordingSize), first(first), end(first + n), w(settings.window),
      scale(settings.fullScaleValue, settings.fullScaleVoltage, settings.inputImpedance,
            settings.relativeToFullScale),
      envelope(xMin, xMax, width, first, fs), read(reads(recordingSize, settings.window, first, first + n))
{
    powerBase = read.first;
    if (w > 1 && total > w && end > first) {
        const uint64_t h = w / 2 - 1;
        nextBlock = windowOf(first, h, total - w) / w;
        endBlock = windowOf(end - 1, h, total - w) / w + 1;
    }
}

void PowerCurveStream::deliver(const double* y, uint64_t count)
{
    if (gathering)
        envelope.add(y, static_cast<size_t>(count));
    if (values)
        values->add(y, static_cast<size_t>(count));
}

void PowerCurveStream::deliverConstant(double y, uint64_t count)
{
    if (gathering)
        envelope.addConstant(y, static_cast<size_t>(count));
    if (values) {
        const std::vector<double> same(static_cast<size_t>(std::min<uint64_t>(count, constantChunk)), y);
        for (uint64_t k = 0; k < count; k += constantChunk)
            values->add(same.data(), static_cast<size_t>(std::min<uint64_t>(constantChunk, count - k)));
    }
}

void PowerCurveStream::addPowers(size_t count, const double* i, const double* q)
{
    const size_t held = powers.size();
    powers.resize(held + count);
    double* out = powers.data() + held;
    const size_t parts = partCount(count, minSamplesPerPart);
    runParts(parts, [&](size_t t) {
        for (size_t j = count * t / parts; j < count * (t + 1) / parts; ++j)
            out[j] = scale(i[j], q[j]);
    });
}

void PowerCurveStream::consume(uint64_t, size_t count, const double* i, const double* q, WorkControl&)
{
    if (consumed >= read.size() || end <= first)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, read.size() - consumed));
    consumed += count;

    if (w <= 1) {
        // Every sample on its own.
        addPowers(count, i, q);
        const size_t parts = partCount(count, minSamplesPerPart);
        runParts(parts, [&](size_t t) {
            decibelsInPlace(powers.data() + count * t / parts, count * (t + 1) / parts - count * t / parts,
                            scale.decibelFactor);
        });
        deliver(powers.data(), count);
        powers.clear();
        return;
    }
    if (total <= w) {
        // One mean over the whole recording, summed in order.
        for (size_t j = 0; j < count; ++j)
            sum += scale(i[j], q[j]);
        if (consumed == read.size()) {
            double d = sum;
            decibelsInPlace(&d, 1, scale.decibelFactor / static_cast<double>(total));
            deliverConstant(d, end - first);
        }
        return;
    }

    addPowers(count, i, q);
    const uint64_t available = powerBase + powers.size();
    const uint64_t windows = total - w;
    const uint64_t h = w / 2 - 1;
    // Blocks whose powers are all here: block b reads up to min(total, (b + 2) w).
    uint64_t ready = endBlock;
    if (consumed < read.size())
        ready = std::min<uint64_t>(endBlock, available / w >= 2 ? available / w - 1 : 0);
    if (ready <= nextBlock)
        return;
    const uint64_t firstWindow = nextBlock * w;
    const uint64_t endWindow = std::min(windows, ready * w);
    windowValues.resize(static_cast<size_t>(endWindow - firstWindow));
    const double* p = powers.data();
    const uint64_t base = powerBase;
    auto power = [p, base](size_t k) { return p[k - base]; };
    const size_t batch = static_cast<size_t>(ready - nextBlock);
    const size_t parts = std::min(batch, partCount(windowValues.size(), minWindowsPerPart));
    const uint64_t b0 = nextBlock;
    runParts(parts, [&](size_t t) {
        powerWindowBlocks(power, static_cast<size_t>(total), static_cast<size_t>(w),
                          static_cast<size_t>(b0 + batch * t / parts),
                          static_cast<size_t>(b0 + batch * (t + 1) / parts), windowValues.data(),
                          static_cast<size_t>(firstWindow + h), scale.decibelFactor);
    });
    // The range's samples whose windows these are: those before the first
    // window's place repeat it, those past the last window's repeat that.
    if (firstWindow == 0 && first < h)
        deliverConstant(windowValues.front(), std::min(end, h) - first);
    const uint64_t from = std::max(first, firstWindow + h);
    const uint64_t to = std::min(end, endWindow + h);
    if (to > from)
        deliver(windowValues.data() + (from - firstWindow - h), to - from);
    if (endWindow == windows && end > std::max(first, windows + h))
        deliverConstant(windowValues.back(), end - std::max(first, windows + h));
    nextBlock = ready;
    const uint64_t keepFrom = std::min(nextBlock * w, available);
    powers.erase(powers.begin(), powers.begin() + static_cast<ptrdiff_t>(keepFrom - powerBase));
    powerBase = keepFrom;
}

namespace {

// The power curve's passes: put together from the recording's summaries when
// they reach, and building them when the range is the whole recording.
class PowerCurvePass : public CurvePass
{
public:
    PowerCurvePass(uint64_t recordingSize, const StreamRange& range, double fs, const PowerCurveSettings& settings,
                   int width, std::shared_ptr<SummarySet> summaries)
        : CurvePass({rangeFrame(range, fs)},
                    [=](const std::vector<CurveFrame>& frames) {
                        return std::make_unique<PowerCurveStream>(recordingSize, range.first, range.size(), fs,
                                                                  settings, frames[0].xMin, frames[0].xMax, width);
                    }),
          recordingSize(recordingSize), range(range), fs(fs), settings(settings), width(width),
          summaries(std::move(summaries))
    {
    }

    StreamRange readRange(const StreamRange&) const override
    {
        return PowerCurveStream::reads(recordingSize, settings.window, range.first, range.end);
    }

    bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control) override
    {
        if (!summaries || range.size() == 0)
            return false;
        if (auto kept = summaries->power(settings, offset); kept && kept->reaches(range.size(), width)) {
            auto values = [&](uint64_t s, uint64_t e, std::vector<std::vector<double>>& out) {
                out = {powerValues(source, offset, settings, s, e, control)};
            };
            // Gathered again over its finite points' times when they span less.
            const CurveFrame frame = rangeFrame(range, fs);
            auto curve = kept->curves({0}, range, fs, width, frame, false, values);
            if (curve && curve->at(0).ranges.finite
                && !(curve->at(0).ranges.xMin == frame.xMin && curve->at(0).ranges.xMax == frame.xMax))
                curve = kept->curves({0}, range, fs, width, {curve->at(0).ranges.xMin, curve->at(0).ranges.xMax},
                                     false, values);
            if (curve) {
                gathered = std::move(*curve);
                return true;
            }
        }
        if (range.first == 0 && range.end == source.size()) {
            building = summaries->buildPower(settings, offset);
            if (building) {
                builder = building->builder(0);
                static_cast<PowerCurveStream&>(*stream).setValueSink(builder.get());
            }
        }
        return false;
    }

    bool sketchFromSummaries(const DcOffset& offset) override
    {
        const auto kept = summaries ? summaries->power(settings, offset) : nullptr;
        auto sketch = kept ? kept->sketch({0}, range, fs, width, rangeFrame(range, fs), false) : std::nullopt;
        if (sketch)
            gathered = std::move(*sketch);
        return sketch.has_value();
    }

    bool finishPass() override
    {
        if (building) {
            builder.reset();
            summaries->finished(building);
            building.reset();
        }
        return CurvePass::finishPass();
    }

private:
    uint64_t recordingSize;
    StreamRange range;
    double fs;
    PowerCurveSettings settings;
    int width;
    std::shared_ptr<SummarySet> summaries;
    std::shared_ptr<CurveSummary> building;
    std::unique_ptr<CurveValueSink> builder;
};

} // namespace

std::vector<double> powerValues(const SampleSource& source, const DcOffset& offset, const PowerCurveSettings& settings,
                                uint64_t first, uint64_t end, WorkControl& control)
{
    struct Collect : CurveValueSink
    {
        void add(const double* y, size_t count) override { values.insert(values.end(), y, y + count); }
        std::vector<double> values;
    } collect;
    collect.values.reserve(static_cast<size_t>(end - first));
    PowerCurveStream stream(source.size(), first, end - first, 1.0, settings, 0.0, 1.0, 1);
    stream.setValueSink(&collect, true);
    const StreamRange reads = PowerCurveStream::reads(source.size(), settings.window, first, end);
    if (reads.size() > streamBlockSamples) {
        streamRange(source, reads.first, reads.end, offset, {&stream}, control);
        return std::move(collect.values);
    }
    // A few samples: read at once.
    std::vector<double> i(static_cast<size_t>(reads.size())), q(i.size());
    control.check();
    source.read(reads.first, i.size(), i.data(), q.data());
    for (size_t k = 0; offset.remove && k < i.size(); ++k) {
        i[k] -= offset.i;
        q[k] -= offset.q;
    }
    stream.consume(reads.first, i.size(), i.data(), q.data(), control);
    return std::move(collect.values);
}

std::unique_ptr<CurvePass> powerCurvePass(uint64_t recordingSize, const StreamRange& range, double fs,
                                          const PowerCurveSettings& settings, int width,
                                          std::shared_ptr<SummarySet> summaries)
{
    return std::make_unique<PowerCurvePass>(recordingSize, range, fs, settings, width, std::move(summaries));
}
