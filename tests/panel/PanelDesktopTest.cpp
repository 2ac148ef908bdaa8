// What a desktop user expects of the panel: power in the same dBm whatever the
// datatype, fields that say exactly what is shown, unapplied edits marked and
// put back, damaged files loaded with a note.

#include "tests/panel/PanelFixture.h"

#include "session/ViewSession.h"

#include "views/CustomPlot.h"
#include "views/PowerView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <numeric>

using namespace recordingfiles;

namespace {

constexpr uint32_t rate = 8000;
constexpr double twoPi = 6.283185307179586;

// A complex tone at half of full scale, `bits` bits per value, as stored.
std::string halfScaleTone(int bits, bool offsetBinary, size_t samples)
{
    const double fullScale = std::ldexp(1.0, bits - 1);
    std::string bytes;
    for (size_t k = 0; k < samples; ++k) {
        const double phase = twoPi * 1000.0 * static_cast<double>(k) / rate;
        for (double v : {std::cos(phase), std::sin(phase)}) {
            auto value = static_cast<int64_t>(std::llround(0.5 * fullScale * v));
            if (offsetBinary)
                value += static_cast<int64_t>(fullScale);
            for (int b = 0; b < bits / 8; ++b)
                bytes += static_cast<char>((static_cast<uint64_t>(value) >> (8 * b)) & 0xFF);
        }
    }
    return bytes;
}

std::string wav24(const std::string& data)
{
    std::string bytes = "RIFF";
    appendU32(bytes, 36 + static_cast<uint32_t>(data.size()));
    bytes += "WAVEfmt ";
    appendU32(bytes, 16);
    appendU16(bytes, 1); // integer PCM
    appendU16(bytes, 2);
    appendU32(bytes, rate);
    appendU32(bytes, rate * 6);
    appendU16(bytes, 6);
    appendU16(bytes, 24);
    bytes += "data";
    appendU32(bytes, static_cast<uint32_t>(data.size()));
    return bytes + data;
}

class PanelDesktop : public PanelFixture
{
protected:
    double meanPower()
    {
        const auto& y = widget<QWidget>("powerView")->findChild<CustomPlot*>("plot")->yValues();
        return std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(y.size());
    }
};

} // namespace

// A half-scale tone reads the same dBm in every format: a load sets the full
// scale value from the datatype.
TEST_F(PanelDesktop, FullScaleFollowsTheDatatype)
{
    const size_t n = rate;
    struct Row
    {
        const char* file;
        int format;
        const char* datatype;
        std::string bytes;
        const char* fullScale;
    } rows[] = {
        {"tone.cu8", 3, "cu8_le", halfScaleTone(8, true, n), "128"},
        {"tone.cs8", 3, "ci8_le", halfScaleTone(8, false, n), "128"},
        {"tone.cs16", 3, "ci16_le", halfScaleTone(16, false, n), "32768"},
        {"tone24.wav", 2, "", wav24(halfScaleTone(24, false, n)), "8388608"},
        {"tone.ci32", 3, "ci32_le", halfScaleTone(32, false, n), "2147483648"},
    };
    // (1/2)^2 of full scale, 1 V into 1 ohm: 0.125 W.
    const double expected = 10 * std::log10(0.125 / 0.001);
    setText("sampleRateEdit", QString::number(rate));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        writeBytes(path(row.file), row.bytes);
        setText("binaryFormatEdit", row.datatype);
        ASSERT_TRUE(load(path(row.file), row.format).empty());
        EXPECT_EQ(text("fullScaleValueEdit"), row.fullScale);
        EXPECT_NEAR(meanPower(), expected, 0.05);
    }
    Samples floats = tone(rate, 1.0, 1000.0, 0.5);
    writeCf32(path("tone.cfile"), floats);
    ASSERT_TRUE(load(path("tone.cfile")).empty());
    EXPECT_EQ(text("fullScaleValueEdit"), "1");
    EXPECT_NEAR(meanPower(), expected, 0.05);

    // dBFS: the same tone at -6.02 dB of full scale.
    widget<QComboBox>("powerUnitComboBox")->setCurrentIndex(1);
    ASSERT_TRUE(click("powerApplyButton").empty());
    EXPECT_NEAR(meanPower(), 20 * std::log10(0.5), 0.05);
    // Applied while the view is hidden, the unit holds when it shows again.
    window->show();
    widget<QCheckBox>("showPowerViewCheckBox")->setChecked(false);
    widget<QComboBox>("powerUnitComboBox")->setCurrentIndex(0);
    ASSERT_TRUE(click("powerApplyButton").empty());
    widget<QCheckBox>("showPowerViewCheckBox")->setChecked(true);
    waitForPanel(panel);
    EXPECT_NEAR(meanPower(), expected, 0.05);
}

// The fields a load writes say exactly what is shown: an Apply with them covers
// every sample of a recording whose duration needs many digits.
TEST_F(PanelDesktop, LoadedFieldsAreExact)
{
    const uint32_t fast = 2048000;
    writeCf32(path("long.cf32"), Samples{std::vector<double>(562500, 0.5), std::vector<double>(562500, 0.0)});
    setText("sampleRateEdit", QString::number(fast));
    setText("binaryFormatEdit", "cf32_le");
    ASSERT_TRUE(load(path("long.cf32"), 3).empty());
    EXPECT_EQ(text("fileDurationLabel"), "0.274658203125");
    const double stop = text("stopTimeEdit").toDouble();
    EXPECT_GE(std::ceil(stop * fast), 562500.0 - 1);
    EXPECT_EQ(text("startFrequencyEdit"), "-1024000");
    ASSERT_TRUE(click("timeRangeApplyButton").empty());
    EXPECT_EQ(panel->session()->shown().range.stop, 562500.0 / fast);
}

// Edits not applied yet are marked; Escape and Cancel put back what is shown,
// Return applies.
TEST_F(PanelDesktop, UnappliedEditsAreMarkedAndPutBack)
{
    ASSERT_TRUE(load(sigmf("ten", 1000, 10.0)).empty());
    auto* stopEdit = widget<QLineEdit>("stopTimeEdit");
    auto* apply = widget<QPushButton>("timeRangeApplyButton");
    EXPECT_TRUE(stopEdit->styleSheet().isEmpty());
    QTest::keyClicks(stopEdit, "5");
    EXPECT_EQ(stopEdit->text(), "105");
    EXPECT_FALSE(stopEdit->styleSheet().isEmpty());
    EXPECT_TRUE(apply->font().bold());
    QTest::keyClick(stopEdit, Qt::Key_Escape);
    EXPECT_EQ(stopEdit->text(), "10");
    EXPECT_TRUE(stopEdit->styleSheet().isEmpty());
    EXPECT_FALSE(apply->font().bold());

    stopEdit->selectAll();
    QTest::keyClicks(stopEdit, "4");
    QTest::keyClick(stopEdit, Qt::Key_Return);
    waitForPanel(panel);
    EXPECT_EQ(panel->session()->shown().range.stop, 4.0);
    EXPECT_TRUE(stopEdit->styleSheet().isEmpty());
}

// A data file with a stray partial sample loads what it holds, and says so.
TEST_F(PanelDesktop, DamagedFileLoadsWithItsNote)
{
    std::string bytes(4 * 1000, '\1');
    bytes += "xyz";
    writeBytes(path("stray.cs16"), bytes);
    setText("sampleRateEdit", "1000");
    ASSERT_TRUE(load(path("stray.cs16")).empty());
    EXPECT_EQ(text("fileLengthLabel"), "1000");
    EXPECT_EQ(text("binaryFormatEdit"), "ci16_le");
    EXPECT_EQ(text("fileNoteLabel"), "3 bytes after the last whole sample are ignored");
}
