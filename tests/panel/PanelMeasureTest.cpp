// The measurements group and the spectrum markers in the real window: tones at
// awkward frequencies, peak to peak, a second marker, markers kept through an
// Apply, and the whole band's channel power against the power view's mean.

#include "tests/panel/PanelFixture.h"

#include "panel/MeasurementsGroup.h"
#include "views/CustomPlot.h"

#include <QClipboard>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <cmath>

using namespace recordingfiles;

namespace {

constexpr double twoPi = 6.283185307179586;

// Tones of (frequency, amplitude) at `rate`, with white noise of `noise` mean power.
Samples tones(uint32_t rate, size_t count, std::vector<std::pair<double, double>> list, double noise)
{
    Samples s{std::vector<double>(count, 0.0), std::vector<double>(count, 0.0)};
    uint64_t state = 99;
    const auto uniform = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    for (size_t k = 0; k < count; ++k) {
        for (const auto& [hz, amplitude] : list) {
            const double phase = twoPi * std::fmod(hz * static_cast<double>(k) / rate, 1.0);
            s.i[k] += amplitude * std::cos(phase);
            s.q[k] += amplitude * std::sin(phase);
        }
        // Complex Gaussian noise (Box-Muller) of mean power `noise`.
        const double radius = std::sqrt(-noise * std::log(uniform()));
        const double angle = twoPi * uniform();
        s.i[k] += radius * std::cos(angle);
        s.q[k] += radius * std::sin(angle);
    }
    return s;
}

double dbm(double amplitude)
{
    return 10 * std::log10(amplitude * amplitude / 2 / 1e-3);
}

class PanelMeasure : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        window->resize(1400, 900);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        group = widget<MeasurementsGroup>("measurementsGroup");
    }
    void loadSamples(const QString& name, uint32_t rate, const Samples& samples)
    {
        writeSigmf(path(name + ".sigmf-meta"), path(name + ".sigmf-data"), rate, samples);
        ASSERT_TRUE(load(path(name + ".sigmf-meta")).empty());
        widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
        QApplication::processEvents();
    }
    void key(QWidget* target, int code, Qt::KeyboardModifiers keys = {})
    {
        QTest::keyClick(target, static_cast<Qt::Key>(code), keys);
        QApplication::processEvents();
    }
    double binWidth(uint32_t rate) const { return rate / std::pow(2.0, widget<QSpinBox>("fftExponentSpinBox")->value()); }
    // The number before the unit of a label.
    double number(const char* label) { return text(label).section(' ', 0, 0).toDouble(); }

    MeasurementsGroup* group = nullptr;
};

} // namespace

TEST_F(PanelMeasure, PeakMarkerOnTonesAtAwkwardFrequencies)
{
    struct Row
    {
        uint32_t rate;
        double hz;
        double amplitude;
    } rows[] = {
        {48000, 1234.567, 0.5},
        {1000000, -123456.7, 0.01},
        {8000, 1000 + 31.25 / 2, 0.5},   // halfway between two bins
        {250000, 99000.3, 0.3},          // near the band's edge
        {44100, -3.7, 1.0},              // beside 0 Hz
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hz);
        loadSamples(QString("tone%1").arg(row.rate), row.rate, tones(row.rate, row.rate / 4, {{row.hz, row.amplitude}}, 1e-9));
        group->peakButton->click();
        const std::optional<SpectrumMarker>& marker = group->markers().first();
        ASSERT_TRUE(marker.has_value());
        EXPECT_LE(std::abs(marker->frequencyHz - row.hz), 0.1 * binWidth(row.rate));
        ASSERT_TRUE(marker->powerDbm.has_value());
        EXPECT_NEAR(*marker->powerDbm, dbm(row.amplitude), 0.1);
        EXPECT_TRUE(text("markerLabel").startsWith("Marker 1: ")) << text("markerLabel").toStdString();
        EXPECT_TRUE(text("markerLabel").endsWith(" dBm")) << text("markerLabel").toStdString();
        EXPECT_NEAR(text("peakFrequencyLabel").section(' ', 0, 0).toDouble()
                        * (text("peakFrequencyLabel").endsWith("kHz") ? 1e3 : 1.0),
                    row.hz, 0.1 * binWidth(row.rate) + 1);
    }
}

TEST_F(PanelMeasure, MarkersFromPeakToPeakAndThroughAnApply)
{
    constexpr uint32_t rate = 48000;
    loadSamples("three", rate, tones(rate, rate, {{-9000, 0.1}, {3000, 0.5}, {12000, 0.05}}, 1e-8));
    QWidget* plot = widget<QWidget>("spectrumView")->findChild<CustomPlot*>("plot");
    key(window.get(), Qt::Key_P);
    ASSERT_TRUE(group->markers().first());
    EXPECT_NEAR(group->markers().first()->frequencyHz, 3000, 1);
    plot->setFocus();
    struct Step
    {
        int key;
        Qt::KeyboardModifiers modifiers;
        double first;                // marker 1 afterwards
        std::optional<double> second; // marker 2 afterwards
    } steps[] = {
        {Qt::Key_Right, {}, 12000, std::nullopt},
        {Qt::Key_Right, {}, 12000, std::nullopt}, // no peak beyond: it stays
        {Qt::Key_Left, {}, 3000, std::nullopt},
        {Qt::Key_Left, {}, -9000, std::nullopt},
        {Qt::Key_P, Qt::ShiftModifier, -9000, 3000}, // marker 2 beside marker 1
        {Qt::Key_Right, {}, -9000, 12000},           // the last marker placed moves
    };
    for (const Step& step : steps) {
        key(plot, step.key, step.modifiers);
        ASSERT_TRUE(group->markers().first());
        EXPECT_NEAR(group->markers().first()->frequencyHz, step.first, 1) << step.key;
        EXPECT_EQ(group->markers().second().has_value(), step.second.has_value());
        if (step.second) {
            EXPECT_NEAR(group->markers().second()->frequencyHz, *step.second, 1) << step.key;
        }
    }
    // Marker 2 by Shift+click, on the bin under the pointer; the difference read.
    CustomPlot* spectrum = static_cast<CustomPlot*>(plot);
    const QPoint at(static_cast<int>(spectrum->xAxisMap().pixelAt(3000)), spectrum->plotArea().center().y());
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, at);
    ASSERT_TRUE(group->markers().second());
    EXPECT_NEAR(group->markers().second()->frequencyHz, 3000, 1);
    EXPECT_TRUE(text("markerLabel").contains("\u0394f = 12.0")) << text("markerLabel").toStdString();
    const double level = dbm(0.5) - dbm(0.1);
    EXPECT_NEAR(text("markerLabel").section("\u0394level = ", 1).section(' ', 0, 0).toDouble(), level, 0.1);
    EXPECT_EQ(spectrum->marks().size(), 2u);
    // A click without Shift is the cursors' and leaves the markers alone.
    EXPECT_TRUE(text("readoutLabel").isEmpty() || !text("readoutLabel").contains("A: "));

    // A new FFT size: the markers stay on their tones, read from the new spectrum.
    widget<QSpinBox>("fftExponentSpinBox")->setValue(12);
    ASSERT_TRUE(click("spectrumApplyButton").empty());
    EXPECT_NEAR(group->markers().first()->frequencyHz, -9000, 1);
    EXPECT_NEAR(group->markers().second()->frequencyHz, 3000, 1);
    EXPECT_NEAR(*group->markers().second()->powerDbm, dbm(0.5), 0.1);
    // A band without marker 1's tone drops it.
    setText("startFrequencyEdit", "0");
    setText("stopFrequencyEdit", "20000");
    ASSERT_TRUE(click("spectrumApplyButton").empty());
    EXPECT_FALSE(group->markers().first());
    EXPECT_TRUE(group->markers().second());
    // A new recording starts without markers.
    loadSamples("again", rate, tones(rate, rate / 2, {{1000, 0.5}}, 1e-8));
    EXPECT_TRUE(group->markers().empty());
    EXPECT_TRUE(spectrum->marks().empty());
}

TEST_F(PanelMeasure, BandMeasurementsOfToneAndNoise)
{
    // 2e-4 of noise at 1 MS/s reads -97 dB/Hz; a tone 30 dB above the band's noise.
    constexpr uint32_t rate = 1000000;
    constexpr double noise = 2e-4;
    const double amplitude = std::sqrt(2 * noise * 1000);
    const Samples samples = tones(rate, rate / 2, {{100000.5, amplitude}}, noise);
    loadSamples("noisy", rate, samples);
    // The whole band: channel power is the power view's mean (the samples' mean power).
    double total = 0;
    for (size_t k = 0; k < samples.i.size(); ++k)
        total += samples.i[k] * samples.i[k] + samples.q[k] * samples.q[k];
    const double meanDbm = 10 * std::log10(total / samples.i.size() / 2 / 1e-3);
    EXPECT_NEAR(number("channelPowerLabel"), meanDbm, 0.05);
    EXPECT_TRUE(text("channelPowerLabel").endsWith(" dBm"));
    EXPECT_NEAR(number("noiseDensityLabel"), 10 * std::log10(noise / rate), 0.5);
    EXPECT_TRUE(text("noiseDensityLabel").endsWith(" dB/Hz"));
    // Tone power A^2 against the noise in the whole band, noise x fs: 30 dB.
    EXPECT_NEAR(number("snrLabel"), 10 * std::log10(amplitude * amplitude / noise), 1.0);
    // A flat noise band: 99 % of it lies in 99 % of its width.
    setText("startFrequencyEdit", "-300000");
    setText("stopFrequencyEdit", "0");
    ASSERT_TRUE(click("spectrumApplyButton").empty());
    EXPECT_NEAR(number("occupiedBandwidthLabel"), 0.99 * 300, 0.05 * 300) << text("occupiedBandwidthLabel").toStdString();
    EXPECT_TRUE(text("occupiedBandwidthLabel").contains(" kHz (")) << text("occupiedBandwidthLabel").toStdString();
    group->occupiedPercentSpinBox->setValue(50);
    EXPECT_NEAR(number("occupiedBandwidthLabel"), 0.5 * 300, 0.05 * 300) << text("occupiedBandwidthLabel").toStdString();
    // Copy puts the values on the clipboard, one per line.
    group->copyMeasurementsButton->click();
    const QString copied = QApplication::clipboard()->text();
    EXPECT_TRUE(copied.contains("Channel power: ")) << copied.toStdString();
    EXPECT_TRUE(copied.contains("Occupied bandwidth (50.00 %): ")) << copied.toStdString();
}
