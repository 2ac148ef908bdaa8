#pragma once
// The power of one band against time: the band mixed to 0 Hz, filtered and
// decimated (as an export of the band is), then moving-averaged over the power
// view's window in seconds and calibrated, reduced per pixel column.

#include "dsp/BandExtractor.h"
#include "plotdata/CurvePass.h"
#include "plotdata/PowerCurveStream.h"
#include "plotdata/PowerWindows.h"

#include <complex>
#include <cstdint>
#include <memory>
#include <vector>

class BandPowerStream : public CurveStream
{
public:
    // Samples [first, first + n) at fs; the band [low, high] in baseband hertz; the
    // curve's columns found over xMin ... xMax on a plot `width` pixels wide.
    BandPowerStream(uint64_t first, uint64_t n, double fs, const PowerCurveSettings& settings,
                    double low, double high, double xMin, double xMax, int width);

    void consume(uint64_t index, size_t count, const double* i, const double* q,
                 WorkControl& control) override;
    std::vector<ReducedCurve> results() const override { return {envelope.result(false)}; }
    bool framesHold(const std::vector<ReducedCurve>& curves) const override
    {
        return envelope.frameHolds(curves.at(0).ranges);
    }

private:
    // Powers of the band's samples, as windows complete.
    void addPowers(const std::vector<std::complex<double>>& band);
    void finish();

    uint64_t n;
    BandExtractor extractor;
    PowerScale scale;
    // The window in band samples, the outputs of the range, those given so far.
    uint64_t window;
    uint64_t outputs;
    uint64_t emitted = 0;
    uint64_t consumed = 0;
    CurveEnvelope envelope;
    std::vector<std::complex<double>> band;
    // The window's powers (a ring) and their sum, and the powers seen.
    std::vector<double> ring;
    double sum = 0;
    uint64_t seen = 0;
    double lastValue = 0;
    std::vector<double> values;
};

// The band's power curve of `range` at fs on a plot `width` pixels wide.
std::unique_ptr<CurvePass> bandPowerPass(const StreamRange& range, double fs,
                                         const PowerCurveSettings& settings, double low,
                                         double high, int width);
