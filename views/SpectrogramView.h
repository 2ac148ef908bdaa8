#pragma once
// Spectrogram of a time range as a colour image (time left to right, frequency
// bottom to top) with frequency and time axes and a colour bar in dB/Hz relative
// to the strongest value.

#include "dsp/Spectrogram.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <mutex>

class Recording;

class SpectrogramView : public QWidget
{
public:
    SpectrogramView(Recording* recording, QWidget* parent = nullptr);
    ~SpectrogramView() override;

    // Start and stop in seconds; recomputes the spectrogram matrix, not the image.
    void setTimeRange(double startTime, double stopTime);
    // Recomputes the matrix after an FFT size or overlap change, not the image.
    void recompute();

    // FFT size in points.
    uint32_t fftSize() const;
    // Fraction (0 to 1) of a column shared with the next.
    double overlap() const;
    void setOverlap(double fraction);
    // FFT size 2^exponent; the band must be set again afterwards.
    void setFftExponent(int exponent);

    // Dynamic range of the colour scale, dB.
    double range() const { return rangeDb; }
    void setRange(double db);

    // Band edges in Hz; each picks the enclosing bin and keeps that bin's frequency.
    void setStartFrequency(double hertz);
    void setStopFrequency(int hertz);
    // Draw the image upside down (the axis labels stay).
    void setMirror(bool mirrored);

    // Rebuilds the colour image from the matrix, band and range, then repaints.
    // An empty matrix keeps the previous image.
    void rebuildImage();
    // The colour image as it stands, in the orientation it was built or last
    // painted in (one column per time column, before scaling to the plot).
    QImage colourImage() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor mapColor(double value, double low, double high) const;
    // Width of the plot rectangle in pixels.
    int plotWidth() const;

    Recording* recording;
    Spectrogram spectrogram;
    double rangeDb = 40.0;
    double timeStart = 0;
    double timeStop = 2.220446049250313e-16;
    int firstBin = 0;
    int lastBin = 255;
    double startFrequency = -10.0;
    double stopFrequency = 10.0;
    bool mirror = false;
    mutable std::mutex imageMutex;
    QImage image;
    // Orientation the image was last built or flipped in; painting flips it in
    // place when `mirror` has changed since, instead of copying it every time.
    bool imageMirrored = false;
    // Number of time columns `image` was built from (more than its width when pooled).
    size_t imageSourceColumns = 0;
    // `image` as last drawn into the plot rectangle, scaled to its size; reused
    // by later paints while the image, its orientation and the size stay the same.
    QImage scaledImage;
};
