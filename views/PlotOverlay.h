#pragma once
// What is drawn over a plot's picture besides its axes: the band being dragged,
// the two cursors and their division ticks, and a picture dragged along by a
// pan. Set by whoever handles the plot's input; the plot maps and draws it.

#include "plotdata/AxisMap.h"

#include <QColor>
#include <QPoint>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QPainter;

struct CursorLine
{
    double value;
    QString name;
    QColor color;
};

// A point marked on a curve (a spectrum marker): a small triangle pointing at
// (x, y) in the axes' values from above (from below near the top), with its name.
struct PlotMark
{
    double x;
    double y;
    QString name;
    QColor color;
};

// A thin line across a plot at a value of its horizontal axis, such as the
// start of a capture, with the text its tool tip shows.
struct MarkerLine
{
    double value;
    QString toolTip;
};

struct PlotOverlay
{
    // A band being dragged, in widget pixels: across the plot from x `from` to
    // `to` (vertical = false), or from y `from` to `to` (vertical = true).
    struct Band
    {
        bool vertical = false;
        int from = 0;
        int to = 0;
    };
    std::optional<Band> selection;
    // Pixels the picture is dragged by while a pan is in progress.
    QPoint panOffset;
    // Lines across the plot at values of the horizontal axis, and of the vertical one.
    std::vector<CursorLine> xLines;
    std::vector<CursorLine> yLines;
    // Short marks at the top and bottom edges, at values of the horizontal axis.
    std::vector<double> xTicks;
    // Drawn under everything else.
    std::vector<MarkerLine> markers;

    bool empty() const;
};

// The pixel column or row drawn for a value along a map, or nothing when it is
// not drawable (an invalid map, a value not finite or far outside).
std::optional<int> overlayPixelOf(const AxisMap& map, double value);

// Draws the overlay into plotRect, clipped to it; lines whose value is outside
// an invalid map are left out. yMap may be null for plots without a vertical
// value axis of their own.
void drawPlotOverlay(QPainter& painter, const PlotOverlay& overlay, const QRect& plotRect,
                     const AxisMap& xMap, const AxisMap* yMap);
// Draws the marks into plotRect, clipped to it; marks off either map are left out.
void drawPlotMarks(QPainter& painter, const std::vector<PlotMark>& marks, const QRect& plotRect,
                   const AxisMap& xMap, const AxisMap& yMap);
