// Background builds of the summaries the views need.

#include "session/SummaryBuilds.h"

#include "io/SampleSource.h"
#include "session/JobRunner.h"
#include "plotdata/AmplitudeStream.h"
#include "plotdata/SpectrogramPass.h"
#include "plotdata/SummarySet.h"
#include "plotdata/TraceSummaries.h"

#include <bit>
#include <vector>

bool SummaryNeeds::operator==(const SummaryNeeds& other) const
{
    auto samePower = [](const std::optional<PowerCurveSettings>& a, const std::optional<PowerCurveSettings>& b) {
        return a.has_value() == b.has_value()
               && (!a
                   || (a->window == b->window && a->fullScaleValue == b->fullScaleValue
                       && a->fullScaleVoltage == b->fullScaleVoltage && a->inputImpedance == b->inputImpedance));
    };
    auto sameSpectrogram = [](const std::optional<Spectrogram>& a, const std::optional<Spectrogram>& b) {
        return a.has_value() == b.has_value()
               && (!a
                   || (a->exponent == b->exponent
                       && std::bit_cast<uint64_t>(a->overlap) == std::bit_cast<uint64_t>(b->overlap)));
    };
    auto sameSpectrum = [](const std::optional<SpectrumSettings>& a, const std::optional<SpectrumSettings>& b) {
        return a.has_value() == b.has_value()
               && (!a
                   || (a->fftSize == b->fftSize
                       && std::bit_cast<uint64_t>(a->overlap) == std::bit_cast<uint64_t>(b->overlap)));
    };
    auto sameTrace = [](const std::optional<Trace>& a, const std::optional<Trace>& b) {
        return a.has_value() == b.has_value() && (!a || (a->settings == b->settings && a->kept == b->kept));
    };
    return sameSpectrogram(spectrogram, other.spectrogram) && sameSpectrum(spectrum, other.spectrum)
           && samePower(power, other.power) && amplitude == other.amplitude && sameTrace(trace, other.trace)
           && removeDc == other.removeDc;
}

namespace {

// Whether the trace the needs ask for is kept or being built (by the view's own pass, say).
bool traceHeld(const SummaryNeeds::Trace& trace, double sampleRate, uint64_t samples, const DcOffset& offset)
{
    return !TracePass::keepable(trace.settings, samples)
           || trace.kept->has(TracePass::keptKey(trace.settings, sampleRate, samples, offset));
}

// Whether every summary the needs ask for is ready (nothing to build).
bool allReady(const SummarySet& summaries, const SummaryNeeds& needs, double sampleRate, uint64_t samples)
{
    DcOffset offset;
    if (needs.removeDc) {
        const std::optional<DcOffset> mean = summaries.wholeMean();
        if (!mean)
            return false;
        offset = *mean;
    }
    return (!needs.spectrogram
            || summaries.spectrogram(static_cast<uint32_t>(needs.spectrogram->exponent), needs.spectrogram->overlap,
                                     offset))
           && (!needs.spectrum
               || summaries.welch(needs.spectrum->fftSize, sharedSamples(needs.spectrum->fftSize, needs.spectrum->overlap),
                                  offset))
           && (!needs.power || summaries.power(*needs.power, offset))
           && (!needs.amplitude || summaries.amplitude(offset))
           && (!needs.trace || traceHeld(*needs.trace, sampleRate, samples, offset));
}

} // namespace

SummaryBuilds::SummaryBuilds(QObject* context)
    : jobs(std::make_unique<JobRunner>(context, WorkLane::background))
{
}

SummaryBuilds::~SummaryBuilds()
{
    stop();
}

void SummaryBuilds::request(const std::shared_ptr<SummarySet>& summaries,
                            std::shared_ptr<const SampleSource> samples, double sampleRate,
                            const SummaryNeeds& needs)
{
    if (!summaries || !samples)
        return;
    if (needs.empty()) {
        cancel();
        return;
    }
    // Asked again for the same needs, a build runs again only when one of
    // them went missing since (a damaged cache file).
    const bool ready = allReady(*summaries, needs, sampleRate, samples->size());
    if (summaries == requestedFor && requested == needs && (ready || jobs->busy()))
        return;
    requestedFor = summaries;
    requested = needs;
    if (ready) {
        jobs->cancel();
        return;
    }
    // Passes over the whole recording that only build: each is put together
    // from its summaries instead when they are there already.
    jobs->start(
        [summaries, samples, sampleRate, needs](WorkControl& control) {
            const StreamRange whole{0, samples->size()};
            DcOffset offset;
            if (needs.removeDc) {
                if (const std::optional<DcOffset> mean = summaries->wholeMean()) {
                    offset = *mean;
                } else {
                    control.addPlanned(whole.size());
                    offset = rangeMean(*samples, 0, whole.end, control);
                    summaries->setWholeMean(offset);
                }
            }
            std::vector<std::unique_ptr<RangeComputation>> passes;
            if (needs.spectrogram)
                passes.push_back(std::make_unique<SpectrogramPass>(whole, sampleRate, needs.spectrogram->exponent,
                                                                   needs.spectrogram->overlap, 1, summaries));
            if (needs.spectrum)
                passes.push_back(std::make_unique<SpectrumPass>(whole, sampleRate,
                                                                *needs.spectrum, summaries));
            if (needs.power)
                passes.push_back(powerCurvePass(whole.size(), whole, sampleRate, *needs.power, 1, summaries));
            if (needs.amplitude)
                passes.push_back(amplitudePass(whole, sampleRate, 1, summaries));
            // A pass over the whole recording keeps the band on the way.
            if (needs.trace && !traceHeld(*needs.trace, sampleRate, whole.size(), offset))
                passes.push_back(std::make_unique<TracePass>(whole, sampleRate, whole.size(), needs.trace->settings,
                                                             1, needs.trace->kept));
            std::vector<RangeComputation*> pointers;
            for (const auto& pass : passes)
                pointers.push_back(pass.get());
            runComputations(*samples, whole, offset, pointers, control);
        },
        nullptr, nullptr);
}

void SummaryBuilds::setPaused(bool pause)
{
    jobs->setPaused(pause);
}

void SummaryBuilds::cancel()
{
    jobs->cancel();
    requested.reset();
    requestedFor.reset();
}

void SummaryBuilds::stop()
{
    jobs->stop();
    requested.reset();
    requestedFor.reset();
}

bool SummaryBuilds::busy() const
{
    return jobs->busy();
}
