#pragma once
// The one IQ recording: sample rate, count and a source of its I and Q samples
// (usually left in the file and decoded on demand), taken from what a reader made.

#include "io/RecordingContents.h"
#include "io/SampleSource.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class Recording
{
public:
    Recording();
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;
    Recording(Recording&&) = delete;
    Recording& operator=(Recording&&) = delete;

    bool isLoaded() const { return loaded; }
    // Samples per second, exactly as the file gives it (not always whole);
    // meaningful once isLoaded() is true.
    double sampleRate() const { return rate; }
    // Number of samples in each of iSamples() and qSamples().
    uint32_t sampleCount() const { return count; }
    // The samples, decoded on demand; null before the first load. Work that
    // outlives this recording's contents holds on to it.
    std::shared_ptr<const SampleSource> samples() const { return source; }
    const RecordingInfo& info() const { return details; }
    // The whole sequences, decoded on first use and kept (for callers that want
    // them all; the views read samples() instead). Throws std::runtime_error when
    // the samples cannot be read or do not fit in the available memory.
    const std::vector<double>& iSamples() const;
    const std::vector<double>& qSamples() const;

    // The loaders throw std::runtime_error (or the JSON library's or std::stoi's
    // exception) with a user-facing message; a failed load leaves the recording
    // exactly as it was before the call.

    // Stereo WAV (RIFF, RF64 or BW64; 8-bit unsigned, 16-, 24- or 32-bit integer
    // PCM, 32- or 64-bit float, plain or extensible): left channel I, right channel Q,
    // values as stored.
    void loadWav(const std::string& path);
    // SigMF pair, given the path of the metadata file; the data file is the same
    // path with ".sigmf-meta" (in any letter case) replaced by (or, lacking it,
    // followed by) ".sigmf-data", or the file its core:dataset names. A metadata
    // path that holds a tar archive is read as by loadSigmfArchive.
    void loadSigmf(const std::string& metaPath);
    // The first recording of a SigMF archive (".sigmf", a tar of metadata and
    // data files), its samples read in place.
    void loadSigmfArchive(const std::string& path);
    // Headerless samples in a SigMF datatype ("cf32_le", "ri16_be", ...) at a rate
    // taken exactly, above 0 and below 2^32 samples per second.
    void loadBinary(const std::string& path, const std::string& datatype, double sampleRate);

    // Replaces the whole recording at once and marks it loaded. Throws
    // std::invalid_argument when i and q differ in length or hold more than
    // 2^32 - 1 samples, leaving the recording unchanged.
    void assign(double sampleRate, std::vector<double> i, std::vector<double> q);

    // The same with the samples given as a source (and what the file says about them).
    void assignSource(double sampleRate, std::shared_ptr<const SampleSource> samples,
                      RecordingInfo info = {});
    // What a reader made of a file becomes the recording (as assignSource).
    void take(RecordingContents contents);

    // Replaces the annotations (an edit of them; the samples stay as they are).
    void setAnnotations(std::vector<RecordingAnnotation> annotations);

    // Exchanges the whole contents (flag, rate, count, sequences) with other
    // without copying samples: a recording read on the side can replace this one.
    void swap(Recording& other) noexcept;

private:
    // Makes a fully read recording the current one; a failed load never gets here,
    // so it leaves the previous recording as it was.
    void commit(double sampleRate, std::vector<double>& i, std::vector<double>& q);
    void commit(double sampleRate, std::shared_ptr<const SampleSource> samples, RecordingInfo info);
    void decodeWhole() const;

    bool loaded = false;
    double rate = 0;
    uint32_t count = 0;
    std::shared_ptr<const SampleSource> source;
    RecordingInfo details;
    // Filled by the first iSamples() / qSamples() of a source that is not in memory.
    mutable std::mutex wholeMutex;
    mutable std::vector<double> iWhole;
    mutable std::vector<double> qWhole;
};
