// Drags, wheel turns, clicks and keys over the plots, as requests, cursors and
// readout.

#include "panel/PlotNavigator.h"

#include "io/Recording.h"
#include "panel/CaptureReadout.h"
#include "plotdata/PlotMath.h"
#include "session/ViewSession.h"
#include "views/PlotWidget.h"

#include <QLabel>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Pixels a press must travel to be a drag rather than a click.
constexpr int dragThreshold = 4;
// Angle delta of one wheel notch, and the most notches a burst of turns counts.
constexpr double notch = 120.0;
constexpr double mostNotches = 64.0;

// A position along an axis of the plot area, those beyond it counting as its edge.
int alongX(const QRect& area, const QPoint& p)
{
    return std::clamp(p.x(), area.left(), area.left() + area.width());
}

int alongY(const QRect& area, const QPoint& p)
{
    return std::clamp(p.y(), area.top(), area.top() + area.height());
}

} // namespace

PlotNavigator::PlotNavigator(ViewSession* session, const std::vector<PlotWidget*>& shownPlots)
    : session(session), recording(&session->recording())
{
    for (PlotWidget* plot : shownPlots) {
        plots.emplace_back(plot);
        plot->setInputHandler([this, plot](const PlotInput& input) { return handle(plot, input); });
    }
}

PlotNavigator::~PlotNavigator()
{
    for (const QPointer<PlotWidget>& plot : plots)
        if (plot)
            plot->setInputHandler(nullptr);
}

void PlotNavigator::setReadoutLabel(QLabel* label)
{
    readoutLabel = label;
    showReadout();
}

void PlotNavigator::reset()
{
    drag.reset();
    wheel.reset();
    hover.reset();
    cursors.clear();
    viewsChanged();
}

void PlotNavigator::refresh()
{
    showOverlays();
    showReadout();
}

void PlotNavigator::viewsChanged()
{
    panPreview.reset();
    askedSpan.reset();
    askedBand.reset();
    refresh();
}

double PlotNavigator::sampleRate() const
{
    return static_cast<double>(recording->sampleRate());
}

bool PlotNavigator::handle(PlotWidget* plot, const PlotInput& input)
{
    switch (input.kind) {
    case PlotInput::Kind::Press:
        return press(plot, input);
    case PlotInput::Kind::Move:
        move(plot, input);
        return true;
    case PlotInput::Kind::Release:
        return release(plot, input);
    case PlotInput::Kind::Wheel:
        return turnWheel(plot, input);
    case PlotInput::Kind::Leave:
        if (hover && hover->plot == plot)
            hover.reset();
        showReadout();
        return true;
    case PlotInput::Kind::Key:
        return pressKey(input);
    }
    return false;
}

bool PlotNavigator::press(PlotWidget* plot, const PlotInput& input)
{
    if (!recording->isLoaded() || !plot->plotRect().contains(input.position)
        || !plot->horizontalMap().valid())
        return false;
    const bool pan = input.button == Qt::MiddleButton
                     || (input.button == Qt::LeftButton && (input.modifiers & Qt::ControlModifier));
    if (!pan && input.button != Qt::LeftButton)
        return false;
    Drag started{plot, input.position, input.position, pan, input.modifiers, std::nullopt, false};
    if (!pan)
        started.cursor = cursors.near(cursorAxes(plot), input.position, sampleRate());
    drag = started;
    return true;
}

void PlotNavigator::move(PlotWidget* plot, const PlotInput& input)
{
    hover = Hover{plot, input.position};
    if (drag && drag->plot == plot) {
        drag->last = input.position;
        drag->modifiers = input.modifiers;
        if ((input.position - drag->origin).manhattanLength() >= dragThreshold)
            drag->moved = true;
        if (drag->moved && drag->cursor)
            drag->cursor = CursorPair::settled(*drag->cursor, cursorAxes(plot), input.position - drag->origin);
        if (drag->moved && drag->cursor)
            cursors.move(*drag->cursor, cursorAxes(plot), input.position, plot->plotRect(),
                         sampleRate(), recording->sampleCount());
        showOverlays();
    }
    showReadout();
}

bool PlotNavigator::release(PlotWidget* plot, const PlotInput& input)
{
    if (!drag || drag->plot != plot)
        return false;
    Drag ended = *drag;
    drag.reset();
    ended.last = input.position;
    if ((input.position - ended.origin).manhattanLength() >= dragThreshold)
        ended.moved = true;
    if (!ended.moved) {
        if (!ended.pan && !ended.cursor)
            cursors.place(cursorAxes(plot), ended.origin, sampleRate(), recording->sampleCount());
    } else if (ended.cursor) {
        cursors.move(CursorPair::settled(*ended.cursor, cursorAxes(plot), input.position - ended.origin), cursorAxes(plot), input.position, plot->plotRect(), sampleRate(),
                     recording->sampleCount());
    } else if (ended.pan) {
        pan(ended, input.modifiers);
    } else {
        select(ended, input.modifiers);
    }
    refresh();
    return true;
}

bool PlotNavigator::alongFrequency(const Drag& drag, Qt::KeyboardModifiers modifiers) const
{
    if (!drag.plot->bandMap())
        return false;
    if (!drag.plot->bandIsVertical())
        return true;
    const QPoint d = drag.last - drag.origin;
    return (!drag.pan && (modifiers & Qt::ShiftModifier)) || std::abs(d.y()) > std::abs(d.x());
}

void PlotNavigator::select(const Drag& ended, Qt::KeyboardModifiers modifiers)
{
    const QRect area = ended.plot->plotRect();
    if (alongFrequency(ended, modifiers)) {
        const AxisMap map = *ended.plot->bandMap();
        if (ended.plot->bandIsVertical())
            requestBand(map.valueAt(alongY(area, ended.origin)), map.valueAt(alongY(area, ended.last)));
        else
            requestBand(map.valueAt(alongX(area, ended.origin)), map.valueAt(alongX(area, ended.last)));
        return;
    }
    const AxisMap map = ended.plot->horizontalMap();
    requestTime(map.valueAt(alongX(area, ended.origin)), map.valueAt(alongX(area, ended.last)),
                smallestSpan(ended.plot));
}

void PlotNavigator::pan(const Drag& ended, Qt::KeyboardModifiers modifiers)
{
    const ViewSettings& shown = session->shown();
    bool asked = false;
    if (alongFrequency(ended, modifiers)) {
        // The frequency under the grabbed point comes to lie under the pointer.
        const AxisMap map = *ended.plot->bandMap();
        const bool vertical = ended.plot->bandIsVertical();
        const double delta = vertical ? map.valueAt(ended.origin.y()) - map.valueAt(ended.last.y())
                                      : map.valueAt(ended.origin.x()) - map.valueAt(ended.last.x());
        const ValueRange limits = session->bandLimits();
        const ValueRange target = pannedRange(shown.band, delta, limits);
        if (const std::optional<ValueRange> band = wholeHertzBand(target, limits))
            asked = submitBand(*band);
    } else {
        const AxisMap map = ended.plot->horizontalMap();
        const double fs = sampleRate();
        const double delta = (map.valueAt(ended.origin.x()) - map.valueAt(ended.last.x())) * fs;
        const uint64_t count = recording->sampleCount();
        const ValueRange target = pannedRange({shown.range.start * fs, shown.range.stop * fs}, delta,
                                              {0.0, static_cast<double>(count)});
        asked = submitTime(sampleSpan(target, count, 1));
    }
    if (asked)
        panPreview = panShiftOf(ended, modifiers);
}

PlotNavigator::PanShift PlotNavigator::panShiftOf(const Drag& drag, Qt::KeyboardModifiers modifiers) const
{
    if (alongFrequency(drag, modifiers)) {
        const AxisMap map = *drag.plot->bandMap();
        const bool vertical = drag.plot->bandIsVertical();
        return {true, vertical ? map.valueAt(drag.last.y()) - map.valueAt(drag.origin.y())
                               : map.valueAt(drag.last.x()) - map.valueAt(drag.origin.x())};
    }
    const AxisMap map = drag.plot->horizontalMap();
    return {false, map.valueAt(drag.last.x()) - map.valueAt(drag.origin.x())};
}

QPoint PlotNavigator::draggedPixels(const PlotWidget* plot, const PanShift& shift)
{
    std::optional<AxisMap> map;
    bool vertical = false;
    if (shift.band) {
        map = plot->bandMap();
        vertical = plot->bandIsVertical();
    } else if (plot->horizontalQuantity() == AxisQuantity::Time) {
        map = plot->horizontalMap();
    }
    if (!map || !map->valid() || !std::isfinite(shift.delta))
        return {};
    const double middle = (map->low + map->high) / 2;
    const double pixels = map->pixelAt(middle + shift.delta) - map->pixelAt(middle);
    if (!(std::abs(pixels) < 1e6))
        return {};
    const int moved = static_cast<int>(std::lround(pixels));
    return vertical ? QPoint(0, moved) : QPoint(moved, 0);
}

void PlotNavigator::requestTime(double from, double to, uint64_t smallest)
{
    const double fs = sampleRate();
    const uint64_t count = recording->sampleCount();
    const std::optional<ValueRange> range = selectedRange(
        from * fs, to * fs, {0.0, static_cast<double>(count)}, static_cast<double>(smallest));
    if (range)
        submitTime(sampleSpan(*range, count, smallest));
}

void PlotNavigator::requestBand(double from, double to)
{
    const ValueRange limits = session->bandLimits();
    const std::optional<ValueRange> range = selectedRange(from, to, limits, smallestBand());
    if (!range)
        return;
    if (const std::optional<ValueRange> band = wholeHertzBand(*range, limits))
        submitBand(*band);
}

bool PlotNavigator::submitTime(const SampleSpan& span)
{
    if (span.last <= span.first)
        return false;
    const double fs = sampleRate();
    const TimeRange shown = session->shown().range;
    const auto shownFirst = static_cast<uint64_t>(std::max(0.0, sampleAtOrAfter(fs, shown.start)));
    const auto shownLast = static_cast<uint64_t>(std::max(0.0, sampleAtOrBefore(fs, shown.stop)));
    const bool showing = span.first == shownFirst && span.last == shownLast;
    const bool asked = askedSpan && askedSpan->first == span.first && askedSpan->last == span.last;
    if (session->busy() ? asked : showing)
        return false;
    askedSpan = span;
    session->showPlace({timeRangeOf(span, fs, session->duration()), session->requested().band});
    // Nothing on its way when it needed no computing, or was refused.
    return session->busy();
}

bool PlotNavigator::submitBand(const ValueRange& band)
{
    const bool showing = band == session->shown().band;
    const bool asked = askedBand && *askedBand == band;
    if (session->busy() ? asked : showing)
        return false;
    askedBand = band;
    session->showPlace({session->requested().range, band});
    return session->busy();
}

bool PlotNavigator::turnWheel(PlotWidget* plot, const PlotInput& input)
{
    const int delta = input.angleDelta.y();
    if (!recording->isLoaded() || delta == 0)
        return false;
    const std::optional<AxisMap> bandMap = plot->bandMap();
    const bool band = bandMap && (!plot->bandIsVertical() || (input.modifiers & Qt::ControlModifier));
    const AxisMap map = band ? *bandMap : plot->horizontalMap();
    if (!map.valid())
        return false;
    const QRect area = plot->plotRect();
    const int at = band && plot->bandIsVertical() ? alongY(area, input.position)
                                                  : alongX(area, input.position);
    const ValueRange current{map.low, map.high};
    // Turns add up while the picture stays the same, so that a touchpad's small
    // steps zoom as one notch does.
    if (!wheel || wheel->plot != plot || wheel->band != band || !(wheel->base == current))
        wheel = Wheel{plot, band, current, 0.0};
    wheel->accumulated =
        std::clamp(wheel->accumulated + delta, -mostNotches * notch, mostNotches * notch);
    const double factor = std::exp2(-wheel->accumulated / notch);
    const double anchor = map.valueAt(at);
    if (band) {
        const ValueRange limits = session->bandLimits();
        const ValueRange zoomed = zoomedRange(current, anchor, factor, limits, smallestBand());
        // Turns past a limit do not pile up.
        wheel->accumulated = -notch * std::log2(zoomed.span() / current.span());
        if (const std::optional<ValueRange> whole = wholeHertzBand(zoomed, limits))
            submitBand(*whole);
        return true;
    }
    const double fs = sampleRate();
    const uint64_t count = recording->sampleCount();
    const ValueRange samples{current.low * fs, current.high * fs};
    const ValueRange zoomed = zoomedRange(samples, anchor * fs, factor,
                                          {0.0, static_cast<double>(count)},
                                          static_cast<double>(smallestSpan(plot)));
    wheel->accumulated = -notch * std::log2(zoomed.span() / samples.span());
    submitTime(sampleSpan(zoomed, count, smallestSpan(plot)));
    return true;
}

bool PlotNavigator::pressKey(const PlotInput& input)
{
    if (keyHook && keyHook(input.key))
        return true;
    const bool alt = input.modifiers & Qt::AltModifier;
    if (input.key == Qt::Key_Backspace || (alt && input.key == Qt::Key_Left)) {
        session->goBack();
        return true;
    }
    if (alt && input.key == Qt::Key_Right) {
        session->goForward();
        return true;
    }
    if (input.key == Qt::Key_Home) {
        session->showWholeRecording();
        return true;
    }
    if (input.key == Qt::Key_Escape) {
        drag.reset();
        cursors.clear();
        refresh();
        return true;
    }
    return false;
}

CursorAxes PlotNavigator::cursorAxes(const PlotWidget* plot) const
{
    CursorAxes axes;
    if (plot->horizontalQuantity() == AxisQuantity::Time)
        axes.time = plot->horizontalMap();
    axes.band = plot->bandMap();
    axes.bandVertical = plot->bandIsVertical();
    return axes;
}

uint64_t PlotNavigator::smallestSpan(const PlotWidget* plot) const
{
    return std::max(minimumSamples, plot->narrowestTimeSpan());
}

double PlotNavigator::smallestBand() const
{
    return minimumBins * binWidth();
}

double PlotNavigator::binWidth() const
{
    return sampleRate() / static_cast<double>(std::max<uint32_t>(session->shown().fftSize(), 1));
}

PlotOverlay PlotNavigator::overlayOf(const PlotWidget* plot) const
{
    PlotOverlay overlay;
    if (!recording->isLoaded())
        return overlay;
    cursors.addTo(overlay, cursorAxes(plot), sampleRate(), session->shown().display.cursorDivisions);
    if (drag && drag->pan && drag->moved)
        overlay.panOffset = draggedPixels(plot, panShiftOf(*drag, drag->modifiers));
    else if (panPreview)
        overlay.panOffset = draggedPixels(plot, *panPreview);
    if (drag && drag->plot == plot && drag->moved && !drag->cursor && !drag->pan) {
        const QRect area = plot->plotRect();
        const bool vertical = plot->bandIsVertical() && alongFrequency(*drag, drag->modifiers);
        if (vertical) {
            overlay.selection = PlotOverlay::Band{true, alongY(area, drag->origin), alongY(area, drag->last)};
        } else {
            overlay.selection = PlotOverlay::Band{false, alongX(area, drag->origin), alongX(area, drag->last)};
        }
    }
    return overlay;
}

void PlotNavigator::showOverlays()
{
    for (const QPointer<PlotWidget>& plot : plots)
        if (plot)
            plot->setOverlay(overlayOf(plot));
}

void PlotNavigator::showReadout()
{
    if (!readoutLabel)
        return;
    QStringList parts;
    if (hover && recording->isLoaded()) {
        const double offset = session->frequencyOffset();
        QString text = pointerReadout(*hover->plot, hover->position, offset);
        const AxisMap x = hover->plot->horizontalMap();
        const double pointerOffset =
            x.valid() ? session->frequencyOffsetAt(x.valueAt(hover->position.x())) : offset;
        const QString capture = captureReadout(*hover->plot, hover->position, recording->info(),
                                               recording->sampleRate(), offset, pointerOffset);
        if (!capture.isEmpty())
            text += QStringLiteral("   ") + capture;
        if (!text.isEmpty())
            parts << text;
    }
    if (recording->isLoaded()) {
        const QString text = cursors.readout(sampleRate(), session->shown().display.cursorDivisions,
                                             session->frequencyOffset(), binWidth());
        if (!text.isEmpty())
            parts << text;
    }
    readoutLabel->setText(parts.join(QLatin1Char('\n')));
}
