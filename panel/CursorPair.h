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

// One line of a cursor: its time line or its frequency line.
struct CursorGrab
{
    int index; // 0 for A, 1 for B
    bool timeLine;
    // Both of the cursor's lines were within reach (grabbed where they cross):
    // the drag's direction chooses, see settled().
    bool crossing = false;
};

class CursorPair
{
public:
    void clear();
    // A click at `position` of a recording of `count` samples at fs: A first,
    // then B, and B again wherever later clicks fall.
    void place(const CursorAxes& axes, const QPoint& position, double fs, uint64_t count);
    // The cursor line that lies within a few pixels of `position`, the nearest
    // (ties: B before A, the time line before the frequency line); none when
    // no line is that near.
    std::optional<CursorGrab> near(const CursorAxes& axes, const QPoint& position, double fs) const;
    // A grab where the lines cross settled by the drag's first movement: along
    // the time axis the time line, across it the frequency line.
    static CursorGrab settled(CursorGrab grab, const CursorAxes& axes, const QPoint& moved);
    // Moves the grabbed line to `position`, kept inside `area`: a time line
    // changes only the cursor's time, a frequency line only its frequency.
    void move(const CursorGrab& grab, const CursorAxes& axes, const QPoint& position,
              const QRect& area, double fs, uint64_t count);
    // Adds the cursors' lines, and with `divisions` > 1 the division ticks
    // between them, to what a plot draws.
    void addTo(PlotOverlay& overlay, const CursorAxes& axes, double fs, int divisions) const;
    // The readout's line about them (empty without cursors).
    QString readout(double fs, int divisions, double frequencyOffset,
                    double frequencyResolution) const;
    // The sample cursor A sits at, when it is placed on a time axis.
    std::optional<uint64_t> sampleOfA() const { return a ? a->sample : std::nullopt; }

private:
    CursorPosition at(const CursorAxes& axes, const QPoint& position, double fs,
                      uint64_t count) const;

    std::optional<CursorPosition> a;
    std::optional<CursorPosition> b;
};
