// The trace view's curve: the band's trace reduced per pixel column, from a
// pass over the range (two with a squelch) or from what is kept of the band.

#include "plotdata/TracePass.h"

#include "dsp/PowerMedian.h"
#include "io/SampleSource.h"
#include "plotdata/CurvePass.h"
#include "plotdata/TraceSummaries.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <cstdio>
#include <string>

namespace {

// Recordings this long keep their bands' traces; a pass over at least this
// share of one builds them on the way.
constexpr uint64_t fewestSummarized = uint64_t(1) << 22;
constexpr uint64_t buildingShare = 4;
constexpr std::size_t readBlock = std::size_t(1) << 16;
// A sketch computes this many outputs per pixel column, reading at most this many samples.
constexpr uint64_t sketchOutputs = 8;
constexpr uint64_t sketchSamples = uint64_t(1) << 22;
// A sketch of fewer columns than this is not worth drawing.
constexpr uint64_t sketchFewestColumns = 16;

uint64_t ceilDiv(uint64_t a, uint64_t b)
{
    return a / b + (a % b != 0 ? 1 : 0);
}

// The values of outputs [s, e) of `request`'s band, computed from their samples.
std::vector<double> outputValues(TraceRequest request, uint64_t s, uint64_t e, uint32_t D, const SampleSource& source,
                                 const DcOffset& offset, WorkControl* control)
{
    request.first = s * D;
    request.end = (e - 1) * D + 1;
    BandTrace part(request);
    std::vector<double> values, i(readBlock), q(readBlock);
    for (uint64_t at = part.readFirst(); at < part.readEnd();) {
        if (control)
            control->check();
        const auto count = static_cast<size_t>(std::min<uint64_t>(readBlock, part.readEnd() - at));
        source.read(at, count, i.data(), q.data());
        for (size_t k = 0; offset.remove && k < count; ++k) {
            i[k] -= offset.i;
            q[k] -= offset.q;
        }
        part.consume(at, count, i.data(), q.data(), values);
        at += count;
    }
    part.finish(values);
    return values;
}

} // namespace

class TracePass::Feed : public BlockConsumer
{
public:
    Feed(TracePass& pass, bool measuring) : measuring(measuring), pass(pass) {}

    void consume(uint64_t index, size_t count, const double* i, const double* q, WorkControl& control) override
    {
        control.check();
        values.clear();
        powers.clear();
        pass.trace->consume(index, count, i, q, values, measuring ? &powers : nullptr);
        hand();
    }
    void finish()
    {
        values.clear();
        powers.clear();
        pass.trace->finish(values, measuring ? &powers : nullptr);
        hand();
    }

    bool measuring;
    PowerMedian median;
    std::unique_ptr<CurveEnvelope> envelope;
    // While building what is kept of the band: every output of the recording.
    std::shared_ptr<TraceSummaries::Kept> build;
    std::unique_ptr<CurveValueSink> builder;
    uint64_t given = 0;
    uint64_t shownFirst = 0;
    uint64_t shownEnd = 0;

private:
    void hand()
    {
        if (measuring) {
            median.add(powers.data(), powers.size());
            return;
        }
        if (!builder) {
            envelope->add(values.data(), values.size());
            return;
        }
        builder->add(values.data(), values.size());
        const uint64_t from = std::max(given, shownFirst);
        const uint64_t to = std::min(given + values.size(), shownEnd);
        if (to > from)
            envelope->add(values.data() + (from - given), static_cast<size_t>(to - from));
        given += values.size();
    }

    TracePass& pass;
    std::vector<double> values;
    std::vector<double> powers;
};

TracePass::TracePass(const StreamRange& range, double fs, uint64_t recordingSamples, const TraceSettings& settings,
                     int width, std::shared_ptr<TraceSummaries> summaries)
    : range(range), fs(fs), samples(recordingSamples), settings(settings), width(std::max(width, 1)),
      summaries(std::move(summaries))
{
    startPass(settings.squelchDb.has_value());
}

TracePass::~TracePass() = default;

BlockConsumer& TracePass::consumer()
{
    return *feed;
}

TraceRequest TracePass::requestFor(std::optional<double> squelchBelowDb) const
{
    TraceRequest request;
    request.kind = settings.kind;
    request.sampleRate = fs;
    request.recordingSamples = samples;
    request.low = settings.low;
    request.high = settings.high;
    request.first = range.first;
    request.end = range.end;
    request.fullScale = settings.fullScale;
    request.squelchBelowDb = squelchBelowDb;
    return request;
}

void TracePass::startPass(bool measuring)
{
    std::optional<double> below;
    if (floor && settings.squelchDb)
        below = *floor + *settings.squelchDb;
    trace = std::make_unique<BandTrace>(requestFor(below));
    feed = std::make_unique<Feed>(*this, measuring);
    const CurveFrame frame = rangeFrame(range, fs);
    feed->envelope = std::make_unique<CurveEnvelope>(frame.xMin, frame.xMax, width, trace->firstOutput(),
                                                     trace->outputRate());
}

StreamRange TracePass::readRange(const StreamRange&) const
{
    return {trace->readFirst(), trace->readEnd()};
}

bool TracePass::finishPass()
{
    feed->finish();
    if (feed->measuring) {
        floor = feed->median.median();
        if (!floor)
            floor = PowerMedian::lowestDb;
        startPass(false);
        return false;
    }
    if (feed->build)
        summaries->finished(feed->build, feed->given == feed->build->outputs);
    setCurve(feed->envelope->result(false, settings.squelchDb.has_value()));
    return true;
}

void TracePass::setCurve(ReducedCurve curve)
{
    result = std::move(curve);
    // On the range's own time axis, as the other time plots.
    const CurveFrame frame = rangeFrame(range, fs);
    if (result.ranges.finite) {
        result.ranges.xMin = frame.xMin;
        result.ranges.xMax = frame.xMax;
    }
}

bool TracePass::keepable(const TraceSettings& settings, uint64_t samples)
{
    return settings.kind != TraceKind::Phase && !settings.squelchDb && samples >= fewestSummarized;
}

std::string TracePass::keptKey(const TraceSettings& settings, double fs, uint64_t samples, const DcOffset& offset)
{
    char key[256];
    std::snprintf(key, sizeof key, "trace %d %.17g %.17g %.17g fs %.17g n %llu dc %d %.17g %.17g",
                  static_cast<int>(settings.kind), settings.low, settings.high,
                  settings.kind == TraceKind::Amplitude ? settings.fullScale : 0.0, fs,
                  static_cast<unsigned long long>(samples), offset.remove ? 1 : 0, offset.i, offset.q);
    return key;
}

bool TracePass::computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control)
{
    if (!summaries || !keepable(settings, samples))
        return false;
    const std::string key = keptKey(settings, fs, samples, offset);
    const uint64_t first = trace->firstOutput();
    const uint64_t end = first + trace->outputCount();
    if (const auto kept = summaries->find(key)) {
        const CurveFrame frame = rangeFrame(range, fs);
        if (kept->runs == nullptr) {
            feed->envelope->add(kept->values.data() + first, static_cast<size_t>(end - first));
            setCurve(feed->envelope->result(false));
            return true;
        }
        if (kept->runs->reaches(end - first, width)) {
            const uint64_t D = trace->decimation();
            // The outputs [s, e) that fill no kept run, computed from their samples.
            auto values = [&](uint64_t s, uint64_t e, std::vector<std::vector<double>>& out) {
                out = {outputValues(requestFor(std::nullopt), s, e, static_cast<uint32_t>(D), source, offset, &control)};
            };
            auto curves = kept->runs->curves({0}, {first, end}, trace->outputRate(), width, frame, false, values);
            if (curves) {
                setCurve(std::move(curves->at(0)));
                return true;
            }
        }
        return false;
    }
    // A pass over most of the recording reads all of it and keeps the band.
    if (range.size() * buildingShare < samples)
        return false;
    const uint64_t total = ceilDiv(samples, trace->decimation());
    auto build = summaries->startBuild(key, total);
    if (!build)
        return false;
    TraceRequest whole = requestFor(std::nullopt);
    whole.first = 0;
    whole.end = samples;
    trace = std::make_unique<BandTrace>(whole);
    feed->build = build;
    feed->builder = TraceSummaries::builder(build);
    feed->shownFirst = first;
    feed->shownEnd = end;
    return false;
}

bool TracePass::sketchFromSummaries(const DcOffset& offset)
{
    if (!sketchSource || settings.kind == TraceKind::Phase || settings.squelchDb || trace->outputCount() == 0)
        return false;
    const uint64_t D = trace->decimation();
    const uint64_t first = trace->firstOutput();
    const uint64_t count = trace->outputCount();
    // Samples a column's outputs read (their filters' windows and the
    // outputs around them the values need), as a column in the middle reads them.
    TraceRequest column = requestFor(std::nullopt);
    const uint64_t centre = first + count / 2;
    column.first = centre * D;
    column.end = (centre + sketchOutputs - 1) * D + 1;
    const BandTrace probe(column);
    const uint64_t perColumn = probe.readEnd() - probe.readFirst();
    const auto columns = static_cast<uint64_t>(width);
    if (count <= sketchOutputs * columns)
        return false;
    // Where every column would read too much (a narrow band's long filter),
    // every step-th column only, the curve joining them; too few, none.
    const uint64_t step = ceilDiv(perColumn * columns, sketchSamples);
    if (columns / step < sketchFewestColumns)
        return false;
    const CurveFrame frame = rangeFrame(range, fs);
    CurveEnvelope envelope(frame.xMin, frame.xMax, width, first, trace->outputRate());
    uint64_t added = first;
    try {
        for (uint64_t c = step / 2; c < columns; c += step) {
            const uint64_t middle = first + (count * (2 * c + 1)) / (2 * static_cast<uint64_t>(width));
            const uint64_t s = std::max(added, middle - std::min(middle, sketchOutputs / 2));
            const uint64_t e = std::min(first + count, s + sketchOutputs);
            if (e <= s)
                continue;
            envelope.addConstant(std::numeric_limits<double>::quiet_NaN(), static_cast<size_t>(s - added));
            const std::vector<double> values =
                outputValues(requestFor(std::nullopt), s, e, static_cast<uint32_t>(D), *sketchSource, offset, nullptr);
            envelope.add(values.data(), std::min<size_t>(values.size(), static_cast<size_t>(e - s)));
            added = e;
        }
    } catch (const std::exception&) {
        return false;
    }
    setCurve(envelope.result(false));
    return true;
}
