#pragma once
// Spectrogram of a time range as a colour image (time left to right, frequency
// bottom to top) with frequency and time axes and a colour bar in dB/Hz relative
// to the strongest value.

#include "dsp/SpectrogramStream.h"
#include "session/ViewKind.h"
#include "views/AnnotationBoxes.h"
#include "views/ColorMap.h"
#include "views/PlotWidget.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class Recording;
class SummarySet;
class ViewComputation;

class SpectrogramView : public PlotWidget, public ViewKind
{
public:
    SpectrogramView(Recording* recording, QWidget* parent = nullptr);
    ~SpectrogramView() override;

    // Start and stop in seconds; recomputes the spectrogram's columns (not the
    // image) from the recording before it returns. A range of more columns than
    // the plot can show is pooled by maximum to twice the plot's width.
    void setTimeRange(double startTime, double stopTime);
    // Recomputes the columns after an FFT size or overlap change, not the image.
    void recompute();
    // The columns over [startTime, stopTime] of a recording of `count` samples
    // at fs, with FFT size 2^exponent and the overlap fraction, for the plot's
    // current width, to be run on any thread; presenting them stores the range,
    // FFT size and overlap too (the image is rebuilt by rebuildImage). With the
    // recording's summaries, put together from them where they reach.
    std::unique_ptr<ViewComputation> computation(double fs, uint64_t count, double startTime,
                                                 double stopTime, int exponent, double overlap,
                                                 std::shared_ptr<SummarySet> summaries = nullptr);
    // Remove the range's mean from I and Q in setTimeRange and recompute.
    void setRemoveDc(bool remove) { removeDcOffset = remove; }
    // The time range shown.
    double startTime() const { return timeStart; }
    double stopTime() const { return timeStop; }
    // The largest value of the last computation that made a column, truncated
    // toward zero (saturated to the int range); 1 before any.
    int maxPower() const;
    // Whether what is shown was computed for another plot width.
    bool needsNewWidth() const override;

    // FFT size in points.
    uint32_t fftSize() const { return fftPoints; }
    // Fraction (0 to 1) of a column shared with the next.
    double overlap() const { return overlapFraction; }
    void setOverlap(double fraction) { overlapFraction = fraction; }
    // FFT size 2^exponent; the band must be set again afterwards. Throws
    // std::invalid_argument outside 0 ... 31.
    void setFftExponent(int exponent);

    // Dynamic range of the colour scale, dB.
    double range() const { return rangeDb; }
    void setRange(double db) { rangeDb = db; }

    // Band edges in Hz; each picks a bin by the spectrum's rule, and the frequency
    // axis runs from the outer edge of the first bin's row to that of the last
    // (bin b at (b - N/2) * fs / N, its row half a bin either side).
    void setStartFrequency(double hertz);
    void setStopFrequency(double hertz);
    // Draw the image upside down (the axis labels stay).
    void setMirror(bool mirrored) { mirror = mirrored; }
    // The colours of the scale; viridis at first.
    void setColorMap(ColorMapKind kind) { colors = kind; }
    ColorMapKind colorMap() const { return colors; }
    // Top of the colour scale as a power spectral density in dB/Hz (what the
    // readout gives), or nothing for "Auto": the strongest value of the band
    // shown. Either way the bar is labelled in absolute dB/Hz, as the readout reads.
    // Takes effect at the next rebuildImage.
    void setReferenceLevel(std::optional<double> dbPerHz) { referenceLevel = dbPerHz; }

    // Rebuilds the colour image from the matrix, band and range, then repaints.
    // After a range too short for one column the plot area stays empty, with a
    // note saying so.
    void rebuildImage();
    // The colour image as it stands, in the orientation it was built or last
    // painted in (one column per time column, before scaling to the plot).
    QImage colourImage() const { return image; }
    // Whether the range shown holds fewer samples than one FFT.
    bool rangeTooShort() const { return tooShort; }
    // Whether the columns shown are a preview, the exact ones still being computed.
    bool showsPreview() const { return previewColumns; }

    // The plot area in widget pixels, and its axes: time in seconds along x,
    // frequency in baseband hertz along y as the image shows it (from the band's
    // bottom upwards, or downwards when mirrored; the labels stay put).
    QRect plotRect() const override;
    QSize sizeHint() const override;
    AxisMap timeAxisMap() const;
    AxisMap frequencyAxisMap() const;
    // The power spectral density in dB/Hz under a widget pixel: the largest of the
    // cells (columns and bins) the pixel shows, as the image pools them, with the
    // window's power divided out (the density of a Welch estimate of one column);
    // nothing outside the picture.
    std::optional<double> valueAt(const QPoint& point) const;
    // Shown frequencies are baseband plus this (a centre frequency, or 0); the
    // labels follow it, the picture does not change.
    void setFrequencyOffset(double hertz);
    double frequencyOffset() const { return shownFrequencyOffset; }

    // As a plot: time along x, a band along y, at least one FFT of samples.
    AxisQuantity horizontalQuantity() const override { return AxisQuantity::Time; }
    AxisMap horizontalMap() const override { return timeAxisMap(); }
    std::optional<AxisMap> bandMap() const override { return frequencyAxisMap(); }
    bool bandIsVertical() const override { return true; }
    uint64_t narrowestTimeSpan() const override { return fftPoints; }
    std::optional<ColumnValues> valuesAt(const QPoint& point) const override;

    // A recording's annotations, drawn as outlined boxes with their labels while shown.
    void setAnnotations(std::vector<AnnotationBox> boxes);
    const std::vector<AnnotationBox>& annotationBoxList() const { return annotations; }
    void setShowAnnotations(bool show);
    // A box being drawn (dashed), shown whether annotations are or not; nothing for none.
    void setSketch(std::optional<AnnotationBox> box);
    // Where the boxes are drawn at the current size, and the tool tip at a point.
    std::vector<PlacedAnnotation> placedAnnotations() const;
    QString annotationToolTipAt(const QPoint& point) const;
    // The annotations' texts under the point, then the markers'.
    QString toolTipTextAt(const QPoint& point) const override;

    // As a kind of view of a session: columns computed for the range, FFT size,
    // overlap and DC offset; band, colour scale, mirror, annotations and axis
    // offset presented without computing.
    bool outdated(const ViewSettings& computed, const ViewSettings& next) const override;
    std::unique_ptr<ViewComputation> computation(const ViewSettings& settings,
                                                 const RecordingFacts& recording) override;
    void present(const Presentation& presentation) override;
    void addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const override;
    bool laidOut() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Width of the plot rectangle in pixels.
    int plotWidth() const;
    // Image columns for the columns held, at the plot's current width, and image
    // rows: one per pixel row of the plot.
    size_t imageWidth() const;
    size_t imageHeight() const;
    // The band's first and last bin within the matrix held; false when none.
    bool shownBins(int& first, int& last) const;
    void drawPreviewMarker(QPainter& painter, const QRect& plot) const;
    void takeColumns(PooledSpectrogram computed);
    // The scale's bottom and top in the matrix's own units, and the colour
    // bar's labels, from the band's maximum, the range and the reference level.
    struct Scale
    {
        double low;
        double high;
        QString topLabel;
        QString bottomLabel;
    };
    Scale colourScale() const;
    // The largest value of the band shown in the columns held (NaN left out);
    // the computation's maximum when there is none.
    double bandMaximum(int first, int last) const;
    // The picture scaled to the plot, made again when the image or the size changed.
    const QImage& scaledPicture(const QRect& plot);

    Recording* recording;
    uint32_t fftPoints = 256;
    double overlapFraction = 0.8;
    double rangeDb = 40.0;
    double timeStart = 0;
    double timeStop = 2.220446049250313e-16;
    int firstBin = 0;
    int lastBin = 255;
    double startFrequency = -10.0;
    double stopFrequency = 10.0;
    bool mirror = false;
    bool previewColumns = false;
    bool removeDcOffset = false;
    ColorMapKind colors = ColorMapKind::Viridis;
    std::optional<double> referenceLevel;
    // The band's maximum as of the last rebuild, the top of an "Auto" scale.
    double shownMaximum = 1.0;
    // The columns shown (possibly pooled) and the largest value of the last
    // computation that made any.
    PooledSpectrogram columns;
    double maxValue = 1.0;
    // The last computation found fewer samples than one FFT in its range.
    bool tooShort = false;
    // Plot width the columns were computed for.
    int computedWidth = 0;
    QImage image;
    // Orientation the image was last built or flipped in; painting flips it in
    // place when `mirror` has changed since, instead of copying it every time.
    bool imageMirrored = false;
    // `image` as last drawn into the plot rectangle, scaled to its size; reused
    // by later paints while the image, its orientation and the size stay the same.
    QImage scaledImage;

    double shownFrequencyOffset = 0;
    // What the image was last built with by present().
    std::optional<ViewSettings> presentedSettings;
    std::vector<AnnotationBox> annotations;
    bool showAnnotations = true;
    std::optional<AnnotationBox> sketch;
};
