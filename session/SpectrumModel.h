#pragma once
// The averaged spectrum of the range shown as a kind of view without a widget:
// its Welch powers, computed over the range with the FFT size and overlap,
// the curve of the band shown cut from them, and the band's measurements with
// the power calibration, taken once per spectrum, band and calibration. The
// spectrum view draws it; the measurements and markers read it; the command
// line measures with it.

#include "dsp/SpectrumMeasurements.h"
#include "plotdata/SpectrumCurve.h"
#include "plotdata/SpectrumPass.h"
#include "session/ViewKind.h"

#include <QObject>

#include <optional>

class SpectrumModel : public QObject, public ViewKind
{
public:
    explicit SpectrumModel(QObject* parent = nullptr);

    bool outdated(const ViewSettings& computed, const ViewSettings& next) const override;
    std::unique_ptr<ViewComputation> computation(const ViewSettings& settings,
                                                 const RecordingFacts& recording) override;
    void present(const Presentation& presentation) override;
    void addSummaryNeeds(const ViewSettings& settings, SummaryNeeds& needs) const override;

    // The Welch powers of the spectrum shown (empty before any).
    const WelchResult& result() const { return welch; }
    // Its curve over the band shown (dB/Hz against baseband hertz).
    const SpectrumCurve& curve() const { return bandCurve; }
    // The band shown, baseband hertz, and its calibration.
    ValueRange band() const { return shownBand; }
    PowerCalibration calibration() const { return shownCalibration; }
    // The band's measurements (none before a spectrum was shown).
    const std::optional<BandMeasurements>& measurements() const { return measured; }
    // Counts the spectra, bands and calibrations shown, so that readers can
    // tell a new one (markers are read again).
    uint64_t revision() const { return shownRevision; }

private:
    WelchResult welch;
    SpectrumCurve bandCurve;
    ValueRange shownBand;
    PowerCalibration shownCalibration{};
    double shownPercent = 0;
    std::optional<BandMeasurements> measured;
    uint64_t shownRevision = 0;
    bool fresh = false;
};
