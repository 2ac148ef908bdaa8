// Headerless sample files read in place.

#include "io/RawFile.h"

#include "io/FileSamples.h"
#include "io/InputFile.h"
#include "io/SampleFormat.h"

#include <charconv>
#include <stdexcept>

namespace {

std::string shortestText(double value)
{
    char text[64];
    const auto result = std::to_chars(text, text + sizeof(text), value);
    return std::string(text, result.ptr);
}

} // namespace

RecordingContents readRawFile(const std::string& path, const std::string& datatype,
                              double sampleRate)
{
    if (!validSampleRate(sampleRate))
        throw std::runtime_error("Invalid sample rate: " + shortestText(sampleRate) + " ("
                                 + sampleRateRange + ")");
    InputFile file(path);
    file.requireOpen();
    const uint64_t size = file.size();
    SampleFormat format;
    RecordingContents contents;
    contents.sampleRate = sampleRate;
    std::string note;
    contents.samples = FileSamples::open(std::move(file), 0, size, datatype, &format, &note);
    contents.info.unsignedSamples = format.kind == 'u';
    addNote(contents.info, note);
    contents.info.files = {path};
    return contents;
}
