// Markers on the spectrum, read from its Welch powers.

#include "panel/SpectrumMarkers.h"

#include "views/AxisTicks.h"

#include <QColor>
#include <QStringList>

#include <cmath>

namespace {

const QColor markerColors[] = {QColor(255, 200, 40), QColor(120, 255, 120)};

double binWidth(const MeasuredSpectrum& spectrum)
{
    return spectrum.power.empty() ? 0.0 : spectrum.sampleRate / static_cast<double>(spectrum.power.size());
}

// What the spectrum reads at a frequency of its band: the nearest bin, refined
// when it is a peak.
std::optional<SpectrumMarker> readAt(const MarkedSpectrum& shown, double hertz)
{
    if (!(hertz >= shown.low && hertz <= shown.high))
        return std::nullopt;
    const double half = binWidth(shown.spectrum) / 2;
    return spectrumPeak(shown.spectrum, std::max(shown.low, hertz - half),
                        std::min(shown.high, hertz + half), shown.calibration);
}

QString decibels(const std::optional<double>& value, const char* unit)
{
    return value && std::isfinite(*value) ? QString::number(*value, 'f', 2) + QLatin1Char(' ') + unit
                                          : QStringLiteral("- ") + unit;
}

} // namespace

void SpectrumMarkers::clear()
{
    markers[0].reset();
    markers[1].reset();
    active = 0;
}

bool SpectrumMarkers::putOnPeak(const MarkedSpectrum& shown)
{
    const std::optional<SpectrumMarker> peak =
        spectrumPeak(shown.spectrum, shown.low, shown.high, shown.calibration);
    if (!peak)
        return false;
    markers[0] = peak;
    active = 0;
    return true;
}

bool SpectrumMarkers::putSecondBeside(const MarkedSpectrum& shown)
{
    std::optional<SpectrumMarker> found;
    if (!markers[0]) {
        found = spectrumPeak(shown.spectrum, shown.low, shown.high, shown.calibration);
    } else {
        for (PeakDirection direction : {PeakDirection::right, PeakDirection::left})
            if (!found)
                found = nextPeak(shown.spectrum, markers[0]->frequencyHz, direction, shown.low,
                                 shown.high, shown.calibration);
    }
    if (!found)
        return false;
    markers[1] = found;
    active = 1;
    return true;
}

bool SpectrumMarkers::putSecondAt(const MarkedSpectrum& shown, double hertz)
{
    const std::optional<SpectrumMarker> found = readAt(shown, hertz);
    if (!found)
        return false;
    markers[1] = found;
    active = 1;
    return true;
}

bool SpectrumMarkers::step(const MarkedSpectrum& shown, PeakDirection direction)
{
    if (!markers[active])
        return active == 0 && putOnPeak(shown);
    const std::optional<SpectrumMarker> found = nextPeak(
        shown.spectrum, markers[active]->frequencyHz, direction, shown.low, shown.high, shown.calibration);
    if (!found)
        return false;
    markers[active] = found;
    return true;
}

void SpectrumMarkers::reread(const MarkedSpectrum& shown)
{
    for (std::optional<SpectrumMarker>& marker : markers)
        if (marker)
            marker = readAt(shown, marker->frequencyHz);
    if (!markers[active])
        active = markers[0] ? 0 : 1;
}

std::vector<PlotMark> SpectrumMarkers::marks() const
{
    std::vector<PlotMark> shown;
    for (int k = 0; k < 2; ++k)
        if (markers[k])
            shown.push_back({markers[k]->frequencyHz, markers[k]->densityDbHz, QString::number(k + 1),
                             markerColors[k]});
    return shown;
}

QString SpectrumMarkers::readout(double offset, double resolution) const
{
    QStringList parts;
    for (int k = 0; k < 2; ++k)
        if (markers[k])
            parts << QStringLiteral("Marker %1: %2, %3, %4")
                         .arg(k + 1)
                         .arg(quantityText(markers[k]->frequencyHz + offset, AxisQuantity::Frequency, resolution),
                              decibels(markers[k]->densityDbHz, "dB/Hz"),
                              decibels(markers[k]->powerDbm, "dBm"));
    if (markers[0] && markers[1])
        parts << QStringLiteral("\u0394f = %1, \u0394level = %2")
                     .arg(quantityText(markers[1]->frequencyHz - markers[0]->frequencyHz,
                                       AxisQuantity::Frequency, resolution),
                          decibels(markers[1]->densityDbHz - markers[0]->densityDbHz, "dB"));
    return parts.join(QStringLiteral("   "));
}
