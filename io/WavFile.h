#pragma once
// The WAV reader: RIFF, RF64 and BW64 files of stereo integer PCM or float
// samples (left channel I, right channel Q), left in the file and read on demand.

#include "io/RecordingContents.h"

#include <string>

// Checks the WAV file at path and returns its samples, left in the file, with the
// centre frequency and start time of an "auxi" chunk when it has a readable one.
// Throws std::runtime_error with the user-facing reason.
RecordingContents readWavFile(const std::string& path);
