#pragma once
// The texts of the readout line: what lies under the pointer, where the two
// cursors sit and what they measure. Times in seconds and frequencies in hertz
// are written in the unit their size calls for (µs, ms, s; Hz, kHz, MHz).

#include "plotdata/PlotValues.h"

#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>

// "t = 2.512 s" with as many decimals as `resolution` (seconds) needs.
QString timeReadout(double seconds, double resolution);
// "f = -60.1 kHz", the same for hertz.
QString frequencyReadout(double hertz, double resolution);
// The values of a pixel column with `decimals` decimals (or, below 0, six
// significant digits), after "name = " when a name is given and before the
// unit: "-43.2 dB/Hz", "-43.21 ... -20.10 dBm", "I = 0.31201".
QString valueReadout(const ColumnValues& values, const QString& name, const QString& unit,
                     int decimals);

// A cursor: the sample it sits on (plots against time) and its baseband
// frequency (plots against frequency); either may be missing.
struct CursorPosition
{
    std::optional<uint64_t> sample;
    std::optional<double> frequency;
};

// What the cursors say, for a recording at fs: each one's time (both in the
// unit of the larger), sample and frequency (shown shifted by frequencyOffset, to
// frequencyResolution), then, with both placed, on a second line Δt = tB - tA and
// 1/|Δt| when both have a time, Δf = fB - fA and the centre (fA + fB) / 2 when
// both have a frequency, and the period and rate of one of `divisions` equal
// parts of Δt when there are more than one. Empty without cursors.
QString cursorReadout(const std::optional<CursorPosition>& a,
                      const std::optional<CursorPosition>& b, double fs, int divisions,
                      double frequencyOffset, double frequencyResolution);

class PlotWidget;
// What lies under the pointer at `point` of a plot: its time or frequency (read at
// the pixel's centre, frequencies shifted by frequencyOffset), the frequency along
// a vertical band axis, and the values the pixel shows as the plot describes them.
// Empty outside the plot area or while its axes have no range.
QString pointerReadout(const PlotWidget& plot, const QPoint& point, double frequencyOffset);
