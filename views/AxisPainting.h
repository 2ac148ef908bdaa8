#pragma once
// Drawing of the axes' tick marks, tick labels and rotated title, shared by the
// line plot and the spectrogram view (same geometry, same default font).

#include "views/AxisTicks.h"
#include "views/ColorMap.h"

#include <QString>

#include <vector>

class QPainter;
class QRect;

// Label metrics of the painter's font for the left axis at x = axisX: labels stay
// clear of the title column.
LabelMetrics leftLabelMetrics(const QPainter& painter, int axisX);
// Label metrics of the painter's font for the bottom axis: no width limit.
LabelMetrics bottomLabelMetrics(const QPainter& painter);

// Left axis at x = axisX: each tick a 5-pixel mark ending on the axis, its label
// right-aligned and vertically centred in the 20-pixel-high box that ends 10
// pixels left of the axis.
void drawLeftTicks(QPainter& painter, const std::vector<AxisTick>& ticks, int axisX);

// Bottom axis at y = axisY: each tick a 5-pixel mark below the axis, its label
// centred in the 80 x 20 box 10 pixels below it (a wider label spills out evenly).
void drawBottomTicks(QPainter& painter, const std::vector<AxisTick>& ticks, int axisY);

// Title reading bottom-to-top in the 15-pixel column at x = 5 ... 20 of a widget of
// height `height`, centred over the span from marginTop to height - marginBottom.
void drawVerticalTitle(QPainter& painter, int height, int marginTop, int marginBottom,
                       const QString& title);

// The spectrogram's colour bar in `bar`, one strip per pixel row from the top
// colour of the scale bottom ... top down to one step above the bottom colour,
// outlined with the painter's pen.
void drawColorBar(QPainter& painter, const QRect& bar, double top, double bottom,
                  ColorMapKind colors);
