// Copies of stored bytes block by block, re-encoding and band extraction as
// consumers of one streamed pass, every byte to the file and the digest.

#include "export/ExportData.h"

#include "dsp/BlockStream.h"
#include "dsp/WorkerPool.h"
#include "export/OutputFile.h"
#include "export/Sha512.h"
#include "io/InputFile.h"
#include "io/SampleFormat.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// Stored layouts that a WAV data chunk holds byte for byte, and their format.
struct WavLayout
{
    const char* datatype;
    SampleEncoding encoding;
};
constexpr WavLayout wavLayouts[] = {
    {"cu8_le", {'u', 8}},   {"ci16_le", {'i', 16}}, {"ci24_le", {'i', 24}},
    {"ci32_le", {'i', 32}}, {"cf32_le", {'f', 32}}, {"cf64_le", {'f', 64}},
};
constexpr const char* unnamedDatatype = "ci24_le";
// Held in memory, the samples are doubles: stored as such they lose nothing.
constexpr SampleEncoding memoryEncoding{'f', 64};
constexpr SampleEncoding bandEncoding{'f', 32};
constexpr SampleEncoding unnamedEncoding{'i', 32};

// The SigMF name of a reader's datatype: 8-bit types carry no byte order.
std::string sigmfName(const std::string& datatype)
{
    const SampleFormat format = parseSampleFormat(datatype);
    return format.bitDepth == 8 ? datatype.substr(0, datatype.find('_')) : datatype;
}

// The WAV format nearest to format that holds all of its values at the same
// full scale (see conversionFor).
SampleEncoding wavEncodingFor(const SampleFormat& format)
{
    switch (format.kind) {
    case 'f':
        return {'f', format.bitDepth};
    case 'u':
        if (format.bitDepth == 8)
            return {'u', 8};
        return format.bitDepth == 16 ? SampleEncoding{'i', 32} : SampleEncoding{'f', 64};
    default: // signed: WAV's 8-bit samples are unsigned
        if (format.bitDepth <= 16)
            return {'i', 16};
        return format.bitDepth == 32 ? SampleEncoding{'i', 32} : SampleEncoding{'f', 64};
    }
}

// Where the bytes go: the file, and the digest when there is one.
struct Sink
{
    OutputFile& file;
    Sha512* digest;

    // The digest is worked out by a pool worker while the bytes are written: it
    // takes longer than the write, and the two together are the copy's cost.
    void put(const unsigned char* bytes, std::size_t size)
    {
        // A block that completes no output (a band's first, while its filter fills).
        if (size == 0)
            return;
        // Dropped unstarted, or waited for, if the write throws.
        WorkerPool::Pending hashing;
        if (digest)
            hashing = WorkerPool::shared().submit([this, bytes, size] { digest->update(bytes, size); });
        file.write(bytes, size);
        hashing.get(); // worked out here if no worker has begun it
    }
};

// The offsets of a conversion, which the pass subtracts as it reads.
DcOffset offsetsOf(const SampleConversion& conversion)
{
    return {conversion.offsetI, conversion.offsetQ, conversion.offsetI != 0.0 || conversion.offsetQ != 0.0};
}

class Encoder final : public BlockConsumer
{
public:
    Encoder(SampleEncoding encoding, double gain, Sink& sink) : encoding(encoding), gain(gain), sink(sink) {}

    void consume(uint64_t, size_t count, const double* i, const double* q, WorkControl&) override
    {
        if (gain != 1.0) {
            iValues.resize(count);
            qValues.resize(count);
            for (size_t k = 0; k < count; ++k) {
                iValues[k] = i[k] * gain;
                qValues[k] = q[k] * gain;
            }
            i = iValues.data();
            q = qValues.data();
        }
        buffer.resize(count * encoding.sampleBytes());
        encodeSamples(encoding, i, q, count, buffer.data());
        sink.put(buffer.data(), buffer.size());
    }

private:
    SampleEncoding encoding;
    double gain;
    Sink& sink;
    std::vector<double> iValues;
    std::vector<double> qValues;
    std::vector<unsigned char> buffer;
};

class BandWriter final : public BlockConsumer
{
public:
    BandWriter(BandExtractor& extractor, double gain, Sink& sink) : extractor(extractor), gain(gain), sink(sink) {}

    void consume(uint64_t index, size_t count, const double* i, const double* q, WorkControl&) override
    {
        extractor.process(index, count, i, q, outputs);
        put();
    }

    void finish()
    {
        extractor.flush(outputs);
        put();
    }

private:
    void put()
    {
        iValues.resize(outputs.size());
        qValues.resize(outputs.size());
        for (std::size_t k = 0; k < outputs.size(); ++k) {
            iValues[k] = outputs[k].real() * gain;
            qValues[k] = outputs[k].imag() * gain;
        }
        buffer.resize(outputs.size() * bandEncoding.sampleBytes());
        encodeSamples(bandEncoding, iValues.data(), qValues.data(), outputs.size(), buffer.data());
        sink.put(buffer.data(), buffer.size());
        outputs.clear();
    }

    BandExtractor& extractor;
    double gain;
    Sink& sink;
    std::vector<std::complex<double>> outputs;
    std::vector<double> iValues;
    std::vector<double> qValues;
    std::vector<unsigned char> buffer;
};

} // namespace

ExportData::ExportData(const ExportSource& source, const ExportRequest& request, bool forWav)
    : source(source), request(request), stored(source.samples->stored())
{
    samples = request.end - request.first;
    if (request.band) {
        way = Way::band;
        extractor = std::make_unique<BandExtractor>(source.sampleRate, request.band->low,
                                                    request.band->high, forWav);
        encoding = bandEncoding;
        samples = extractor->outputCount(samples);
    } else if (!stored) {
        way = Way::encode;
        encoding = memoryEncoding;
    } else if (forWav) {
        const auto copyable = std::find_if(std::begin(wavLayouts), std::end(wavLayouts),
                                           [&](const WavLayout& layout) {
                                               return stored->datatype == layout.datatype;
                                           });
        way = copyable != std::end(wavLayouts) ? Way::copy : Way::encode;
        encoding = copyable != std::end(wavLayouts) ? copyable->encoding
                                                    : wavEncodingFor(parseSampleFormat(stored->datatype));
    } else if (stored->datatype == unnamedDatatype) {
        way = Way::encode;
        encoding = unnamedEncoding;
    } else {
        way = Way::copy;
        sigmfDatatype = sigmfName(stored->datatype);
        sampleBytes = stored->sampleSize;
    }
    if (way != Way::copy || forWav) {
        sampleBytes = encoding.sampleBytes();
        sigmfDatatype = encoding.sigmfDatatype();
    }
    if (way != Way::copy)
        conversion = conversionFor(stored ? stored->datatype : std::string(), encoding);
    wav = {encoding.kind == 'f', static_cast<uint16_t>(encoding.bits)};
}

ExportData::~ExportData() = default;

double ExportData::sampleRate() const
{
    return extractor ? extractor->outputRate() : source.sampleRate;
}

uint32_t ExportData::decimation() const
{
    return extractor ? extractor->decimation() : 1;
}

double ExportData::shift() const
{
    return extractor ? extractor->mixFrequency() : 0.0;
}

void ExportData::write(OutputFile& file, Sha512* digest, WorkControl& control)
{
    Sink sink{file, digest};
    const uint64_t before = file.size();
    if (way == Way::copy) {
        // The next block is read while the current one is written.
        std::vector<unsigned char> current(streamBlockSamples * sampleBytes);
        std::vector<unsigned char> next(current.size());
        const auto readBlock = [this](uint64_t at, std::vector<unsigned char>& buffer) {
            const auto count = static_cast<std::size_t>(std::min<uint64_t>(streamBlockSamples, request.end - at));
            const std::size_t bytes = count * sampleBytes;
            if (stored->file->readAt(stored->offset + at * sampleBytes, buffer.data(), bytes) != bytes)
                throw std::runtime_error("Cannot read \"" + stored->file->path()
                                         + "\": it is shorter than when it was opened");
            return count;
        };
        control.check();
        std::size_t count = readBlock(request.first, current);
        for (uint64_t at = request.first; at < request.end;) {
            const uint64_t nextAt = at + count;
            std::size_t nextCount = 0;
            WorkerPool::Pending ahead;
            if (nextAt < request.end)
                ahead = WorkerPool::shared().submit([&, nextAt] { nextCount = readBlock(nextAt, next); });
            control.check();
            sink.put(current.data(), count * sampleBytes);
            control.addDone(count);
            ahead.get(); // read here if no worker has begun it
            count = nextCount;
            std::swap(current, next);
            at = nextAt;
        }
    } else if (way == Way::encode) {
        Encoder encoder(encoding, conversion.gain, sink);
        streamRange(*source.samples, request.first, request.end, offsetsOf(conversion), {&encoder}, control);
    } else {
        // The filter reads the samples around the range too, as far as it reaches,
        // so that the first and last outputs are as exact as the others.
        const uint64_t reach = extractor->reach();
        const uint64_t from = request.first - std::min<uint64_t>(request.first, reach);
        const uint64_t to = std::min<uint64_t>(source.samples->size(), request.end + reach);
        control.addPlanned((request.first - from) + (to - request.end));
        extractor->startRange(request.first, request.end - request.first);
        BandWriter writer(*extractor, conversion.gain, sink);
        streamRange(*source.samples, from, to, offsetsOf(conversion), {&writer}, control);
        writer.finish();
    }
    if (file.size() - before != byteCount())
        throw std::logic_error("Export wrote a different number of bytes than planned");
}
