#pragma once
// Where a recording's captures start, as thin lines on the plots against time,
// each with its tool tip: which capture, its start, centre frequency and time.

#include "io/RecordingContents.h"
#include "views/PlotOverlay.h"

#include <vector>

// One line per capture at its start, in seconds at fs, for a recording of two
// captures or more (one capture marks nothing); none for fs <= 0.
std::vector<MarkerLine> captureMarkers(const RecordingInfo& info, double fs);
