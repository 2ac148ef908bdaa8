#pragma once
// A recording's captures as the panel shows them: the centre frequency that
// applies at a time (a recording may be retuned mid-file), and the readout's
// words on the capture under the pointer.

#include <QPoint>
#include <QString>

#include <cstdint>
#include <optional>

class PlotWidget;
class Recording;
struct RecordingInfo;

// The centre frequency of the capture holding time `seconds` of the recording
// (the recording's own when it lists no captures); nothing when unknown.
std::optional<double> captureCentreAt(const Recording& recording, double seconds);

// "capture 2 of 3" for the pointer at `point` of a plot against time, and where
// the capture there has another centre than the axis shows (`axisOffset` hertz
// added, the view spanning several captures) the frequency under the pointer
// with that capture's centre (`pointerOffset`) and a word that the axis uses
// the view's first capture. Empty for recordings of fewer than two captures,
// plots against frequency and points outside the plot.
QString captureReadout(const PlotWidget& plot, const QPoint& point, const RecordingInfo& info,
                       double sampleRate, double axisOffset, double pointerOffset);
