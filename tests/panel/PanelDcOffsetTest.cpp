// Offset-binary recordings: the "Remove DC offset" box, ticked by a load of an
// unsigned datatype, takes the range's mean out of every view; unticked, the
// views are what they were without it.

#include "tests/panel/PanelFixture.h"

#include "views/CustomPlot.h"

#include <QCheckBox>

#include <algorithm>
#include <cmath>

namespace {

constexpr uint32_t rate = 8000;
constexpr double toneHz = 1000.0; // fs / 8
constexpr double amplitude = 100.0;

// A tone stored as 8-bit integers: around mid-scale for cu8, around zero for ci8.
std::string eightBitTone(bool unsignedSamples, size_t count)
{
    std::string bytes;
    const double centre = unsignedSamples ? 127.5 : 0.0;
    for (size_t k = 0; k < count; ++k) {
        const double phase = 6.283185307179586 * toneHz * double(k) / rate;
        bytes.push_back(static_cast<char>(static_cast<int>(std::lround(centre + amplitude * std::cos(phase)))));
        bytes.push_back(static_cast<char>(static_cast<int>(std::lround(centre + amplitude * std::sin(phase)))));
    }
    return bytes;
}

} // namespace

class PanelDcOffset : public PanelFixture
{
protected:
    CustomPlot* plot(const char* view) const
    {
        return window->findChild<QWidget*>(view)->findChild<CustomPlot*>("plot");
    }
    // Frequency of the strongest point of the spectrum.
    double spectrumPeak() const
    {
        const CustomPlot* spectrum = plot("spectrumView");
        const auto& y = spectrum->yValues();
        return spectrum->xValues()[size_t(std::max_element(y.begin(), y.end()) - y.begin())];
    }
    std::vector<QImage> pictures()
    {
        std::vector<QImage> shots;
        for (const char* name : {"spectrogramView", "powerView", "spectrumView"})
            shots.push_back(window->findChild<QWidget*>(name)->grab().toImage());
        return shots;
    }
    void toggle(bool on)
    {
        captureMessageBoxes([&] {
            widget<QCheckBox>("removeDcCheckBox")->setChecked(on);
            waitForPanel(panel);
        });
    }
};

TEST_F(PanelDcOffset, UnsignedSamplesShowTheToneAndItsPower)
{
    window->resize(1300, 900);
    window->show();
    // The tone's power with the 8-bit full scale a load sets (128) and the
    // default voltage and impedance: (100 / 128)^2 / 2 W, in dBm.
    const double fullScale = 128.0;
    const double tonePower = 10 * std::log10(amplitude * amplitude / (fullScale * fullScale) / 2 / 0.001);
    for (const bool unsignedSamples : {true, false}) {
        const char* datatype = unsignedSamples ? "cu8_le" : "ci8_le";
        SCOPED_TRACE(datatype);
        recordingfiles::writeBytes(path(QString(datatype) + ".bin"), eightBitTone(unsignedSamples, 2 * rate));
        setText("binaryFormatEdit", datatype);
        setText("sampleRateEdit", QString::number(rate));
        ASSERT_TRUE(load(path(QString(datatype) + ".bin"), 3).empty());
        EXPECT_EQ(text("fullScaleValueEdit"), "128");
        // Ticked by the load for the unsigned datatype only.
        EXPECT_EQ(widget<QCheckBox>("removeDcCheckBox")->isChecked(), unsignedSamples);
        toggle(true);
        EXPECT_TRUE(text("dcOffsetLabel").startsWith("Removed (I "));
        EXPECT_NEAR(spectrumPeak(), toneHz, rate / 256.0);
        const auto& power = plot("powerView")->yValues();
        EXPECT_NEAR(*std::min_element(power.begin(), power.end()), tonePower, 0.2);
        EXPECT_NEAR(*std::max_element(power.begin(), power.end()), tonePower, 0.2);
        const std::vector<QImage> removed = pictures();

        // Unticked: the values as stored. Offset binary shows its mid-scale as
        // the strongest line at DC and several dB of false power.
        toggle(false);
        EXPECT_EQ(text("dcOffsetLabel"), "Not removed");
        if (unsignedSamples) {
            EXPECT_EQ(spectrumPeak(), 0.0);
            const auto& stored = plot("powerView")->yValues();
            EXPECT_GT(*std::min_element(stored.begin(), stored.end()), tonePower + 5);
        } else {
            EXPECT_NEAR(spectrumPeak(), toneHz, rate / 256.0);
        }
        const std::vector<QImage> kept = pictures();
        // The same pictures as a view computing without the box ever ticked.
        toggle(true);
        EXPECT_EQ(pictures(), removed);
        toggle(false);
        EXPECT_EQ(pictures(), kept);
        EXPECT_TRUE(statusIsReady());
    }
}
