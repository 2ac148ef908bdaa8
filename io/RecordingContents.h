#pragma once
// What a reader makes of a recording's file: its sample rate, its samples (usually
// left in the file and decoded on demand) and what the file says about them.

#include "io/SampleSource.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// A labelled stretch of a recording, as a SigMF annotation gives it.
struct RecordingAnnotation
{
    uint64_t sampleStart = 0;
    uint64_t sampleCount = 0;
    // Lower and upper edges in baseband hertz (the capture's centre frequency
    // taken off); both or neither.
    std::optional<double> lowFrequency;
    std::optional<double> highFrequency;
    std::string label;
    // core:comment, or core:description where a file uses that instead.
    std::string comment;
    // The whole SigMF annotation object as JSON text, keys in the file's order
    // (empty for other formats), so that an export or a save keeps the fields
    // this structure leaves out.
    std::string sigmfFields;
};

// One SigMF capture: where it starts and what it says about its samples (a
// retune or a gap in the recording starts a new one).
struct RecordingCapture
{
    uint64_t sampleStart = 0;
    std::optional<double> frequency;
    // core:datetime as the file gives it, empty when absent.
    std::string datetime;
};

// How a SigMF recording was stored, for a save that keeps everything the file says.
struct SigmfOrigin
{
    // The whole metadata document as read.
    std::string metadata;
    // Read from a ".sigmf" archive rather than a metadata file beside its data.
    bool archive = false;
    // The dataset's bytes: the file holding them (the archive itself, or the data
    // file) and where they lie in it, header and trailing bytes included.
    std::string dataPath;
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;
    // Entries of "annotations" the reader could not use, as JSON text: a save
    // writes them back as they were.
    std::vector<std::string> unreadAnnotations;
};

// What a recording's file says about it besides its samples.
struct RecordingInfo
{
    // The values are offset binary (unsigned integers around mid-scale), so a
    // DC offset is expected and removed by default.
    bool unsignedSamples = false;
    // Centre frequency of the first capture (the one at sample 0) in Hz, when the
    // file gives one.
    std::optional<double> centreFrequency;
    // Start of that capture as the file gives it (for example "2024-05-01 12:00:00"),
    // empty when unknown.
    std::string startTime;
    // A remark for the user about how the file was read, empty when none.
    std::string note;
    // In the order the file lists them; entries the reader could not make
    // sense of are left out.
    std::vector<RecordingAnnotation> annotations;
    // SigMF captures in the order of their starts, whatever the file's order
    // (empty for other formats).
    std::vector<RecordingCapture> captures;
    // The files the recording is read from, the one opened first (a pair's
    // metadata, then its dataset).
    std::vector<std::string> files;
    // The SigMF metadata's "global" object as JSON text, keys in the file's order
    // (empty for other formats), so that an export keeps the fields that still hold.
    std::string sigmfGlobal;
    // Set for SigMF recordings only.
    std::optional<SigmfOrigin> sigmf;
};

// Sample rates a recording takes: finite, above 0 and below 2^32 samples per
// second, fractions kept.
constexpr double sampleRateLimit = 4294967296.0;
inline bool validSampleRate(double rate)
{
    return rate > 0.0 && rate < sampleRateLimit;
}
// The words of a refusal of any other rate.
constexpr const char* sampleRateRange = "must be above 0 and below 4294967296 samples per second";

// Adds a remark to the note, on a line of its own (nothing for an empty remark).
inline void addNote(RecordingInfo& info, const std::string& remark)
{
    if (!remark.empty())
        info.note = info.note.empty() ? remark : info.note + "\n" + remark;
}

struct RecordingContents
{
    // Samples per second, exactly as the file gives it (a band export's may have
    // a fraction).
    double sampleRate = 0;
    std::shared_ptr<const SampleSource> samples;
    RecordingInfo info;
};
