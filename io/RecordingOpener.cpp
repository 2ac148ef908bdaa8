// Which reader a path goes to.

#include "io/RecordingOpener.h"

#include "io/RawFile.h"
#include "io/SigmfFile.h"
#include "io/SigmfNames.h"
#include "io/WavFile.h"

#include <stdexcept>

namespace {

struct RawEnding
{
    const char* ending;
    const char* datatype;
};
constexpr RawEnding rawEndings[] = {
    {".cfile", "cf32_le"}, {".fc32", "cf32_le"}, {".cu8", "cu8_le"}, {".cs8", "ci8_le"}, {".cs16", "ci16_le"}};

} // namespace

std::optional<std::string> impliedDatatype(const std::string& path)
{
    for (const RawEnding& raw : rawEndings)
        if (endsWithAnyCase(path, raw.ending))
            return std::string(raw.datatype);
    return std::nullopt;
}

std::optional<FileFormat> formatOfPath(const std::string& path)
{
    if (endsWithAnyCase(path, sigmfMetaEnding) || endsWithAnyCase(path, sigmfArchiveEnding)
        || endsWithAnyCase(path, sigmfDataEnding))
        return FileFormat::Sigmf;
    if (endsWithAnyCase(path, ".wav"))
        return FileFormat::Wav;
    if (endsWithAnyCase(path, ".iqw"))
        return FileFormat::Iqw;
    if (impliedDatatype(path))
        return FileFormat::Binary;
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
                                const std::string& datatype, double sampleRate,
                                std::size_t archiveRecording)
{
    switch (resolvedFormat(path, format)) {
    case FileFormat::Sigmf:
        if (endsWithAnyCase(path, sigmfArchiveEnding))
            return readSigmfArchive(path, archiveRecording);
        if (format == FileFormat::Auto && endsWithAnyCase(path, sigmfDataEnding))
            return readSigmfFile(sigmfMetaPath(path));
        return readSigmfFile(path, archiveRecording);
    case FileFormat::Wav:
        return readWavFile(path);
    case FileFormat::Binary:
        return readRawFile(path,
                           format == FileFormat::Auto ? impliedDatatype(path).value_or(datatype) : datatype,
                           sampleRate);
    case FileFormat::Iqw:
        return readRawFile(path, "cf32_le", sampleRate);
    case FileFormat::Auto:
        break;
    }
    throw std::runtime_error("Unsupported file format");
}
