// Drags, wheel turns, clicks and keys over the plots, as panel requests,
// cursors and readout.

#include "panel/PlotNavigator.h"

#include "io/Recording.h"
#include "panel/ControlPanel.h"
#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QLabel>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

// Pixels a press must travel to be a drag rather than a click.
constexpr int dragThreshold = 4;
// Pixels either side of a cursor's line that grab it.
constexpr int cursorGrab = 4;
// Angle delta of one wheel notch, and the most notches a burst of turns counts.
constexpr double notch = 120.0;
constexpr double mostNotches = 64.0;
const QColor cursorAColor(0, 220, 255);
const QColor cursorBColor(255, 110, 200);


int clampTo(int value, int low, int high)
{
    return std::clamp(value, low, high);
}

} // namespace

PlotNavigator::PlotNavigator(ControlPanel* panel, Recording* recording,
                             SpectrogramView* spectrogramView, PowerView* powerView,
                             AmplitudeView* amplitudeView, SpectrumView* spectrumView)
    : panel(panel), recording(recording), spectrogramView(spectrogramView), powerView(powerView),
      amplitudeView(amplitudeView), spectrumView(spectrumView)
{
    spectrogramView->setInputHandler(
        [this](const PlotInput& input) { return handle(Plot::Spectrogram, input); });
    for (Plot plot : {Plot::Power, Plot::I, Plot::Q, Plot::Spectrum})
        curveOf(plot)->setInputHandler(
            [this, plot](const PlotInput& input) { return handle(plot, input); });
}

PlotNavigator::~PlotNavigator()
{
    if (spectrogramView)
        spectrogramView->setInputHandler(nullptr);
    if (powerView)
        powerView->plotWidget()->setInputHandler(nullptr);
    if (amplitudeView) {
        amplitudeView->iPlotWidget()->setInputHandler(nullptr);
        amplitudeView->qPlotWidget()->setInputHandler(nullptr);
    }
    if (spectrumView)
        spectrumView->plotWidget()->setInputHandler(nullptr);
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
    panPreview.reset();
    askedSpan.reset();
    askedBand.reset();
    cursorA.reset();
    cursorB.reset();
    showOverlays();
    showReadout();
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
    showOverlays();
    showReadout();
}

void PlotNavigator::clearCursors()
{
    cursorA.reset();
    cursorB.reset();
    showOverlays();
    showReadout();
}

bool PlotNavigator::handle(Plot plot, const PlotInput& input)
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

bool PlotNavigator::press(Plot plot, const PlotInput& input)
{
    if (!recording->isLoaded() || !plotRectOf(plot).contains(input.position)
        || !xMapOf(plot).valid())
        return false;
    const bool pan = input.button == Qt::MiddleButton
                     || (input.button == Qt::LeftButton && (input.modifiers & Qt::ControlModifier));
    if (!pan && input.button != Qt::LeftButton)
        return false;
    Drag started{plot, input.position, input.position, pan, input.modifiers};
    if (!pan)
        started.cursor = cursorNear(plot, input.position);
    drag = started;
    return true;
}

void PlotNavigator::move(Plot plot, const PlotInput& input)
{
    hover = Hover{plot, input.position};
    if (drag && drag->plot == plot) {
        drag->last = input.position;
        drag->modifiers = input.modifiers;
        if ((input.position - drag->origin).manhattanLength() >= dragThreshold)
            drag->moved = true;
        if (drag->moved && drag->cursor >= 0)
            moveCursor(drag->cursor, plot, input.position);
        showOverlays();
    }
    showReadout();
}

bool PlotNavigator::release(Plot plot, const PlotInput& input)
{
    if (!drag || drag->plot != plot)
        return false;
    Drag ended = *drag;
    drag.reset();
    ended.last = input.position;
    if ((input.position - ended.origin).manhattanLength() >= dragThreshold)
        ended.moved = true;
    if (!ended.moved) {
        if (!ended.pan && ended.cursor < 0)
            placeCursor(plot, ended.origin);
    } else if (ended.cursor >= 0) {
        moveCursor(ended.cursor, plot, input.position);
    } else if (ended.pan) {
        pan(ended, input.modifiers);
    } else {
        select(ended, input.modifiers);
    }
    showOverlays();
    showReadout();
    return true;
}

bool PlotNavigator::alongFrequency(const Drag& drag, Qt::KeyboardModifiers modifiers) const
{
    if (drag.plot == Plot::Spectrum)
        return true;
    if (drag.plot != Plot::Spectrogram)
        return false;
    const QPoint d = drag.last - drag.origin;
    return (!drag.pan && (modifiers & Qt::ShiftModifier)) || std::abs(d.y()) > std::abs(d.x());
}

void PlotNavigator::select(const Drag& ended, Qt::KeyboardModifiers modifiers)
{
    const QRect area = plotRectOf(ended.plot);
    // Positions beyond the plot count as its edge.
    auto alongX = [&](const QPoint& p) {
        return clampTo(p.x(), area.left(), area.left() + area.width());
    };
    auto alongY = [&](const QPoint& p) {
        return clampTo(p.y(), area.top(), area.top() + area.height());
    };
    if (alongFrequency(ended, modifiers)) {
        const AxisMap map = bandMapOf(ended.plot);
        if (ended.plot == Plot::Spectrogram)
            requestBand(map.valueAt(alongY(ended.origin)), map.valueAt(alongY(ended.last)));
        else
            requestBand(map.valueAt(alongX(ended.origin)), map.valueAt(alongX(ended.last)));
        return;
    }
    const AxisMap map = xMapOf(ended.plot);
    requestTime(map.valueAt(alongX(ended.origin)), map.valueAt(alongX(ended.last)),
                smallestSpan(ended.plot));
}

void PlotNavigator::pan(const Drag& ended, Qt::KeyboardModifiers modifiers)
{
    const ViewState shown = panel->shownView();
    const QPoint moved = ended.last - ended.origin;
    bool asked = false;
    QPoint preview;
    if (alongFrequency(ended, modifiers)) {
        // The frequency under the grabbed point comes to lie under the pointer.
        const AxisMap map = bandMapOf(ended.plot);
        const bool vertical = ended.plot == Plot::Spectrogram;
        const double delta = vertical ? map.valueAt(ended.origin.y()) - map.valueAt(ended.last.y())
                                      : map.valueAt(ended.origin.x()) - map.valueAt(ended.last.x());
        const ValueRange limits{panel->lowestFrequency(), panel->highestFrequency()};
        const ValueRange target = pannedRange({shown.low, shown.high}, delta, limits);
        if (const std::optional<ValueRange> band = wholeHertzBand(target, limits))
            asked = submitBand(*band);
        preview = vertical ? QPoint(0, moved.y()) : QPoint(moved.x(), 0);
    } else {
        const AxisMap map = xMapOf(ended.plot);
        const double fs = static_cast<double>(recording->sampleRate());
        const double delta = (map.valueAt(ended.origin.x()) - map.valueAt(ended.last.x())) * fs;
        const uint64_t count = recording->sampleCount();
        const ValueRange target = pannedRange({shown.start * fs, shown.stop * fs}, delta,
                                              {0.0, static_cast<double>(count)});
        asked = submitTime(sampleSpan(target, count, 1));
        preview = QPoint(moved.x(), 0);
    }
    if (asked)
        panPreview = std::make_pair(ended.plot, preview);
}

void PlotNavigator::requestTime(double from, double to, uint64_t smallest)
{
    const double fs = static_cast<double>(recording->sampleRate());
    const uint64_t count = recording->sampleCount();
    const std::optional<ValueRange> range = selectedRange(
        from * fs, to * fs, {0.0, static_cast<double>(count)}, static_cast<double>(smallest));
    if (range)
        submitTime(sampleSpan(*range, count, smallest));
}

void PlotNavigator::requestBand(double from, double to)
{
    const ValueRange limits{panel->lowestFrequency(), panel->highestFrequency()};
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
    const double fs = static_cast<double>(recording->sampleRate());
    const ViewState shown = panel->shownView();
    const auto shownFirst = static_cast<uint64_t>(std::max(0.0, std::floor(fs * shown.start)));
    const auto shownLast = static_cast<uint64_t>(std::max(0.0, std::ceil(fs * shown.stop)));
    const bool showing = span.first == shownFirst && span.last == shownLast;
    const bool asked = askedSpan && askedSpan->first == span.first && askedSpan->last == span.last;
    if (panel->busy() ? asked : showing)
        return false;
    askedSpan = span;
    panel->applyTimeRangeTexts(startTimeText(span.first, fs), stopTimeText(span.last, fs));
    // Refused by a check of the Apply (its box has said why): nothing is on its way.
    return panel->busy();
}

bool PlotNavigator::submitBand(const ValueRange& band)
{
    const ViewState shown = panel->shownView();
    const bool showing = band.low == shown.low && band.high == shown.high;
    const bool asked = askedBand && *askedBand == band;
    if (panel->busy() ? asked : showing)
        return false;
    askedBand = band;
    panel->applyBandTexts(QString::number(static_cast<qint64>(band.low)),
                          QString::number(static_cast<qint64>(band.high)));
    return panel->busy();
}

bool PlotNavigator::turnWheel(Plot plot, const PlotInput& input)
{
    const int delta = input.angleDelta.y();
    if (!recording->isLoaded() || delta == 0)
        return false;
    const bool band = plot == Plot::Spectrum
                      || (plot == Plot::Spectrogram && (input.modifiers & Qt::ControlModifier));
    const AxisMap map = band ? bandMapOf(plot) : xMapOf(plot);
    if (!map.valid())
        return false;
    const QRect area = plotRectOf(plot);
    const bool vertical = band && plot == Plot::Spectrogram;
    const int at = vertical ? clampTo(input.position.y(), area.top(), area.top() + area.height())
                            : clampTo(input.position.x(), area.left(), area.left() + area.width());
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
        const ValueRange limits{panel->lowestFrequency(), panel->highestFrequency()};
        const ValueRange zoomed = zoomedRange(current, anchor, factor, limits, smallestBand());
        // Turns past a limit do not pile up.
        wheel->accumulated = -notch * std::log2(zoomed.span() / current.span());
        if (const std::optional<ValueRange> whole = wholeHertzBand(zoomed, limits))
            submitBand(*whole);
        return true;
    }
    const double fs = static_cast<double>(recording->sampleRate());
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
    const bool alt = input.modifiers & Qt::AltModifier;
    if (input.key == Qt::Key_Backspace || (alt && input.key == Qt::Key_Left)) {
        panel->goBack();
        return true;
    }
    if (alt && input.key == Qt::Key_Right) {
        panel->goForward();
        return true;
    }
    if (input.key == Qt::Key_Home) {
        panel->showWholeRecording();
        return true;
    }
    if (input.key == Qt::Key_Escape) {
        drag.reset();
        clearCursors();
        return true;
    }
    return false;
}

void PlotNavigator::placeCursor(Plot plot, const QPoint& position)
{
    CursorPosition cursor;
    if (plot != Plot::Spectrum)
        cursor.sample = nearestSample(xMapOf(plot).valueAt(position.x()));
    if (plot == Plot::Spectrogram || plot == Plot::Spectrum) {
        const AxisMap map = bandMapOf(plot);
        cursor.frequency = map.valueAt(plot == Plot::Spectrogram ? position.y() : position.x());
    }
    if (!cursorA) {
        cursorA = cursor;
    } else if (!cursorB) {
        cursorB = cursor;
    } else {
        cursorA = cursor;
        cursorB.reset();
    }
}

void PlotNavigator::moveCursor(int index, Plot plot, const QPoint& position)
{
    std::optional<CursorPosition>& cursor = index == 0 ? cursorA : cursorB;
    if (!cursor)
        return;
    const QRect area = plotRectOf(plot);
    const QPoint inside(clampTo(position.x(), area.left(), area.left() + area.width() - 1),
                        clampTo(position.y(), area.top(), area.top() + area.height() - 1));
    if (plot != Plot::Spectrum && cursor->sample)
        cursor->sample = nearestSample(xMapOf(plot).valueAt(inside.x()));
    if ((plot == Plot::Spectrogram || plot == Plot::Spectrum) && cursor->frequency)
        cursor->frequency =
            bandMapOf(plot).valueAt(plot == Plot::Spectrogram ? inside.y() : inside.x());
}

uint64_t PlotNavigator::nearestSample(double seconds) const
{
    const double fs = static_cast<double>(recording->sampleRate());
    const double last = static_cast<double>(std::max<uint32_t>(recording->sampleCount(), 1) - 1);
    const double k = std::isfinite(seconds) ? std::round(seconds * fs) : 0.0;
    return static_cast<uint64_t>(std::clamp(k, 0.0, last));
}

int PlotNavigator::cursorNear(Plot plot, const QPoint& position) const
{
    const double fs = static_cast<double>(recording->sampleRate());
    // B first: it is the one moved to measure from A.
    for (int index : {1, 0}) {
        const std::optional<CursorPosition>& cursor = index == 0 ? cursorA : cursorB;
        if (!cursor)
            continue;
        auto near = [](double pixel, int at) {
            return std::isfinite(pixel) && std::abs(std::floor(pixel) - at) <= cursorGrab;
        };
        if (plot != Plot::Spectrum && cursor->sample
            && near(xMapOf(plot).pixelAt(static_cast<double>(*cursor->sample) / fs), position.x()))
            return index;
        if (plot == Plot::Spectrogram && cursor->frequency
            && near(bandMapOf(plot).pixelAt(*cursor->frequency), position.y()))
            return index;
        if (plot == Plot::Spectrum && cursor->frequency
            && near(bandMapOf(plot).pixelAt(*cursor->frequency), position.x()))
            return index;
    }
    return -1;
}

QWidget* PlotNavigator::widgetOf(Plot plot) const
{
    if (plot == Plot::Spectrogram)
        return spectrogramView;
    return curveOf(plot);
}

CustomPlot* PlotNavigator::curveOf(Plot plot) const
{
    switch (plot) {
    case Plot::Power:
        return powerView->plotWidget();
    case Plot::I:
        return amplitudeView->iPlotWidget();
    case Plot::Q:
        return amplitudeView->qPlotWidget();
    case Plot::Spectrum:
        return spectrumView->plotWidget();
    case Plot::Spectrogram:
        break;
    }
    return nullptr;
}

QRect PlotNavigator::plotRectOf(Plot plot) const
{
    if (plot == Plot::Spectrogram)
        return spectrogramView->plotRect();
    return curveOf(plot)->plotArea();
}

AxisMap PlotNavigator::xMapOf(Plot plot) const
{
    if (plot == Plot::Spectrogram)
        return spectrogramView->timeAxisMap();
    return curveOf(plot)->xAxisMap();
}

AxisMap PlotNavigator::bandMapOf(Plot plot) const
{
    if (plot == Plot::Spectrogram)
        return spectrogramView->frequencyAxisMap();
    return curveOf(plot)->xAxisMap();
}

uint64_t PlotNavigator::smallestSpan(Plot plot) const
{
    if (plot == Plot::Spectrogram)
        return std::max<uint64_t>(minimumSamples, spectrogramView->fftSize());
    return minimumSamples;
}

double PlotNavigator::smallestBand() const
{
    return minimumBins * binWidth();
}

double PlotNavigator::binWidth() const
{
    return static_cast<double>(recording->sampleRate())
           / static_cast<double>(std::max<uint32_t>(spectrogramView->fftSize(), 1));
}

PlotOverlay PlotNavigator::overlayOf(Plot plot) const
{
    PlotOverlay overlay;
    if (!recording->isLoaded())
        return overlay;
    const double fs = static_cast<double>(recording->sampleRate());
    const std::pair<const std::optional<CursorPosition>*, CursorLine> cursors[] = {
        {&cursorA, {0, QStringLiteral("A"), cursorAColor}},
        {&cursorB, {0, QStringLiteral("B"), cursorBColor}}};
    for (const auto& [cursor, style] : cursors) {
        if (!*cursor)
            continue;
        CursorLine line = style;
        if (plot != Plot::Spectrum && (*cursor)->sample) {
            line.value = static_cast<double>(*(*cursor)->sample) / fs;
            overlay.xLines.push_back(line);
        }
        if (plot != Plot::Spectrogram && plot != Plot::Spectrum)
            continue;
        if ((*cursor)->frequency) {
            line.value = *(*cursor)->frequency;
            (plot == Plot::Spectrogram ? overlay.yLines : overlay.xLines).push_back(line);
        }
    }
    const int divisions = panel->cursorDivisions();
    if (plot != Plot::Spectrum && cursorA && cursorB && cursorA->sample && cursorB->sample
        && divisions > 1) {
        const double a = static_cast<double>(*cursorA->sample) / fs;
        const double b = static_cast<double>(*cursorB->sample) / fs;
        for (int k = 1; k < divisions; ++k)
            overlay.xTicks.push_back(a + (b - a) * k / divisions);
    }

    if (panPreview && panPreview->first == plot)
        overlay.panOffset = panPreview->second;
    if (drag && drag->plot == plot && drag->moved && drag->cursor < 0) {
        const QRect area = plotRectOf(plot);
        const bool vertical = plot == Plot::Spectrogram && alongFrequency(*drag, drag->modifiers);
        if (drag->pan) {
            const QPoint moved = drag->last - drag->origin;
            overlay.panOffset = vertical ? QPoint(0, moved.y()) : QPoint(moved.x(), 0);
        } else if (vertical) {
            overlay.selection = PlotOverlay::Band{
                true, clampTo(drag->origin.y(), area.top(), area.top() + area.height()),
                clampTo(drag->last.y(), area.top(), area.top() + area.height())};
        } else {
            overlay.selection = PlotOverlay::Band{
                false, clampTo(drag->origin.x(), area.left(), area.left() + area.width()),
                clampTo(drag->last.x(), area.left(), area.left() + area.width())};
        }
    }
    return overlay;
}

void PlotNavigator::showOverlays()
{
    spectrogramView->setOverlay(overlayOf(Plot::Spectrogram));
    for (Plot plot : {Plot::Power, Plot::I, Plot::Q, Plot::Spectrum})
        curveOf(plot)->setOverlay(overlayOf(plot));
}

QString PlotNavigator::hoverText(const Hover& at) const
{
    if (!recording->isLoaded() || !plotRectOf(at.plot).contains(at.position))
        return {};
    const AxisMap x = xMapOf(at.plot);
    if (!x.valid())
        return {};
    const double offset = panel->frequencyOffset();
    const QPoint p = at.position;
    QStringList parts;
    // Frequencies are read at the pixel's centre, where the bins it shows lie.
    switch (at.plot) {
    case Plot::Spectrogram: {
        const AxisMap f = bandMapOf(at.plot);
        parts << timeReadout(x.valueAt(p.x()), x.valuePerPixel());
        if (f.valid())
            parts << frequencyReadout(f.valueAt(p.y() + 0.5) + offset, f.valuePerPixel());
        if (const std::optional<double> value = spectrogramView->valueAt(p))
            parts << valueReadout({*value, *value, false}, QString(), QStringLiteral("dB/Hz"), 1);
        break;
    }
    case Plot::Spectrum:
        parts << frequencyReadout(x.valueAt(p.x() + 0.5) + offset, x.valuePerPixel());
        if (const auto values = curveOf(at.plot)->valuesAt(p.x()))
            parts << valueReadout(*values, QString(), QStringLiteral("dB/Hz"), 1);
        break;
    case Plot::Power:
        parts << timeReadout(x.valueAt(p.x()), x.valuePerPixel());
        if (const auto values = curveOf(at.plot)->valuesAt(p.x()))
            parts << valueReadout(*values, QString(), QStringLiteral("dBm"), 2);
        break;
    case Plot::I:
    case Plot::Q:
        parts << timeReadout(x.valueAt(p.x()), x.valuePerPixel());
        if (const auto values = curveOf(at.plot)->valuesAt(p.x()))
            parts << valueReadout(*values,
                                  at.plot == Plot::I ? QStringLiteral("I") : QStringLiteral("Q"),
                                  QString(), -1);
        break;
    }
    return parts.join(QStringLiteral("   "));
}

void PlotNavigator::showReadout()
{
    if (!readoutLabel)
        return;
    QStringList parts;
    if (hover) {
        const QString text = hoverText(*hover);
        if (!text.isEmpty())
            parts << text;
    }
    if (recording->isLoaded()) {
        const QString cursors =
            cursorReadout(cursorA, cursorB, static_cast<double>(recording->sampleRate()),
                          panel->cursorDivisions(), panel->frequencyOffset(), binWidth());
        if (!cursors.isEmpty())
            parts << cursors;
    }
    readoutLabel->setText(parts.join(QLatin1Char('\n')));
}
