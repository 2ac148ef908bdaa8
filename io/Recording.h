#pragma once
// The one in-memory IQ recording: sample rate, count and the I and Q sequences,
// filled by one of the format readers.

#include <cstdint>
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
    // Samples per second; meaningful once isLoaded() is true.
    uint32_t sampleRate() const { return rate; }
    // Number of samples in each of iSamples() and qSamples().
    uint32_t sampleCount() const { return count; }
    const std::vector<double>& iSamples() const { return iData; }
    const std::vector<double>& qSamples() const { return qData; }

    // The loaders throw std::runtime_error (or the JSON library's or std::stoi's
    // exception) with a user-facing message; a failed load leaves the recording
    // exactly as it was before the call.

    // Stereo 32-bit float WAV (IEEE float or extensible float): left channel I,
    // right channel Q.
    void loadWav(const std::string& path);
    // SigMF pair, given the path of the metadata file; the data file is the same
    // path with ".sigmf-meta" replaced by (or, lacking it, followed by) ".sigmf-data".
    void loadSigmf(const std::string& metaPath);
    // Headerless samples in a SigMF datatype ("cf32_le", "ri16_be", ...); the rate
    // is truncated to whole samples per second and must come to 1 ... 2^32 - 1.
    void loadBinary(const std::string& path, const std::string& datatype, double sampleRate);

    // Replaces the whole recording at once and marks it loaded. Throws
    // std::invalid_argument when i and q differ in length or hold more than
    // 2^32 - 1 samples, leaving the recording unchanged.
    void assign(uint32_t sampleRate, std::vector<double> i, std::vector<double> q);

    // Exchanges the whole contents (flag, rate, count, sequences) with other
    // without copying samples: a recording read on the side can replace this one.
    void swap(Recording& other) noexcept;

private:
    // Makes a fully read recording the current one; a failed load never gets here,
    // so it leaves the previous recording as it was.
    void commit(uint32_t sampleRate, std::vector<double>& i, std::vector<double>& q);

    bool loaded = false;
    uint32_t rate = 0;
    uint32_t count = 0;
    std::vector<double> iData;
    std::vector<double> qData;
};
