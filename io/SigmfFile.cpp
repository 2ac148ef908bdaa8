// SigMF metadata interpreted (rate, datatype, channels, dataset bounds, the
// captures' starts, frequencies and times, the annotations) and its samples
// opened for reading on demand. Objects keep their keys in the file's order.

#include "io/SigmfFile.h"

#include "io/CaptureLookup.h"
#include "io/FileError.h"
#include "io/FileSamples.h"
#include "io/InputFile.h"
#include "io/MetadataJson.h"
#include "io/SigmfNames.h"
#include "io/TarArchive.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

using Json = nlohmann::ordered_json;

// The metadata of an archive is read into memory whole; real ones are kilobytes.
constexpr uint64_t maxArchivedMetadataBytes = 64 << 20;

[[noreturn]] void fail(const std::string& message)
{
    throw std::runtime_error(message);
}

// The rate exactly as the file gives it (a band export's may have a fraction).
double sigmfSampleRate(const Json& value)
{
    double rate = 0;
    if (value.is_number()) {
        rate = value.get<double>();
    } else if (value.is_boolean()) {
        rate = value.get<bool>() ? 1 : 0;
    } else {
        // Strings, arrays and objects: the library's own "type must be number" error.
        rate = static_cast<double>(value.get<int32_t>());
    }
    if (!validSampleRate(rate))
        fail("Invalid sample rate in SigMF metadata file: " + value.dump() + " (" + sampleRateRange + ")");
    return rate;
}

// SigMF writes its 8-bit types without a byte order, which 8-bit values do not have.
std::string withByteOrder(const std::string& sigmfDatatype)
{
    if (sigmfDatatype == "ci8" || sigmfDatatype == "cu8" || sigmfDatatype == "ri8"
        || sigmfDatatype == "ru8")
        return sigmfDatatype + "_le";
    return sigmfDatatype;
}

// The member key of object, or null when object is not an object, lacks the key
// or holds null there.
const Json* member(const Json& object, const char* key)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(key);
    return found == object.end() || found->is_null() ? nullptr : &*found;
}

// A whole number of at least minimum, or nothing.
std::optional<uint64_t> wholeNumber(const Json& value, uint64_t minimum)
{
    std::optional<uint64_t> number;
    if (value.is_number_unsigned()) {
        number = value.get<uint64_t>();
    } else if (value.is_number_integer()) {
        if (value.get<int64_t>() >= 0)
            number = static_cast<uint64_t>(value.get<int64_t>());
    } else if (value.is_number_float()) {
        const double x = value.get<double>();
        if (x >= 0 && x < 1.8e19 && std::floor(x) == x)
            number = static_cast<uint64_t>(x);
    }
    if (number && *number < minimum)
        number.reset();
    return number;
}

uint64_t byteCount(const Json& holder, const char* key)
{
    const Json* value = member(holder, key);
    if (!value)
        return 0;
    const std::optional<uint64_t> bytes = wholeNumber(*value, 0);
    if (!bytes)
        fail(std::string("Invalid ") + key + " in SigMF metadata file: " + value->dump()
             + " (must be a whole number of bytes)");
    return *bytes;
}

// A finite number, or nothing.
std::optional<double> finiteNumber(const Json& value)
{
    if (!value.is_number() || !std::isfinite(value.get<double>()))
        return std::nullopt;
    return value.get<double>();
}

// One entry of "annotations", or nothing when it lacks a whole sample start or
// count, gives one frequency edge without the other, edges that are not finite
// or not in order, or a label or comment that is not text. Edges are made
// baseband by taking off the centre frequency of the capture holding the
// annotation's start, when there is one.
std::optional<RecordingAnnotation> annotationOf(const Json& entry, const RecordingInfo& info)
{
    const Json* start = member(entry, "core:sample_start");
    const Json* count = member(entry, "core:sample_count");
    if (!start || !count)
        return std::nullopt;
    RecordingAnnotation annotation;
    const std::optional<uint64_t> first = wholeNumber(*start, 0);
    const std::optional<uint64_t> length = wholeNumber(*count, 0);
    if (!first || !length)
        return std::nullopt;
    annotation.sampleStart = *first;
    annotation.sampleCount = *length;

    const Json* lower = member(entry, "core:freq_lower_edge");
    const Json* upper = member(entry, "core:freq_upper_edge");
    if (lower || upper) {
        if (!lower || !upper)
            return std::nullopt;
        std::optional<double> low = finiteNumber(*lower);
        std::optional<double> high = finiteNumber(*upper);
        if (!low || !high || *low > *high)
            return std::nullopt;
        if (const std::optional<double> centre = centreFrequencyAt(info, annotation.sampleStart)) {
            *low -= *centre;
            *high -= *centre;
        }
        annotation.lowFrequency = low;
        annotation.highFrequency = high;
    }

    // Some writers put the comment in core:description; core:comment wins.
    for (auto [key, text] : {std::pair{"core:label", &annotation.label},
                             std::pair{"core:description", &annotation.comment},
                             std::pair{"core:comment", &annotation.comment}}) {
        if (const Json* value = member(entry, key)) {
            if (!value->is_string())
                return std::nullopt;
            *text = value->get<std::string>();
        }
    }
    annotation.sigmfFields = entry.dump();
    return annotation;
}

// One entry of "captures": its whole sample start (the first capture's may be
// left out, meaning 0), a finite frequency and a datetime text when it gives
// them; nothing for an entry without a usable start.
std::optional<RecordingCapture> captureOf(const Json& entry, std::size_t index)
{
    RecordingCapture capture;
    const Json* start = member(entry, "core:sample_start");
    const std::optional<uint64_t> sample = start ? wholeNumber(*start, 0) : std::nullopt;
    if (sample)
        capture.sampleStart = *sample;
    else if (index != 0)
        return std::nullopt;
    if (const Json* frequency = member(entry, "core:frequency"))
        capture.frequency = finiteNumber(*frequency);
    const Json* datetime = member(entry, "core:datetime");
    if (datetime && datetime->is_string())
        capture.datetime = datetime->get<std::string>();
    return capture;
}

// The JSON type of value in words: "a string", "an array", ...
std::string typeWords(const Json& value)
{
    if (value.is_string())
        return "a string";
    if (value.is_array())
        return "an array";
    if (value.is_object())
        return "an object";
    if (value.is_boolean())
        return "a boolean";
    if (value.is_null())
        return "null";
    return "a number";
}

// Refuses a member of the wrong type: where it is, what it holds and what it must be.
[[noreturn]] void wrongType(const std::string& name, const std::string& where, const Json& value,
                            const std::string& wanted)
{
    std::string shown = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (shown.size() > 40)
        shown = shown.substr(0, 37) + "...";
    throw FileError("The metadata file \"" + name + "\" gives " + where + " as " + typeWords(value)
                    + " (" + shown + "), where SigMF has " + wanted);
}

struct SigmfMetadata
{
    double rate = 0;
    std::string datatype;
    std::string dataset; // core:dataset, empty when not given
    uint64_t headerBytes = 0;
    uint64_t trailingBytes = 0;
    RecordingInfo info;
};

SigmfMetadata interpret(Json& meta, const std::string& name)
{
    SigmfMetadata result;
    if (!meta.is_object())
        wrongType(name, "the whole document", meta, "an object");
    // operator[] on a non-const document: a missing member reads as null.
    Json& global = meta["global"];
    if (!global.is_null() && !global.is_object())
        wrongType(name, "\"global\"", global, "an object");
    const Json& rateValue = global["core:sample_rate"];
    if (rateValue.is_null())
        fail("Sample rate was not found in SigMF metadata file");
    if (!rateValue.is_number() && !rateValue.is_boolean())
        wrongType(name, "\"core:sample_rate\"", rateValue, "a number of samples per second");
    result.rate = sigmfSampleRate(rateValue);
    const Json& datatypeValue = global["core:datatype"];
    if (datatypeValue.is_null())
        fail("Data type was not found in SigMF metadata file");
    if (!datatypeValue.is_string())
        wrongType(name, "\"core:datatype\"", datatypeValue, "a text such as \"cf32_le\"");
    result.datatype = withByteOrder(datatypeValue.get<std::string>());
    result.info.sigmfGlobal = global.dump();

    if (const Json* channels = member(global, "core:num_channels")) {
        const std::optional<uint64_t> count = wholeNumber(*channels, 1);
        if (!count)
            fail("Invalid core:num_channels in SigMF metadata file: " + channels->dump()
                 + " (must be a whole number of at least 1)");
        if (*count > 1)
            fail("SigMF recordings with " + std::to_string(*count)
                 + " channels are not supported: Norvale reads one channel of I/Q");
    }
    if (const Json* dataset = member(global, "core:dataset")) {
        if (!dataset->is_string())
            wrongType(name, "\"core:dataset\"", *dataset, "a file name");
        result.dataset = dataset->get<std::string>();
    }

    // The captures in the order of their starts, whatever the file's order: the
    // one at sample 0 gives the recording's centre and start time.
    struct Listed
    {
        RecordingCapture capture;
        const Json* entry;
    };
    std::vector<Listed> listed;
    const Json* captures = member(meta, "captures");
    if (captures && captures->is_array())
        for (std::size_t k = 0; k < captures->size(); ++k)
            if (std::optional<RecordingCapture> capture = captureOf((*captures)[k], k))
                listed.push_back({std::move(*capture), &(*captures)[k]});
    std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
        return a.capture.sampleStart < b.capture.sampleStart;
    });
    for (const Listed& entry : listed)
        result.info.captures.push_back(entry.capture);
    if (!listed.empty()) {
        result.info.centreFrequency = listed.front().capture.frequency;
        result.info.startTime = listed.front().capture.datetime;
    }

    // A non-conforming dataset: header bytes before the samples (given with the
    // first capture, or globally) and trailing bytes after them.
    const Json* first = listed.empty() ? nullptr : listed.front().entry;
    result.trailingBytes = byteCount(global, "core:trailing_bytes");
    result.headerBytes = byteCount(global, "core:header_bytes");
    if (first && member(*first, "core:header_bytes"))
        result.headerBytes = byteCount(*first, "core:header_bytes");
    if (captures && captures->is_array())
        for (const Json& entry : *captures)
            if (&entry != first && byteCount(entry, "core:header_bytes") != 0)
                fail("SigMF datasets with header bytes between captures are not supported");

    // Annotations only inform: one the reader cannot use is left out, never a
    // reason to refuse the file (a save writes it back as it was).
    SigmfOrigin& origin = result.info.sigmf.emplace();
    const Json* annotations = member(meta, "annotations");
    if (annotations && annotations->is_array())
        for (const Json& entry : *annotations) {
            if (std::optional<RecordingAnnotation> annotation = annotationOf(entry, result.info))
                result.info.annotations.push_back(std::move(*annotation));
            else
                origin.unreadAnnotations.push_back(entry.dump());
        }
    return result;
}

// The recording of the samples in bytes [offset, offset + size) of file, less the
// header and trailing bytes.
RecordingContents contentsOf(InputFile file, uint64_t offset, uint64_t size, SigmfMetadata& metadata)
{
    if (size == 0)
        throw FileError(metadata.info.sigmf && metadata.info.sigmf->archive
                            ? "The dataset of " + quotedPath(file.path()) + " is empty"
                            : quotedPath(file.path()) + " is empty");
    const uint64_t header = metadata.headerBytes;
    const uint64_t trailing = metadata.trailingBytes;
    if (header >= size || trailing >= size - header)
        fail("SigMF header and trailing bytes (" + std::to_string(header) + " and "
             + std::to_string(trailing) + ") leave no samples in the " + std::to_string(size)
             + "-byte dataset");
    SampleFormat format;
    RecordingContents contents;
    std::string note;
    contents.samples = FileSamples::open(std::move(file), offset + header, size - header - trailing,
                                         metadata.datatype, &format, &note);
    contents.sampleRate = metadata.rate;
    contents.info = std::move(metadata.info);
    contents.info.unsignedSamples = format.kind == 'u';
    addNote(contents.info, note);
    return contents;
}

// The metadata text as JSON; a syntax error names the file and says where, in
// lines and columns, and what was wrong, as does nesting too deep.
Json parseMetadata(const std::string& text, const std::string& name)
{
    try {
        return parseMetadataJson(text, name);
    } catch (const nlohmann::json::out_of_range& error) {
        // The one the parser raises: a number beyond a double's range.
        std::string words = error.what();
        const size_t quote = words.find('\'');
        words = quote == std::string::npos ? std::string() : " (" + words.substr(quote) + ")";
        throw FileError("The metadata file \"" + name + "\" is not valid JSON: a number is too large" + words);
    } catch (const nlohmann::json::parse_error& error) {
        const size_t at = std::min<size_t>(error.byte == 0 ? 0 : error.byte - 1, text.size());
        const size_t line = static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
        size_t lineStart = 0;
        if (at > 0) {
            const size_t newline = text.rfind('\n', at - 1);
            lineStart = newline == std::string::npos ? 0 : newline + 1;
        }
        const size_t column = at - lineStart + 1;
        // The library's words after its own "parse error at ...:" prefix.
        std::string words = error.what();
        const size_t colon = words.find(": ");
        if (colon != std::string::npos)
            words = words.substr(colon + 2);
        throw FileError("The metadata file \"" + name + "\" is not valid JSON: " + words + " (line "
                        + std::to_string(line) + ", column " + std::to_string(column) + ")");
    }
}

// The whole metadata file, which is small; refused when it cannot be read.
std::string metadataText(const std::string& path)
{
    InputFile file(path);
    file.requireOpen();
    if (file.size() > maxArchivedMetadataBytes)
        fail("SigMF metadata file \"" + path + "\" is too large: " + std::to_string(file.size())
             + " bytes");
    std::string text(static_cast<size_t>(file.size()), '\0');
    text.resize(file.readAt(0, text.data(), text.size()));
    return text;
}

bool holdsTarArchive(const std::string& path)
{
    const InputFile file(path);
    unsigned char block[tarBlockBytes];
    return file.isOpen() && file.readAt(0, block, sizeof(block)) == sizeof(block)
           && isTarHeader(block);
}

} // namespace

RecordingContents readSigmfFile(const std::string& metaPath, std::size_t archiveRecording)
{
    if (holdsTarArchive(metaPath))
        return readSigmfArchive(metaPath, archiveRecording);
    const std::string text = metadataText(metaPath);
    const std::string name = std::filesystem::path(metaPath).filename().string();
    Json meta = parseMetadata(text, name);
    SigmfMetadata metadata = interpret(meta, name);

    std::string dataPath = sigmfDataPath(metaPath);
    if (!metadata.dataset.empty()) {
        // Only a file beside the metadata: a path could reach anywhere on the disk.
        const std::filesystem::path named(metadata.dataset);
        if (named != named.filename() || metadata.dataset == "." || metadata.dataset == "..")
            fail("Cannot read the dataset of " + metaPath + ": its core:dataset \"" + metadata.dataset
                 + "\" is not the name of a file in the metadata's own folder");
        dataPath = (std::filesystem::path(metaPath).parent_path() / named).string();
    }
    InputFile data(dataPath);
    data.requireOpen();
    const uint64_t size = data.size();
    SigmfOrigin& origin = *metadata.info.sigmf;
    origin.metadata = text;
    origin.dataPath = dataPath;
    origin.dataSize = size;
    RecordingContents contents = contentsOf(std::move(data), 0, size, metadata);
    contents.info.files = {metaPath, dataPath};
    return contents;
}

std::optional<std::string> describingMetadata(const std::string& path)
{
    const std::string metaPath = describingMetaPath(path);
    std::error_code error;
    if (!std::filesystem::is_regular_file(metaPath, error) || holdsTarArchive(metaPath))
        return std::nullopt;
    const Json meta = parseMetadata(metadataText(metaPath), std::filesystem::path(metaPath).filename().string());
    const Json* global = member(meta, "global");
    const Json* dataset = global ? member(*global, "core:dataset") : nullptr;
    if (!dataset || !dataset->is_string())
        return std::nullopt;
    const std::filesystem::path named =
        std::filesystem::path(metaPath).parent_path() / dataset->get<std::string>();
    if (!std::filesystem::equivalent(named, path, error))
        return std::nullopt;
    return metaPath;
}

std::vector<std::string> sigmfArchiveRecordings(const std::string& path)
{
    InputFile archive(path);
    archive.requireOpen();
    std::vector<std::string> names;
    forEachTarMember(archive, [&](const TarMember& member) {
        if (endsWithAnyCase(member.name, sigmfMetaEnding))
            names.push_back(member.name.substr(0, member.name.size() - sigmfMetaEnding.size()));
        return true;
    });
    return names;
}

RecordingContents readSigmfArchive(const std::string& path, std::size_t recording)
{
    InputFile archive(path);
    archive.requireOpen();

    std::optional<TarMember> metaMember;
    uint64_t recordings = 0;
    forEachTarMember(archive, [&](const TarMember& member) {
        if (endsWithAnyCase(member.name, sigmfMetaEnding)) {
            if (recordings == recording)
                metaMember = member;
            ++recordings;
        }
        return true;
    });
    if (recordings == 0)
        fail("SigMF archive holds no recording: it has no " + sigmfMetaEnding + " file");
    if (!metaMember)
        fail("SigMF archive holds " + std::to_string(recordings) + " recordings, not "
             + std::to_string(recording + 1));
    const std::string stem = metaMember->name.substr(0, metaMember->name.size() - sigmfMetaEnding.size());
    const std::string dataName = stem + sigmfDataEnding;
    std::optional<TarMember> dataMember;
    forEachTarMember(archive, [&](const TarMember& member) {
        if (member.name.size() == dataName.size() && endsWithAnyCase(member.name, sigmfDataEnding)
            && member.name.compare(0, stem.size(), stem) == 0) {
            dataMember = member;
            return false;
        }
        return true;
    });
    if (!dataMember)
        fail("SigMF archive holds no dataset for \"" + metaMember->name + "\" (expected \""
             + dataName + "\")");

    if (metaMember->size > maxArchivedMetadataBytes)
        fail("SigMF metadata file \"" + metaMember->name + "\" is too large: "
             + std::to_string(metaMember->size) + " bytes");
    std::string text(static_cast<std::size_t>(metaMember->size), '\0');
    if (archive.readAt(metaMember->offset, text.data(), text.size()) != text.size())
        fail("SigMF archive is truncated: \"" + metaMember->name + "\" is shorter than its header says");
    Json meta = parseMetadata(text, metaMember->name);
    SigmfMetadata metadata = interpret(meta, metaMember->name);
    // The archive's own dataset is the recording's; a core:dataset names no file here.
    if (recordings > 1) {
        const std::string name = std::filesystem::path(stem).filename().string();
        metadata.info.note = "The archive holds " + std::to_string(recordings)
                             + " recordings; this is \"" + name + "\" (" + std::to_string(recording + 1)
                             + " of " + std::to_string(recordings) + ")";
    }
    SigmfOrigin& origin = *metadata.info.sigmf;
    origin.metadata = std::move(text);
    origin.archive = true;
    origin.dataPath = path;
    origin.dataOffset = dataMember->offset;
    origin.dataSize = dataMember->size;
    RecordingContents contents =
        contentsOf(std::move(archive), dataMember->offset, dataMember->size, metadata);
    contents.info.files = {path};
    return contents;
}
