// The views' settings: derived values, a new recording's settings and the checks
// against a recording.

#include "session/ViewSettings.h"

#include "io/Recording.h"
#include "io/SampleFormat.h"
#include "session/NumberText.h"

#include <cmath>

uint32_t ViewSettings::fftSize() const
{
    return spectrogram.exponent >= 0 && spectrogram.exponent < 32 ? uint32_t(1) << spectrogram.exponent : 0;
}

SpectrumSettings ViewSettings::spectrum() const
{
    return SpectrumSettings{fftSize(), spectrogram.overlap, band.low, band.high};
}

PowerCurveSettings ViewSettings::powerCurve() const
{
    PowerCurveSettings curve = power;
    curve.band.reset();
    if (bandPower)
        curve.band = std::make_pair(band.low, band.high);
    return curve;
}

bool samePowerCurve(const PowerCurveSettings& a, const PowerCurveSettings& b)
{
    return a.window == b.window && a.fullScaleValue == b.fullScaleValue && a.fullScaleVoltage == b.fullScaleVoltage
           && a.inputImpedance == b.inputImpedance && a.relativeToFullScale == b.relativeToFullScale
           && a.band == b.band;
}

ValueRange wholeBand(double sampleRate)
{
    const double half = std::floor(sampleRate) == sampleRate ? std::floor(sampleRate / 2) : sampleRate / 2;
    return {-half, half};
}

double durationOf(const Recording& recording)
{
    return recording.sampleRate() == 0 ? 0.0 : static_cast<double>(recording.sampleCount()) / recording.sampleRate();
}

ViewSettings settingsForRecording(const ViewSettings& kept, const Recording& recording)
{
    ViewSettings settings = kept;
    const RecordingInfo& info = recording.info();
    settings.range = {0.0, durationOf(recording)};
    settings.band = wholeBand(recording.sampleRate());
    const std::shared_ptr<const SampleSource> samples = recording.samples();
    const std::optional<StoredSamples> stored = samples ? samples->stored() : std::nullopt;
    settings.power.fullScaleValue = stored ? fullScaleOf(stored->datatype) : 1.0;
    settings.power.band.reset();
    settings.bandPower = false;
    // Offset-binary samples sit around mid-scale: their DC offset is removed.
    settings.removeDc = info.unsignedSamples;
    settings.display.showAnnotations = !info.annotations.empty();
    const bool centred = info.centreFrequency && std::isfinite(*info.centreFrequency);
    settings.display.absoluteFrequency = kept.display.absoluteFrequency && centred;
    return settings;
}

std::optional<QString> settingsProblem(const ViewSettings& s, const Recording& recording)
{
    if (!recording.isLoaded() || recording.sampleRate() == 0)
        return QStringLiteral("No recording is open");
    const double duration = durationOf(recording);
    if (!(s.range.start >= 0) || !(s.range.start < s.range.stop) || !(s.range.stop <= duration))
        return QStringLiteral("The time range %1 to %2 s lies outside the recording (0 to %3 s)")
            .arg(exactNumber(s.range.start), exactNumber(s.range.stop), exactNumber(duration));
    const ValueRange limits = wholeBand(recording.sampleRate());
    if (!(s.band.low >= limits.low) || !(s.band.low < s.band.high) || !(s.band.high <= limits.high))
        return QStringLiteral("The band %1 to %2 Hz lies outside the recording's (%3 to %4 Hz)")
            .arg(exactNumber(s.band.low), exactNumber(s.band.high), exactNumber(limits.low),
                 exactNumber(limits.high));
    if (s.spectrogram.exponent < fewestFftExponent || s.spectrogram.exponent > mostFftExponent)
        return QStringLiteral("Invalid FFT size exponent: input shall be from %1 to %2")
            .arg(fewestFftExponent)
            .arg(mostFftExponent);
    if (!(s.spectrogram.overlap >= 0 && s.spectrogram.overlap <= 1))
        return QStringLiteral("Invalid overlap: must lie between 0 and 100 %");
    if (s.spectrogram.colorMap < 0 || s.spectrogram.colorMap > 3)
        return QStringLiteral("Unknown colour map");
    if (!(s.spectrogram.range > 0) || !std::isfinite(s.spectrogram.range))
        return QStringLiteral("Invalid range: input shall be > 0");
    if (s.power.window < 1 || !(s.power.fullScaleValue > 0) || !(s.power.fullScaleVoltage > 0)
        || !(s.power.inputImpedance > 0) || !std::isfinite(s.power.fullScaleValue)
        || !std::isfinite(s.power.fullScaleVoltage) || !std::isfinite(s.power.inputImpedance))
        return QStringLiteral("Invalid power settings: the window, full scale and impedance must be > 0");
    return std::nullopt;
}
