// Which reader a path goes to.

#include "io/RecordingOpener.h"

#include "io/FileError.h"
#include "io/InputFile.h"
#include "io/RawFile.h"
#include "io/SigmfFile.h"
#include "io/SigmfNames.h"
#include "io/WavFile.h"

#include <nlohmann/json.hpp>

#include <exception>
#include <filesystem>
#include <new>
#include <stdexcept>

namespace {

struct RawEnding
{
    const char* ending;
    const char* datatype;
};
constexpr RawEnding rawEndings[] = {
    {".cfile", "cf32_le"}, {".fc32", "cf32_le"}, {".cu8", "cu8_le"}, {".cs8", "ci8_le"}, {".cs16", "ci16_le"}};

std::string fileNameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

// A WAV file's own header against what its metadata says: both must read the
// same bytes as the same samples at the same rate.
void checkSameSamples(const RecordingContents& described, const RecordingContents& own)
{
    const std::optional<StoredSamples> a = described.samples->stored();
    const std::optional<StoredSamples> b = own.samples->stored();
    if (!a || !b || a->offset != b->offset || a->datatype != b->datatype
        || described.samples->size() != own.samples->size() || described.sampleRate != own.sampleRate)
        throw std::runtime_error("it describes other samples than the file's header gives");
}

// The recording at path read through the SigMF metadata beside it that describes
// it (its annotations, captures, centre frequency and start time), or read by
// `own` when there is none; metadata that cannot be used is named in the note.
template <typename Own>
RecordingContents throughMetadata(const std::string& path, bool wav, Own own)
{
    std::string reason;
    try {
        if (const std::optional<std::string> metaPath = describingMetadata(path)) {
            RecordingContents described = readSigmfFile(*metaPath);
            if (wav)
                checkSameSamples(described, own());
            described.info.note = "Read through " + fileNameOf(*metaPath)
                                  + ", which describes this file; saves rewrite it"
                                  + (described.info.note.empty() ? "" : "\n" + described.info.note);
            return described;
        }
    } catch (const std::exception& error) {
        reason = error.what();
    }
    RecordingContents contents = own();
    if (!reason.empty())
        addNote(contents.info, fileNameOf(describingMetaPath(path)) + " beside it was not read: " + reason);
    return contents;
}

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
    throw FileError(unknownFormat(path));
}

std::string unknownFormat(const std::string& path)
{
    return "Cannot tell the format of " + quotedPath(path)
           + " from its name: give --format or choose a \"File format\"";
}

bool needsSampleRate(const std::string& path, FileFormat format)
{
    const std::optional<FileFormat> found =
        format == FileFormat::Auto ? formatOfPath(path) : std::optional<FileFormat>(format);
    return found == FileFormat::Binary || found == FileFormat::Iqw;
}

namespace {

RecordingContents readerOf(const std::string& path, FileFormat format, const std::string& datatype,
                           double sampleRate, std::size_t archiveRecording)
{
    FileFormat resolved = FileFormat::Auto;
    try {
        resolved = resolvedFormat(path, format);
    } catch (const FileError&) {
        // What is no file at all (a folder, nothing) is told first.
        InputFile(path).requireOpen();
        throw;
    }
    switch (resolved) {
    case FileFormat::Sigmf:
        if (endsWithAnyCase(path, sigmfArchiveEnding))
            return readSigmfArchive(path, archiveRecording);
        if (format == FileFormat::Auto && endsWithAnyCase(path, sigmfDataEnding))
            return readSigmfFile(sigmfMetaPath(path));
        return readSigmfFile(path, archiveRecording);
    case FileFormat::Wav:
        return throughMetadata(path, true, [&] { return readWavFile(path); });
    case FileFormat::Binary:
        return throughMetadata(path, false, [&] {
            return readRawFile(path, format == FileFormat::Auto ? impliedDatatype(path).value_or(datatype) : datatype,
                               sampleRate);
        });
    case FileFormat::Iqw:
        return throughMetadata(path, false, [&] { return readRawFile(path, "cf32_le", sampleRate); });
    case FileFormat::Auto:
        break;
    }
    throw FileError(unknownFormat(path));
}

} // namespace

RecordingContents openRecording(const std::string& path, FileFormat format,
                                const std::string& datatype, double sampleRate,
                                std::size_t archiveRecording)
{
    // Every refusal names the file: the readers' own sentences that do not are
    // named here, and no library's words reach the user.
    const std::string opening = "Cannot open " + quotedPath(path) + ": ";
    try {
        return readerOf(path, format, datatype, sampleRate, archiveRecording);
    } catch (const FileError&) {
        throw;
    } catch (const nlohmann::json::exception&) {
        throw FileError(opening + "its metadata holds a member of a type SigMF does not allow");
    } catch (const std::bad_alloc&) {
        throw FileError(opening + "there is not enough memory to read it");
    } catch (const std::exception& error) {
        throw FileError(opening + error.what());
    }
}
