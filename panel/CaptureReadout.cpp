// Capture look-ups in the recording's time, and the readout's capture note.

#include "panel/CaptureReadout.h"

#include "io/CaptureLookup.h"
#include "io/Recording.h"
#include "panel/Readout.h"
#include "views/PlotWidget.h"

#include <cmath>

namespace {

std::optional<uint64_t> sampleAt(double seconds, double fs, uint64_t count)
{
    if (!std::isfinite(seconds) || !(fs > 0))
        return std::nullopt;
    const double sample = std::floor(seconds * fs);
    if (sample <= 0)
        return 0;
    return sample >= static_cast<double>(count) ? count - (count > 0 ? 1 : 0)
                                                : static_cast<uint64_t>(sample);
}

} // namespace

std::optional<double> captureCentreAt(const Recording& recording, double seconds)
{
    const std::optional<uint64_t> sample =
        sampleAt(seconds, recording.sampleRate(), recording.sampleCount());
    return sample ? centreFrequencyAt(recording.info(), *sample) : recording.info().centreFrequency;
}

QString captureReadout(const PlotWidget& plot, const QPoint& point, const RecordingInfo& info,
                       double sampleRate, double axisOffset, double pointerOffset)
{
    const AxisMap x = plot.horizontalMap();
    if (info.captures.size() < 2 || plot.horizontalQuantity() != AxisQuantity::Time
        || !plot.plotRect().contains(point) || !x.valid())
        return {};
    const std::optional<uint64_t> sample =
        sampleAt(x.valueAt(point.x()), sampleRate, UINT64_MAX);
    const std::optional<std::size_t> index = sample ? captureIndexAt(info, *sample) : std::nullopt;
    if (!index)
        return {};
    QString text = QStringLiteral("capture %1 of %2").arg(*index + 1).arg(info.captures.size());
    const std::optional<AxisMap> band = plot.bandMap();
    if (pointerOffset != axisOffset && band && plot.bandIsVertical() && band->valid())
        text += QStringLiteral(": ")
                + frequencyReadout(band->valueAt(point.y() + 0.5) + pointerOffset, band->valuePerPixel())
                + QStringLiteral(" (the axis uses the view's first capture)");
    return text;
}
