// The three Apply buttons: their checks in order, their messages, and what they
// hand to the views, judged by what the views paint.

#include "tests/panel/PanelFixture.h"

#include "session/ViewSession.h"

#include "io/Recording.h"
#include "views/AmplitudeView.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QSpinBox>

#include <limits>

using namespace recordingfiles;

namespace {

class PanelApply : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        window->resize(1400, 900);
        window->show();
    }

    // A ten-second recording at 44,100 samples/s.
    void loadTenSeconds()
    {
        ASSERT_TRUE(load(sigmf("ten", 44100, 10.0, 5000.0)).empty());
    }

    QImage grab(const char* view) { return widget<QWidget>(view)->grab().toImage(); }

    // Sets the time fields, presses Apply and returns the spectrogram as drawn.
    QImage timeRange(const QString& start, const QString& stop)
    {
        setText("startTimeEdit", start);
        setText("stopTimeEdit", stop);
        EXPECT_TRUE(click("timeRangeApplyButton").empty()) << start.toStdString() << " "
                                                            << stop.toStdString();
        return grab("spectrogramView");
    }

    void expectInputError(const char* button, const QString& message)
    {
        expectBox(click(button), QMessageBox::Warning, "Input Error", message, panel);
        EXPECT_TRUE(statusIsReady());
    }
};

} // namespace

TEST_F(PanelApply, TimeRangeSnapsToTheDurationAndChecksItsFields)
{
    loadTenSeconds();
    const QImage whole = timeRange("0", "10");
    EXPECT_EQ(timeRange("0", "20"), whole);
    EXPECT_EQ(text("stopTimeEdit"), "10"); // a stop beyond the end shows the end
    EXPECT_EQ(timeRange("0", "9.99995"), whole);
    EXPECT_NE(timeRange("0", "9.9"), whole);
    EXPECT_NE(timeRange("1", "10"), whole);
    // Ranges shorter than one FFT, down to a single sample, are drawn as well as
    // the views can; nothing reads outside the samples.
    for (const char* stop : {"5.001", "5.00001", "5.0000000001"})
        timeRange("5", stop);
    EXPECT_TRUE(statusIsReady());

    const std::tuple<const char*, const char*, const char*> refused[] = {
        {"10", "10", "Start time must be less than the stop time and the duration of the recording (10 s)"},
        {"12", "20", "Start time must be less than the stop time and the duration of the recording (10 s)"},
        {"5", "4", "Start time must be less than the stop time and the duration of the recording (10 s)"},
        {"0", "-1", "Invalid stop time: input shall be > 0"},
        {"0", "", "Invalid stop time: input shall be a number"},
        {"0", "-inf", "Invalid stop time: input shall be > 0"},
        {"-1", "-1", "Invalid start time: input shall be >= 0"},
        {"nan", "5", "Invalid start time: input shall be a number"},
        // Text that is no number is refused, never read as 0.
        {"abc", "10", "Invalid start time: input shall be a number"},
        {"2,5", "10", "Invalid start time: input shall be a number"},
        {"", "10", "Invalid start time: input shall be a number"},
    };
    for (const auto& [start, stop, message] : refused) {
        setText("startTimeEdit", start);
        setText("stopTimeEdit", stop);
        expectInputError("timeRangeApplyButton", message);
    }
}

TEST_F(PanelApply, TimeRangeBeforeAnyLoadTouchesNoView)
{
    const QImage empty = grab("spectrogramView");
    const QImage emptyPower = grab("powerView");
    setText("startTimeEdit", "1");
    setText("stopTimeEdit", "2");
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    EXPECT_EQ(grab("spectrogramView"), empty);
    EXPECT_EQ(grab("powerView"), emptyPower);
    EXPECT_TRUE(statusIsReady());
    // Only the field checks speak before a load.
    setText("startTimeEdit", "3");
    expectInputError("timeRangeApplyButton",
                     "Start time must be less than the stop time");
    setText("stopTimeEdit", "0");
    expectInputError("timeRangeApplyButton", "Invalid stop time: input shall be > 0");
}

TEST_F(PanelApply, SpectrumChecksTheBandAndTheExponent)
{
    auto* exponent = widget<QSpinBox>("fftExponentSpinBox");
    exponent->setValue(10);
    EXPECT_TRUE(click("spectrumApplyButton").empty()); // no file: only the size label
    EXPECT_EQ(text("fftSizeLabel"), "1024");

    exponent->setValue(16);
    expectInputError("spectrumApplyButton", "Invalid FFT size exponent: input shall be <= 15");
    EXPECT_EQ(text("fftSizeLabel"), "1024");
    exponent->setValue(std::numeric_limits<int>::max());
    EXPECT_EQ(exponent->value(), std::numeric_limits<int>::max());
    expectInputError("spectrumApplyButton", "Invalid FFT size exponent: input shall be <= 15");
    exponent->setValue(8);

    loadTenSeconds();
    const std::tuple<const char*, const char*, const char*, const char*> refused[] = {
        {"30000", "22050", "40", "Invalid start frequency: must lie between -22050 and 22050 Hz"},
        {"-22051", "22050", "40", "Invalid start frequency: must lie between -22050 and 22050 Hz"},
        {"nan", "22050", "40", "Invalid start frequency: input shall be a number"},
        {"-22050", "22050.5", "40", "Invalid stop frequency: must lie between -22050 and 22050 Hz"},
        {"-22050", "-1e400", "40", "Invalid stop frequency: must lie between -22050 and 22050 Hz"},
        {"-22050", "22050", "0", "Invalid range: input shall be > 0"},
        {"-22050", "22050", "x", "Invalid range: input shall be a number"},
        {"100", "100", "40", "Start frequency must be less than the stop frequency"},
        {"200", "100", "40", "Start frequency must be less than the stop frequency"},
    };
    for (const auto& [start, stop, range, message] : refused) {
        setText("startFrequencyEdit", start);
        setText("stopFrequencyEdit", stop);
        setText("rangeEdit", range);
        expectInputError("spectrumApplyButton", message);
    }

    // The band's own edges are allowed; an empty field is refused, never read as 0.
    setText("startFrequencyEdit", "");
    setText("stopFrequencyEdit", "22050");
    expectInputError("spectrumApplyButton", "Invalid start frequency: input shall be a number");
    const QImage full = grab("spectrogramView");
    for (const auto& [start, stop] : {std::pair{"-22050", "22050"}, std::pair{"0", "22050"},
                                      std::pair{"-1000.5", "1000.5"}}) {
        setText("startFrequencyEdit", start);
        setText("stopFrequencyEdit", stop);
        setText("rangeEdit", "40");
        EXPECT_TRUE(click("spectrumApplyButton").empty()) << start << " " << stop;
        EXPECT_TRUE(statusIsReady());
    }
    EXPECT_NE(grab("spectrogramView"), full);
    // A band narrower than a hertz: the spectrogram gets the stop truncated to
    // whole hertz, below the start.
    setText("startFrequencyEdit", "0.25");
    setText("stopFrequencyEdit", "0.75");
    EXPECT_TRUE(click("spectrumApplyButton").empty());
    for (int value : {1, 15}) {
        exponent->setValue(value);
        EXPECT_TRUE(click("spectrumApplyButton").empty()) << value;
        EXPECT_EQ(text("fftSizeLabel"), QString::number(1 << value));
    }
}

TEST_F(PanelApply, PowerChecksInItsOwnOrderAndDoesNothingBeforeALoad)
{
    setText("fullScaleValueEdit", "0");
    EXPECT_TRUE(click("powerApplyButton").empty());
    EXPECT_TRUE(statusIsReady());

    loadTenSeconds();
    struct Case
    {
        const char* window;
        const char* value;
        const char* voltage;
        const char* impedance;
        const char* message;
    };
    const Case refused[] = {
        {"0", "0", "1", "1", "Invalid full scale value: input shall be > 0"},
        {"0", "1", "-2", "0", "Invalid full scale voltage: input shall be > 0"},
        {"0", "1", "1", "inf", "Invalid input impedance: input shall be a finite number > 0"},
        {"0", "1", "1", "1", "Invalid average window: input shall be > 0"},
        {"0.4", "1", "1", "1", "Invalid average window: input shall be >= 0.5"},
        {"3e9", "1", "1", "1", "Invalid average window: input shall be <= 2147483647"},
    };
    for (const Case& row : refused) {
        setText("averageWindowEdit", row.window);
        setText("fullScaleValueEdit", row.value);
        setText("fullScaleVoltageEdit", row.voltage);
        setText("inputImpedanceEdit", row.impedance);
        expectInputError("powerApplyButton", row.message);
    }

    setText("averageWindowEdit", "100");
    setText("fullScaleValueEdit", "1");
    setText("fullScaleVoltageEdit", "1");
    setText("inputImpedanceEdit", "1");
    EXPECT_TRUE(click("powerApplyButton").empty());
    const QImage defaults = grab("powerView");
    setText("averageWindowEdit", "99.5"); // rounds to 100
    EXPECT_TRUE(click("powerApplyButton").empty());
    EXPECT_EQ(grab("powerView"), defaults);
    setText("inputImpedanceEdit", "50");
    EXPECT_TRUE(click("powerApplyButton").empty());
    EXPECT_NE(grab("powerView"), defaults);
    for (const char* averageWindow : {"0.5", "1", "2", "1e6"}) {
        setText("averageWindowEdit", averageWindow);
        EXPECT_TRUE(click("powerApplyButton").empty()) << averageWindow;
        EXPECT_TRUE(statusIsReady());
    }
}

// The recording is changed behind the panel's back, so that whether the
// spectrogram data were recomputed shows in the image.
TEST(PanelSpectrumApply, RecomputesTheSpectrogramOnlyWhenExponentOrOverlapChanged)
{
    QTemporaryDir dir;
    Recording recording;
    QWidget host;
    auto* spectrogram = new SpectrogramView(&recording, &host);
    auto* power = new PowerView(&recording, &host);
    auto* amplitude = new AmplitudeView(&recording, &host);
    auto* spectrum = new SpectrumView(&recording, &host);
    spectrum->setFftSize(static_cast<int>(spectrogram->fftSize()));
    spectrum->setOverlap(spectrogram->overlap());
    ControlPanel panel(&recording, spectrogram, power, amplitude, spectrum, &host);
    spectrogram->resize(700, 400);
    spectrum->resize(700, 400);

    const QString meta = dir.filePath("a.sigmf-meta");
    writeSigmf(meta, dir.filePath("a.sigmf-data"), 8000, tone(8000, 2.0, 1000.0));
    ASSERT_TRUE(captureMessageBoxes([&] {
                    panel.loadFile(meta, 0);
                    waitForPanel(&panel);
                }).empty());
    auto* apply = panel.findChild<QAbstractButton*>("spectrumApplyButton");
    ASSERT_NE(apply, nullptr);

    apply->click(); // the first Apply always recomputes
    waitForPanel(&panel);
    const QImage first = spectrogram->grab().toImage();
    const QImage firstSpectrum = spectrum->grab().toImage();

    const Samples moved = tone(8000, 2.0, -2500.0);
    recording.assign(8000, moved.i, moved.q);
    apply->click();
    waitForPanel(&panel);
    EXPECT_EQ(spectrogram->grab().toImage(), first);
    EXPECT_NE(spectrum->grab().toImage(), firstSpectrum);

    panel.findChild<QDoubleSpinBox*>("overlapSpinBox")->setValue(50.0);
    apply->click();
    waitForPanel(&panel);
    const QImage afterOverlap = spectrogram->grab().toImage();
    EXPECT_NE(afterOverlap, first);

    recording.assign(8000, tone(8000, 2.0, 1000.0).i, tone(8000, 2.0, 1000.0).q);
    apply->click();
    waitForPanel(&panel);
    EXPECT_EQ(spectrogram->grab().toImage(), afterOverlap);
    panel.findChild<QSpinBox*>("fftExponentSpinBox")->setValue(9);
    apply->click();
    waitForPanel(&panel);
    EXPECT_NE(spectrogram->grab().toImage(), afterOverlap);
}

TEST_F(PanelApply, SpectrogramBandBelowOneHertzAtALowRate)
{
    // At 10 samples/s a bin is 0.04 Hz wide: truncating the stop frequency to whole
    // hertz puts it bins below the start.
    ASSERT_TRUE(load(sigmf("slow", 10, 100.0, 1.0)).empty());
    setText("startFrequencyEdit", "0.9");
    setText("stopFrequencyEdit", "0.95");
    EXPECT_TRUE(click("spectrumApplyButton").empty());
    EXPECT_TRUE(statusIsReady());
    grab("spectrogramView");
    grab("spectrumView");
}

// A view the user has hidden is left out of loads and Applies, and computed for
// the range shown as soon as it is shown again.
TEST_F(PanelApply, HiddenViewIsComputedWhenShownAgain)
{
    ASSERT_TRUE(load(sigmf("hidden", 8000, 2.0)).empty());
    auto* power = static_cast<PowerView*>(window->findChild<QWidget*>("powerView"));
    auto* show = widget<QCheckBox>("showPowerViewCheckBox");
    show->setChecked(false);
    setText("startTimeEdit", "0.5");
    setText("stopTimeEdit", "1");
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    EXPECT_EQ(power->startTime(), 0.0);
    show->setChecked(true);
    waitForPanel(panel);
    EXPECT_EQ(power->startTime(), 0.5);
    EXPECT_EQ(power->stopTime(), 1.0);
}

// The range the views show is always the fields' one: a power Apply while the
// power view is hidden, then a DC toggle, recompute every view over the range
// the time fields applied, and the power view takes its new settings over that
// range when it shows again.
TEST_F(PanelApply, HiddenPowerApplyKeepsTheShownRange)
{
    loadTenSeconds();
    auto* showPower = widget<QCheckBox>("showPowerViewCheckBox");
    showPower->setChecked(false);
    timeRange("2", "3");
    setText("averageWindowEdit", "10");
    EXPECT_TRUE(click("powerApplyButton").empty());
    auto* removeDc = widget<QCheckBox>("removeDcCheckBox");
    removeDc->setChecked(true);
    waitForPanel(panel);
    auto* spectrogram = widget<SpectrogramView>("spectrogramView");
    EXPECT_EQ(spectrogram->startTime(), 2.0);
    EXPECT_EQ(spectrogram->stopTime(), 3.0);
    EXPECT_EQ(panel->session()->shown().range.start, 2.0);

    showPower->setChecked(true);
    waitForPanel(panel);
    auto* power = widget<PowerView>("powerView");
    EXPECT_EQ(power->startTime(), 2.0);
    EXPECT_EQ(power->stopTime(), 3.0);
    EXPECT_EQ(power->averageWindow(), 10u);
    EXPECT_EQ(text("dcOffsetLabel").left(7), "Removed");
}
