#pragma once
// The spectrum's two markers: marker 1 put on the band's highest peak and moved
// from peak to peak, marker 2 on the peak beside it or where the user clicks;
// both read again from each new spectrum at the frequencies they sit on, so they
// stay through an Apply. No widgets.

#include "dsp/SpectrumMeasurements.h"
#include "views/PlotOverlay.h"

#include <QString>

#include <optional>
#include <vector>

// A spectrum as the markers read it: its band (baseband hertz) and calibration.
struct MarkedSpectrum
{
    MeasuredSpectrum spectrum;
    double low;
    double high;
    PowerCalibration calibration;
};

class SpectrumMarkers
{
public:
    void clear();
    // Marker 1 on the band's highest peak; whether there was one.
    bool putOnPeak(const MarkedSpectrum& shown);
    // Marker 2 on the peak beside marker 1 (to the right, else to the left), or
    // on the highest peak while marker 1 is not set.
    bool putSecondBeside(const MarkedSpectrum& shown);
    // Marker 2 at a frequency: on the nearest bin, refined when it is a peak.
    bool putSecondAt(const MarkedSpectrum& shown, double hertz);
    // The marker placed last on to the next peak in that direction.
    bool step(const MarkedSpectrum& shown, PeakDirection direction);
    // Each marker read again at its frequency; those outside the band go.
    void reread(const MarkedSpectrum& shown);

    const std::optional<SpectrumMarker>& first() const { return markers[0]; }
    const std::optional<SpectrumMarker>& second() const { return markers[1]; }
    bool empty() const { return !markers[0] && !markers[1]; }
    // The markers as points on the spectrum's curve (dB/Hz against baseband hertz).
    std::vector<PlotMark> marks() const;
    // "Marker 1: 50.00 kHz, -36.70 dB/Hz, -10.21 dBm", the same for marker 2 and,
    // with both, their differences; frequencies shifted by `offset` and written to
    // `resolution` hertz. Empty without markers.
    QString readout(double offset, double resolution) const;

private:
    std::optional<SpectrumMarker> markers[2];
    int active = 0;
};
