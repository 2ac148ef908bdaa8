// Capture starts and their tool tips.

#include "views/CaptureMarkers.h"

#include <QStringList>

#include <cmath>

namespace {

// Twelve significant digits: a centre frequency to the hertz, a start to the sample.
constexpr int shownDigits = 12;

QString frequencyText(double hertz)
{
    const double size = std::fabs(hertz);
    if (size >= 1e9)
        return QString::number(hertz / 1e9, 'g', shownDigits) + QStringLiteral(" GHz");
    if (size >= 1e6)
        return QString::number(hertz / 1e6, 'g', shownDigits) + QStringLiteral(" MHz");
    if (size >= 1e3)
        return QString::number(hertz / 1e3, 'g', shownDigits) + QStringLiteral(" kHz");
    return QString::number(hertz, 'g', shownDigits) + QStringLiteral(" Hz");
}

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
                     .arg(QString::number(seconds, 'g', shownDigits) + QStringLiteral(" s"))
                     .arg(capture.sampleStart);
        if (capture.frequency)
            parts << QStringLiteral("centre frequency ") + frequencyText(*capture.frequency);
        if (!capture.datetime.empty())
            parts << QStringLiteral("start ") + QString::fromStdString(capture.datetime);
        markers.push_back({seconds, parts.join(QStringLiteral(", "))});
    }
    return markers;
}
