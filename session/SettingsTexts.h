#pragma once
// The settings read from the texts the panel's fields (or the command line's
// options) hold, checked as an Apply checks them: each group's values, or the
// refusal given once, naming the field ("Invalid start time: input shall be >= 0").

#include "session/ViewSettings.h"

#include <QString>

#include <functional>
#include <optional>

using Refusal = std::function<void(const QString& message)>;

// Start and stop time; stop times beyond the end (one too large for a double
// too), or within a relative 1e-5 below it, mean the end (a NaN duration, before
// any recording, snaps nothing). In every field, text that is no number says
// "input shall be a number" and a number too large the field's range.
std::optional<TimeRange> readTimeTexts(const QString& start, const QString& stop, double duration,
                                       const Refusal& refuse);

// The texts of the spectrogram and spectrum group; the exponent and overlap
// come from spin boxes that hold numbers already.
struct SpectrumTexts
{
    int exponent = 8;
    double overlapPercent = 80;
    QString startFrequency;
    QString stopFrequency;
    QString range;
    // Empty or "auto" (any case) for Auto.
    QString referenceLevel;
    bool mirror = false;
    int colorMap = 0;
};
struct SpectrumValues
{
    ValueRange band;
    SpectrogramSettings spectrogram;
};
// The exponent within 1 ... 15, the band within `limits`, the range from 1 to
// 300 dB, the reference level a number or Auto.
std::optional<int> readFftExponent(int exponent, const Refusal& refuse);
std::optional<SpectrumValues> readSpectrumTexts(const SpectrumTexts& texts, const ValueRange& limits,
                                                const Refusal& refuse);

struct PowerTexts
{
    QString averageWindow;
    QString fullScaleValue;
    QString fullScaleVoltage;
    QString inputImpedance;
    bool relativeToFullScale = false;
};
// The calibration, then the window (rounded half away from zero) and the unit;
// the band is left to the settings' bandPower.
std::optional<PowerCurveSettings> readPowerTexts(const PowerTexts& texts, const Refusal& refuse);

// A whole number from 1 to 1000.
std::optional<int> readCursorDivisionsText(const QString& text, const Refusal& refuse);
