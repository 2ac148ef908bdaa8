// Drawing of the dragged band, the cursors and their division ticks.

#include "views/PlotOverlay.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

#include <cmath>

namespace {

constexpr int divisionTickLength = 8;
const QColor selectionFill(255, 255, 255, 48);
const QColor selectionEdge(255, 255, 255, 160);
const QColor divisionColor(255, 230, 120);
const QColor markerColor(170, 220, 255, 150);

} // namespace

std::optional<int> overlayPixelOf(const AxisMap& map, double value)
{
    if (!map.valid() || !std::isfinite(value))
        return std::nullopt;
    const double p = std::floor(map.pixelAt(value));
    if (!(p > -1e6 && p < 1e6))
        return std::nullopt;
    return static_cast<int>(p);
}


bool PlotOverlay::empty() const
{
    return !selection && panOffset.isNull() && xLines.empty() && yLines.empty() && xTicks.empty()
           && markers.empty();
}

void drawPlotOverlay(QPainter& painter, const PlotOverlay& overlay, const QRect& plotRect,
                     const AxisMap& xMap, const AxisMap* yMap)
{
    if (overlay.empty() || plotRect.isEmpty())
        return;
    painter.save();
    painter.setClipRect(plotRect);
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.setPen(QPen(markerColor, 1));
    for (const MarkerLine& marker : overlay.markers)
        if (const auto x = overlayPixelOf(xMap, marker.value))
            painter.drawLine(*x, plotRect.top(), *x, plotRect.bottom());

    if (overlay.selection) {
        const PlotOverlay::Band& band = *overlay.selection;
        const int a = std::min(band.from, band.to);
        const int b = std::max(band.from, band.to);
        const QRect area = band.vertical ? QRect(plotRect.left(), a, plotRect.width(), b - a + 1)
                                         : QRect(a, plotRect.top(), b - a + 1, plotRect.height());
        painter.fillRect(area, selectionFill);
        painter.setPen(QPen(selectionEdge, 1, Qt::DashLine));
        painter.drawRect(area.adjusted(0, 0, -1, -1));
    }

    painter.setPen(QPen(divisionColor, 1));
    for (double value : overlay.xTicks) {
        if (const auto x = overlayPixelOf(xMap, value)) {
            painter.drawLine(*x, plotRect.top(), *x, plotRect.top() + divisionTickLength);
            painter.drawLine(*x, plotRect.bottom() - divisionTickLength, *x, plotRect.bottom());
        }
    }

    const QFontMetrics metrics = painter.fontMetrics();
    for (const CursorLine& line : overlay.xLines) {
        if (const auto x = overlayPixelOf(xMap, line.value)) {
            painter.setPen(QPen(line.color, 1));
            painter.drawLine(*x, plotRect.top(), *x, plotRect.bottom());
            painter.drawText(*x + 3, plotRect.top() + metrics.ascent() + 1, line.name);
        }
    }
    if (yMap) {
        for (const CursorLine& line : overlay.yLines) {
            if (const auto y = overlayPixelOf(*yMap, line.value)) {
                painter.setPen(QPen(line.color, 1, Qt::DashLine));
                painter.drawLine(plotRect.left(), *y, plotRect.right(), *y);
                painter.drawText(plotRect.right() - metrics.horizontalAdvance(line.name) - 3,
                                 *y - 3, line.name);
            }
        }
    }
    painter.restore();
}

void drawPlotMarks(QPainter& painter, const std::vector<PlotMark>& marks, const QRect& plotRect,
                   const AxisMap& xMap, const AxisMap& yMap)
{
    if (marks.empty() || plotRect.isEmpty())
        return;
    painter.save();
    painter.setClipRect(plotRect);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QFontMetrics metrics = painter.fontMetrics();
    for (const PlotMark& mark : marks) {
        const auto x = overlayPixelOf(xMap, mark.x);
        const auto y = overlayPixelOf(yMap, mark.y);
        if (!x || !y)
            continue;
        constexpr int half = 5;
        // Above the point, or below it (pointing up) where the top leaves no room.
        const bool below = *y - 2 * half - metrics.height() < plotRect.top();
        const double side = below ? 2 * half : -2 * half;
        const QPointF tip(*x + 0.5, *y);
        const QPointF triangle[] = {tip, tip + QPointF(-half, side), tip + QPointF(half, side)};
        painter.setPen(QPen(mark.color, 1));
        painter.setBrush(mark.color);
        painter.drawPolygon(triangle, 3);
        // The name above the triangle, or beside it when it points up.
        const int textWidth = metrics.horizontalAdvance(mark.name);
        const int textX = std::clamp(below ? *x + half + 2 : *x - textWidth / 2, plotRect.left() + 1,
                                     std::max(plotRect.left() + 1, plotRect.right() - textWidth));
        const int textY = below ? *y + 2 * half : *y - 2 * half - 3;
        painter.drawText(textX, textY, mark.name);
    }
    painter.restore();
}
