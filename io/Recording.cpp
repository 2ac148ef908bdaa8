// The recording, its loaders (each takes what its reader made) and the whole
// sequences decoded on first use.

#include "io/Recording.h"

#include "io/MemoryCheck.h"
#include "io/RawFile.h"
#include "io/SigmfFile.h"
#include "io/WavFile.h"

#include <limits>
#include <stdexcept>
#include <utility>

Recording::Recording() = default;
Recording::~Recording() = default;

void Recording::assign(double sampleRate, std::vector<double> i, std::vector<double> q)
{
    if (i.size() != q.size())
        throw std::invalid_argument("I and Q sequences must have the same length");
    if (i.size() > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("Too many samples for one recording");
    commit(sampleRate, i, q);
}

void Recording::assignSource(double sampleRate, std::shared_ptr<const SampleSource> samples,
                             RecordingInfo info)
{
    if (!samples)
        throw std::invalid_argument("A recording needs a sample source");
    if (samples->size() > std::numeric_limits<uint32_t>::max())
        throw std::invalid_argument("Too many samples for one recording");
    commit(sampleRate, std::move(samples), std::move(info));
}

void Recording::setAnnotations(std::vector<RecordingAnnotation> annotations)
{
    details.annotations = std::move(annotations);
}

void Recording::swap(Recording& other) noexcept
{
    std::scoped_lock lock(wholeMutex, other.wholeMutex);
    std::swap(loaded, other.loaded);
    std::swap(rate, other.rate);
    std::swap(count, other.count);
    source.swap(other.source);
    std::swap(details, other.details);
    iWhole.swap(other.iWhole);
    qWhole.swap(other.qWhole);
}

void Recording::commit(double sampleRate, std::vector<double>& i, std::vector<double>& q)
{
    commit(sampleRate, memorySamples(std::move(i), std::move(q)), RecordingInfo{});
}

void Recording::commit(double sampleRate, std::shared_ptr<const SampleSource> samples,
                             RecordingInfo info)
{
    std::lock_guard<std::mutex> lock(wholeMutex);
    source = std::move(samples);
    details = std::move(info);
    std::vector<double>().swap(iWhole);
    std::vector<double>().swap(qWhole);
    rate = sampleRate;
    count = static_cast<uint32_t>(source->size());
    loaded = true;
}

const std::vector<double>& Recording::iSamples() const
{
    if (source && source->memoryI())
        return *source->memoryI();
    decodeWhole();
    return iWhole;
}

const std::vector<double>& Recording::qSamples() const
{
    if (source && source->memoryQ())
        return *source->memoryQ();
    decodeWhole();
    return qWhole;
}

void Recording::decodeWhole() const
{
    std::lock_guard<std::mutex> lock(wholeMutex);
    if (!source || iWhole.size() == source->size())
        return;
    const uint64_t n = source->size();
    checkMemoryForSamples(n);
    std::vector<double> i(n);
    std::vector<double> q(n);
    source->read(0, n, i.data(), q.data());
    iWhole.swap(i);
    qWhole.swap(q);
}

void Recording::take(RecordingContents contents)
{
    assignSource(contents.sampleRate, std::move(contents.samples), std::move(contents.info));
}

void Recording::loadWav(const std::string& path)
{
    take(readWavFile(path));
}

void Recording::loadSigmf(const std::string& metaPath)
{
    take(readSigmfFile(metaPath));
}

void Recording::loadSigmfArchive(const std::string& path)
{
    take(readSigmfArchive(path));
}

void Recording::loadBinary(const std::string& path, const std::string& datatype,
                           double sampleRate)
{
    take(readRawFile(path, datatype, sampleRate));
}
