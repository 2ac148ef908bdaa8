// Streamed I and Q curves.

#include "plotdata/AmplitudeStream.h"

#include "io/SampleSource.h"
#include "plotdata/CurveSummary.h"
#include "plotdata/SummarySet.h"

#include <algorithm>

AmplitudeStream::AmplitudeStream(uint64_t first, uint64_t n, double fs, double iXMin,
                                 double iXMax, double qXMin, double qXMax, int width)
    : n(n), iEnvelope(iXMin, iXMax, width, first, fs), qEnvelope(qXMin, qXMax, width, first, fs)
{
}

void AmplitudeStream::consume(uint64_t, size_t count, const double* i, const double* q,
                              WorkControl&)
{
    if (consumed >= n)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, n - consumed));
    iEnvelope.add(i, count);
    qEnvelope.add(q, count);
    if (iValues)
        iValues->add(i, count);
    if (qValues)
        qValues->add(q, count);
    consumed += count;
}

namespace {

// The I and Q curves' passes: put together from the recording's summaries when
// they reach (both over the same frame), and building them when the range is
// the whole recording.
class AmplitudePass : public CurvePass
{
public:
    AmplitudePass(const StreamRange& range, double fs, int width, std::shared_ptr<SummarySet> summaries)
        : CurvePass({rangeFrame(range, fs), rangeFrame(range, fs)},
                    [=](const std::vector<CurveFrame>& frames) {
                        return std::make_unique<AmplitudeStream>(range.first, range.size(), fs, frames[0].xMin,
                                                                 frames[0].xMax, frames[1].xMin, frames[1].xMax,
                                                                 width);
                    }),
          range(range), fs(fs), width(width), summaries(std::move(summaries))
    {
    }

    bool computeFromSummaries(const SampleSource& source, const DcOffset& offset, WorkControl& control) override
    {
        if (!summaries || range.size() == 0)
            return false;
        if (auto kept = summaries->amplitude(offset); kept && kept->reaches(range.size(), width)) {
            // I and Q of the samples at column ends, read once for both.
            auto values = [&](uint64_t s, uint64_t e, std::vector<std::vector<double>>& out) {
                std::vector<double> i(static_cast<size_t>(e - s)), q(i.size());
                control.check();
                source.read(s, i.size(), i.data(), q.data());
                for (size_t k = 0; offset.remove && k < i.size(); ++k) {
                    i[k] -= offset.i;
                    q[k] -= offset.q;
                }
                out = {std::move(i), std::move(q)};
            };
            const CurveFrame frame = rangeFrame(range, fs);
            std::optional<std::vector<ReducedCurve>> both = kept->curves({0, 1}, range, fs, width, frame, true, values);
            // A curve whose finite points span less is gathered again over their times.
            for (size_t c = 0; both && c < 2; ++c) {
                const PlotRanges& ranges = both->at(c).ranges;
                if (!ranges.finite || (ranges.xMin == frame.xMin && ranges.xMax == frame.xMax))
                    continue;
                auto one = [&](uint64_t s, uint64_t e, std::vector<std::vector<double>>& out) {
                    values(s, e, out);
                    out = {std::move(out.at(c))};
                };
                auto again = kept->curves({c}, range, fs, width, {ranges.xMin, ranges.xMax}, true, one);
                if (!again)
                    both.reset();
                else
                    both->at(c) = std::move(again->at(0));
            }
            if (both) {
                gathered = std::move(*both);
                return true;
            }
        }
        if (range.first == 0 && range.end == source.size()) {
            building = summaries->buildAmplitude(offset);
            if (building) {
                iBuilder = building->builder(0);
                qBuilder = building->builder(1);
                static_cast<AmplitudeStream&>(*stream).setValueSinks(iBuilder.get(), qBuilder.get());
            }
        }
        return false;
    }

    bool sketchFromSummaries(const DcOffset& offset) override
    {
        const auto kept = summaries ? summaries->amplitude(offset) : nullptr;
        auto sketch = kept ? kept->sketch({0, 1}, range, fs, width, rangeFrame(range, fs), true) : std::nullopt;
        if (sketch)
            gathered = std::move(*sketch);
        return sketch.has_value();
    }

    bool finishPass() override
    {
        if (building) {
            iBuilder.reset();
            qBuilder.reset();
            summaries->finished(building);
            building.reset();
        }
        return CurvePass::finishPass();
    }

private:
    StreamRange range;
    double fs;
    int width;
    std::shared_ptr<SummarySet> summaries;
    std::shared_ptr<CurveSummary> building;
    std::unique_ptr<CurveValueSink> iBuilder;
    std::unique_ptr<CurveValueSink> qBuilder;
};

} // namespace

std::unique_ptr<CurvePass> amplitudePass(const StreamRange& range, double fs, int width,
                                         std::shared_ptr<SummarySet> summaries)
{
    return std::make_unique<AmplitudePass>(range, fs, width, std::move(summaries));
}
