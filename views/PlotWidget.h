#pragma once
// What every plot shares: it passes mouse, wheel and keys to a handler without
// interpreting them, draws an overlay (cursors, a band being dragged, a pan) over
// its picture, says where its plot area lies and how its axes map values to
// pixels, gives the values under a pixel, and tells its owner when it changed
// width under a picture computed for another.

#include "plotdata/AxisMap.h"
#include "plotdata/PlotValues.h"
#include "views/AxisTicks.h"
#include "views/PlotInput.h"
#include "views/PlotOverlay.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

// How the readout names a plot's values: "I = 0.31201", "-43.2 dB/Hz".
struct ValueDescription
{
    QString name;
    QString unit;
    // Decimals; below 0, six significant digits.
    int decimals = -1;
};

class PlotWidget : public QWidget
{
public:
    explicit PlotWidget(QWidget* parent = nullptr);

    // Mouse, wheel and keys go to the handler; the plot interprets none of them.
    void setInputHandler(PlotInputHandler handler) { onInput = std::move(handler); }
    const PlotInputHandler& inputHandler() const { return onInput; }
    void setOverlay(PlotOverlay overlay);
    // Points marked on the curve (spectrum markers), drawn over the overlay.
    void setMarks(std::vector<PlotMark> marks);
    const std::vector<PlotMark>& marks() const { return shownMarks; }
    // Thin lines at values of the horizontal axis (where captures start), drawn
    // with every overlay until set again.
    void setMarkers(std::vector<MarkerLine> markers);
    // A line at a value of the horizontal axis where the band is being
    // played, drawn with every overlay; nothing removes it.
    void setPlayLine(std::optional<double> value);
    // Lines across the plot at values of the vertical axis (a slicer's levels)
    // and short marks at values of the horizontal one (symbol centres), drawn
    // with every overlay until set again.
    void setGuides(std::vector<CursorLine> levels, std::vector<double> ticks);
    // The tool tip at a point: the markers' texts within a few pixels of it.
    virtual QString toolTipTextAt(const QPoint& point) const;
    // Called when the plot becomes wider or narrower than its picture was
    // computed for, so that the owner can compute it again.
    void setWidthChangedHandler(std::function<void()> handler) { onWidthChanged = std::move(handler); }

    // The plot area in widget pixels.
    virtual QRect plotRect() const = 0;
    // The horizontal axis as drawn: what it shows (time in seconds, or
    // frequency in baseband hertz) and its map; invalid while nothing is shown.
    virtual AxisQuantity horizontalQuantity() const = 0;
    virtual AxisMap horizontalMap() const = 0;
    // The axis a band of frequencies is chosen along, when the plot has one.
    virtual std::optional<AxisMap> bandMap() const { return std::nullopt; }
    virtual bool bandIsVertical() const { return false; }
    // Fewest samples a time range of this plot may span.
    virtual uint64_t narrowestTimeSpan() const { return 1; }
    // The values the pixel at `point` shows; nothing outside the picture.
    virtual std::optional<ColumnValues> valuesAt(const QPoint& point) const = 0;

    void setValueDescription(ValueDescription description) { described = std::move(description); }
    const ValueDescription& valueDescription() const { return described; }

    // The magnitude (seconds) that chooses the time axis's unit: the time range
    // shown, the same for every time plot of a page, so that stacked plots whose
    // data end a little apart still read in one unit. NaN: the plot's own extent.
    void setTimeUnitMagnitude(double seconds) { timeMagnitude = seconds; }
    double timeUnitMagnitude() const { return timeMagnitude; }

protected:
    const PlotOverlay& overlay() const { return shownOverlay; }
    void widthChanged();

    // Tool tips come from toolTipTextAt, never read as markup.
    bool event(QEvent* event) override;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    PlotInputHandler onInput;
    // The overlay as given, and as drawn (with the markers and the play line).
    void composeOverlay();
    PlotOverlay givenOverlay;
    std::vector<CursorLine> guideLevels;
    std::vector<double> guideTicks;
    PlotOverlay shownOverlay;
    std::optional<double> playLine;
    std::vector<PlotMark> shownMarks;
    std::vector<MarkerLine> markerLines;
    std::function<void()> onWidthChanged;
    ValueDescription described;
    double timeMagnitude = std::numeric_limits<double>::quiet_NaN();
};
