#pragma once
// The SigMF readers: a metadata file with its dataset beside it (or the file its
// core:dataset names), and a ".sigmf" archive whose dataset is read in place.

#include "io/RecordingContents.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// Reads the recording that the metadata file at metaPath describes; a metaPath
// that holds a tar archive is read as a SigMF archive (its recording number
// archiveRecording). Throws std::runtime_error (or the JSON library's
// exception) with the user-facing reason.
RecordingContents readSigmfFile(const std::string& metaPath, std::size_t archiveRecording = 0);

// The metadata file beside the WAV, IQW or raw file at path (describingMetaPath)
// when it names that very file as its core:dataset; nothing when there is none or
// it names another. Throws std::runtime_error when it is there but cannot be read.
std::optional<std::string> describingMetadata(const std::string& path);

// The recordings of the SigMF archive at path, in the archive's order: each
// metadata member's name without ".sigmf-meta" ("rec/rec"). Throws
// std::runtime_error when the file cannot be opened.
std::vector<std::string> sigmfArchiveRecordings(const std::string& path);

// Reads recording number `recording` (from 0, in the order of
// sigmfArchiveRecordings) of the SigMF archive at path (a tar of .sigmf-meta and
// .sigmf-data files); when it holds several, the recording's note says which.
RecordingContents readSigmfArchive(const std::string& path, std::size_t recording = 0);
