#pragma once
// The SigMF readers: a metadata file with its dataset beside it (or the file its
// core:dataset names), and a ".sigmf" archive whose dataset is read in place.

#include "io/RecordingContents.h"

#include <string>

// Reads the recording that the metadata file at metaPath describes; a metaPath
// that holds a tar archive is read as a SigMF archive. Throws std::runtime_error
// (or the JSON library's exception) with the user-facing reason.
RecordingContents readSigmfFile(const std::string& metaPath);

// Reads the first recording of the SigMF archive at path (a tar of .sigmf-meta and
// .sigmf-data files); when it holds several, the recording's note says so.
RecordingContents readSigmfArchive(const std::string& path);
