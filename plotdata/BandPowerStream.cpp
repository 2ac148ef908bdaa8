// The power of one band against time.

#include "plotdata/BandPowerStream.h"

#include "plotdata/Decibels.h"

#include <algorithm>
#include <cmath>

BandPowerStream::BandPowerStream(uint64_t first, uint64_t n, double fs,
                                 const PowerCurveSettings& settings, double low, double high,
                                 double xMin, double xMax, int width)
    : n(n), extractor(fs, low, high),
      scale(settings.fullScaleValue, settings.fullScaleVoltage, settings.inputImpedance,
            settings.relativeToFullScale),
      window(std::max<uint64_t>(1, static_cast<uint64_t>(std::llround(
                                       static_cast<double>(settings.window) / extractor.decimation())))),
      outputs(extractor.outputCount(n)),
      envelope(xMin, xMax, width, first, fs, extractor.decimation()), ring(window, 0.0)
{
}

void BandPowerStream::consume(uint64_t index, size_t count, const double* i, const double* q,
                              WorkControl&)
{
    if (consumed >= n)
        return;
    count = static_cast<size_t>(std::min<uint64_t>(count, n - consumed));
    consumed += count;
    band.clear();
    extractor.process(index, count, i, q, band);
    if (consumed == n)
        extractor.flush(band);
    addPowers(band);
    if (consumed == n)
        finish();
}

// Output m is the mean of the window centred on it (h = window / 2 - 1 before it,
// as the power view centres its windows); the outputs before the first whole
// window take its value, those after the last the last one's.
void BandPowerStream::addPowers(const std::vector<std::complex<double>>& samples)
{
    const uint64_t lead = window >= 2 ? window / 2 - 1 : 0;
    values.clear();
    for (const std::complex<double>& s : samples) {
        const double p = scale(s.real(), s.imag());
        double& slot = ring[seen % window];
        sum += p - slot;
        slot = p;
        ++seen;
        // Summed afresh once per window, so that rounding left by a strong burst
        // never outlasts it.
        if (seen % window == 0) {
            sum = 0;
            for (double value : ring)
                sum += value;
        }
        if (seen >= window)
            values.push_back(sum);
    }
    if (values.empty())
        return;
    decibelsInPlace(values.data(), values.size(), scale.decibelFactor / static_cast<double>(window));
    if (emitted == 0) {
        envelope.addConstant(values.front(), static_cast<size_t>(std::min(lead, outputs)));
        emitted += std::min(lead, outputs);
    }
    const size_t room = static_cast<size_t>(std::min<uint64_t>(values.size(), outputs - emitted));
    envelope.add(values.data(), room);
    emitted += room;
    lastValue = values.back();
}

void BandPowerStream::finish()
{
    if (seen < window && seen > 0) {
        // A range shorter than the window: the mean of all its powers everywhere.
        double total = 0;
        for (uint64_t k = 0; k < seen; ++k)
            total += ring[k];
        double value = total;
        decibelsInPlace(&value, 1, scale.decibelFactor / static_cast<double>(seen));
        envelope.addConstant(value, static_cast<size_t>(outputs));
        emitted = outputs;
        return;
    }
    if (emitted < outputs)
        envelope.addConstant(lastValue, static_cast<size_t>(outputs - emitted));
    emitted = outputs;
}

std::unique_ptr<CurvePass> bandPowerPass(const StreamRange& range, double fs,
                                         const PowerCurveSettings& settings, double low,
                                         double high, int width)
{
    return std::make_unique<CurvePass>(
        std::vector<CurveFrame>{rangeFrame(range, fs)},
        [range, fs, settings, low, high, width](const std::vector<CurveFrame>& frames) {
            return std::make_unique<BandPowerStream>(range.first, range.size(), fs, settings, low,
                                                     high, frames[0].xMin, frames[0].xMax, width);
        });
}
