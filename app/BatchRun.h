#pragma once
// The command line's work: its options applied to the view session with the
// panel's rules and messages, and the runs without a window (pictures drawn by
// the views in pages of their own, an export, file information,
// measurements) that write their result and exit.

#include "app/CommandLine.h"

class MainWindow;

// Loads the recording into the window with the Open group set from the
// options; once it is shown, the time range and spectrum options are applied
// with the panel's checks (a refusal in an "Input Error" box).
void openWithOptions(MainWindow& window, const CommandLineOptions& options);

// A run without a window: every message goes to standard error; 0 when
// everything was written, 1 after a refusal or a failure.
int runBatch(const CommandLineOptions& options);
