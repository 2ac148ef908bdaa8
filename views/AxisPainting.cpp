#include "views/AxisPainting.h"

#include <QPainter>
#include <QRect>

namespace {

constexpr int tickLength = 5;

} // namespace

void drawLeftTicks(QPainter& painter, const std::vector<AxisTick>& ticks, int axisX)
{
    for (const AxisTick& tick : ticks) {
        painter.drawLine(axisX - tickLength, tick.position, axisX, tick.position);
        painter.drawText(QRect(0, tick.position - 10, axisX - 10, 20),
                         Qt::AlignRight | Qt::AlignVCenter, tick.label);
    }
}

void drawBottomTicks(QPainter& painter, const std::vector<AxisTick>& ticks, int axisY)
{
    for (const AxisTick& tick : ticks) {
        painter.drawLine(tick.position, axisY, tick.position, axisY + tickLength);
        painter.drawText(QRect(tick.position - 40, axisY + 10, 80, 20), Qt::AlignCenter,
                         tick.label);
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
