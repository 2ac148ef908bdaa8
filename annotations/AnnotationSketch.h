#pragma once
// A box drawn on the spectrogram with the right mouse button: a dashed outline
// follows the pointer and the release hands over its time span and band. Every
// other input goes on to the handler the spectrogram had (the panel's
// navigation), which gets its own again when the sketch is destroyed.

#include "views/PlotInput.h"

#include <QPoint>
#include <QPointer>

#include <functional>
#include <optional>

class SpectrogramView;

class AnnotationSketch
{
public:
    // Seconds and baseband hertz, start < stop and low < high, within the plot.
    struct Drawn
    {
        double start = 0;
        double stop = 0;
        double low = 0;
        double high = 0;
    };

    // `enabled` tells whether a box may be drawn now (a recording is shown);
    // `done` gets each box drawn.
    AnnotationSketch(SpectrogramView* view, std::function<bool()> enabled,
                     std::function<void(const Drawn&)> done);
    ~AnnotationSketch();
    AnnotationSketch(const AnnotationSketch&) = delete;
    AnnotationSketch& operator=(const AnnotationSketch&) = delete;

private:
    bool handle(const PlotInput& input);
    Drawn drawnBetween(QPoint a, QPoint b) const;

    QPointer<SpectrogramView> view;
    PlotInputHandler previous;
    std::function<bool()> enabled;
    std::function<void(const Drawn&)> done;
    std::optional<QPoint> origin;
};
