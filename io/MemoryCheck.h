#pragma once
// Refuses loads whose memory the machine cannot hold, so a large file fails with
// a message instead of the process being killed.

#include <cstdint>
#include <string>

// Bytes the system reports as available (MemAvailable in /proc/meminfo), or
// UINT64_MAX when that cannot be read.
uint64_t availableMemoryBytes();

// Throws std::runtime_error naming both sizes when two sequences of sampleCount
// doubles, plus the working memory reserved per sample, need more than
// availableMemoryBytes().
void checkMemoryForSamples(uint64_t sampleCount);

// The check of a load that reads its samples from the file on demand: it keeps no
// sequences, so only the working memory reserved per sample counts. Throws like
// checkMemoryForSamples.
void checkWorkingMemory(uint64_t sampleCount);

// Bytes per loaded sample that the application needs beyond the two sequences
// (the views' curves, matrix and images over the whole recording); 0 by default.
// A recording that would leave no room for them is refused before it is read.
void setWorkingBytesPerSample(uint64_t bytes);

// Reads memory figures from another file in the /proc/meminfo format (tests only);
// an empty path restores /proc/meminfo.
void setMeminfoPath(const std::string& path);
