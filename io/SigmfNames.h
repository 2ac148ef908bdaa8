#pragma once
// The SigMF file names: the endings of a pair's metadata and data files and of
// an archive, and the one file of a pair from the other's name.

#include <string>

inline const std::string sigmfMetaEnding = ".sigmf-meta";
inline const std::string sigmfDataEnding = ".sigmf-data";
inline const std::string sigmfArchiveEnding = ".sigmf";

// Whether text ends with `ending`, ASCII letters in either case (other bytes as
// they are, whatever the locale).
bool endsWithAnyCase(const std::string& text, const std::string& ending);

// The data file of the pair whose metadata is at metaPath: its ".sigmf-meta" (in
// any letter case) replaced by ".sigmf-data", or ".sigmf-data" appended when it
// has none.
std::string sigmfDataPath(const std::string& metaPath);

// The metadata file that may describe a WAV, IQW or raw recording in place: its
// name with the ending replaced by ".sigmf-meta" ("rec.wav" gives "rec.sigmf-meta").
std::string describingMetaPath(const std::string& recordingPath);

// The metadata file of the pair whose data is at dataPath: its ".sigmf-data" (in
// any letter case) replaced by ".sigmf-meta", or ".sigmf-meta" appended.
std::string sigmfMetaPath(const std::string& dataPath);
