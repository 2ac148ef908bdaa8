// The band's audio: an FM or AM tone comes out at its modulating frequency,
// at 48 kHz, whether the trace is faster or slower than the audio.

#include "dsp/TraceAudio.h"
#include "dsp/WorkControl.h"
#include "io/SampleSource.h"
#include "tests/signals/SignalGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

// Frequency of a tone from its rising zero crossings (the mean taken out).
double toneFrequency(const std::vector<int16_t>& audio)
{
    double mean = 0;
    for (int16_t s : audio)
        mean += s;
    mean /= static_cast<double>(audio.size());
    std::size_t firstRise = 0, lastRise = 0, rises = 0;
    for (std::size_t k = 1; k < audio.size(); ++k)
        if (audio[k - 1] - mean < 0 && audio[k] - mean >= 0) {
            if (rises == 0)
                firstRise = k;
            lastRise = k;
            ++rises;
        }
    return rises < 2 ? 0.0 : (rises - 1) * double(audioRate) / double(lastRise - firstRise);
}

} // namespace

TEST(TraceAudio, ToneAtItsModulatingFrequency)
{
    struct
    {
        TraceKind kind;
        double rate, centre, modulation, low, high;
    } rows[] = {
        {TraceKind::Frequency, 240000, 30000, 1000, 20000, 40000},   // trace at 26.7 kHz
        {TraceKind::Phase, 1e6, -100000, 440, -200000, 0},          // trace at 800 kHz
        {TraceKind::Amplitude, 240000, 10000, 700, 0, 20000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.modulation);
        const auto n = static_cast<std::size_t>(row.rate);
        testsignals::Iq x = row.kind == TraceKind::Amplitude
                            ? testsignals::amTone(n, row.rate, row.centre, row.modulation, 0.5, 0.3)
                            : testsignals::fmTone(n, row.rate, row.centre, row.modulation, 3000, 0.3);
        x.add(testsignals::noise(n, 1e-6, 8));
        const auto source = memorySamples(x.i, x.q);
        AudioRequest request;
        request.kind = row.kind;
        request.sampleRate = row.rate;
        request.low = row.low;
        request.high = row.high;
        request.first = 0;
        request.end = n;
        WorkControl control;
        const std::vector<int16_t> audio = bandAudio(*source, request, 0, 0, false, control);
        EXPECT_NEAR(static_cast<double>(audio.size()), audioRate, audioRate * 0.001);
        const double found = toneFrequency(audio);
        EXPECT_NEAR(found, row.modulation, row.modulation * 0.01);
        std::printf("tone at %g Hz: found %.3f Hz\n", row.modulation, found);
    }
}
