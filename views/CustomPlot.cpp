// Line-plot widget: ranges, cached curve raster, axes, ticks and titles.

#include "views/CustomPlot.h"

#include "views/AxisPainting.h"
#include "views/CurveRaster.h"
#include "plotdata/PlotMath.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

constexpr int minimumPlotWidth = 300;
// The height a curve plot asks for, and the least it gives up to before its page
// scrolls: with all of a page's plots shown, they shrink, the spectrogram first kept.
constexpr int preferredPlotHeight = 180;
constexpr int minimumPlotHeight = 130;

} // namespace

CustomPlot::CustomPlot(const QString& xLabel, const QString& yLabel, QWidget* parent)
    : PlotWidget(parent), xLabel(xLabel), yLabel(yLabel),
      xData(std::make_shared<const std::vector<double>>())
{
    setMinimumWidth(minimumPlotWidth);
    setMinimumHeight(minimumPlotHeight);
}

QSize CustomPlot::sizeHint() const
{
    return {minimumPlotWidth, preferredPlotHeight};
}

void CustomPlot::setAxisQuantities(AxisQuantity x, AxisQuantity y)
{
    xQuantity = x;
    yQuantity = y;
    update();
}

void CustomPlot::setYTitle(const QString& title)
{
    yLabel = title;
    update();
}

void CustomPlot::setData(const std::vector<double>& x, const std::vector<double>& y, bool symmetric)
{
    if (x.size() != y.size())
        throw std::invalid_argument("X and Y vectors must have the same length");
    setDataSharingX(std::make_shared<const std::vector<double>>(x), std::vector<double>(y), symmetric);
}

void CustomPlot::setData(std::vector<double>&& x, std::vector<double>&& y, bool symmetric)
{
    if (x.size() != y.size())
        throw std::invalid_argument("X and Y vectors must have the same length");
    setDataSharingX(std::make_shared<const std::vector<double>>(std::move(x)), std::move(y), symmetric);
}

void CustomPlot::setDataSharingX(std::shared_ptr<const std::vector<double>> x, std::vector<double>&& y,
                                 bool symmetric)
{
    if (!x)
        x = std::make_shared<const std::vector<double>>();
    if (x->size() != y.size())
        throw std::invalid_argument("X and Y vectors must have the same length");
    // The previous curve's storage is released here (its x only when no other
    // plot holds it).
    xData = std::move(x);
    yData = std::move(y);
    reducedWidth = 0;
    noCurve = xData->empty();

    const PlotRanges ranges = plotRanges(*xData, yData, symmetric);
    hasFiniteData = ranges.finite;
    if (hasFiniteData) {
        xMin = ranges.xMin;
        xMax = ranges.xMax;
        yMin = ranges.yMin;
        yMax = ranges.yMax + headroom * (ranges.yMax - ranges.yMin);
    }
    imageStale = true;
    update();
}

void CustomPlot::setCurve(ReducedCurve curve)
{
    xData = std::make_shared<const std::vector<double>>(std::move(curve.x));
    yData = std::move(curve.y);
    reducedWidth = std::max(curve.width, 1);
    noCurve = curve.sourcePoints == 0;
    hasFiniteData = curve.ranges.finite;
    if (hasFiniteData) {
        xMin = curve.ranges.xMin;
        xMax = curve.ranges.xMax;
        yMin = curve.ranges.yMin;
        yMax = curve.ranges.yMax;
    }
    imageStale = true;
    update();
}

int CustomPlot::plotAreaWidth() const
{
    return width() - marginLeft - marginRight;
}

bool CustomPlot::curveNeedsNewWidth() const
{
    return reducedWidth != 0 && reducedWidth != std::max(plotAreaWidth(), 1);
}

void CustomPlot::renderCurve()
{
    imageStale = false;
    imageRect = plotArea();
    const int w = imageRect.width();
    const int h = imageRect.height();
    if (w <= 0 || h <= 0) {
        image = QImage();
        return;
    }
    if (!hasFiniteData) {
        image = QImage(w, h, QImage::Format_RGB32);
        image.fill(backgroundColor);
        return;
    }
    const CurveFrame frame{xMin, xMax, yMin, yMax, w, h};
    if (!breaksAtNaN) {
        image = renderCurveImage(xData->data(), yData.data(), yData.size(), frame, backgroundColor, curveColor);
        return;
    }
    // Each piece between NaN points on its own; a piece of one pixel as a dot.
    image = QImage(w, h, QImage::Format_RGB32);
    image.fill(backgroundColor);
    for (size_t k = 0; k < yData.size();) {
        size_t end = k;
        while (end < yData.size() && !std::isnan(yData[end]))
            ++end;
        const std::vector<QPoint> points = reducedCurvePoints(xData->data() + k, yData.data() + k, end - k, frame);
        if (points.size() == 1) {
            QPainter painter(&image);
            painter.setPen(QPen(QColor(curveColor)));
            painter.drawPoint(points.front());
        } else {
            drawCurveSegments(image, points, curveColor);
        }
        k = end + 1;
    }
}

void CustomPlot::setBreaksAtNaN(bool breaks)
{
    breaksAtNaN = breaks;
    imageStale = true;
    update();
}

void CustomPlot::paintEvent(QPaintEvent*)
{
    if (noCurve)
        return;
    if (imageStale)
        renderCurve();
    const int W = width();
    const int H = height();
    const int w = imageRect.width();
    const int h = imageRect.height();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A pan in progress drags the curve along; what it uncovers stays background.
    const QPoint dragged = overlay().panOffset;
    if (dragged.isNull()) {
        painter.drawImage(imageRect.topLeft(), image);
    } else {
        painter.save();
        painter.setClipRect(imageRect);
        painter.fillRect(imageRect, QColor(backgroundColor));
        painter.drawImage(imageRect.topLeft() + dragged, image);
        painter.restore();
    }
    painter.setPen(QPen(QColor(axisColor)));

    // Without finite data the axes have no range: no ticks, titles in base units.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const AxisScale yScale = axisTicks(hasFiniteData ? yMin : nan, yMax, h, marginTop,
                                       AxisOrientation::Vertical, yQuantity,
                                       leftLabelMetrics(painter, marginLeft));
    // While a pan drags the curve, its axis follows.
    const AxisMap x = xAxisMap().draggedBy(dragged.x());
    const AxisScale xScale = axisTicks(hasFiniteData ? x.low + shownXOffset : nan,
                                       x.high + shownXOffset, w, marginLeft,
                                       AxisOrientation::Horizontal, xQuantity,
                                       bottomLabelMetrics(painter),
                                       xQuantity == AxisQuantity::Time ? timeUnitMagnitude() : nan);
    drawLeftTicks(painter, yScale.ticks, marginLeft);
    drawBottomTicks(painter, xScale.ticks, H - marginBottom);

    drawVerticalTitle(painter, H, marginTop, marginBottom,
                      axisTitle(yQuantity, yScale.unit, yLabel));
    painter.drawText(QRect(marginLeft, H - 20, w, 20), Qt::AlignCenter,
                     axisTitle(xQuantity, xScale.unit, xLabel));

    painter.drawLine(marginLeft, marginTop, marginLeft, H - marginBottom);
    painter.drawLine(marginLeft, H - marginBottom, W - marginRight, H - marginBottom);

    const AxisMap y = yAxisMap();
    drawPlotOverlay(painter, overlay(), imageRect, x, &y);
    drawPlotMarks(painter, marks(), imageRect, x, y);
}

QRect CustomPlot::plotArea() const
{
    return rect().adjusted(marginLeft, marginTop, -marginRight, -marginBottom);
}

AxisMap CustomPlot::xAxisMap() const
{
    if (!hasCurve())
        return {};
    const QRect area = plotArea();
    return horizontalAxisMap(xMin, xMax, area.left(), area.width());
}

AxisMap CustomPlot::yAxisMap() const
{
    if (!hasCurve())
        return {};
    const QRect area = plotArea();
    return verticalAxisMap(yMin, yMax, area.top(), area.height());
}

std::optional<ColumnValues> CustomPlot::valuesAt(int x) const
{
    if (!hasCurve())
        return std::nullopt;
    const QRect area = plotArea();
    return curveColumnValues(*xData, yData, xMin, xMax, area.width(), x - area.left());
}

std::optional<ColumnValues> CustomPlot::valuesAt(const QPoint& point) const
{
    return valuesAt(point.x());
}

std::optional<AxisMap> CustomPlot::bandMap() const
{
    if (xQuantity != AxisQuantity::Frequency)
        return std::nullopt;
    return xAxisMap();
}

void CustomPlot::setXOffset(double offset)
{
    shownXOffset = std::isfinite(offset) ? offset : 0.0;
    update();
}

void CustomPlot::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    imageStale = true;
    if (event->size().width() != event->oldSize().width() && curveNeedsNewWidth())
        widthChanged();
    update();
}
