#pragma once
// The window started with a recording on the command line.

#include "app/CommandLine.h"

class MainWindow;

// Loads the recording into the window with the Open group set from the
// options; once it is shown, the time range and spectrum options are applied
// with the panel's checks (a refusal in an "Input Error" box).
void openWithOptions(MainWindow& window, const CommandLineOptions& options);
