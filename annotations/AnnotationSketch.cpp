// The right button's drag on the spectrogram, through the view's own axis maps.

#include "annotations/AnnotationSketch.h"

#include "views/SpectrogramView.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Pixels a press must travel to draw a box rather than click.
constexpr int dragThreshold = 4;

} // namespace

AnnotationSketch::AnnotationSketch(SpectrogramView* view, std::function<bool()> enabled,
                                   std::function<void(const Drawn&)> done)
    : view(view), previous(view->inputHandler()), enabled(std::move(enabled)), done(std::move(done))
{
    view->setInputHandler([this](const PlotInput& input) { return handle(input); });
}

AnnotationSketch::~AnnotationSketch()
{
    if (view)
        view->setInputHandler(previous);
}

AnnotationSketch::Drawn AnnotationSketch::drawnBetween(QPoint a, QPoint b) const
{
    const QRect area = view->plotRect();
    // A drag along one axis only spans the whole plot along the other.
    if (std::abs(a.x() - b.x()) < dragThreshold) {
        a.setX(area.left());
        b.setX(area.left() + area.width());
    }
    if (std::abs(a.y() - b.y()) < dragThreshold) {
        a.setY(area.top());
        b.setY(area.top() + area.height());
    }
    const auto alongX = [&area](int x) { return std::clamp(x, area.left(), area.left() + area.width()); };
    const auto alongY = [&area](int y) { return std::clamp(y, area.top(), area.top() + area.height()); };
    const AxisMap time = view->timeAxisMap();
    const AxisMap band = view->frequencyAxisMap();
    const double t0 = time.valueAt(alongX(a.x()));
    const double t1 = time.valueAt(alongX(b.x()));
    const double f0 = band.valueAt(alongY(a.y()));
    const double f1 = band.valueAt(alongY(b.y()));
    return {std::min(t0, t1), std::max(t0, t1), std::min(f0, f1), std::max(f0, f1)};
}

bool AnnotationSketch::handle(const PlotInput& input)
{
    const bool right = input.button == Qt::RightButton;
    if (input.kind == PlotInput::Kind::Press && right) {
        if (!view->plotRect().contains(input.position) || !view->timeAxisMap().valid()
            || (enabled && !enabled()))
            return false;
        origin = input.position;
        return true;
    }
    if (origin && input.kind == PlotInput::Kind::Move) {
        const Drawn drawn = drawnBetween(*origin, input.position);
        AnnotationBox box;
        box.startTime = drawn.start;
        box.stopTime = drawn.stop;
        box.lowFrequency = drawn.low;
        box.highFrequency = drawn.high;
        box.sketch = true;
        view->setSketch(box);
        // The readout still follows the pointer.
        if (previous)
            previous(input);
        return true;
    }
    if (origin && input.kind == PlotInput::Kind::Release && right) {
        const QPoint from = *origin;
        origin.reset();
        view->setSketch(std::nullopt);
        const Drawn drawn = drawnBetween(from, input.position);
        const QPoint moved = input.position - from;
        if (std::max(std::abs(moved.x()), std::abs(moved.y())) >= dragThreshold && drawn.start < drawn.stop
            && drawn.low < drawn.high && done)
            done(drawn);
        return true;
    }
    return previous ? previous(input) : false;
}
