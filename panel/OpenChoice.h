#pragma once
// Reading the recording the Open group describes: a path in the format chosen,
// with the "Binary format" and "Sample rate" fields when the format needs them.

#include <QString>

#include <cstddef>
#include <memory>

class QLineEdit;
class Recording;
class StrictPositiveLineEdit;

// The file read into a recording of its own (none of the views or of the
// recording shown changes), `choice` being the "File format" box's index. For
// IQW the Binary format field is set to cf32_le. Throws std::runtime_error with
// the message of the "Error" box: "Unsupported file format", "Invalid sample
// rate: input shall be > 0", a reader's own message. Of an archive holding several
// recordings, number archiveRecording (from 0) is read.
std::shared_ptr<Recording> readChosenRecording(const QString& path, int choice,
                                               QLineEdit* binaryFormatEdit,
                                               const StrictPositiveLineEdit* sampleRateEdit,
                                               std::size_t archiveRecording = 0);

// The checks a raw or IQW file's fields get before the file is chosen: the
// datatype (Binary) and the rate; nothing for the other formats. Throws
// std::runtime_error with the message of the "Error" box.
void checkOpenFields(int choice, const QString& datatype, const StrictPositiveLineEdit* sampleRateEdit);
