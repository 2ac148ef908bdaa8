#pragma once
// The summaries kept for one recording: found in the cache folder or built by
// a pass over the whole recording, then handed to the passes over its ranges.
// Each is kept in a cache file when the recording lies in a file and the
// folder has room (at most a twentieth of the recording's bytes for all kinds
// together), unless a fixed budget in memory holds finer levels; then in
// memory, and once complete its levels that fit the folder's share are written
// to the cache file too. A recording opened again finds them there (a lookup
// opens the cache file), as long as it is unchanged (its identity holds its
// size and modification time).
// Safe to use from several threads.

#include "dsp/BlockStream.h"
#include "plotdata/CurveSummary.h"
#include "plotdata/PowerCurveStream.h"
#include "plotdata/SpectrogramSummary.h"
#include "plotdata/SummaryFolder.h"
#include "plotdata/WelchSummary.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class SampleSource;

// What summaries may take: in memory, bytes for the one summary of each kind
// kept (all of it without a cache file, its coarsest levels with one); on
// disk, fractions of the recording's stored bytes (a twentieth in all).
struct SummaryBudget
{
    uint64_t spectrogramMemory = uint64_t(48) << 20;
    uint64_t curveMemory = uint64_t(32) << 20;
    uint64_t welchMemory = uint64_t(8) << 20;
    double spectrogramShare = 0.035;
    double welchShare = 0.005;
    double powerShare = 0.005;
    double amplitudeShare = 0.005;
};

class SummarySet
{
public:
    // Summaries of `source` at sampleRate; cache files go to `folder` when given.
    SummarySet(std::shared_ptr<const SampleSource> source, double sampleRate, std::optional<SummaryFolder> folder,
               SummaryBudget budget = {});

    // The summary of the spectrogram with these settings when one is ready, or
    // its cache file from an earlier opening of the recording holds it.
    std::shared_ptr<const SpectrogramSummary> spectrogram(uint32_t exponent, double overlap,
                                                          const DcOffset& offset) const;
    // One to build now by the pass over the whole recording: null when one is
    // ready (a cache file of these settings makes it ready at once), another
    // is being built, or no level fits.
    std::shared_ptr<SpectrogramSummary> buildSpectrogram(uint32_t exponent, double overlap, const DcOffset& offset);
    // The same for the power curve with these settings, and for the I and Q
    // curves (two curves, I then Q).
    std::shared_ptr<const CurveSummary> power(const PowerCurveSettings& settings, const DcOffset& offset) const;
    std::shared_ptr<CurveSummary> buildPower(const PowerCurveSettings& settings, const DcOffset& offset);
    std::shared_ptr<const CurveSummary> amplitude(const DcOffset& offset) const;
    std::shared_ptr<CurveSummary> buildAmplitude(const DcOffset& offset);
    // The same for the Welch estimate of N-point segments sharing `shared` samples.
    std::shared_ptr<const WelchSummary> welch(uint32_t N, uint32_t shared, const DcOffset& offset) const;
    std::shared_ptr<WelchSummary> buildWelch(uint32_t N, uint32_t shared, const DcOffset& offset);
    // The DC offset of the whole recording (rangeMean over all of it) once a
    // pass has found it (now, or when the recording was opened before: it is
    // kept in the cache folder): summaries with the offset taken out are kept for it.
    std::optional<DcOffset> wholeMean() const;
    void setWholeMean(const DcOffset& mean);
    // Finishes a build's store; the summary becomes ready (one whose store
    // failed is dropped).
    void finished(const std::shared_ptr<SpectrogramSummary>& built);
    void finished(const std::shared_ptr<CurveSummary>& built);
    void finished(const std::shared_ptr<WelchSummary>& built);

    // Ready summaries of one kind and those being built.
    template <typename Summary>
    struct Kind
    {
        std::vector<std::shared_ptr<const Summary>> ready;
        std::vector<std::weak_ptr<Summary>> builds;
    };

private:
    // The key of a summary's cache file: the recording, its rate and the summary's settings.
    template <typename Summary>
    std::string fileKey(const Summary& fileSized) const;
    // The store of a complete, checked cache file of this summary; null when there is none.
    template <typename Summary>
    std::shared_ptr<SummaryStore> cachedStore(const Summary& fileSized, uint64_t memoryBytes) const;
    // A ready summary that matches, or one found in its cache file (kept ready from then on).
    template <typename Summary, typename Matches>
    std::shared_ptr<const Summary> readyOrCached(Kind<Summary>& kind, const Matches& matches, Summary fileSized,
                                                 uint64_t memoryBytes) const;
    // The store of a summary of this key and layout: an existing cache file
    // (then `ready` is set), a new one, or memory when no file can be had or
    // the layout for memory is another.
    template <typename Summary>
    std::shared_ptr<Summary> prepared(Summary fileSized, Summary memorySized, uint64_t memoryBytes, bool& ready);
    // A new build of `kind` unless one matching is ready or being built.
    template <typename Summary, typename Matches>
    std::shared_ptr<Summary> build(Kind<Summary>& kind, const Matches& matches, Summary fileSized,
                                   Summary memorySized, uint64_t memoryBytes);
    template <typename Summary>
    void finish(Kind<Summary>& kind, const std::shared_ptr<Summary>& built);
    // A summary built in memory whose coarser levels (the store's sections
    // listed, of this layout) go to the cache file of `key` once it is complete.
    struct Spill
    {
        std::weak_ptr<const SummaryStore> store;
        std::string key;
        std::vector<size_t> sections;
        std::vector<SectionLayout> layout;
    };
    void writeSpill(const SummaryStore& store, const Spill& spill) const;

    std::shared_ptr<const SampleSource> source;
    double sampleRate;
    std::optional<SummaryFolder> folder;
    SummaryBudget budget;
    std::string identity;
    mutable std::mutex mutex;
    // Mutable: a lookup keeps what it finds in a cache file.
    mutable Kind<SpectrogramSummary> spectrograms;
    mutable Kind<CurveSummary> powers;
    mutable Kind<CurveSummary> amplitudes;
    mutable Kind<WelchSummary> welches;
    std::vector<Spill> spills;
    mutable std::optional<DcOffset> mean;
};
