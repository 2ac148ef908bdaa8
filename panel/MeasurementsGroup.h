#pragma once
// The "Measurements" group under the spectrum: channel power, noise density,
// SNR, occupied bandwidth, peak and mean frequency of the band and time range
// shown, and the two spectrum markers (Peak and P, Shift+P, Shift+click on the
// spectrum, Left and Right to the next peak). It shows what the spectrum model
// measured, follows the session's settings, and draws its markers on the
// spectrum's plot.

#include "dsp/SpectrumMeasurements.h"
#include "panel/SpectrumMarkers.h"

#include <QGroupBox>

#include <cstdint>
#include <optional>

class PlotWidget;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class SpectrumModel;
class ViewSession;

class MeasurementsGroup : public QGroupBox
{
public:
    // Shows what `spectrum` (a kind of view of `session`) measures and marks
    // its markers on `spectrumPlot`; all three outlive the group.
    MeasurementsGroup(const SpectrumModel* spectrum, ViewSession* session, PlotWidget* spectrumPlot,
                      QWidget* parent = nullptr);

    // Shows the measurements again (a new spectrum, band, calibration or
    // frequency offset); the markers are read again where they sit.
    void remeasure();
    // A new recording: no markers.
    void clearMarkers();
    // The measurements shown (none before a spectrum was shown).
    const std::optional<BandMeasurements>& measurements() const;
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

    const SpectrumModel* spectrum;
    ViewSession* session;
    PlotWidget* spectrumPlot;
    // The model's revision the markers were last read from.
    uint64_t markedRevision = 0;
    SpectrumMarkers shownMarkers;
    bool shiftPressConsumed = false;
};
