// The command line's view options read with the panel's rules.

#include "app/OptionSettings.h"

#include "io/Recording.h"
#include "panel/RangeNavigation.h"
#include "session/NumberText.h"

bool hasViewOptions(const CommandLineOptions& o)
{
    return o.start || o.stop || o.bandLow || o.fftExponent || o.overlap || o.range;
}

std::optional<ViewSettings> settingsFromOptions(const ViewSettings& base, const Recording& recording,
                                                const CommandLineOptions& o, const Refusal& refuse)
{
    ViewSettings next = base;
    const double fs = recording.sampleRate();
    if (o.start || o.stop) {
        const QString stopShown = base.range.stop == durationOf(recording)
                                      ? stopTimeText(recording.sampleCount(), fs)
                                      : fixedNumber(base.range.stop);
        const std::optional<TimeRange> range = readTimeTexts(o.start.value_or(fixedNumber(base.range.start)),
                                                             o.stop.value_or(stopShown), durationOf(recording),
                                                             refuse);
        if (!range)
            return std::nullopt;
        next.range = *range;
    }
    if (o.bandLow || o.fftExponent || o.overlap || o.range) {
        SpectrumTexts texts;
        texts.exponent = o.fftExponent.value_or(base.spectrogram.exponent);
        texts.overlapPercent = o.overlap ? o.overlap->toDouble() : base.spectrogram.overlap * 100.0;
        texts.startFrequency = o.bandLow.value_or(exactNumber(base.band.low));
        texts.stopFrequency = o.bandHigh.value_or(exactNumber(base.band.high));
        texts.range = o.range.value_or(exactNumber(base.spectrogram.range));
        texts.referenceLevel = base.spectrogram.referenceLevel ? exactNumber(*base.spectrogram.referenceLevel)
                                                               : QString();
        texts.mirror = base.spectrogram.mirror;
        texts.colorMap = base.spectrogram.colorMap;
        const std::optional<SpectrumValues> values = readSpectrumTexts(texts, wholeBand(recording.sampleRate()), refuse);
        if (!values)
            return std::nullopt;
        next.band = values->band;
        next.spectrogram = values->spectrogram;
    }
    return next;
}
