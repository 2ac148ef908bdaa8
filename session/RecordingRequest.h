#pragma once
// Reading the recording the Open group or the command line describes: a path in
// the format chosen, with a datatype and a rate for the formats that need them.

#include <QString>

#include <cstddef>
#include <memory>
#include <optional>

class Recording;

// Index of the "File format" choice: 0 "Auto", 1 "SigMF", 2 "WAV", 3 "Binary",
// 4 "IQW" (the order of FileFormat). Any other value is an unsupported format.
using FileFormatChoice = int;

struct RecordingRequest
{
    QString path;
    FileFormatChoice format = 0;
    // The "Binary format" and "Sample rate" texts (read only when the format needs them).
    QString datatype;
    QString rate;
    // Of an archive holding several recordings, the one to read (from 0).
    std::size_t archiveMember = 0;
};

// The datatype the format or the file's ending implies for a file that needs a
// rate (cf32_le for IQW, ci16_le for .cs16, ...), which the "Binary format"
// field shows from the start of the load; nothing for the others.
std::optional<QString> impliedDatatype(const RecordingRequest& request);

// The file read into a recording of its own (nothing shown changes), with the
// implied datatype where there is one; the path's bytes are nativePath's.
// Throws std::runtime_error with the message of the "Error" box, which names the
// file where there is one: a reader's (see openRecording), "A raw file needs its
// sample rate: ...", "Invalid sample rate: ...", ""<path>" holds no samples".
std::shared_ptr<Recording> readRecording(const RecordingRequest& request);

// The checks a raw or IQW file's datatype and rate get before the file is
// chosen; nothing for the other formats. Throws std::runtime_error with the
// message of the "Error" box.
void checkRecordingRequest(FileFormatChoice format, const QString& datatype, const QString& rate);
