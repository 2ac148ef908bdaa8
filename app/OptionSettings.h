#pragma once
// The command line's view options (time range, band, FFT size, overlap, range)
// read as the panel reads its fields, with its rules and messages: shared by a
// run without a window and the window started with a recording.

#include "app/CommandLine.h"
#include "session/SettingsTexts.h"
#include "session/ViewSettings.h"

#include <optional>

class Recording;

// Whether any option sets what the views show.
bool hasViewOptions(const CommandLineOptions& options);

// The settings the options give on top of `base` for the recording shown: the
// time fields' texts, then the spectrum group's; a field no option names keeps
// what `base` shows. Nothing after a refusal, told to `refuse`.
std::optional<ViewSettings> settingsFromOptions(const ViewSettings& base, const Recording& recording,
                                                const CommandLineOptions& options, const Refusal& refuse);
