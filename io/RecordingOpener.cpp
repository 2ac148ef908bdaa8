// Which reader a path goes to.

#include "io/RecordingOpener.h"

#include "io/RawFile.h"
#include "io/SigmfFile.h"
#include "io/WavFile.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace {

bool endsWithAnyCase(const std::string& text, const std::string& ending)
{
    return text.size() >= ending.size()
           && std::equal(ending.rbegin(), ending.rend(), text.rbegin(), [](char a, char b) {
                  return std::tolower(static_cast<unsigned char>(a))
                         == std::tolower(static_cast<unsigned char>(b));
              });
}

} // namespace

std::optional<FileFormat> formatOfPath(const std::string& path)
{
    if (endsWithAnyCase(path, ".sigmf-meta") || endsWithAnyCase(path, ".sigmf"))
        return FileFormat::Sigmf;
    if (endsWithAnyCase(path, ".wav"))
        return FileFormat::Wav;
    if (endsWithAnyCase(path, ".iqw"))
        return FileFormat::Iqw;
    return std::nullopt;
}

FileFormat resolvedFormat(const std::string& path, FileFormat format)
{
    if (format != FileFormat::Auto)
        return format;
    if (const std::optional<FileFormat> found = formatOfPath(path))
        return *found;
    throw std::runtime_error("Unsupported file format");
}

bool needsSampleRate(const std::string& path, FileFormat format)
{
    const std::optional<FileFormat> found =
        format == FileFormat::Auto ? formatOfPath(path) : std::optional<FileFormat>(format);
    return found == FileFormat::Binary || found == FileFormat::Iqw;
}

RecordingContents openRecording(const std::string& path, FileFormat format,
                                const std::string& datatype, double sampleRate)
{
    switch (resolvedFormat(path, format)) {
    case FileFormat::Sigmf:
        return endsWithAnyCase(path, ".sigmf") ? readSigmfArchive(path) : readSigmfFile(path);
    case FileFormat::Wav:
        return readWavFile(path);
    case FileFormat::Binary:
        return readRawFile(path, datatype, sampleRate);
    case FileFormat::Iqw:
        return readRawFile(path, "cf32_le", sampleRate);
    case FileFormat::Auto:
        break;
    }
    throw std::runtime_error("Unsupported file format");
}
