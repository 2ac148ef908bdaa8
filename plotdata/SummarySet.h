#pragma once
// The summaries kept for one recording: found in the cache folder or built by
// a pass over the whole recording, then handed to the passes over its ranges.
// Each is kept in a cache file when the recording lies in a file and the
// folder has room (at most a twentieth of the recording's bytes for all kinds
// together), unless a fixed budget in memory holds finer levels; otherwise in
// memory. Safe to use from several threads.

#include "dsp/BlockStream.h"
#include "plotdata/SpectrogramSummary.h"
#include "plotdata/SummaryFolder.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SampleSource;

// What summaries may take.
struct SummaryBudget
{
    // In memory, for each kind of summary kept there.
    uint64_t memoryBytes = uint64_t(32) << 20;
    // On disk, a fraction of the recording's stored bytes for each kind.
    double spectrogramShare = 0.035;
};

class SummarySet
{
public:
    // Summaries of `source` at sampleRate; cache files go to `folder` when given.
    SummarySet(std::shared_ptr<const SampleSource> source, double sampleRate, std::optional<SummaryFolder> folder,
               SummaryBudget budget = {});

    // The summary of the spectrogram with these settings when one is ready.
    std::shared_ptr<const SpectrogramSummary> spectrogram(uint32_t exponent, double overlap,
                                                          const DcOffset& offset) const;
    // One to build now by the pass over the whole recording: null when one is
    // ready (a cache file of these settings makes it ready at once), another
    // is being built, or no level fits.
    std::shared_ptr<SpectrogramSummary> buildSpectrogram(uint32_t exponent, double overlap, const DcOffset& offset);
    // A build whose store has been finished becomes ready (one whose store
    // failed is dropped).
    void finished(const std::shared_ptr<SpectrogramSummary>& built);

private:
    // The store of a summary of this key and layout: an existing cache file
    // (then `ready` is set), a new one, or memory when no file can be had or
    // the layout for memory is another.
    template <typename Summary>
    std::shared_ptr<Summary> prepared(Summary fileSized, Summary memorySized, bool& ready);

    std::shared_ptr<const SampleSource> source;
    double sampleRate;
    std::optional<SummaryFolder> folder;
    SummaryBudget budget;
    std::string identity;
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<const SpectrogramSummary>> spectrograms;
    std::vector<std::weak_ptr<SpectrogramSummary>> spectrogramBuilds;
};
