// The band's samples in memory are the extractor's outputs for the range, and
// the keyed test signals carry what they claim.

#include "analysis/BandSamples.h"
#include "analysis/Modulation.h"
#include "dsp/BandExtractor.h"
#include "io/SampleSource.h"
#include "tests/signals/ModulatedSignal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>

namespace {

using namespace testsignals;

TEST(BandSamples, AreTheExtractorsOutputsForTheRange)
{
    const Iq x = noise(50000, 1.0, 3);
    const auto source = memorySamples(x.i, x.q);
    struct Case
    {
        double low, high;
        uint64_t first, end;
    };
    const Case cases[] = {{-0.1, 0.05, 0, 50000}, {0.2, 0.3, 12345, 40001}, {-0.5, 0.5, 49000, 50000},
                          {-0.02, 0.02, 7, 8}};
    for (const Case& c : cases) {
        BandSamplesRequest request;
        request.low = c.low;
        request.high = c.high;
        request.first = c.first;
        request.end = c.end;
        WorkControl control;
        const BandSamples band = readBandSamples(*source, request, {}, control);
        BandExtractor extractor(1.0, c.low, c.high);
        extractor.startRange(c.first, c.end - c.first);
        const uint64_t from = c.first - std::min<uint64_t>(c.first, extractor.reach());
        std::vector<std::complex<double>> want;
        extractor.process(from, x.size() - from, x.i.data() + from, x.q.data() + from, want);
        extractor.flush(want);
        ASSERT_EQ(band.y.size(), want.size()) << c.first;
        ASSERT_EQ(band.decimation, extractor.decimation());
        for (std::size_t k = 0; k < want.size(); ++k) {
            // Through memory: GCC 12 at -O2 and above drops the rounding of a
            // double to float and back in this loop.
            const volatile float re = static_cast<float>(want[k].real());
            const volatile float im = static_cast<float>(want[k].imag());
            ASSERT_EQ(band.y[k], std::complex<double>(re, im)) << c.first << " " << k;
        }
    }
}

TEST(BandSamples, RefusesARangeLongerThanItsCap)
{
    const Iq x = noise(1000, 1.0, 4);
    const auto source = memorySamples(x.i, x.q);
    BandSamplesRequest request;
    request.end = 1000;
    request.maxOutputs = 999;
    WorkControl control;
    EXPECT_THROW(readBandSamples(*source, request, {}, control), std::invalid_argument);
}

TEST(Modulation, NamesGoBothWays)
{
    for (const char* name : {"OOK", "ASK", "2FSK", "4FSK", "BPSK", "QPSK", "CW", "noise", "unknown"}) {
        const auto m = modulationFromName(name);
        ASSERT_TRUE(m) << name;
        EXPECT_EQ(modulationName(*m), name);
    }
    EXPECT_EQ(modulationFromName("qpsk"), Modulation::Qpsk);
    EXPECT_FALSE(modulationFromName("8PSK"));
}

// Symbol centres of the keyed signals sit where the signal says, with the
// level the numbering gives (no noise, so exact up to the pulses' tails).
TEST(KeyedSignal, SymbolCentresCarryTheirSymbols)
{
    struct Case
    {
        Keying keying;
        double samplesPerSymbol;
        double ppm;
    };
    const Case cases[] = {{Keying::Bpsk, 7.3, 200}, {Keying::Qpsk, 4.6, -200}, {Keying::Ook, 9.1, 0},
                          {Keying::Fsk2, 10.25, -150}, {Keying::Fsk4, 16.7, 0}};
    for (const Case& c : cases) {
        Keyed shape;
        shape.keying = c.keying;
        shape.rate = 1e6;
        shape.symbolRate = shape.rate / c.samplesPerSymbol;
        shape.clockPpm = c.ppm;
        shape.deviation = shape.symbolRate / 2;
        shape.symbols = 200;
        shape.lead = 50;
        shape.rolloff = 0.5;
        const KeyedSignal s = keyed(shape);
        int wrong = 0;
        for (std::size_t k = 10; k + 10 < s.symbols.size(); ++k) {
            const double t = s.firstSymbolTime + static_cast<double>(k) * s.symbolPeriod;
            const auto n = static_cast<std::size_t>(std::llround(t * shape.rate));
            const std::complex<double> y(s.iq.i[n], s.iq.q[n]);
            const std::complex<double> before(s.iq.i[n - 1], s.iq.q[n - 1]);
            int got = -1;
            switch (c.keying) {
            case Keying::Ook:
                got = std::abs(y) > 0.5;
                break;
            case Keying::Ask:
                break;
            case Keying::Bpsk:
                got = y.real() < 0;
                break;
            case Keying::Qpsk:
                got = static_cast<int>(std::floor(std::arg(y) / (M_PI / 2) + 4)) % 4;
                break;
            case Keying::Fsk2:
            case Keying::Fsk4: {
                const double f = std::arg(y * std::conj(before)) * shape.rate / (2 * M_PI);
                got = static_cast<int>(std::lround((f / shape.deviation + keyingLevels(c.keying) - 1) / 2));
                break;
            }
            }
            wrong += got != s.symbols[k];
        }
        EXPECT_EQ(wrong, 0) << static_cast<int>(c.keying);
    }
}

} // namespace
