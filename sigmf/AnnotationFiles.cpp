// Metadata rewritten through OutputFile (temporary name, fsync, rename, the
// folder synced), and dataset bytes copied block by block.

#include "sigmf/AnnotationFiles.h"

#include "export/OutputFile.h"
#include "export/TarHeader.h"
#include "export/TimeStamp.h"
#include "io/InputFile.h"
#include "io/SigmfNames.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace {

// Metadata files are kilobytes; a larger one is no metadata of ours.
constexpr uint64_t maxMetadataBytes = 64 << 20;
constexpr std::size_t copyBlockBytes = 1 << 20;
const std::string unnamedStem = "recording";

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// The file's text now, or nothing when there is no file to read.
std::optional<std::string> currentText(const std::string& path)
{
    InputFile file(path);
    if (!file.isOpen()) {
        if (!std::filesystem::exists(path))
            return std::nullopt;
        fail("Cannot read " + path);
    }
    if (file.size() > maxMetadataBytes)
        fail("Cannot rewrite " + path + ": at " + std::to_string(file.size())
             + " bytes it is no SigMF metadata file");
    std::string text(static_cast<std::size_t>(file.size()), '\0');
    text.resize(file.readAt(0, text.data(), text.size()));
    return text;
}

bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code error;
    return std::filesystem::equivalent(a, b, error);
}

// Copies bytes [offset, offset + size) of the file at path to out.
void copyBytes(const std::string& path, uint64_t offset, uint64_t size, OutputFile& out)
{
    InputFile in(path);
    in.requireOpen();
    std::vector<unsigned char> block(copyBlockBytes);
    while (size > 0) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(size, block.size()));
        if (in.readAt(offset, block.data(), wanted) != wanted)
            fail("Cannot read " + path + ": it is shorter than when it was opened");
        out.write(block.data(), wanted);
        offset += wanted;
        size -= wanted;
    }
}

void writePairCopy(const std::string& metaPath, const SigmfOrigin& origin, const std::string& metadata)
{
    const std::string dataPath = sigmfDataPath(metaPath);
    for (const std::string& target : {metaPath, dataPath})
        if (sameFile(target, origin.dataPath))
            fail("Cannot save to " + target + ": it is the open recording's own file");
    OutputFile data(dataPath);
    OutputFile meta(metaPath);
    copyBytes(origin.dataPath, origin.dataOffset, origin.dataSize, data);
    meta.write(metadata);
    data.finish();
    meta.finish();
    commitPair(data, meta);
}

void writeArchiveCopy(const std::string& path, const SigmfOrigin& origin, const std::string& metadata)
{
    if (sameFile(path, origin.dataPath))
        fail("Cannot save to " + path + ": it is the open recording's own file");
    std::string stem = std::filesystem::path(path).filename().string();
    stem.resize(stem.size() - sigmfArchiveEnding.size());
    if (stem.empty())
        stem = unnamedStem;
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    OutputFile archive(path);
    const auto writeBytes = [&archive](const std::vector<unsigned char>& bytes) {
        archive.write(bytes.data(), bytes.size());
    };
    writeBytes(tarFileHeader(stem + "/" + stem + sigmfMetaEnding, metadata.size(), now));
    archive.write(metadata);
    writeBytes(std::vector<unsigned char>(tarPadding(metadata.size()), 0));
    writeBytes(tarFileHeader(stem + "/" + stem + sigmfDataEnding, origin.dataSize, now));
    copyBytes(origin.dataPath, origin.dataOffset, origin.dataSize, archive);
    writeBytes(std::vector<unsigned char>(tarPadding(origin.dataSize) + tarEndBytes, 0));
    archive.finish();
    archive.commit();
}

} // namespace

void rewriteMetadataFile(const std::string& metaPath, const std::string& loadedMetadata,
                         const std::vector<RecordingAnnotation>& annotations,
                         const std::vector<std::string>& unread)
{
    // The file a link points to is rewritten, and the link kept.
    std::error_code error;
    std::string target = std::filesystem::weakly_canonical(metaPath, error).string();
    if (error || target.empty())
        target = metaPath;
    const std::optional<std::string> now = currentText(target);
    std::string text;
    try {
        text = metadataWithAnnotations(now ? *now : loadedMetadata,
                                       std::filesystem::path(metaPath).filename().string(),
                                       annotations, unread);
    } catch (const nlohmann::json::exception&) {
        fail("Cannot rewrite " + metaPath + ": it is no longer valid SigMF metadata");
    }
    OutputFile file(target);
    file.keepPermissionsOf(target);
    file.write(text);
    file.finish();
    file.commit();
}

std::string datasetMetadataPath(const std::string& recordingPath)
{
    return describingMetaPath(recordingPath);
}

DatasetFacts datasetFactsOf(const std::string& recordingPath, const SampleSource& samples,
                            double sampleRate, const RecordingInfo& info)
{
    const std::optional<StoredSamples> stored = samples.stored();
    if (!stored || !stored->file)
        fail("This recording is held in memory: there is no file for SigMF metadata to describe");
    if (stored->datatype == "ci24_le")
        fail("SigMF has no datatype for 24-bit samples: export the recording (File, Export "
             "selection) to annotate a copy of it");
    const uint64_t fileSize = stored->file->size();
    const uint64_t end = stored->offset + samples.size() * stored->sampleSize;
    if (end > fileSize)
        fail("Cannot describe " + recordingPath + ": it is shorter than when it was opened");
    DatasetFacts facts;
    facts.dataset = std::filesystem::path(recordingPath).filename().string();
    facts.datatype = stored->datatype;
    facts.sampleRate = sampleRate;
    facts.headerBytes = stored->offset;
    facts.trailingBytes = fileSize - end;
    facts.frequency = info.centreFrequency;
    if (const std::optional<TimeStamp> start = TimeStamp::parse(info.startTime))
        facts.datetime = start->isoText();
    return facts;
}

void writeDatasetMetadata(const std::string& metaPath, const DatasetFacts& facts,
                          const std::vector<RecordingAnnotation>& annotations)
{
    // The rename refuses a name that is taken, whenever it was taken.
    OutputFile file(metaPath);
    file.write(datasetMetadata(facts, annotations));
    file.finish();
    if (!file.commitNew())
        fail("Cannot save to " + metaPath + ": the file exists already (open it to annotate the "
             "recording through it, or move it away)");
}

void writeSigmfCopy(const std::string& destination, const SigmfOrigin& origin,
                    const std::vector<RecordingAnnotation>& annotations)
{
    std::string metadata;
    try {
        const std::string name = std::filesystem::path(origin.dataPath).filename().string();
        metadata = metadataWithAnnotations(origin.metadata, name, annotations, origin.unreadAnnotations, true);
    } catch (const nlohmann::json::exception&) {
        fail("The recording's metadata cannot be written again");
    }
    if (endsWithAnyCase(destination, sigmfMetaEnding))
        writePairCopy(destination, origin, metadata);
    else if (endsWithAnyCase(destination, sigmfArchiveEnding))
        writeArchiveCopy(destination, origin, metadata);
    else
        fail("Cannot save to " + destination + ": the name must end in " + sigmfMetaEnding + " or "
             + sigmfArchiveEnding);
}
