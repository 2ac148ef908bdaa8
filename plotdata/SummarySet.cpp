// The summaries of one recording: lookup, cache files, builds.

#include "plotdata/SummarySet.h"

#include "io/SampleSource.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <string>

namespace {

// Ready summaries of one kind kept at once: the newest (an older one is found
// again in its cache file).
constexpr size_t keptPerKind = 1;

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

bool sameSettings(const WelchSummary& s, uint32_t n, uint32_t shared, const DcOffset& offset)
{
    return s.size() == n && s.sharedSamples() == shared && sameOffset(s.offset(), offset);
}

bool sameSettings(const CurveSummary& s, const std::string& what)
{
    return s.what() == what;
}

std::string offsetText(const DcOffset& offset)
{
    char text[80];
    std::snprintf(text, sizeof(text), "dc=%d i=%016llx q=%016llx", offset.remove ? 1 : 0,
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(offset.i)),
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(offset.q)));
    return text;
}

std::string powerText(const PowerCurveSettings& settings, const DcOffset& offset)
{
    char text[160];
    std::snprintf(text, sizeof(text), "power window=%u %s scale=%016llx,%016llx,%016llx ", settings.window,
                  settings.relativeToFullScale ? "dBFS" : "dBm",
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(settings.fullScaleValue)),
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(settings.fullScaleVoltage)),
                  static_cast<unsigned long long>(std::bit_cast<uint64_t>(settings.inputImpedance)));
    return text + offsetText(offset);
}

std::string amplitudeText(const DcOffset& offset)
{
    return "amplitude " + offsetText(offset);
}

// A ready summary that matches; one whose cache file turned out damaged is
// never handed out (and a build replaces it).
template <typename Summary, typename Matches>
std::shared_ptr<const Summary> findReady(const SummarySet::Kind<Summary>& kind, const Matches& matches)
{
    for (auto it = kind.ready.rbegin(); it != kind.ready.rend(); ++it)
        if (matches(**it) && !(*it)->store()->damaged())
            return *it;
    return nullptr;
}

// Adds a ready summary, dropping the oldest beyond the count.
template <typename Summary>
void keep(SummarySet::Kind<Summary>& kind, std::shared_ptr<const Summary> added)
{
    std::vector<std::shared_ptr<const Summary>> kept = std::move(kind.ready);
    kept.push_back(std::move(added));
    if (kept.size() > keptPerKind)
        kept.erase(kept.begin(), kept.end() - keptPerKind);
    kind.ready = std::move(kept);
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
std::string SummarySet::fileKey(const Summary& fileSized) const
{
    // The rate exactly: a fraction's every digit counts.
    char rate[32];
    std::snprintf(rate, sizeof(rate), "%016llx", static_cast<unsigned long long>(std::bit_cast<uint64_t>(sampleRate)));
    return identity + " rate=" + rate + " " + fileSized.key();
}

template <typename Summary>
std::shared_ptr<SummaryStore> SummarySet::cachedStore(const Summary& fileSized, uint64_t memoryBytes) const
{
    if (!folder || fileSized.empty())
        return nullptr;
    const std::string key = fileKey(fileSized);
    const std::string path = folder->pathFor(key);
    const std::vector<SectionLayout> layout = fileSized.layout();
    auto reader = SummaryFileReader::open(path, key, layout);
    if (!reader)
        return nullptr;
    folder->touch(path);
    auto store = std::make_shared<SummaryStore>(layout, std::move(reader), memoryBytes, path);
    return store->ready() ? store : nullptr;
}

template <typename Summary, typename Matches>
std::shared_ptr<const Summary> SummarySet::readyOrCached(Kind<Summary>& kind, const Matches& matches,
                                                         Summary fileSized, uint64_t memoryBytes) const
{
    if (auto found = findReady(kind, matches))
        return found;
    // Kept from an earlier opening of the same recording, unless being built now.
    for (const auto& build : kind.builds)
        if (const auto building = build.lock(); building && matches(*building))
            return nullptr;
    auto store = cachedStore(fileSized, memoryBytes);
    if (!store)
        return nullptr;
    fileSized.setStore(std::move(store));
    auto summary = std::make_shared<const Summary>(std::move(fileSized));
    keep<Summary>(kind, summary);
    return summary;
}

template <typename Summary>
std::shared_ptr<Summary> SummarySet::prepared(Summary fileSized, Summary memorySized, uint64_t memoryBytes,
                                              bool& ready)
{
    ready = false;
    // A cache file whenever the folder has room, so that the next time the
    // recording is opened finds every level built now, even where memory
    // could have held finer ones.
    if (folder && !fileSized.empty()) {
        const std::string key = fileKey(fileSized);
        const std::string path = folder->pathFor(key);
        const std::vector<SectionLayout> layout = fileSized.layout();
        if (auto store = cachedStore(fileSized, memoryBytes)) {
            fileSized.setStore(std::move(store));
            ready = true;
            return std::make_shared<Summary>(std::move(fileSized));
        }
        if (folder->makeRoom(summaryFileBytes(key, layout))) {
            auto store = std::make_shared<SummaryStore>(layout, path, key, memoryBytes);
            fileSized.setStore(std::move(store));
            return std::make_shared<Summary>(std::move(fileSized));
        }
    }
    if (memorySized.empty())
        return nullptr;
    memorySized.setStore(std::make_shared<SummaryStore>(memorySized.layout()));
    return std::make_shared<Summary>(std::move(memorySized));
}

template <typename Summary, typename Matches>
std::shared_ptr<Summary> SummarySet::build(Kind<Summary>& kind, const Matches& matches, Summary fileSized,
                                           Summary memorySized, uint64_t memoryBytes)
{
    if (findReady(kind, matches))
        return nullptr;
    std::erase_if(kind.builds, [](const auto& build) { return build.expired(); });
    for (const auto& build : kind.builds)
        if (const auto building = build.lock(); building && matches(*building))
            return nullptr;
    bool ready = false;
    auto summary = prepared(std::move(fileSized), std::move(memorySized), memoryBytes, ready);
    if (!summary)
        return nullptr;
    if (ready) {
        keep<Summary>(kind, summary);
        return nullptr;
    }
    kind.builds.push_back(summary);
    return summary;
}

template <typename Summary>
void SummarySet::finish(Kind<Summary>& kind, const std::shared_ptr<Summary>& built)
{
    if (!built || !built->store() || !built->store()->finish())
        return;
    const std::lock_guard lock(mutex);
    keep<Summary>(kind, built);
}

std::shared_ptr<const SpectrogramSummary> SummarySet::spectrogram(uint32_t exponent, double overlap,
                                                                  const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    auto matches = [&](const SpectrogramSummary& s) { return sameSettings(s, exponent, overlap, offset); };
    if (!source)
        return findReady(spectrograms, matches);
    const auto diskBytes = static_cast<uint64_t>(budget.spectrogramShare * double(source->storedBytes()));
    return readyOrCached(spectrograms, matches,
                         SpectrogramSummary(source->size(), sampleRate, exponent, overlap, offset, diskBytes),
                         budget.spectrogramMemory);
}

std::shared_ptr<SpectrogramSummary> SummarySet::buildSpectrogram(uint32_t exponent, double overlap,
                                                                 const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const uint64_t samples = source->size();
    const auto diskBytes = static_cast<uint64_t>(budget.spectrogramShare * double(source->storedBytes()));
    return build(
        spectrograms, [&](const SpectrogramSummary& s) { return sameSettings(s, exponent, overlap, offset); },
        SpectrogramSummary(samples, sampleRate, exponent, overlap, offset, diskBytes),
        SpectrogramSummary(samples, sampleRate, exponent, overlap, offset, budget.spectrogramMemory),
        budget.spectrogramMemory);
}

std::shared_ptr<const CurveSummary> SummarySet::power(const PowerCurveSettings& settings, const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    const std::string what = powerText(settings, offset);
    auto matches = [&](const CurveSummary& s) { return sameSettings(s, what); };
    if (!source)
        return findReady(powers, matches);
    const auto diskBytes = static_cast<uint64_t>(budget.powerShare * double(source->storedBytes()));
    return readyOrCached(powers, matches, CurveSummary(source->size(), 1, what, diskBytes), budget.curveMemory);
}

std::shared_ptr<CurveSummary> SummarySet::buildPower(const PowerCurveSettings& settings, const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const std::string what = powerText(settings, offset);
    const auto diskBytes = static_cast<uint64_t>(budget.powerShare * double(source->storedBytes()));
    return build(powers, [&](const CurveSummary& s) { return sameSettings(s, what); },
                 CurveSummary(source->size(), 1, what, diskBytes),
                 CurveSummary(source->size(), 1, what, budget.curveMemory), budget.curveMemory);
}

std::shared_ptr<const CurveSummary> SummarySet::amplitude(const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    const std::string what = amplitudeText(offset);
    auto matches = [&](const CurveSummary& s) { return sameSettings(s, what); };
    if (!source)
        return findReady(amplitudes, matches);
    const auto diskBytes = static_cast<uint64_t>(budget.amplitudeShare * double(source->storedBytes()));
    return readyOrCached(amplitudes, matches, CurveSummary(source->size(), 2, what, diskBytes), budget.curveMemory);
}

std::shared_ptr<CurveSummary> SummarySet::buildAmplitude(const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const std::string what = amplitudeText(offset);
    const auto diskBytes = static_cast<uint64_t>(budget.amplitudeShare * double(source->storedBytes()));
    return build(amplitudes, [&](const CurveSummary& s) { return sameSettings(s, what); },
                 CurveSummary(source->size(), 2, what, diskBytes),
                 CurveSummary(source->size(), 2, what, budget.curveMemory), budget.curveMemory);
}

std::shared_ptr<const WelchSummary> SummarySet::welch(uint32_t n, uint32_t shared, const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    auto matches = [&](const WelchSummary& s) { return sameSettings(s, n, shared, offset); };
    if (!source)
        return findReady(welches, matches);
    const auto diskBytes = static_cast<uint64_t>(budget.welchShare * double(source->storedBytes()));
    return readyOrCached(welches, matches, WelchSummary(source->size(), n, shared, offset, diskBytes),
                         budget.welchMemory);
}

std::shared_ptr<WelchSummary> SummarySet::buildWelch(uint32_t n, uint32_t shared, const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const auto diskBytes = static_cast<uint64_t>(budget.welchShare * double(source->storedBytes()));
    return build(welches, [&](const WelchSummary& s) { return sameSettings(s, n, shared, offset); },
                 WelchSummary(source->size(), n, shared, offset, diskBytes),
                 WelchSummary(source->size(), n, shared, offset, budget.welchMemory), budget.welchMemory);
}

std::optional<DcOffset> SummarySet::wholeMean() const
{
    const std::lock_guard lock(mutex);
    return mean;
}

void SummarySet::setWholeMean(const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    mean = offset;
}

void SummarySet::finished(const std::shared_ptr<WelchSummary>& built)
{
    finish(welches, built);
}

void SummarySet::finished(const std::shared_ptr<SpectrogramSummary>& built)
{
    finish(spectrograms, built);
}

void SummarySet::finished(const std::shared_ptr<CurveSummary>& built)
{
    if (built && built->what().rfind("power", 0) == 0)
        finish(powers, built);
    else
        finish(amplitudes, built);
}
