// A band's samples in memory, read block by block.

#include "analysis/BandSamples.h"

#include "dsp/BandExtractor.h"
#include "io/SampleSource.h"

#include <algorithm>
#include <stdexcept>

BandSamples readBandSamples(const SampleSource& source, const BandSamplesRequest& request, const DcOffset& offset,
                            WorkControl& control)
{
    BandExtractor extractor(request.sampleRate, request.low, request.high);
    BandSamples band;
    band.rate = extractor.outputRate();
    band.decimation = extractor.decimation();
    band.firstInput = request.first;
    band.centreCorrection = extractor.mixFrequency() - (request.low + request.high) / 2.0;
    const uint64_t total = source.size();
    const uint64_t first = std::min(request.first, total);
    const uint64_t end = std::clamp(request.end, first, total);
    if (extractor.outputCount(end - first) > request.maxOutputs)
        throw std::invalid_argument("The range is too long for this band: shorten it or widen the band");
    if (end == first)
        return band;
    extractor.startRange(first, end - first);
    const uint64_t readFirst = first - std::min<uint64_t>(first, extractor.reach());
    const uint64_t readEnd = std::min(total, end + extractor.reach());
    constexpr std::size_t block = std::size_t(1) << 16;
    std::vector<double> i(block), q(block);
    std::vector<std::complex<double>> out;
    band.y.reserve(static_cast<std::size_t>(extractor.outputCount(end - first)));
    control.addPlanned(readEnd - readFirst);
    for (uint64_t at = readFirst; at < readEnd;) {
        control.check();
        const auto count = static_cast<std::size_t>(std::min<uint64_t>(block, readEnd - at));
        source.read(at, count, i.data(), q.data());
        for (std::size_t k = 0; offset.remove && k < count; ++k) {
            i[k] -= offset.i;
            q[k] -= offset.q;
        }
        extractor.process(at, count, i.data(), q.data(), out);
        for (const auto& y : out)
            band.y.emplace_back(static_cast<float>(y.real()), static_cast<float>(y.imag()));
        out.clear();
        at += count;
        control.addDone(count);
    }
    extractor.flush(out);
    for (const auto& y : out)
        band.y.emplace_back(static_cast<float>(y.real()), static_cast<float>(y.imag()));
    return band;
}
