#pragma once
// The panel's fields and the session's settings: each group read from its
// fields as its Apply reads them (a refusal given once), and the fields written
// from the settings shown: a field holding an edit not applied yet keeps it
// unless the settings shown changed that value (a gesture moved the band, say);
// a field written shows the value in use and is no longer marked.

#include "session/SettingsTexts.h"
#include "session/ViewSettings.h"

#include <optional>

class PendingEdits;
class Recording;
struct PanelWidgets;

class PanelFields
{
public:
    PanelFields(const PanelWidgets& form, PendingEdits* pending);

    // The start and stop times; stop times beyond the end, or within a relative
    // 1e-5 below it, mean the end (a NaN duration snaps nothing).
    std::optional<TimeRange> readTime(double duration, const Refusal& refuse) const;
    // The FFT exponent, band within `limits`, overlap, range, reference level,
    // mirror and colour map.
    std::optional<SpectrumValues> readSpectrum(const ValueRange& limits, const Refusal& refuse) const;
    // The window, calibration and unit.
    std::optional<PowerCurveSettings> readPower(const Refusal& refuse) const;
    std::optional<int> readCursorDivisions(const Refusal& refuse) const;

    // Every field from `shown`, but those with an edit not applied whose value
    // did not change from `before`. The recording (when loaded) gives the stop
    // time of its end the text of its last sample.
    void show(const ViewSettings& shown, const ViewSettings& before, const Recording& recording);
    // Every field not marked from `shown` (a Cancel or Escape in a group,
    // once their marks are gone).
    void showAll(const ViewSettings& shown, const Recording& recording);

private:
    void write(const ViewSettings& shown, const Recording& recording, const ViewSettings* before);

    const PanelWidgets& form;
    PendingEdits* pending;
};
