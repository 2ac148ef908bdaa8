#pragma once
// The symbols and bits the command line's --symbols prints: one JSON object
// for the burst in the band and range of the settings shown.

#include "app/CommandLine.h"
#include "dsp/BlockStream.h"
#include "session/ViewSettings.h"

class Recording;

// Prints the object; messages on standard error. The exit status: 0, or 1
// for a failure (no burst, no rate or modulation found or given, a rate the
// band cannot carry).
int printSymbols(const Recording& recording, const ViewSettings& settings, const DcOffset& offset,
                 const CommandLineOptions& options);
