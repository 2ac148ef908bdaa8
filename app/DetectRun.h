#pragma once
// The bursts found by the command line (--detect): printed as one JSON object
// and, with --save-annotations, saved as annotations where the window's Save
// writes them.

#include "app/CommandLine.h"
#include "dsp/BlockStream.h"
#include "session/ViewSettings.h"

class Recording;

// Finds the bursts over the range and band of the settings shown; messages on
// standard error. The exit status: 0, or 1 for a refusal or a failure.
int writeDetection(Recording& recording, const ViewSettings& settings, const DcOffset& offset,
                   const CommandLineOptions& options);
