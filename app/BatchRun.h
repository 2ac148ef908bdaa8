#pragma once
// The command line's work: its options applied to the view session with the
// panel's rules and messages, and the runs without a window (pictures drawn by
// the views in pages of their own, an export, file information,
// measurements) that write their result and exit.

#include "app/CommandLine.h"

// A run without a window: every message goes to standard error; 0 when
// everything was written, 1 after a refusal or a failure.
int runBatch(const CommandLineOptions& options);
