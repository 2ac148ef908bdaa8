#pragma once
// Choice of an axis's ticks and the texts of their labels: round values at steps
// of 1, 2 or 5 times a power of ten, as many as the labels leave room for, written
// in one engineering unit per axis. Plain functions over numbers and a text
// measure; the widgets measure with their font, call these and draw the result.

#include <QString>

#include <limits>

#include <functional>
#include <vector>

// One tick of an axis: its value, its pixel position along the axis (widget
// coordinates) and the text drawn next to it.
struct AxisTick
{
    double value;
    int position;
    QString label;
};

// What an axis shows. Time is in seconds and Frequency in hertz; their labels are
// scaled to one unit of ns, µs, ms, s or Hz, kHz, MHz, GHz. Number is any other
// value (decibels, amplitudes): unscaled, the title left to the caller.
enum class AxisQuantity
{
    Number,
    Time,
    Frequency,
};

// Horizontal: values grow from left to right. Vertical: values grow upwards, so
// positions (widget rows) fall as values grow.
enum class AxisOrientation
{
    Horizontal,
    Vertical,
};

// The room labels take, in pixels, in the font they will be drawn with.
struct LabelMetrics
{
    std::function<int(const QString&)> width;
    int height;
    // The widest label that has room beside the axis; 0 for no limit.
    int maxWidth;
};

// The ticks, in order of increasing position, and the unit their labels are in
// ("ms", "kHz"; empty for Number).
struct AxisScale
{
    std::vector<AxisTick> ticks;
    QString unit;
};

// Ticks of the axis from `low` to `high` drawn over `length` pixels from `offset`.
// Position of value v: trunc((v - low) * length / (high - low) + offset) along a
// horizontal axis, trunc((high - v) / (high - low) * length + offset) along a
// vertical one; every tick lies within low ... high, or less than half a pixel
// beyond an end (and is drawn at that end).
// The step is the finest 1, 2 or 5 times a power of ten whose labels keep a
// comfortable gap (two text heights between neighbours, across or up and down)
// and are no wider than maxWidth. When that leaves fewer than three ticks, the
// coarsest step giving three that still keeps a small gap (half a text height
// across, a quarter up and down) is taken instead; when no step keeps its labels
// apart, the coarsest one is thinned out. Labels never overlap and never
// repeat: each is the exact decimal of its tick value with as many decimals as the
// step needs, the same on every label ("0.0", "0.5", "1.0"). The unit is the
// largest one of the quantity not above the larger magnitude of low and high (so
// 0 ... 0.8 s reads in ms, 0 ... 1 s in s); a magnitude that is still 1e6 or more,
// or below 1e-3, in that unit (any Number beyond these) is written in the base unit
// with that magnitude's decimal exponent ("2e-7", "1.5e6").
// Frequency axes take the range as displayed (shifted by a centre frequency when
// absolute frequencies are shown), so that their ticks fall on round displayed values.
// A zero extent gives one tick at mid-length; a non-finite or inverted range or a
// non-positive length gives none.
// unitMagnitude, when finite, chooses the unit instead of low and high (the time
// range of a page, so that all its time plots read in one unit).
AxisScale axisTicks(double low, double high, int length, int offset, AxisOrientation orientation,
                    AxisQuantity quantity, const LabelMetrics& metrics,
                    double unitMagnitude = std::numeric_limits<double>::quiet_NaN());

// Title of an axis of that quantity whose labels are in `unit`: "Time (ms)",
// "Frequency (kHz)"; `numberTitle` for Number.
QString axisTitle(AxisQuantity quantity, const QString& unit, const QString& numberTitle);

// A single value of that quantity written for a readout: in the unit the axis
// rules choose for its magnitude (the resolution's when the value is 0), with
// as many decimals as `resolution` (a positive step, in base units) needs, and
// the unit after a space: "2.512 s", "-60.1 kHz", "300 µs", "-43.2" for Number.
// A finite `unitMagnitude` chooses the unit instead of the value, so that values
// read side by side share theirs ("900.000 ms" beside "1200.000 ms").
QString quantityText(double value, AxisQuantity quantity, double resolution,
                     double unitMagnitude = std::numeric_limits<double>::quiet_NaN());
