// The summaries of one recording: lookup, cache files, builds.

#include "plotdata/SummarySet.h"

#include "io/SampleSource.h"

#include <algorithm>
#include <bit>
#include <string>

namespace {

// Ready summaries of one kind kept at once (one of them, at most, in memory).
constexpr size_t keptPerKind = 3;

bool sameOffset(const DcOffset& a, const DcOffset& b)
{
    return a.remove == b.remove && std::bit_cast<uint64_t>(a.i) == std::bit_cast<uint64_t>(b.i)
           && std::bit_cast<uint64_t>(a.q) == std::bit_cast<uint64_t>(b.q);
}

bool sameSettings(const SpectrogramSummary& s, uint32_t exponent, double overlap, const DcOffset& offset)
{
    return s.exponent() == exponent && std::bit_cast<uint64_t>(s.overlap()) == std::bit_cast<uint64_t>(overlap)
           && sameOffset(s.offset(), offset);
}

// Adds a ready summary, dropping the oldest beyond the count, and any older one
// in memory when the new one is in memory too.
template <typename Summary>
void keep(std::vector<std::shared_ptr<const Summary>>& ready, std::shared_ptr<const Summary> added,
          bool inMemory, const std::vector<bool>& memoryFlags)
{
    std::vector<std::shared_ptr<const Summary>> kept;
    for (size_t k = 0; k < ready.size(); ++k)
        if (!(inMemory && memoryFlags[k]))
            kept.push_back(ready[k]);
    kept.push_back(std::move(added));
    if (kept.size() > keptPerKind)
        kept.erase(kept.begin(), kept.end() - keptPerKind);
    ready = std::move(kept);
}

} // namespace

SummarySet::SummarySet(std::shared_ptr<const SampleSource> source, double sampleRate,
                       std::optional<SummaryFolder> folder, SummaryBudget budget)
    : source(std::move(source)), sampleRate(sampleRate), folder(std::move(folder)), budget(budget),
      identity(this->source ? this->source->identity() : std::string())
{
    // Samples with nothing to tell them by are never cached on disk.
    if (identity.empty())
        this->folder.reset();
}

template <typename Summary>
std::shared_ptr<Summary> SummarySet::prepared(Summary fileSized, Summary memorySized, bool& ready)
{
    ready = false;
    // A cache file (which also serves the next time the recording is opened)
    // unless memory holds finer levels.
    const bool fileAsFine = !fileSized.empty()
                            && (memorySized.empty() || fileSized.poolings().front() <= memorySized.poolings().front());
    if (folder && fileAsFine) {
        const std::string key = identity + " rate=" + std::to_string(sampleRate) + " " + fileSized.key();
        const std::string path = folder->pathFor(key);
        const std::vector<SectionLayout> layout = fileSized.layout();
        if (auto reader = SummaryFileReader::open(path, key, layout)) {
            folder->touch(path);
            fileSized.setStore(std::make_shared<SummaryStore>(layout, std::move(reader)));
            ready = true;
            return std::make_shared<Summary>(std::move(fileSized));
        }
        if (folder->makeRoom(summaryFileBytes(key, layout))) {
            auto store = std::make_shared<SummaryStore>(layout, path, key);
            fileSized.setStore(std::move(store));
            return std::make_shared<Summary>(std::move(fileSized));
        }
    }
    if (memorySized.empty())
        return nullptr;
    memorySized.setStore(std::make_shared<SummaryStore>(memorySized.layout()));
    return std::make_shared<Summary>(std::move(memorySized));
}

std::shared_ptr<const SpectrogramSummary> SummarySet::spectrogram(uint32_t exponent, double overlap,
                                                                  const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    for (auto it = spectrograms.rbegin(); it != spectrograms.rend(); ++it)
        if (sameSettings(**it, exponent, overlap, offset))
            return *it;
    return nullptr;
}

std::shared_ptr<SpectrogramSummary> SummarySet::buildSpectrogram(uint32_t exponent, double overlap,
                                                                 const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    for (const auto& ready : spectrograms)
        if (sameSettings(*ready, exponent, overlap, offset))
            return nullptr;
    std::erase_if(spectrogramBuilds, [](const auto& build) { return build.expired(); });
    for (const auto& build : spectrogramBuilds)
        if (sameSettings(*build.lock(), exponent, overlap, offset))
            return nullptr;
    const uint64_t samples = source->size();
    const auto diskBytes = static_cast<uint64_t>(budget.spectrogramShare * double(source->storedBytes()));
    bool ready = false;
    auto summary = prepared(SpectrogramSummary(samples, sampleRate, exponent, overlap, offset, diskBytes),
                            SpectrogramSummary(samples, sampleRate, exponent, overlap, offset, budget.memoryBytes),
                            ready);
    if (!summary)
        return nullptr;
    if (ready) {
        std::vector<bool> inMemory;
        for (const auto& s : spectrograms)
            inMemory.push_back(!s->store()->inFile());
        keep<SpectrogramSummary>(spectrograms, summary, false, inMemory);
        return nullptr;
    }
    spectrogramBuilds.push_back(summary);
    return summary;
}

void SummarySet::finished(const std::shared_ptr<SpectrogramSummary>& built)
{
    if (!built || !built->store() || !built->store()->finish())
        return;
    const std::lock_guard lock(mutex);
    std::vector<bool> inMemory;
    for (const auto& s : spectrograms)
        inMemory.push_back(!s->store()->inFile());
    keep<SpectrogramSummary>(spectrograms, built, !built->store()->inFile(), inMemory);
}
