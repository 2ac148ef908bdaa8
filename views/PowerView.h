#pragma once
// Instantaneous power of a time range, moving-averaged and calibrated to dBm,
// plotted against time.

#include <QWidget>

#include <cstdint>

class CustomPlot;
class Recording;

class PowerView : public QWidget
{
public:
    PowerView(Recording* recording, QWidget* parent = nullptr);
    ~PowerView() override;

    // Moving-average length in samples.
    uint32_t averageWindow() const { return averageWindowSamples; }
    // Sample magnitude of full scale, in the recording's own units.
    double fullScaleValue() const { return fullScaleValueUnits; }
    // Peak voltage of a full-scale signal, volts.
    double fullScaleVoltage() const { return fullScaleVoltageVolts; }
    // Impedance the power is computed into, ohms.
    double inputImpedance() const { return inputImpedanceOhms; }

    // The setters only store; refresh() recomputes.
    void setAverageWindow(int samples);
    void setFullScaleValue(double value);
    void setFullScaleVoltage(double volts);
    void setInputImpedance(double ohms);

    // Start and stop in seconds; stored for refresh() and the curve recomputed.
    void setTimeRange(double startTime, double stopTime);
    // Recomputes with the last time range.
    void refresh();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Recording* recording;
    CustomPlot* plot;
    double lastStartTime = 0;
    double lastStopTime = 0;
    uint32_t averageWindowSamples = 100;
    double fullScaleValueUnits = 1.0;
    double fullScaleVoltageVolts = 1.0;
    double inputImpedanceOhms = 1.0;
};
