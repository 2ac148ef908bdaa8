#pragma once
// A recording's samples, decoded on demand by index range. A source never
// changes once made, so the GUI and the workers that compute the views share
// it; whoever holds one keeps its file (or memory) alive.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class InputFile;

// How a source's samples lie in their file, so that they can be copied unchanged.
struct StoredSamples
{
    const InputFile* file = nullptr; // open as long as the source lives
    uint64_t offset = 0;             // byte where sample 0 starts
    uint32_t sampleSize = 0;         // bytes per sample
    // The SigMF datatype with its byte order ("cu8_le", "ci16_be", ...); 24-bit
    // WAV PCM, which SigMF cannot name, is "ci24_le".
    std::string datatype;
};

class SampleSource
{
public:
    virtual ~SampleSource() = default;

    // Number of samples.
    virtual uint64_t size() const = 0;
    // Decodes samples [first, first + count) into i[0 .. count) and q[0 .. count)
    // (Q is 0 for real data), values as stored in the file. Requires
    // first + count <= size(). Throws std::runtime_error with a user-facing message
    // when the samples cannot be read (the file was shortened or damaged after it
    // was opened). Safe to call from several threads at once.
    virtual void read(uint64_t first, size_t count, double* i, double* q) const = 0;

    // What the samples are, for caches of things computed from them: the same
    // text for the same decoded samples (a file's path, size, modification time
    // and layout, the datatype it is read as), empty when the source has none
    // worth keeping (samples in memory).
    virtual std::string identity() const { return {}; }
    // Bytes the samples take where they are stored (in their file); 0 in memory.
    virtual uint64_t storedBytes() const { return 0; }

    // The whole I and Q sequences when the source holds them in memory, else null.
    virtual const std::vector<double>* memoryI() const { return nullptr; }
    virtual const std::vector<double>* memoryQ() const { return nullptr; }
    // Where the samples are stored, for a source read from a file; nothing for
    // samples held in memory.
    virtual std::optional<StoredSamples> stored() const { return std::nullopt; }
};

// A source over sequences held in memory (i and q of equal length).
std::shared_ptr<const SampleSource> memorySamples(std::vector<double> i, std::vector<double> q);
