// Axis ticks, titles and the colour bar.

#include "views/AxisPainting.h"

#include "views/ColorMap.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>

namespace {

constexpr int tickLength = 5;
constexpr int labelGap = 10;        // between a label's box and its axis
constexpr int titleColumnRight = 20; // right edge of the vertical title's column
constexpr int titleClearance = 4;   // kept free between left labels and the title

LabelMetrics labelMetrics(const QPainter& painter, int maxWidth)
{
    const QFontMetrics metrics = painter.fontMetrics();
    return {[metrics](const QString& text) { return metrics.horizontalAdvance(text); },
            metrics.height(), maxWidth};
}

} // namespace

LabelMetrics leftLabelMetrics(const QPainter& painter, int axisX)
{
    return labelMetrics(painter, axisX - labelGap - titleColumnRight - titleClearance);
}

LabelMetrics bottomLabelMetrics(const QPainter& painter)
{
    return labelMetrics(painter, 0);
}

void drawLeftTicks(QPainter& painter, const std::vector<AxisTick>& ticks, int axisX)
{
    for (const AxisTick& tick : ticks) {
        painter.drawLine(axisX - tickLength, tick.position, axisX, tick.position);
        painter.drawText(QRect(0, tick.position - 10, axisX - labelGap, 20),
                         Qt::AlignRight | Qt::AlignVCenter, tick.label);
    }
}

void drawBottomTicks(QPainter& painter, const std::vector<AxisTick>& ticks, int axisY)
{
    for (const AxisTick& tick : ticks) {
        painter.drawLine(tick.position, axisY, tick.position, axisY + tickLength);
        painter.drawText(QRect(tick.position - 40, axisY + labelGap, 80, 20),
                         Qt::AlignCenter | Qt::TextDontClip, tick.label);
    }
}

void drawVerticalTitle(QPainter& painter, int height, int marginTop, int marginBottom,
                       const QString& title)
{
    painter.save();
    painter.translate(5, height / 2);
    painter.rotate(-90);
    painter.drawText(QRect(marginBottom - height / 2, 0, height - marginTop - marginBottom, 15),
                     Qt::AlignCenter, title);
    painter.restore();
}

void drawColorBar(QPainter& painter, const QRect& bar, double top, double bottom,
                  ColorMapKind colors)
{
    const double span = top - bottom;
    const int height = bar.height();
    for (int i = 0; i < height; ++i) {
        const double value = span * (1 - static_cast<double>(i) / height) + bottom;
        painter.fillRect(QRect(bar.left(), bar.top() + i, bar.width(), 1),
                         QColor::fromRgb(mapColorRgb(value, bottom, top, colors)));
    }
    painter.drawRect(bar);
}
