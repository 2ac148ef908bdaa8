#pragma once
// The band's trace and audio written by the command line: --trace-out's CSV
// (time_s,value, a value left empty where squelched) with its JSON line, and
// --audio-out's WAV, over the range and band of the settings shown.

#include "app/CommandLine.h"
#include "dsp/BlockStream.h"
#include "session/ViewSettings.h"

#include <string>

class Recording;

// Writes what the options ask for; messages on standard error. The exit
// status: 0, or 1 for a failure.
int writeTraceOutputs(const Recording& recording, const QString& recordingPath, const ViewSettings& settings,
                      const DcOffset& offset, const CommandLineOptions& options);
