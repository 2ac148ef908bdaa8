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

    // Stereo 32-bit float WAV: left channel I, right channel Q.
    void loadWav(const std::string& path);
    // SigMF pair, given the path of the metadata file.
    void loadSigmf(const std::string& metaPath);
    // Headerless samples in a SigMF datatype ("cf32_le", "ri16_be", ...).
    void loadBinary(const std::string& path, const std::string& datatype, double sampleRate);

    // Replaces the whole recording at once and marks it loaded. Throws
    // std::invalid_argument when i and q differ in length or hold more than
    // 2^32 - 1 samples, leaving the recording unchanged.
    void assign(uint32_t sampleRate, std::vector<double> i, std::vector<double> q);

private:
    bool loaded = false;
    uint32_t rate = 0;
    uint32_t count = 0;
    std::vector<double> iData;
    std::vector<double> qData;
};
