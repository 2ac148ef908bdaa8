// The export's checks, its destination files and their containers: SigMF pair,
// SigMF archive (metadata first, its digest filled in once the data is
// written), WAV.

#include "export/ExportSelection.h"

#include "export/ExportData.h"
#include "export/ExportMetadata.h"
#include "export/OutputFile.h"
#include "export/Sha512.h"
#include "export/TarHeader.h"
#include "export/TimeStamp.h"
#include "export/WavHeader.h"
#include "io/CaptureLookup.h"
#include "io/SigmfNames.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <stdexcept>

namespace {

using Json = nlohmann::ordered_json;

const std::string wavEnding = ".wav";
constexpr int jsonIndent = 2;
const std::string unnamedStem = "recording";
// Stands for the data's digest until it is known: the same length as one.
const std::string digestPlaceholder(128, '0');

enum class Container { pair, archive, wav };

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// The shortest text that reads back as value, as a plain decimal ("100000", never
// "1e+05"), so that the numbers of one description look alike.
std::string shortest(double value)
{
    char text[512];
    const auto result = std::to_chars(text, text + sizeof(text), value, std::chars_format::fixed);
    return std::string(text, result.ptr);
}

void checkRequest(const ExportSource& source, const ExportRequest& request)
{
    if (!source.samples || !(source.sampleRate > 0))
        fail("There is no recording to export");
    if (!(request.first < request.end && request.end <= source.samples->size()))
        fail("The time range to export is empty or beyond the end of the recording");
    if (request.band) {
        const double half = source.sampleRate / 2.0;
        const double low = request.band->low;
        const double high = request.band->high;
        if (!(std::isfinite(low) && std::isfinite(high) && low < high && low >= -half
              && high <= half))
            fail("The band to export must lie within -" + shortest(half) + " and " + shortest(half)
                 + " Hz, its low edge below its high edge");
    }
}

// Refuses a destination that is one of the recording's own files.
void refuseSourceFiles(const ExportSource& source, const std::vector<std::string>& targets)
{
    for (const std::string& target : targets)
        for (const std::string& file : source.files) {
            std::error_code error;
            if (std::filesystem::equivalent(target, file, error))
                fail("Cannot export to " + target
                     + ": it is a file of the open recording, which the export would replace");
        }
}

std::string description(const ExportSource& source, const ExportRequest& request, const ExportData& data)
{
    const std::string name =
        source.files.empty() ? "a recording" : std::filesystem::path(source.files.front()).filename().string();
    std::string text = "Exported from " + name + ", " + shortest(request.startSeconds) + " s to "
                       + shortest(request.stopSeconds) + " s";
    if (request.band)
        text += ", band " + shortest(request.band->low) + " Hz to " + shortest(request.band->high)
                + " Hz, its centre " + shortest(data.shift()) + " Hz moved to 0 Hz";
    return text;
}

// The start of the capture holding source sample `at`, moved to that sample (a
// recording retuned or restarted mid-file has several); for the range's first
// sample, lacking that, the recording's start moved to it.
std::optional<TimeStamp> startAt(const ExportSource& source, uint64_t at, bool first)
{
    const std::vector<RecordingCapture>& captures = source.info.captures;
    const std::optional<std::size_t> index = captureIndexAt(source.info, at);
    if (index && !captures[*index].datetime.empty()) {
        const std::optional<TimeStamp> start = TimeStamp::parse(captures[*index].datetime);
        const uint64_t from = std::min(captures[*index].sampleStart, at);
        return start ? std::optional(start->plusSamples(at - from, source.sampleRate)) : std::nullopt;
    }
    const std::optional<TimeStamp> start = first ? TimeStamp::parse(source.info.startTime) : std::nullopt;
    if (!start)
        return std::nullopt;
    return start->plusSamples(at, source.sampleRate);
}

// The export's capture at its sample m: the centre of the source's capture
// holding that sample (plus the band's shift), and its start moved to the sample.
ExportCapture exportCaptureAt(const ExportSource& source, const ExportRequest& request,
                              const ExportData& data, uint64_t m)
{
    const uint64_t at = request.first + m * data.decimation();
    ExportCapture capture;
    capture.sampleStart = m;
    if (const std::optional<double> centre = centreFrequencyAt(source.info, at))
        capture.frequency = *centre + data.shift();
    if (const std::optional<TimeStamp> start = startAt(source, at, m == 0))
        capture.datetime = start->isoText();
    return capture;
}

// The export's captures: one at its first sample, then one wherever a capture of
// the source begins within the range, at the first export sample it holds (of
// captures that begin between the same two export samples, the last).
std::vector<ExportCapture> exportCaptures(const ExportSource& source, const ExportRequest& request,
                                          const ExportData& data)
{
    const uint64_t d = data.decimation();
    std::vector<ExportCapture> captures = {exportCaptureAt(source, request, data, 0)};
    for (const RecordingCapture& capture : source.info.captures) {
        if (capture.sampleStart <= request.first || capture.sampleStart >= request.end)
            continue;
        const uint64_t m = (capture.sampleStart - request.first + d - 1) / d;
        if (m >= data.sampleCount())
            continue;
        if (captures.back().sampleStart == m)
            captures.back() = exportCaptureAt(source, request, data, m);
        else
            captures.push_back(exportCaptureAt(source, request, data, m));
    }
    return captures;
}

std::string metadataText(const ExportSource& source, const ExportRequest& request,
                         const ExportData& data, const std::string& digest)
{
    AnnotationWindow window;
    window.first = request.first;
    window.end = request.end;
    window.decimation = data.decimation();
    if (request.band) {
        window.bandLow = request.band->low;
        window.bandHigh = request.band->high;
    }
    window.shift = data.shift();

    ExportFacts facts;
    facts.datatype = data.datatype();
    facts.sampleRate = data.sampleRate();
    facts.description = description(source, request, data);
    facts.sha512 = digest;
    facts.captures = exportCaptures(source, request, data);
    if (request.band)
        facts.frequencyShift = data.shift();
    // A source named by bytes that are not UTF-8 is described with U+FFFD for them.
    return exportMetadata(source.info, facts, exportedAnnotations(source.info, window))
               .dump(jsonIndent, ' ', false, nlohmann::json::error_handler_t::replace)
           + "\n";
}

void writePair(const ExportSource& source, const ExportRequest& request, const std::string& metaPath,
               const std::string& dataPath, WorkControl& control)
{
    // Both files are made before the long write, so an unwritable folder fails at once.
    OutputFile data(dataPath);
    OutputFile meta(metaPath);
    ExportData samples(source, request, false);
    Sha512 digest;
    samples.write(data, &digest, control);
    meta.write(metadataText(source, request, samples, digest.hexDigest()));
    data.finish();
    meta.finish();
    control.check();
    commitPair(data, meta);
}

void writeArchive(const ExportSource& source, const ExportRequest& request, WorkControl& control)
{
    OutputFile archive(request.path);
    ExportData samples(source, request, false);
    std::string stem = std::filesystem::path(request.path).filename().string();
    stem.resize(stem.size() - sigmfArchiveEnding.size());
    if (stem.empty())
        stem = unnamedStem; // "dir/.sigmf": the members still need a folder and names
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const auto writeBytes = [&archive](const std::vector<unsigned char>& bytes) {
        archive.write(bytes.data(), bytes.size());
    };

    // The metadata goes first, as archivers list it; its digest is filled in last.
    const std::string draft = metadataText(source, request, samples, digestPlaceholder);
    writeBytes(tarFileHeader(stem + "/" + stem + sigmfMetaEnding, draft.size(), now));
    const uint64_t metaOffset = archive.size();
    archive.write(draft);
    writeBytes(std::vector<unsigned char>(tarPadding(draft.size()), 0));
    writeBytes(tarFileHeader(stem + "/" + stem + sigmfDataEnding, samples.byteCount(), now));
    Sha512 digest;
    samples.write(archive, &digest, control);
    writeBytes(std::vector<unsigned char>(tarPadding(samples.byteCount()) + tarEndBytes, 0));
    const std::string final = metadataText(source, request, samples, digest.hexDigest());
    if (final.size() != draft.size())
        throw std::logic_error("Archive metadata changed length when its digest was filled in");
    archive.writeAt(metaOffset, final.data(), final.size());
    archive.finish();
    control.check();
    archive.commit();
}

void writeWav(const ExportSource& source, const ExportRequest& request, WorkControl& control)
{
    ExportData samples(source, request, true);
    const double rate = samples.sampleRate();
    if (std::floor(rate) != rate)
        fail("Cannot export to " + request.path + ": a WAV file holds whole sample rates only, and this "
             "export's is " + shortest(rate) + " samples per second (" + sigmfMetaEnding + " and "
             + sigmfArchiveEnding + " keep it)");
    OutputFile file(request.path);
    // The chunk has room for the first capture only.
    WavAuxi auxi;
    auxi.start = startAt(source, request.first, true);
    if (auxi.start)
        auxi.stop = auxi.start->plusSamples(request.end - request.first, source.sampleRate);
    auxi.centreFrequency = exportCaptureAt(source, request, samples, 0).frequency;
    const std::vector<unsigned char> header =
        wavHeader(samples.wavFormat(), static_cast<uint32_t>(rate), samples.sampleCount(), auxi);
    file.write(header.data(), header.size());
    samples.write(file, nullptr, control);
    file.finish();
    control.check();
    file.commit();
}

} // namespace

void exportSelection(const ExportSource& source, const ExportRequest& request, WorkControl& control)
{
    checkRequest(source, request);
    const std::string& path = request.path;
    control.addPlanned(request.end - request.first);
    if (endsWithAnyCase(path, sigmfMetaEnding)) {
        const std::string dataPath = sigmfDataPath(path);
        refuseSourceFiles(source, {path, dataPath});
        writePair(source, request, path, dataPath, control);
    } else if (endsWithAnyCase(path, sigmfArchiveEnding)) {
        refuseSourceFiles(source, {path});
        writeArchive(source, request, control);
    } else if (endsWithAnyCase(path, wavEnding)) {
        refuseSourceFiles(source, {path});
        writeWav(source, request, control);
    } else {
        fail("Cannot export to " + path + ": the name must end in " + sigmfMetaEnding + ", "
             + sigmfArchiveEnding + " or " + wavEnding);
    }
}
