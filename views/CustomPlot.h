#pragma once
// Line-plot widget: one white curve y(x) on a black plot area with a left y axis,
// a bottom x axis, numeric tick labels and axis titles. The curve is rasterised
// into a cached image at the first paint after a data change or resize (a plot
// that is never shown never rasterises); other repaints only copy it.

#include "plotdata/CurveEnvelope.h"
#include "views/PlotWidget.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class CustomPlot : public PlotWidget
{
public:
    CustomPlot(const QString& xLabel, const QString& yLabel, QWidget* parent = nullptr);

    // What the axes show (Number for both until set). A Time or Frequency axis is
    // titled with the unit its labels are in ("Time (ms)"), a Number axis with the
    // title given to the constructor.
    void setAxisQuantities(AxisQuantity x, AxisQuantity y);
    // The title of a Number y axis.
    void setYTitle(const QString& title);
    // Room above the highest point, as a share of the y range (0 unless set), for
    // the marks drawn there: applies from the next setData.
    void setHeadroom(double share) { headroom = share; }

    // Replaces the curve. Throws std::invalid_argument "X and Y vectors must have
    // the same length" before changing anything when the sizes differ. With
    // symmetric set, a y range that straddles zero is widened to be centred on it.
    // Non-finite points are left out of the ranges and the curve.
    void setData(const std::vector<double>& x, const std::vector<double>& y, bool symmetric);
    // The same, taking over the vectors' storage instead of copying it (the
    // arguments are left untouched when the sizes differ).
    void setData(std::vector<double>&& x, std::vector<double>&& y, bool symmetric);
    // The same with x values that other plots may hold too (several curves over
    // one time axis keep one copy of it). A null x counts as empty.
    void setDataSharingX(std::shared_ptr<const std::vector<double>> x, std::vector<double>&& y,
                         bool symmetric);
    // Replaces the curve by one already reduced to the points its raster needs
    // (CurveEnvelope), with its ranges. It is drawn exactly while the plot area
    // keeps the width it was reduced for; at another width it is drawn from the
    // same points and `onWidthChanged` (when set) is called once, so that the
    // owner can reduce the curve again (the width-changed handler).
    void setCurve(ReducedCurve curve);
    // Whether a point of NaN y breaks the curve (a gap) instead of being left
    // out; off until set.
    void setBreaksAtNaN(bool breaks);
    // The points held (every point of a curve given by setData, the reduced
    // points of one given by setCurve) and the data window they are drawn in.
    const std::vector<double>& xValues() const { return *xData; }
    const std::vector<double>& yValues() const { return yData; }
    PlotRanges dataWindow() const { return {xMin, xMax, yMin, yMax, hasFiniteData}; }
    // Width in pixels of the plot area at the widget's current size.
    int plotAreaWidth() const;
    // Whether the curve shown was reduced for a width other than the plot area's.
    bool curveNeedsNewWidth() const;

    // Whether a curve with finite points is shown (its axes have a range).
    bool hasCurve() const { return !noCurve && hasFiniteData; }
    // The plot area at the widget's current size, and its axes' maps (data x and
    // y as drawn; invalid without a curve).
    QRect plotArea() const;
    AxisMap xAxisMap() const;
    AxisMap yAxisMap() const;
    // The curve's values in the pixel column under widget x coordinate `x`.
    std::optional<ColumnValues> valuesAt(int x) const;
    // The x axis's labels show x plus this (a centre frequency, or 0); the curve
    // does not move.
    void setXOffset(double offset);
    double xOffset() const { return shownXOffset; }

    // As a plot: the plot area, the x axis (a band axis when it shows frequency).
    QSize sizeHint() const override;
    QRect plotRect() const override { return plotArea(); }
    AxisQuantity horizontalQuantity() const override { return xQuantity; }
    AxisMap horizontalMap() const override { return xAxisMap(); }
    std::optional<AxisMap> bandMap() const override;
    std::optional<ColumnValues> valuesAt(const QPoint& point) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void renderCurve();

    Qt::GlobalColor backgroundColor = Qt::black;
    Qt::GlobalColor axisColor = Qt::white;
    Qt::GlobalColor curveColor = Qt::white;
    QString xLabel;
    QString yLabel;
    AxisQuantity xQuantity = AxisQuantity::Number;
    AxisQuantity yQuantity = AxisQuantity::Number;
    // Never null; possibly shared with other plots, never written through.
    std::shared_ptr<const std::vector<double>> xData;
    std::vector<double> yData;
    double xMin = 0;
    double xMax = 10;
    double yMin = 0;
    double yMax = 10;
    // False when no point of the data is finite: only the axes are drawn.
    bool hasFiniteData = false;
    int marginLeft = 110;
    int marginRight = 80;
    int marginTop = 15;
    int marginBottom = 50;
    // Where `image` was made for.
    QRect imageRect;
    QImage image;
    // Set when the data or the size changed since `image` was made.
    bool imageStale = true;
    // Width the data was reduced for; 0 when it holds every point.
    int reducedWidth = 0;
    // Nothing has been set, or the last curve had no points: nothing is painted.
    bool noCurve = true;
    double shownXOffset = 0;
    // Share of the y range added above the highest point.
    double headroom = 0;
    bool breaksAtNaN = false;
};
