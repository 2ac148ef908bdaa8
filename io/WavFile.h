#pragma once
// The WAV reader: RIFF, RF64 and BW64 files of stereo integer PCM or float
// samples (left channel I, right channel Q), left in the file and read on demand.

#include <string>

class Recording;

// Checks the WAV file at path and makes it the recording's contents, with the
// centre frequency and start time of an "auxi" chunk when it has a readable one.
// Throws std::runtime_error with the user-facing reason and then leaves the
// recording as it was.
void readWavFile(const std::string& path, Recording& recording);
