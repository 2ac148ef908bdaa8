// Spectrogram image with frequency and time axes and a colour bar.

#include "views/SpectrogramView.h"

#include "dsp/Fft.h"
#include "io/Recording.h"
#include "plotdata/PlotMath.h"
#include "plotdata/SpectrogramPass.h"
#include "plotdata/SpectrumCurve.h"
#include "views/AxisPainting.h"
#include "views/ColorMap.h"
#include "session/SummaryBuilds.h"
#include "session/ViewComputation.h"
#include "views/CaptureMarkers.h"
#include "views/SpectrogramImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

constexpr int leastWidth = 500;
constexpr int leastHeight = 250;
constexpr int preferredHeight = 450;
constexpr int marginLeft = 110;
constexpr int marginTop = 20;
constexpr int marginRight = 80;
constexpr int marginBottom = 50;
// The colour bar: 20 pixels wide, 30 pixels in from the right edge, 20 pixels
// shorter than the plot at the top and at the bottom.
constexpr int barWidth = 20;
constexpr int barRightInset = 50;
constexpr int barInset = 20;
// The striped band over preview columns.
constexpr int previewBandHeight = 8;
// Memory the pooled columns may take: fewer (down to one per pixel and below)
// are kept at large FFT sizes.
constexpr size_t columnBudgetBytes = size_t(256) << 20;

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

QSize SpectrogramView::sizeHint() const
{
    // Beyond its minimum it takes a page's spare height; while the plots below it
    // squeeze, it keeps a share of the height it asks for.
    return {leastWidth, preferredHeight};
}

SpectrogramView::SpectrogramView(Recording* recording, QWidget* parent)
    : PlotWidget(parent), recording(recording)
{
    lastBin = static_cast<int>(fftPoints - 1);
    setMinimumSize(leastWidth, leastHeight);
    setValueDescription({QString(), QStringLiteral("dB/Hz"), 1});
    // A new width is computed by the session showing the view, or here.
    setWidthChangedHandler([this] {
        if (askForNewWidth())
            return;
        recompute();
        rebuildImage();
    });
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
    const double fs = static_cast<double>(recording->sampleRate());
    const int exponent = static_cast<int>(std::log2(double(fftPoints)));
    computeAndPresent(*recording, timeStart, timeStop, removeDcOffset,
                      computation(fs, sampleCountOf(*recording), timeStart, timeStop, exponent,
                                  overlapFraction));
}

std::unique_ptr<ViewComputation> SpectrogramView::computation(double fs, uint64_t count,
                                                              double startTime, double stopTime,
                                                              int exponent, double overlap,
                                                              std::shared_ptr<SummarySet> summaries)
{
    const int width = plotWidth();
    const StreamRange range = streamRangeOf(fs, count, startTime, stopTime);
    const uint32_t n = exponent >= 0 && exponent <= 31 ? uint32_t(1) << exponent : 0;
    auto pass = std::make_unique<SpectrogramPass>(range, fs, exponent, overlap, columnsFor(width, n),
                                                  std::move(summaries));
    const bool shorterThanFft = count > 0 && range.size() < n;
    return presentedBy<SpectrogramPass>(
        this, std::move(pass),
        [this, startTime, stopTime, exponent, overlap, width, shorterThanFft](SpectrogramPass& done) {
            timeStart = startTime;
            timeStop = stopTime;
            overlapFraction = overlap;
            if (exponent >= 0 && exponent <= static_cast<int>(maxFftExponent))
                fftPoints = uint32_t(1) << exponent;
            computedWidth = width;
            tooShort = shorterThanFft;
            takeColumns(std::move(done.result()));
        });
}

void SpectrogramView::takeColumns(PooledSpectrogram computed)
{
    // The scale keeps the last maximum that any column gave.
    if (computed.columns.size() > 0)
        maxValue = computed.maxValue;
    columns = std::move(computed);
}

int SpectrogramView::maxPower() const
{
    return truncToInt(maxValue);
}

void SpectrogramView::setFftExponent(int exponent)
{
    if (exponent < 0 || exponent > static_cast<int>(maxFftExponent))
        throw std::invalid_argument("FFT size exponent out of range: " + std::to_string(exponent));
    fftPoints = uint32_t(1) << exponent;
}

void SpectrogramView::setStartFrequency(double hertz)
{
    const BandEdge edge = startBandEdge(static_cast<double>(recording->sampleRate()), fftPoints, hertz);
    firstBin = edge.bin;
    startFrequency = edge.frequency;
}

void SpectrogramView::setStopFrequency(double hertz)
{
    const BandEdge edge = stopBandEdge(static_cast<double>(recording->sampleRate()), fftPoints, hertz);
    lastBin = edge.bin;
    stopFrequency = edge.frequency;
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
        // A range too short for one FFT shows no picture, never an older one.
        if (tooShort) {
            image = QImage();
            scaledImage = QImage();
        }
        update();
        return;
    }
    std::vector<const double*> pointers(matrix.size());
    for (size_t c = 0; c < matrix.size(); ++c)
        pointers[c] = matrix.column(c);
    shownMaximum = bandMaximum(first, last);
    const Scale scale = colourScale();
    // A rebuild at the same size (same range, band and FFT size) rewrites the
    // old image's pixels instead of fresh memory.
    scaledImage = QImage();
    // A range with many more columns than the plot has pixels is pooled to
    // one column per pixel, and a band of more bins than it has rows to one
    // row per pixel, so that the painter never drops a burst or a narrow
    // line (nor wraps around past 65,535 pixels).
    QImage built = spectrogramImage(pointers, first, last, scale.low, scale.high, mirror,
                                    spectrogramImageBudget, image, imageWidth(), imageHeight(),
                                    colors);
    if (!built.isNull()) {
        image = std::move(built);
        imageMirrored = mirror;
    }
    update();
}

const QImage& SpectrogramView::scaledPicture(const QRect& plot)
{
    if (imageMirrored != mirror) {
        image.mirror(false, true);
        imageMirrored = mirror;
        scaledImage = QImage();
    }
    // Scaling the image (often hundreds of thousands of columns) is done once
    // per image, orientation and size; the scaled pixels are those a direct
    // drawImage into the plot rectangle gives.
    if (plot.width() > 0 && plot.height() > 0 && scaledImage.size() != plot.size()) {
        scaledImage = QImage(plot.size(), QImage::Format_RGB32);
        if (!scaledImage.isNull()) {
            scaledImage.fill(Qt::black);
            QPainter scaler(&scaledImage);
            scaler.drawImage(QRect(QPoint(0, 0), plot.size()), image);
        }
    }
    return scaledImage;
}

void SpectrogramView::paintEvent(QPaintEvent*)
{
    const int W = width();
    const int H = height();
    const QRect plot = plotRect();

    QPainter painter(this);
    if (image.isNull() && !tooShort)
        return;

    if (!image.isNull()) {
        const QImage& scaled = scaledPicture(plot);
        // A pan in progress drags the picture along; what it uncovers stays black.
        const QPoint dragged = overlay().panOffset;
        painter.save();
        painter.setClipRect(plot);
        if (!dragged.isNull())
            painter.fillRect(plot, Qt::black);
        if (!scaled.isNull() && scaled.size() == plot.size())
            painter.drawImage(plot.topLeft() + dragged, scaled);
        else
            painter.drawImage(plot.translated(dragged), image);
        painter.restore();
    }

    painter.setPen(QPen(Qt::white));
    painter.drawLine(marginLeft, marginTop, marginLeft, H - marginBottom);
    painter.drawLine(marginLeft, H - marginBottom, W - marginRight, H - marginBottom);

    // While a pan drags the picture, its axes, boxes and cursors follow.
    const QPoint dragged = overlay().panOffset;
    const AxisMap times = timeAxisMap().draggedBy(dragged.x());
    const AxisMap bandShown = frequencyAxisMap().draggedBy(dragged.y());
    const AxisScale frequencyScale =
        axisTicks(bandShown.low + shownFrequencyOffset, bandShown.high + shownFrequencyOffset,
                  plot.height(), marginTop, AxisOrientation::Vertical, AxisQuantity::Frequency,
                  leftLabelMetrics(painter, marginLeft));
    const AxisScale timeScale =
        axisTicks(times.low, times.high, plot.width(), marginLeft, AxisOrientation::Horizontal,
                  AxisQuantity::Time, bottomLabelMetrics(painter), timeUnitMagnitude());
    drawLeftTicks(painter, frequencyScale.ticks, marginLeft);
    drawBottomTicks(painter, timeScale.ticks, H - marginBottom);
    drawVerticalTitle(painter, H, marginTop, marginBottom,
                      axisTitle(AxisQuantity::Frequency, frequencyScale.unit, QString()));
    painter.drawText(QRect(marginLeft, H - 20, plot.width(), 20), Qt::AlignCenter,
                     axisTitle(AxisQuantity::Time, timeScale.unit, QString()));

    if (image.isNull()) {
        painter.drawText(plot, Qt::AlignCenter | Qt::TextWordWrap,
                         QStringLiteral("This range holds fewer samples than one FFT (%1)")
                             .arg(fftPoints));
        return;
    }

    const Scale scale = colourScale();
    drawColorBar(painter,
                 QRect(W - barRightInset, marginTop + barInset, barWidth,
                       plot.height() - 2 * barInset),
                 scale.high, scale.low, colors);
    painter.drawText(QRect(W - marginRight, 15, marginRight, 20), Qt::AlignCenter, scale.topLabel);
    painter.drawText(QRect(W - marginRight, H - 65, marginRight, 20), Qt::AlignCenter,
                     scale.bottomLabel);

    if (showAnnotations) {
        painter.save();
        painter.translate(dragged);
        drawAnnotationBoxes(painter, annotations, placedAnnotations(), plot.translated(-dragged));
        painter.restore();
    }
    if (sketch) {
        const std::vector<AnnotationBox> drawn{*sketch};
        drawAnnotationBoxes(painter, drawn,
                            placeAnnotations(drawn, timeAxisMap(), frequencyAxisMap(), plot), plot);
    }
    if (previewColumns)
        drawPreviewMarker(painter, plot);
    drawPlotOverlay(painter, overlay(), plot, times, &bandShown);
}

void SpectrogramView::drawPreviewMarker(QPainter& painter, const QRect& plot) const
{
    // Every column is a preview until the exact pass replaces them all: a
    // striped band along the top of the plot over them, and a note.
    const QRect band(plot.left(), plot.top(), plot.width(), previewBandHeight);
    painter.save();
    painter.fillRect(band, QBrush(QColor(255, 165, 0, 170), Qt::BDiagPattern));
    painter.setPen(QColor(255, 165, 0));
    painter.drawRect(band.adjusted(0, 0, -1, -1));
    const QString note = QStringLiteral("Preview: every column from one FFT segment of its group; the exact picture follows");
    const QRect text = painter.fontMetrics().boundingRect(note).adjusted(-4, -2, 4, 2);
    const QRect placed(plot.left() + 4, band.bottom() + 4, std::min(text.width(), plot.width() - 8), text.height());
    painter.fillRect(placed, QColor(0, 0, 0, 170));
    painter.drawText(placed, Qt::AlignCenter, painter.fontMetrics().elidedText(note, Qt::ElideRight, placed.width() - 8));
    painter.restore();
}

double SpectrogramView::bandMaximum(int first, int last) const
{
    const ColumnMatrix& matrix = columns.columns;
    double largest = -std::numeric_limits<double>::infinity();
    for (size_t c = 0; c < matrix.size(); ++c) {
        const double* column = matrix.column(c);
        for (int bin = first; bin <= last; ++bin)
            largest = column[bin] > largest ? column[bin] : largest;
    }
    return std::isfinite(largest) ? largest : maxValue;
}

SpectrogramView::Scale SpectrogramView::colourScale() const
{
    // The matrix holds densities less the window's correction; the labels give
    // them back in absolute dB/Hz, as the readout does.
    const double correction = densityCorrectionDb(fftPoints);
    if (referenceLevel) {
        const double top = *referenceLevel - (std::isfinite(correction) ? correction : 0.0);
        const double range = std::isfinite(rangeDb) ? rangeDb : 40.0;
        return {top - range, top, colorBarLabel(top, correction), colorBarLabel(top - range, correction)};
    }
    const int top = truncToInt(shownMaximum);
    const int bottom = scaleBottom(top, rangeDb);
    return {static_cast<double>(bottom), static_cast<double>(top), colorBarLabel(top, correction),
            colorBarLabel(bottom, correction)};
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

std::optional<ColumnValues> SpectrogramView::valuesAt(const QPoint& point) const
{
    const std::optional<double> value = valueAt(point);
    if (!value)
        return std::nullopt;
    return ColumnValues{*value, *value, false};
}

void SpectrogramView::setFrequencyOffset(double hertz)
{
    shownFrequencyOffset = std::isfinite(hertz) ? hertz : 0.0;
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

void SpectrogramView::setSketch(std::optional<AnnotationBox> box)
{
    sketch = std::move(box);
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

QString SpectrogramView::toolTipTextAt(const QPoint& point) const
{
    const QString boxes = annotationToolTipAt(point);
    const QString markers = PlotWidget::toolTipTextAt(point);
    if (boxes.isEmpty() || markers.isEmpty())
        return boxes.isEmpty() ? markers : boxes;
    return boxes + QLatin1Char('\n') + markers;
}

void SpectrogramView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Columns pooled for another width are computed again for the new one; in
    // the meantime the image is pooled again from those held.
    if (event->size().width() != event->oldSize().width() && needsNewWidth())
        widthChanged();
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

bool SpectrogramView::outdated(const ViewSettings& computed, const ViewSettings& next) const
{
    return !(computed.range == next.range) || computed.spectrogram.exponent != next.spectrogram.exponent
           || computed.spectrogram.overlap != next.spectrogram.overlap || computed.removeDc != next.removeDc;
}

std::unique_ptr<ViewComputation> SpectrogramView::computation(const ViewSettings& settings,
                                                              const RecordingFacts& recording)
{
    return computation(recording.sampleRate, recording.sampleCount, settings.range.start, settings.range.stop,
                       settings.spectrogram.exponent, settings.spectrogram.overlap, recording.summaries);
}

void SpectrogramView::present(const Presentation& presentation)
{
    const ViewSettings& settings = presentation.settings;
    const SpectrogramSettings& look = settings.spectrogram;
    removeDcOffset = settings.removeDc;
    setTimeUnitMagnitude(settings.range.unitMagnitude());
    setShowAnnotations(settings.display.showAnnotations);
    setFrequencyOffset(presentation.frequencyOffset);
    if (presentation.computed)
        previewColumns = presentation.preview;
    if (presentation.computed)
        setMarkers(captureMarkers(recording->info(), static_cast<double>(recording->sampleRate())));
    const bool sameLook = presentedSettings && presentedSettings->band == settings.band
                          && presentedSettings->spectrogram == look;
    // Before a recording there is no band to map to bins.
    if ((sameLook && !presentation.computed) || !recording->isLoaded())
        return;
    rangeDb = look.range;
    mirror = look.mirror;
    colors = static_cast<ColorMapKind>(look.colorMap);
    referenceLevel = look.referenceLevel;
    setStartFrequency(settings.band.low);
    setStopFrequency(settings.band.high);
    presentedSettings = settings;
    rebuildImage();
}

void SpectrogramView::addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const
{
    needs.spectrogram = SummaryNeeds::Spectrogram{settings.spectrogram.exponent, settings.spectrogram.overlap};
}

bool SpectrogramView::laidOut() const
{
    return window()->isVisible();
}
