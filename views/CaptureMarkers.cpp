// Capture starts and their tool tips.

#include "views/CaptureMarkers.h"

#include "views/AxisTicks.h"

#include <QStringList>

#include <cmath>

namespace {

// Centre frequencies are given to the hertz.
constexpr double frequencyResolution = 1.0;

} // namespace

std::vector<MarkerLine> captureMarkers(const RecordingInfo& info, double fs)
{
    std::vector<MarkerLine> markers;
    const std::size_t count = info.captures.size();
    if (count < 2 || !(fs > 0))
        return markers;
    for (std::size_t k = 0; k < count; ++k) {
        const RecordingCapture& capture = info.captures[k];
        const double seconds = static_cast<double>(capture.sampleStart) / fs;
        QStringList parts;
        parts << QStringLiteral("Capture %1 of %2 from %3 (sample %4)")
                     .arg(k + 1)
                     .arg(count)
                     .arg(quantityText(seconds, AxisQuantity::Time, 1.0 / fs))
                     .arg(capture.sampleStart);
        if (capture.frequency)
            parts << QStringLiteral("centre frequency ")
                         + quantityText(*capture.frequency, AxisQuantity::Frequency, frequencyResolution);
        if (!capture.datetime.empty())
            parts << QStringLiteral("start ") + QString::fromStdString(capture.datetime);
        markers.push_back({seconds, parts.join(QStringLiteral(", "))});
    }
    return markers;
}
