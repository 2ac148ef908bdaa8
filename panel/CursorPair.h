#pragma once
// The two cursors A and B: where they sit (a sample and a baseband frequency,
// either may be missing), how clicks and drags over a plot place and move them,
// what they draw over a plot and what the readout says of them. No widgets: a
// plot is described by its axes.

#include "panel/Readout.h"
#include "plotdata/AxisMap.h"
#include "views/PlotOverlay.h"

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <optional>

// A plot as the cursors see it: its time axis (when its x axis shows time) and
// its band axis (vertical on the spectrogram, horizontal on the spectrum).
struct CursorAxes
{
    std::optional<AxisMap> time;
    std::optional<AxisMap> band;
    bool bandVertical = false;
};

class CursorPair
{
public:
    void clear();
    // A click at `position` of a recording of `count` samples at fs: A first,
    // then B, then A again with B cleared.
    void place(const CursorAxes& axes, const QPoint& position, double fs, uint64_t count);
    // The cursor (0 for A, 1 for B) whose line lies within a few pixels of
    // `position`, B first; -1 for none.
    int near(const CursorAxes& axes, const QPoint& position, double fs) const;
    // Moves cursor `index` to `position`, kept inside `area`; only the
    // coordinates it has and the plot shows change.
    void move(int index, const CursorAxes& axes, const QPoint& position, const QRect& area,
              double fs, uint64_t count);
    // Adds the cursors' lines, and with `divisions` > 1 the division ticks
    // between them, to what a plot draws.
    void addTo(PlotOverlay& overlay, const CursorAxes& axes, double fs, int divisions) const;
    // The readout's line about them (empty without cursors).
    QString readout(double fs, int divisions, double frequencyOffset,
                    double frequencyResolution) const;

private:
    CursorPosition at(const CursorAxes& axes, const QPoint& position, double fs,
                      uint64_t count) const;

    std::optional<CursorPosition> a;
    std::optional<CursorPosition> b;
};
