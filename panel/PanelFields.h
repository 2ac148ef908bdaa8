#pragma once
// The panel's groups read from their fields and checked as an Apply reads them,
// and the applied values written back; a refusal is shown once by `refuse`.

#include "panel/FieldReader.h"
#include "panel/ViewScheduler.h"
#include "plotdata/PowerCurveStream.h"

#include <optional>

struct PanelWidgets;

// The start and stop times; stop times beyond the end, or within a relative 1e-5
// below it, mean the end (before the first load `duration` is NaN and nothing snaps).
std::optional<TimeRange> readTimeFields(const PanelWidgets& form, double duration,
                                        const FieldReader::Refusal& refuse);
// The band within minFrequency ... maxFrequency, the range, the reference level
// and the display choices, with the FFT exponent given.
std::optional<SpectrogramSettings> readSpectrumFields(const PanelWidgets& form, int exponent,
                                                      double minFrequency, double maxFrequency,
                                                      const FieldReader::Refusal& refuse);
// The calibration, the window (rounded half away from zero) and the unit; the band
// is left to the caller.
std::optional<PowerCurveSettings> readPowerFields(const PanelWidgets& form, const FieldReader::Refusal& refuse);
// The cursor divisions, a whole number from 1 to 1000.
std::optional<int> readCursorDivisionsField(const PanelWidgets& form, const FieldReader::Refusal& refuse);

// The Frequency group as applied: band texts, FFT exponent and overlap of
// `fftSize` and `overlap`, range and reference level.
void showSpectrumFields(const PanelWidgets& form, const QString& startFrequency, const QString& stopFrequency,
                        uint32_t fftSize, double overlap, double range, std::optional<double> referenceLevel);
void showPowerFields(const PanelWidgets& form, const PowerCurveSettings& power);
