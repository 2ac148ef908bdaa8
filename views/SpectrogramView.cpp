// Spectrogram image with frequency and time axes and a colour bar.

#include "views/SpectrogramView.h"

#include "io/Recording.h"
#include "views/AxisPainting.h"
#include "views/ColorMap.h"
#include "views/PlotMath.h"
#include "views/SpectrogramImage.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <cstdint>

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

} // namespace

SpectrogramView::SpectrogramView(Recording* recording, QWidget* parent)
    : QWidget(parent), recording(recording), spectrogram(recording)
{
    lastBin = static_cast<int>(spectrogram.fftSize() - 1);
    setMinimumSize(500, 250);
}

SpectrogramView::~SpectrogramView() = default;

void SpectrogramView::setTimeRange(double startTime, double stopTime)
{
    timeStart = startTime;
    timeStop = stopTime;
    spectrogram.setTimeRange(startTime, stopTime);
}

void SpectrogramView::recompute()
{
    spectrogram.compute();
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

void SpectrogramView::setStopFrequency(int hertz)
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

void SpectrogramView::rebuildImage()
{
    const ColumnMatrix& matrix = spectrogram.columns();
    // Bins beyond the matrix's own rows (a band set for another FFT size) are
    // never read.
    const int rowsInMatrix = static_cast<int>(std::min<size_t>(matrix.rows(), INT32_MAX));
    const int first = std::min(firstBin, rowsInMatrix - 1);
    const int last = std::min(lastBin, rowsInMatrix - 1);
    if (matrix.empty() || first < 0 || last < first) {
        update();
        return;
    }
    std::vector<const double*> columns(matrix.size());
    for (size_t c = 0; c < matrix.size(); ++c)
        columns[c] = matrix.column(c);
    {
        std::lock_guard<std::mutex> lock(imageMutex);
        const int top = spectrogram.maxPower();
        const int bottom = scaleBottom(top, rangeDb);
        // A rebuild at the same size (same range, band and FFT size) rewrites the
        // old image's pixels instead of fresh memory.
        scaledImage = QImage();
        QImage built = spectrogramImage(columns, first, last, static_cast<double>(bottom),
                                        static_cast<double>(top), mirror, spectrogramImageBudget,
                                        image);
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
    const int top = spectrogram.maxPower();
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
    if (!scaledImage.isNull() && scaledImage.size() == plotRect.size()) {
        painter.drawImage(plotRect.topLeft(), scaledImage);
    } else {
        painter.drawImage(plotRect, image);
    }

    painter.setPen(QPen(Qt::white));
    painter.drawLine(marginLeft, marginTop, marginLeft, H - marginBottom);
    painter.drawLine(marginLeft, H - marginBottom, W - marginRight, H - marginBottom);

    const AxisScale frequencyScale =
        axisTicks(startFrequency, stopFrequency, plotHeight, marginTop, AxisOrientation::Vertical,
                  AxisQuantity::Frequency, leftLabelMetrics(painter, marginLeft));
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
}

void SpectrogramView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    update();
}
