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
// The recording's mean in its cache file: I and Q (bits of doubles) and whether it is removed.
const SectionLayout meanLayout{24, 1};
// Records read at once from a summary in memory while its cache file is written.
constexpr uint64_t spillReadBytes = uint64_t(4) << 20;

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

// For each section of a summary of coarser levels, the section of a finer
// one (of the same kind and settings) that holds the same records: sections
// come in groups (one per curve) of one per level. Nothing when the coarser
// levels are not all among the finer ones.
template <typename Summary>
std::optional<std::vector<size_t>> sectionsOf(const Summary& coarse, const Summary& fine)
{
    const std::vector<uint64_t>& c = coarse.poolings();
    const std::vector<uint64_t>& f = fine.poolings();
    const auto at = std::find(f.begin(), f.end(), c.front());
    if (c.empty() || at == f.end() || size_t(f.end() - at) != c.size() || !std::equal(c.begin(), c.end(), at))
        return std::nullopt;
    const size_t first = static_cast<size_t>(at - f.begin());
    const std::vector<SectionLayout> coarseLayout = coarse.layout();
    const std::vector<SectionLayout> fineLayout = fine.layout();
    const size_t groups = coarseLayout.size() / c.size();
    if (groups * c.size() != coarseLayout.size() || groups * f.size() != fineLayout.size())
        return std::nullopt;
    std::vector<size_t> map;
    for (size_t g = 0; g < groups; ++g)
        for (size_t l = 0; l < c.size(); ++l) {
            map.push_back(g * f.size() + first + l);
            if (!(fineLayout[map.back()] == coarseLayout[g * c.size() + l]))
                return std::nullopt;
        }
    return map;
}

// The summary its cache file holds, made by make(budgetBytes): the one of the
// disk budget, or where memory holds finer levels, those of the memory's
// levels that fit the disk budget (its coarser ones), so that the file is
// written from the summary in memory once it is built.
template <typename Summary, typename Make>
Summary onDisk(const Make& make, uint64_t diskBytes, uint64_t memoryBytes)
{
    Summary file = make(diskBytes);
    if (file.empty())
        return file;
    const Summary memory = make(memoryBytes);
    if (memory.empty() || file.poolings().front() <= memory.poolings().front())
        return file;
    const std::vector<SectionLayout> layout = memory.layout();
    uint64_t bytes = 0;
    // Sections come in groups (one per curve) of one per level.
    for (size_t s = 0; s < layout.size(); ++s)
        if (memory.poolings()[s % memory.poolings().size()] >= file.poolings().front())
            bytes += layout[s].bytes();
    return make(bytes);
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
    if (folder && !fileSized.empty()) {
        if (auto store = cachedStore(fileSized, memoryBytes)) {
            fileSized.setStore(std::move(store));
            ready = true;
            return std::make_shared<Summary>(std::move(fileSized));
        }
        const std::string key = fileKey(fileSized);
        const std::vector<SectionLayout> layout = fileSized.layout();
        const bool fileAsFine =
            memorySized.empty() || fileSized.poolings().front() <= memorySized.poolings().front();
        // Built into its cache file, unless memory holds finer levels.
        if (fileAsFine && folder->makeRoom(summaryFileBytes(key, layout))) {
            auto store = std::make_shared<SummaryStore>(layout, folder->pathFor(key), key, memoryBytes);
            fileSized.setStore(std::move(store));
            return std::make_shared<Summary>(std::move(fileSized));
        }
        // Built in memory, its coarser levels written to the cache file once it is complete.
        if (!fileAsFine) {
            auto store = std::make_shared<SummaryStore>(memorySized.layout());
            std::erase_if(spills, [](const Spill& s) { return s.store.expired(); });
            if (std::optional<std::vector<size_t>> map = sectionsOf(fileSized, memorySized))
                spills.push_back({store, key, std::move(*map), layout});
            memorySized.setStore(std::move(store));
            return std::make_shared<Summary>(std::move(memorySized));
        }
    }
    if (memorySized.empty())
        return nullptr;
    memorySized.setStore(std::make_shared<SummaryStore>(memorySized.layout()));
    return std::make_shared<Summary>(std::move(memorySized));
}

void SummarySet::writeSpill(const SummaryStore& store, const Spill& spill) const
{
    if (!folder || !folder->makeRoom(summaryFileBytes(spill.key, spill.layout)))
        return;
    SummaryFileWriter writer(folder->pathFor(spill.key), spill.key, spill.layout);
    std::vector<unsigned char> buffer;
    for (size_t s = 0; s < spill.layout.size() && writer.isOpen(); ++s) {
        const uint64_t perRead = std::max<uint64_t>(1, spillReadBytes / spill.layout[s].recordBytes);
        for (uint64_t from = 0; from < spill.layout[s].records; from += perRead) {
            const uint64_t count = std::min(perRead, spill.layout[s].records - from);
            buffer.resize(static_cast<size_t>(count * spill.layout[s].recordBytes));
            if (!store.read(spill.sections[s], from, count, buffer.data()))
                return;
            writer.append(s, buffer.data(), count);
        }
    }
    writer.finish();
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
    std::optional<Spill> spill;
    {
        const std::lock_guard lock(mutex);
        const auto found = std::find_if(spills.begin(), spills.end(),
                                        [&](const Spill& s) { return s.store.lock() == built->store(); });
        if (found != spills.end()) {
            spill = *found;
            spills.erase(found);
        }
    }
    if (spill)
        writeSpill(*built->store(), *spill);
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
    auto make = [&](uint64_t bytes) {
        return SpectrogramSummary(source->size(), sampleRate, exponent, overlap, offset, bytes);
    };
    return readyOrCached(spectrograms, matches, onDisk<SpectrogramSummary>(make, diskBytes, budget.spectrogramMemory),
                         budget.spectrogramMemory);
}

std::shared_ptr<SpectrogramSummary> SummarySet::buildSpectrogram(uint32_t exponent, double overlap,
                                                                 const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const auto diskBytes = static_cast<uint64_t>(budget.spectrogramShare * double(source->storedBytes()));
    auto make = [&](uint64_t bytes) {
        return SpectrogramSummary(source->size(), sampleRate, exponent, overlap, offset, bytes);
    };
    return build(
        spectrograms, [&](const SpectrogramSummary& s) { return sameSettings(s, exponent, overlap, offset); },
        onDisk<SpectrogramSummary>(make, diskBytes, budget.spectrogramMemory), make(budget.spectrogramMemory),
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
    auto make = [&](uint64_t bytes) { return CurveSummary(source->size(), 1, what, bytes); };
    return readyOrCached(powers, matches, onDisk<CurveSummary>(make, diskBytes, budget.curveMemory),
                         budget.curveMemory);
}

std::shared_ptr<CurveSummary> SummarySet::buildPower(const PowerCurveSettings& settings, const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const std::string what = powerText(settings, offset);
    const auto diskBytes = static_cast<uint64_t>(budget.powerShare * double(source->storedBytes()));
    auto make = [&](uint64_t bytes) { return CurveSummary(source->size(), 1, what, bytes); };
    return build(powers, [&](const CurveSummary& s) { return sameSettings(s, what); },
                 onDisk<CurveSummary>(make, diskBytes, budget.curveMemory), make(budget.curveMemory),
                 budget.curveMemory);
}

std::shared_ptr<const CurveSummary> SummarySet::amplitude(const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    const std::string what = amplitudeText(offset);
    auto matches = [&](const CurveSummary& s) { return sameSettings(s, what); };
    if (!source)
        return findReady(amplitudes, matches);
    const auto diskBytes = static_cast<uint64_t>(budget.amplitudeShare * double(source->storedBytes()));
    auto make = [&](uint64_t bytes) { return CurveSummary(source->size(), 2, what, bytes); };
    return readyOrCached(amplitudes, matches, onDisk<CurveSummary>(make, diskBytes, budget.curveMemory),
                         budget.curveMemory);
}

std::shared_ptr<CurveSummary> SummarySet::buildAmplitude(const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const std::string what = amplitudeText(offset);
    const auto diskBytes = static_cast<uint64_t>(budget.amplitudeShare * double(source->storedBytes()));
    auto make = [&](uint64_t bytes) { return CurveSummary(source->size(), 2, what, bytes); };
    return build(amplitudes, [&](const CurveSummary& s) { return sameSettings(s, what); },
                 onDisk<CurveSummary>(make, diskBytes, budget.curveMemory), make(budget.curveMemory),
                 budget.curveMemory);
}

std::shared_ptr<const WelchSummary> SummarySet::welch(uint32_t n, uint32_t shared, const DcOffset& offset) const
{
    const std::lock_guard lock(mutex);
    auto matches = [&](const WelchSummary& s) { return sameSettings(s, n, shared, offset); };
    if (!source)
        return findReady(welches, matches);
    const auto diskBytes = static_cast<uint64_t>(budget.welchShare * double(source->storedBytes()));
    auto make = [&](uint64_t bytes) { return WelchSummary(source->size(), n, shared, offset, bytes); };
    return readyOrCached(welches, matches, onDisk<WelchSummary>(make, diskBytes, budget.welchMemory),
                         budget.welchMemory);
}

std::shared_ptr<WelchSummary> SummarySet::buildWelch(uint32_t n, uint32_t shared, const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    if (!source)
        return nullptr;
    const auto diskBytes = static_cast<uint64_t>(budget.welchShare * double(source->storedBytes()));
    auto make = [&](uint64_t bytes) { return WelchSummary(source->size(), n, shared, offset, bytes); };
    return build(welches, [&](const WelchSummary& s) { return sameSettings(s, n, shared, offset); },
                 onDisk<WelchSummary>(make, diskBytes, budget.welchMemory), make(budget.welchMemory),
                 budget.welchMemory);
}

std::optional<DcOffset> SummarySet::wholeMean() const
{
    const std::lock_guard lock(mutex);
    if (mean || !folder)
        return mean;
    // Found by a pass when the recording was opened before.
    const std::string key = identity + " mean";
    const std::string path = folder->pathFor(key);
    uint64_t record[3] = {};
    if (auto reader = SummaryFileReader::open(path, key, {meanLayout}); reader && reader->read(0, 0, 1, record)) {
        folder->touch(path);
        mean = DcOffset{std::bit_cast<double>(record[0]), std::bit_cast<double>(record[1]), record[2] != 0};
    }
    return mean;
}

void SummarySet::setWholeMean(const DcOffset& offset)
{
    const std::lock_guard lock(mutex);
    mean = offset;
    const std::string key = identity + " mean";
    if (!folder || !folder->makeRoom(summaryFileBytes(key, {meanLayout})))
        return;
    const uint64_t record[3] = {std::bit_cast<uint64_t>(offset.i), std::bit_cast<uint64_t>(offset.q),
                                offset.remove ? 1u : 0u};
    SummaryFileWriter writer(folder->pathFor(key), key, {meanLayout});
    writer.append(0, record, 1);
    writer.finish();
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
