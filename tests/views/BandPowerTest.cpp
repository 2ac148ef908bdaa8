// The power view's band-only curve: a weak burst beside a strong carrier outside
// the band shows at its own level, and the whole-band curve does not see it.

#include "views/CustomPlot.h"
#include "views/PowerView.h"

#include "io/Recording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr double twoPi = 6.283185307179586;
constexpr uint32_t fs = 1000000;
constexpr size_t count = 200000;
// The burst: samples [80000, 120000), 40 dB below the carrier.
constexpr size_t burstFirst = 80000;
constexpr size_t burstEnd = 120000;

void assignCarrierAndBurst(Recording& recording)
{
    std::mt19937_64 rng(20);
    std::normal_distribution<double> noise(0.0, 1e-6);
    std::vector<double> i(count), q(count);
    for (size_t k = 0; k < count; ++k) {
        const double carrier = twoPi * std::fmod(300000.0 * k / fs, 1.0);
        i[k] = std::cos(carrier) + noise(rng);
        q[k] = std::sin(carrier) + noise(rng);
        if (k >= burstFirst && k < burstEnd) {
            const double burst = twoPi * std::fmod(-100000.0 * k / fs, 1.0);
            i[k] += 0.01 * std::cos(burst);
            q[k] += 0.01 * std::sin(burst);
        }
    }
    recording.assign(fs, std::move(i), std::move(q));
}

// The curve's values over times [from, to) seconds: lowest and highest.
std::pair<double, double> spread(const CustomPlot& plot, double from, double to)
{
    double low = INFINITY, high = -INFINITY;
    for (size_t k = 0; k < plot.xValues().size(); ++k)
        if (plot.xValues()[k] >= from && plot.xValues()[k] < to) {
            low = std::min(low, plot.yValues()[k]);
            high = std::max(high, plot.yValues()[k]);
        }
    return {low, high};
}

} // namespace

TEST(BandPower, WeakBurstBesideAStrongCarrierShows)
{
    Recording recording;
    assignCarrierAndBurst(recording);
    PowerView view(&recording);
    view.resize(800, 300);
    view.grab();
    // Amplitude 0.01 with full scale 1 V into 1 ohm: 10 log10(0.01^2 / 2 / 1e-3) dBm.
    const double burstDbm = 10 * std::log10(0.01 * 0.01 / 2 / 1e-3);
    const double carrierDbm = 10 * std::log10(0.5 / 1e-3);

    view.setTimeRange(0.0, 0.2);
    auto* plot = view.plotWidget();
    const auto [wholeLow, wholeHigh] = spread(*plot, 0.0, 0.2);
    EXPECT_NEAR(wholeLow, carrierDbm, 0.01);
    EXPECT_NEAR(wholeHigh, carrierDbm, 0.01);

    PowerCurveSettings band = view.settings();
    band.band = std::make_pair(-150000.0, -50000.0);
    view.setSettings(band);
    view.refresh();
    // Away from the burst's edges (the window of 100 samples and the filter's delay).
    const auto [inLow, inHigh] = spread(*plot, 0.085, 0.115);
    EXPECT_NEAR(inLow, burstDbm, 0.05);
    EXPECT_NEAR(inHigh, burstDbm, 0.05);
    for (const auto& [from, to] : {std::pair{0.005, 0.075}, std::pair{0.125, 0.195}}) {
        const auto [outLow, outHigh] = spread(*plot, from, to);
        EXPECT_LT(outHigh, burstDbm - 20) << from;
    }
}
