// Spectrogram image with frequency and time axes and a colour bar.

#include "views/SpectrogramView.h"

#include "dsp/Fft.h"
#include "io/Recording.h"
#include "views/AxisPainting.h"
#include "views/ViewComputation.h"
#include "views/ColorMap.h"
#include "views/PlotMath.h"
#include "views/PlotValues.h"
#include "views/SpectrogramImage.h"
#include "views/SpectrumCurve.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

namespace {

constexpr int marginLeft = 110;
constexpr int marginTop = 20;
constexpr int marginRight = 80;
constexpr int marginBottom = 50;
// The colour bar: 20 pixels wide, 30 pixels in from the right edge, 20 pixels
// shorter than the plot at the top and at the bottom.
constexpr int barWidth = 20;
constexpr int barRightInset = 50;
constexpr int barInset = 20;
// Memory the pooled columns may take: fewer (down to one per pixel and below)
// are kept at large FFT sizes.
constexpr size_t columnBudgetBytes = size_t(256) << 20;
// Annotation boxes and their labels.
const QColor annotationColor(255, 170, 40);
constexpr int annotationLabelInset = 3;
constexpr int narrowestAnnotationLabel = 100;
constexpr size_t mostAnnotationLabels = 500;

// Columns to compute for a plot `plotWidth` pixels wide: twice as many as pixels
// (so the image pools exactly one pixel's share each, also when half as wide),
// within the memory budget.
size_t columnsFor(int plotWidth, uint32_t n)
{
    const size_t pixels = static_cast<size_t>(std::clamp(plotWidth, 1, largestPaintedImageSide));
    const size_t budget = std::max<size_t>(1, columnBudgetBytes / (sizeof(double) * std::max<uint32_t>(n, 1)));
    return std::min(2 * pixels, budget);
}

} // namespace

class SpectrogramComputation : public ViewComputation
{
public:
    SpectrogramComputation(SpectrogramView* view, double fs, uint64_t count, double startTime,
                           double stopTime, int exponent, double overlap)
        : view(view), start(startTime), stop(stopTime), exponent(exponent), overlap(overlap),
          width(view->plotWidth())
    {
        const StreamRange range = streamRangeOf(fs, count, startTime, stopTime);
        // FFT sizes the view computes: 2^1 ... 2^maxFftExponent.
        if (exponent >= 1 && exponent <= static_cast<int>(maxFftExponent) && count > 0)
            stream = std::make_unique<SpectrogramStream>(range.first, range.size(), static_cast<uint32_t>(exponent), overlap, fs,
                           columnsFor(width, uint32_t(1) << exponent));
    }

    BlockConsumer& consumer() override
    {
        return stream ? static_cast<BlockConsumer&>(*stream) : idle;
    }

    bool finishPass() override
    {
        if (stream)
            result = stream->takeResult();
        return true;
    }

    void present() override
    {
        if (!view)
            return;
        view->timeStart = start;
        view->timeStop = stop;
        view->spectrogram.setOverlap(overlap);
        if (exponent >= 0 && exponent <= static_cast<int>(maxFftExponent))
            view->spectrogram.setFftSizeExponent(static_cast<uint32_t>(exponent));
        view->computedWidth = width;
        view->takeColumns(std::move(result));
    }

private:
    QPointer<SpectrogramView> view;
    double start;
    double stop;
    int exponent;
    double overlap;
    int width;
    std::unique_ptr<SpectrogramStream> stream;
    IdleConsumer idle;
    PooledSpectrogram result;
};

SpectrogramView::SpectrogramView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording), spectrogram(recording)
{
    lastBin = static_cast<int>(spectrogram.fftSize() - 1);
    setMinimumSize(500, 250);
    setMouseTracking(true);
    setFocusPolicy(Qt::WheelFocus);
    // Until an owner computes elsewhere, a new width recomputes here.
    onWidthChanged = [this] {
        recompute();
        rebuildImage();
    };
}

SpectrogramView::~SpectrogramView() = default;

void SpectrogramView::setTimeRange(double startTime, double stopTime)
{
    timeStart = startTime;
    timeStop = stopTime;
    recompute();
}

void SpectrogramView::recompute()
{
    const auto source = recording->samples();
    SpectrogramComputation computation(this, static_cast<double>(recording->sampleRate()),
                                       source ? source->size() : 0, timeStart, timeStop,
                                       static_cast<int>(std::log2(double(spectrogram.fftSize()))),
                                       spectrogram.overlap());
    computeAndPresent(*recording, timeStart, timeStop, removeDcOffset, {&computation});
}

std::unique_ptr<ViewComputation> SpectrogramView::computation(double fs, uint64_t count,
                                                              double startTime, double stopTime,
                                                              int exponent, double overlap)
{
    return std::make_unique<SpectrogramComputation>(this, fs, count, startTime, stopTime, exponent,
                                                    overlap);
}

void SpectrogramView::takeColumns(PooledSpectrogram computed)
{
    // A range too short for one column leaves nothing to show: the previous
    // image and scale stay until the next rebuild finds columns.
    if (computed.columns.size() > 0)
        maxValue = computed.maxValue;
    columns = std::move(computed);
}

int SpectrogramView::maxPower() const
{
    return truncToInt(maxValue);
}

uint32_t SpectrogramView::fftSize() const
{
    return spectrogram.fftSize();
}

double SpectrogramView::overlap() const
{
    return spectrogram.overlap();
}

void SpectrogramView::setOverlap(double fraction)
{
    spectrogram.setOverlap(fraction);
}

void SpectrogramView::setFftExponent(int exponent)
{
    spectrogram.setFftSizeExponent(static_cast<uint32_t>(exponent));
}

void SpectrogramView::setRange(double db)
{
    rangeDb = db;
}

void SpectrogramView::setStartFrequency(double hertz)
{
    const BandEdge edge = startBandEdge(static_cast<double>(recording->sampleRate()),
                                        spectrogram.fftSize(), hertz);
    firstBin = edge.bin;
    startFrequency = edge.frequency;
}

void SpectrogramView::setStopFrequency(double hertz)
{
    const BandEdge edge = stopBandEdge(static_cast<double>(recording->sampleRate()),
                                       spectrogram.fftSize(), hertz);
    lastBin = edge.bin;
    stopFrequency = edge.frequency;
}

void SpectrogramView::setMirror(bool mirrored)
{
    mirror = mirrored;
}

size_t SpectrogramView::imageWidth() const
{
    const size_t held = columns.columns.size();
    // Columns already pooled are pooled further to one per pixel; others are
    // drawn one per column while there are at most twice as many as pixels.
    if (held < columns.sourceColumns)
        return std::min(held, static_cast<size_t>(std::clamp(plotWidth(), 1, largestPaintedImageSide)));
    return spectrogramImageWidth(held, plotWidth());
}

size_t SpectrogramView::imageHeight() const
{
    return spectrogramImageHeight(plotRect().height());
}

bool SpectrogramView::shownBins(int& first, int& last) const
{
    const ColumnMatrix& matrix = columns.columns;
    // Bins beyond the matrix's own rows (a band set for another FFT size) are
    // never read.
    const int rowsInMatrix = static_cast<int>(std::min<size_t>(matrix.rows(), INT32_MAX));
    first = std::min(firstBin, rowsInMatrix - 1);
    last = std::min(lastBin, rowsInMatrix - 1);
    return !matrix.empty() && first >= 0 && last >= first;
}

void SpectrogramView::rebuildImage()
{
    const ColumnMatrix& matrix = columns.columns;
    int first = 0;
    int last = 0;
    if (!shownBins(first, last)) {
        update();
        return;
    }
    std::vector<const double*> pointers(matrix.size());
    for (size_t c = 0; c < matrix.size(); ++c)
        pointers[c] = matrix.column(c);
    {
        std::lock_guard<std::mutex> lock(imageMutex);
        const int top = maxPower();
        const int bottom = scaleBottom(top, rangeDb);
        // A rebuild at the same size (same range, band and FFT size) rewrites the
        // old image's pixels instead of fresh memory.
        scaledImage = QImage();
        // A range with many more columns than the plot has pixels is pooled to
        // one column per pixel, and a band of more bins than it has rows to one
        // row per pixel, so that the painter never drops a burst or a narrow
        // line (nor wraps around past 65,535 pixels).
        QImage built = spectrogramImage(pointers, first, last, static_cast<double>(bottom),
                                        static_cast<double>(top), mirror, spectrogramImageBudget,
                                        image, imageWidth(), imageHeight());
        if (!built.isNull()) {
            image = std::move(built);
            imageMirrored = mirror;
        }
    }
    update();
}

QImage SpectrogramView::colourImage() const
{
    std::lock_guard<std::mutex> lock(imageMutex);
    return image;
}

QColor SpectrogramView::mapColor(double value, double low, double high) const
{
    return QColor::fromRgb(mapColorRgb(value, low, high));
}

void SpectrogramView::paintEvent(QPaintEvent*)
{
    const int W = width();
    const int H = height();
    const int plotWidth = W - marginLeft - marginRight;
    const int plotHeight = H - marginTop - marginBottom;
    const QRect plotRect(marginLeft, marginTop, plotWidth, plotHeight);
    const int top = maxPower();
    const int bottom = scaleBottom(top, rangeDb);

    QPainter painter(this);
    std::lock_guard<std::mutex> lock(imageMutex);
    if (image.isNull())
        return;

    if (imageMirrored != mirror) {
        image.mirror(false, true);
        imageMirrored = mirror;
        scaledImage = QImage();
    }
    if (plotWidth > 0 && plotHeight > 0) {
        // Scaling the image (often hundreds of thousands of columns) is done once
        // per image, orientation and size; the scaled pixels are those a direct
        // drawImage into the plot rectangle gives.
        if (scaledImage.size() != plotRect.size()) {
            scaledImage = QImage(plotRect.size(), QImage::Format_RGB32);
            if (!scaledImage.isNull()) {
                scaledImage.fill(Qt::black);
                QPainter scaler(&scaledImage);
                scaler.drawImage(QRect(QPoint(0, 0), plotRect.size()), image);
            }
        }
    }
    // A pan in progress drags the picture along; what it uncovers stays black.
    const QPoint dragged = overlay.panOffset;
    if (!dragged.isNull()) {
        painter.save();
        painter.setClipRect(plotRect);
        painter.fillRect(plotRect, Qt::black);
    }
    if (!scaledImage.isNull() && scaledImage.size() == plotRect.size()) {
        painter.drawImage(plotRect.topLeft() + dragged, scaledImage);
    } else {
        painter.drawImage(plotRect.translated(dragged), image);
    }
    if (!dragged.isNull())
        painter.restore();

    painter.setPen(QPen(Qt::white));
    painter.drawLine(marginLeft, marginTop, marginLeft, H - marginBottom);
    painter.drawLine(marginLeft, H - marginBottom, W - marginRight, H - marginBottom);

    const AxisScale frequencyScale =
        axisTicks(startFrequency + shownFrequencyOffset, stopFrequency + shownFrequencyOffset,
                  plotHeight, marginTop, AxisOrientation::Vertical, AxisQuantity::Frequency,
                  leftLabelMetrics(painter, marginLeft));
    const AxisScale timeScale =
        axisTicks(timeStart, timeStop, plotWidth, marginLeft, AxisOrientation::Horizontal,
                  AxisQuantity::Time, bottomLabelMetrics(painter));
    drawLeftTicks(painter, frequencyScale.ticks, marginLeft);
    drawBottomTicks(painter, timeScale.ticks, H - marginBottom);
    drawVerticalTitle(painter, H, marginTop, marginBottom,
                      axisTitle(AxisQuantity::Frequency, frequencyScale.unit, QString()));
    painter.drawText(QRect(marginLeft, H - 20, plotWidth, 20), Qt::AlignCenter,
                     axisTitle(AxisQuantity::Time, timeScale.unit, QString()));

    const int barX = W - barRightInset;
    const int barTop = marginTop + barInset;
    const int barHeight = plotHeight - 2 * barInset;
    const double span = static_cast<double>(static_cast<int64_t>(top) - bottom);
    for (int i = 0; i < barHeight; ++i) {
        const double value = span * (1 - static_cast<double>(i) / barHeight) + bottom;
        painter.fillRect(QRect(barX, barTop + i, barWidth, 1),
                         mapColor(value, static_cast<double>(bottom), static_cast<double>(top)));
    }
    painter.drawRect(QRect(barX, barTop, barWidth, barHeight));

    painter.drawText(QRect(W - marginRight, 15, marginRight, 20), Qt::AlignCenter, "0 dB/Hz");
    painter.drawText(QRect(W - marginRight, H - 65, marginRight, 20), Qt::AlignCenter,
                     colorBarBottomLabel(top, bottom));

    if (showAnnotations)
        drawAnnotations(painter);
    const AxisMap frequencies = frequencyAxisMap();
    drawPlotOverlay(painter, overlay, plotRect, timeAxisMap(), &frequencies);
}

void SpectrogramView::drawAnnotations(QPainter& painter) const
{
    const QRect plot = plotRect();
    const std::vector<PlacedAnnotation> placed = placedAnnotations();
    if (placed.empty())
        return;
    painter.save();
    painter.setClipRect(plot);
    painter.setPen(QPen(annotationColor, 1));
    painter.setBrush(Qt::NoBrush);
    const QFontMetrics metrics = painter.fontMetrics();
    // Labels only while they can be told apart; the boxes always.
    const bool labelled = placed.size() <= mostAnnotationLabels;
    for (const PlacedAnnotation& box : placed) {
        painter.drawRect(box.outline.adjusted(0, 0, -1, -1));
        const QString& label = annotations[box.index].label;
        if (label.isEmpty() || !labelled)
            continue;
        const int room =
            std::max(box.visible.width() - 2 * annotationLabelInset, narrowestAnnotationLabel);
        painter.drawText(box.visible.left() + annotationLabelInset,
                         box.visible.top() + annotationLabelInset + metrics.ascent(),
                         metrics.elidedText(label, Qt::ElideRight, room));
    }
    painter.restore();
}

int SpectrogramView::plotWidth() const
{
    return width() - marginLeft - marginRight;
}

QRect SpectrogramView::plotRect() const
{
    return QRect(marginLeft, marginTop, plotWidth(), height() - marginTop - marginBottom);
}

AxisMap SpectrogramView::timeAxisMap() const
{
    const QRect plot = plotRect();
    return horizontalAxisMap(timeStart, timeStop, plot.left(), plot.width());
}

AxisMap SpectrogramView::frequencyAxisMap() const
{
    const QRect plot = plotRect();
    return verticalAxisMap(startFrequency, stopFrequency, plot.top(), plot.height(), mirror);
}

std::optional<double> SpectrogramView::valueAt(const QPoint& point) const
{
    const ColumnMatrix& matrix = columns.columns;
    int first = 0;
    int last = 0;
    if (image.isNull() || !shownBins(first, last))
        return std::nullopt;
    const QRect plot = plotRect();
    const auto cells = spectrogramCellsAt(point.x() - plot.left(), point.y() - plot.top(),
                                          plot.width(), plot.height(), matrix.size(), first,
                                          last, mirror);
    if (!cells)
        return std::nullopt;
    // Pooled as the image pools: NaN counts as the largest.
    double value = -std::numeric_limits<double>::infinity();
    for (size_t c = cells->columnBegin; c < cells->columnEnd; ++c) {
        const double* column = matrix.column(c);
        for (int bin = cells->binBegin; bin < cells->binEnd; ++bin) {
            const double v = column[bin];
            if (std::isnan(v))
                return v;
            value = std::max(value, v);
        }
    }
    return value + densityCorrectionDb(static_cast<uint32_t>(matrix.rows()));
}

void SpectrogramView::setFrequencyOffset(double hertz)
{
    shownFrequencyOffset = std::isfinite(hertz) ? hertz : 0.0;
    update();
}

void SpectrogramView::setOverlay(PlotOverlay shown)
{
    overlay = std::move(shown);
    update();
}

void SpectrogramView::setAnnotations(std::vector<AnnotationBox> boxes)
{
    annotations = std::move(boxes);
    update();
}

void SpectrogramView::setShowAnnotations(bool show)
{
    showAnnotations = show;
    update();
}

std::vector<PlacedAnnotation> SpectrogramView::placedAnnotations() const
{
    if (!showAnnotations || image.isNull())
        return {};
    return placeAnnotations(annotations, timeAxisMap(), frequencyAxisMap(), plotRect());
}

QString SpectrogramView::annotationToolTipAt(const QPoint& point) const
{
    return ::annotationToolTipAt(annotations, placedAnnotations(), point);
}

bool SpectrogramView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = annotationToolTipAt(help->pos());
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            // Texts from the file are shown as they are, never read as markup.
            QToolTip::showText(help->globalPos(),
                               Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text) : text,
                               this);
        }
        return true;
    }
    return QWidget::event(event);
}

void SpectrogramView::mousePressEvent(QMouseEvent* event)
{
    if (!passInput(onInput, plotInputOf(PlotInput::Kind::Press, *event)))
        QWidget::mousePressEvent(event);
}

void SpectrogramView::mouseMoveEvent(QMouseEvent* event)
{
    if (!passInput(onInput, plotInputOf(PlotInput::Kind::Move, *event)))
        QWidget::mouseMoveEvent(event);
}

void SpectrogramView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!passInput(onInput, plotInputOf(PlotInput::Kind::Release, *event)))
        QWidget::mouseReleaseEvent(event);
}

void SpectrogramView::wheelEvent(QWheelEvent* event)
{
    if (!passInput(onInput, plotInputOf(*event)))
        QWidget::wheelEvent(event);
}

void SpectrogramView::keyPressEvent(QKeyEvent* event)
{
    if (!passInput(onInput, plotInputOf(*event)))
        QWidget::keyPressEvent(event);
}

void SpectrogramView::leaveEvent(QEvent* event)
{
    PlotInput input;
    input.kind = PlotInput::Kind::Leave;
    passInput(onInput, input);
    QWidget::leaveEvent(event);
}

void SpectrogramView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Columns pooled for another width are computed again for the new one; in
    // the meantime the image is pooled again from those held.
    if (event->size().width() != event->oldSize().width() && computedWidth != plotWidth()
        && columns.columns.size() < columns.sourceColumns && onWidthChanged)
        onWidthChanged();
    if (!image.isNull() && !columns.columns.empty()
        && (imageWidth() != static_cast<size_t>(image.width())
            || imageHeight() != static_cast<size_t>(image.height()))) {
        rebuildImage();
        return;
    }
    update();
}

bool SpectrogramView::needsNewWidth() const
{
    return columns.columns.size() < columns.sourceColumns && computedWidth != plotWidth();
}
