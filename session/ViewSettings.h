#pragma once
// What the views show, as one value: the time range and band, the FFT size and
// overlap both frequency views use, the spectrogram's colour scale, the power
// curve's settings, the display switches and the removal of the DC offset. The
// view session owns one; comparing two says what must be computed again.

#include "plotdata/PowerCurveStream.h"
#include "plotdata/SpectrumPass.h"

#include <QString>

#include <cstdint>
#include <algorithm>
#include <cmath>
#include <optional>

class Recording;

// A span of values, low < high once applied: a band in baseband hertz, or a
// range of samples or seconds.
struct ValueRange
{
    double low = 0;
    double high = 0;
    double span() const { return high - low; }
    bool operator==(const ValueRange& other) const = default;
};

// Seconds from the recording's first sample, start < stop.
struct TimeRange
{
    double start = 0;
    double stop = 0;
    bool operator==(const TimeRange& other) const = default;
    // What chooses the unit of every time axis showing the range (seconds).
    double unitMagnitude() const { return std::max(std::fabs(start), std::fabs(stop)); }
};

// FFT sizes the frequency views take: 2^1 ... 2^15 (the FFT itself goes further).
constexpr int fewestFftExponent = 1;
constexpr int mostFftExponent = 15;

struct SpectrogramSettings
{
    // FFT size 2^exponent, shared with the spectrum.
    int exponent = 8;
    // Fraction 0 ... 1 of a segment shared with the next, shared with the spectrum.
    double overlap = 0.8;
    // Span of the colour scale, dB.
    double range = 40;
    bool mirror = false;
    // Index of the colour map: viridis, inferno, magma, grey.
    int colorMap = 0;
    // Top of the colour scale in dB/Hz, or nothing for the band's strongest value.
    std::optional<double> referenceLevel;
    bool operator==(const SpectrogramSettings& other) const = default;
};

struct DisplaySettings
{
    bool showPower = true;
    bool showAmplitude = false;
    bool showAnnotations = true;
    // Frequencies labelled with the centre frequency added.
    bool absoluteFrequency = false;
    // Equal parts of the span between the two cursors.
    int cursorDivisions = 1;
    // The trace view of the band shown: shown, what it traces (0 amplitude in
    // dBFS, 1 frequency in hertz, 2 phase in degrees) and its squelch in dB
    // above the band's noise floor (nothing: off).
    bool showTrace = false;
    int traceKind = 1;
    std::optional<double> squelchDb;
    bool operator==(const DisplaySettings& other) const = default;
};

struct ViewSettings
{
    TimeRange range;
    ValueRange band;
    SpectrogramSettings spectrogram;
    // The power curve's window and calibration (its band is set by bandPower).
    PowerCurveSettings power;
    // The power of the band shown only.
    bool bandPower = false;
    DisplaySettings display;
    // The mean of I and Q over the range taken out of every view.
    bool removeDc = false;
    // Share of the band's power the occupied bandwidth holds, percent.
    double occupiedPercent = 99;
    bool operator==(const ViewSettings& other) const = default;

    uint32_t fftSize() const;
    // The spectrum's settings: the FFT size and overlap, cut to the band.
    SpectrumSettings spectrum() const;
    // The power curve's settings, with the band when only its power is shown.
    PowerCurveSettings powerCurve() const;
};

bool samePowerCurve(const PowerCurveSettings& a, const PowerCurveSettings& b);

// The whole band of a recording at fs: -(fs / 2) ... fs / 2, in whole hertz for
// a whole rate (an odd one's half rounded down), exactly for one with a fraction.
ValueRange wholeBand(double sampleRate);
// The duration of a recording in seconds: count / rate.
double durationOf(const Recording& recording);

// What a newly loaded recording is shown with: the whole of it and its whole
// band, the datatype's full scale, the DC offset removed for offset-binary
// samples, annotations shown when it has any, absolute frequencies only when it
// gives a centre frequency, and no setting it cannot take (a band-only power of
// a band outside it); the FFT size, overlap, colour scale, other calibration
// and display switches kept from `kept`.
ViewSettings settingsForRecording(const ViewSettings& kept, const Recording& recording);

// Why the recording cannot be shown with these settings (a range outside it, a
// band beyond half its rate, an FFT size or overlap out of bounds, a power
// calibration that is not positive), or nothing when it can.
std::optional<QString> settingsProblem(const ViewSettings& settings, const Recording& recording);
