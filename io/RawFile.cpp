// Headerless sample files read in place.

#include "io/RawFile.h"

#include "io/FileSamples.h"
#include "io/InputFile.h"
#include "io/SampleFormat.h"

#include <charconv>
#include <limits>
#include <stdexcept>

namespace {

constexpr uint64_t maxRate = std::numeric_limits<uint32_t>::max();

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
    // Whole samples per second: truncated toward zero, and a rate that comes to
    // 0 or does not fit 32 bits is refused rather than stored wrapped.
    if (!(sampleRate >= 1.0 && sampleRate < static_cast<double>(maxRate) + 1.0))
        throw std::runtime_error("Invalid sample rate: " + shortestText(sampleRate)
                                 + " (must be 1 to 4294967295 samples per second)");
    InputFile file(path);
    file.requireOpen();
    const uint64_t size = file.size();
    SampleFormat format;
    RecordingContents contents;
    contents.sampleRate = static_cast<uint32_t>(sampleRate);
    std::string note;
    contents.samples = FileSamples::open(std::move(file), 0, size, datatype, &format, &note);
    contents.info.unsignedSamples = format.kind == 'u';
    addNote(contents.info, note);
    contents.info.files = {path};
    return contents;
}
