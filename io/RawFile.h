#pragma once
// The reader of headerless sample files: every byte is a sample value in the
// SigMF datatype given, at the rate given.

#include "io/RecordingContents.h"

#include <string>

// Samples of `datatype` ("cf32_le", "ri16_be", ...) filling the file at path, left
// in the file. The rate is kept exactly and must be validSampleRate. Throws
// std::runtime_error with the user-facing reason.
RecordingContents readRawFile(const std::string& path, const std::string& datatype,
                              double sampleRate);
