#pragma once
// The command line's work on a main window: its options put into the panel's
// fields and applied with the panel's checks, and the runs without a window
// (pictures, export, file information, measurements) that write and exit.

#include "app/CommandLine.h"

class MainWindow;

// Loads the recording into the window with the Open group's fields set from the
// options, then applies the time range and spectrum options through the fields,
// each with the panel's checks and messages. Returns whether the recording loaded.
bool openWithOptions(MainWindow& window, const CommandLineOptions& options);

// A run without a window: every message of the panel goes to standard error;
// 0 when everything was written, 1 after a refusal or a failure.
int runBatch(const CommandLineOptions& options);
