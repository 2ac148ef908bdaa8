#pragma once
// Opening a recording by its format, or by the ending of its name: the one
// place that knows which reader a path goes to.

#include "io/RecordingContents.h"

#include <cstddef>
#include <optional>
#include <string>

enum class FileFormat
{
    // Chosen from the path's ending (formatOfPath).
    Auto,
    // A metadata file with its dataset, or a ".sigmf" archive.
    Sigmf,
    Wav,
    // Headerless samples in a SigMF datatype, at a rate given.
    Binary,
    // Headerless cf32_le samples at a rate given.
    Iqw,
};

// The format "Auto" picks for a path, by its ending in any letter case:
// ".sigmf-meta", ".sigmf" and ".sigmf-data" (its metadata beside it) SigMF,
// ".wav" WAV, ".iqw" IQW, and the raw captures SDR tools write Binary
// (impliedDatatype); nothing for others.
std::optional<FileFormat> formatOfPath(const std::string& path);

// The datatype the ending of a raw capture names: ".cfile" and ".fc32" cf32_le,
// ".cu8" cu8_le, ".cs8" ci8_le, ".cs16" ci16_le; nothing for other endings.
std::optional<std::string> impliedDatatype(const std::string& path);

// The format a path is read in: `format` itself, or for Auto the one its ending
// names. Throws FileError(unknownFormat(path)) when Auto finds none.
FileFormat resolvedFormat(const std::string& path, FileFormat format);

// "Cannot tell the format of "<path>" from its name: ..." for a path whose ending
// names no format.
std::string unknownFormat(const std::string& path);

// Whether a path in `format` needs a sample rate (and for Binary a datatype) from
// the caller.
bool needsSampleRate(const std::string& path, FileFormat format);

// Reads the recording at path in `format`: a ".sigmf" archive, or a metadata file
// (one that holds an archive is read as one; for a ".sigmf-data" file the one
// beside it), WAV, or headerless samples of `datatype` (cf32_le for IQW, the
// ending's for an "Auto" raw capture) at `sampleRate`. A WAV, IQW or raw file
// that SigMF metadata beside it describes (describingMetadata) is read through
// that metadata instead, its note saying so; metadata that cannot be used is
// named in the note and the file read on its own. Of a SigMF archive holding
// several recordings, number archiveRecording (from 0) is read. Throws FileError
// with the user-facing reason, which names the file ("Cannot open "<path>": ...").
RecordingContents openRecording(const std::string& path, FileFormat format,
                                const std::string& datatype, double sampleRate,
                                std::size_t archiveRecording = 0);
