#pragma once
// The "Measurements" group under the spectrum: channel power, noise density,
// SNR, occupied bandwidth, peak and mean frequency of the band and time range
// shown, and the two spectrum markers (Peak and P, Shift+P, Shift+click on the
// spectrum, Left and Right to the next peak). It reads what it measures through
// the sources it is given and draws its markers on the spectrum's plot.

#include "dsp/SpectrumMeasurements.h"
#include "panel/SpectrumMarkers.h"
#include "plotdata/SpectrumPass.h"

#include <QGroupBox>

#include <functional>
#include <optional>
#include <utility>

class PlotWidget;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

// Where the measurements come from, asked each time they are taken.
struct MeasurementSources
{
    // The Welch powers of the spectrum shown (empty before any).
    std::function<const WelchResult&()> spectrum;
    // The band shown, baseband hertz.
    std::function<std::pair<double, double>()> band;
    // The power view's calibration.
    std::function<PowerCalibration()> calibration;
    // Hertz added to baseband frequencies where they are shown.
    std::function<double()> frequencyOffset;
};

class MeasurementsGroup : public QGroupBox
{
public:
    // Marks its markers on `spectrumPlot`, which must outlive the group.
    MeasurementsGroup(MeasurementSources sources, PlotWidget* spectrumPlot, QWidget* parent = nullptr);

    // Measures again (a new spectrum, calibration or frequency offset); the
    // markers are read again where they sit.
    void remeasure();
    // A new recording: no markers.
    void clearMarkers();
    // The last measurements (none before a spectrum was shown).
    const std::optional<BandMeasurements>& measurements() const { return measured; }
    const SpectrumMarkers& markers() const { return shownMarkers; }

    // The marker actions, as the keys and the Peak button call them.
    void peak();
    void secondBeside();
    void stepMarker(PeakDirection direction);
    void secondAt(double hertz);

    QLabel* channelPowerLabel;
    QLabel* noiseDensityLabel;
    QLabel* snrLabel;
    QLabel* occupiedBandwidthLabel;
    QLabel* peakFrequencyLabel;
    QLabel* meanFrequencyLabel;
    QDoubleSpinBox* occupiedPercentSpinBox;
    QLabel* markerLabel;
    QPushButton* peakButton;
    QPushButton* copyMeasurementsButton;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::optional<MarkedSpectrum> shownSpectrum() const;
    void showMeasurements();
    void showMarkers();
    void copyMeasurements();

    MeasurementSources sources;
    PlotWidget* spectrumPlot;
    std::optional<BandMeasurements> measured;
    SpectrumMarkers shownMarkers;
    bool shiftPressConsumed = false;
};
