// Cursors A and B over the plots.

#include "panel/CursorPair.h"

#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

// Pixels either side of a cursor's line that grab it.
constexpr int cursorGrab = 4;
const QColor cursorAColor(0, 220, 255);
const QColor cursorBColor(255, 110, 200);

// The sample nearest to a time, within a recording of `count` samples.
uint64_t nearestSample(double seconds, double fs, uint64_t count)
{
    const double last = static_cast<double>(std::max<uint64_t>(count, 1) - 1);
    const double k = std::isfinite(seconds) ? std::round(seconds * fs) : 0.0;
    return static_cast<uint64_t>(std::clamp(k, 0.0, last));
}

// Pixels from a line at `pixel` to `at`; none when the line is out of reach.
std::optional<double> reach(double pixel, int at)
{
    if (!std::isfinite(pixel))
        return std::nullopt;
    const double distance = std::abs(std::floor(pixel) - at);
    return distance <= cursorGrab ? std::optional<double>(distance) : std::nullopt;
}

int alongBand(const CursorAxes& axes, const QPoint& position)
{
    return axes.bandVertical ? position.y() : position.x();
}

} // namespace

void CursorPair::clear()
{
    a.reset();
    b.reset();
}

CursorPosition CursorPair::at(const CursorAxes& axes, const QPoint& position, double fs,
                              uint64_t count) const
{
    CursorPosition cursor;
    if (axes.time)
        cursor.sample = nearestSample(axes.time->valueAt(position.x()), fs, count);
    if (axes.band)
        cursor.frequency = axes.band->valueAt(alongBand(axes, position));
    return cursor;
}

void CursorPair::place(const CursorAxes& axes, const QPoint& position, double fs, uint64_t count)
{
    const CursorPosition cursor = at(axes, position, fs, count);
    if (!a)
        a = cursor;
    else
        b = cursor;
}

std::optional<CursorGrab> CursorPair::near(const CursorAxes& axes, const QPoint& position,
                                           double fs) const
{
    std::optional<CursorGrab> nearest;
    double nearestDistance = 0;
    const auto consider = [&](std::optional<double> distance, CursorGrab grab) {
        if (distance && (!nearest || *distance < nearestDistance)) {
            nearest = grab;
            nearestDistance = *distance;
        }
    };
    for (int index : {1, 0}) {
        const std::optional<CursorPosition>& cursor = index == 0 ? a : b;
        if (!cursor)
            continue;
        std::optional<double> timeReach, bandReach;
        if (axes.time && cursor->sample)
            timeReach = reach(axes.time->pixelAt(static_cast<double>(*cursor->sample) / fs), position.x());
        if (axes.band && cursor->frequency)
            bandReach = reach(axes.band->pixelAt(*cursor->frequency), alongBand(axes, position));
        const bool crossing = timeReach && bandReach;
        consider(timeReach, {index, true, crossing});
        consider(bandReach, {index, false, crossing});
    }
    return nearest;
}

CursorGrab CursorPair::settled(CursorGrab grab, const CursorAxes& axes, const QPoint& moved)
{
    if (grab.crossing) {
        const bool alongTime = !axes.bandVertical || std::abs(moved.x()) >= std::abs(moved.y());
        grab.timeLine = alongTime;
        grab.crossing = false;
    }
    return grab;
}

void CursorPair::move(const CursorGrab& grab, const CursorAxes& axes, const QPoint& position,
                      const QRect& area, double fs, uint64_t count)
{
    std::optional<CursorPosition>& cursor = grab.index == 0 ? a : b;
    if (!cursor)
        return;
    const QPoint inside(std::clamp(position.x(), area.left(), area.left() + area.width() - 1),
                        std::clamp(position.y(), area.top(), area.top() + area.height() - 1));
    const CursorPosition moved = at(axes, inside, fs, count);
    if (grab.timeLine && moved.sample && cursor->sample)
        cursor->sample = moved.sample;
    if (!grab.timeLine && moved.frequency && cursor->frequency)
        cursor->frequency = moved.frequency;
}

void CursorPair::addTo(PlotOverlay& overlay, const CursorAxes& axes, double fs, int divisions) const
{
    const std::pair<const std::optional<CursorPosition>*, CursorLine> cursors[] = {
        {&a, {0, QStringLiteral("A"), cursorAColor}}, {&b, {0, QStringLiteral("B"), cursorBColor}}};
    for (const auto& [cursor, style] : cursors) {
        if (!*cursor)
            continue;
        CursorLine line = style;
        if (axes.time && (*cursor)->sample) {
            line.value = static_cast<double>(*(*cursor)->sample) / fs;
            overlay.xLines.push_back(line);
        }
        if (axes.band && (*cursor)->frequency) {
            line.value = *(*cursor)->frequency;
            (axes.bandVertical ? overlay.yLines : overlay.xLines).push_back(line);
        }
    }
    if (axes.time && a && b && a->sample && b->sample && divisions > 1) {
        const double ta = static_cast<double>(*a->sample) / fs;
        const double tb = static_cast<double>(*b->sample) / fs;
        for (int k = 1; k < divisions; ++k)
            overlay.xTicks.push_back(ta + (tb - ta) * k / divisions);
    }
}

QString CursorPair::readout(double fs, int divisions, double frequencyOffset,
                            double frequencyResolution) const
{
    return cursorReadout(a, b, fs, divisions, frequencyOffset, frequencyResolution);
}
