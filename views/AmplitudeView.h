#pragma once
// Raw I and Q values of a time range as two stacked line plots against time.

#include <QWidget>

class CustomPlot;
class Recording;

class AmplitudeView : public QWidget
{
public:
    AmplitudeView(Recording* recording, QWidget* parent = nullptr);
    ~AmplitudeView() override;

    // Start and stop in seconds; replaces both curves with every sample of the range.
    void setTimeRange(double startTime, double stopTime);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Recording* recording;
    CustomPlot* iPlot;
    CustomPlot* qPlot;
};
