// The trace view in the window: shown by its check box, following the band,
// its kind and squelch from the display group, and Play without an audio
// output saying so.

#include "tests/panel/PanelFixture.h"

#include "panel/BandPlayer.h"
#include "session/ViewSession.h"
#include "views/CustomPlot.h"
#include "views/TraceView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

class PanelTrace : public PanelFixture
{
protected:
    ViewSession* session() const { return panel->session(); }
    TraceView* trace() const { return widget<TraceView>("traceView"); }
    CustomPlot* tracePlot() const { return static_cast<CustomPlot*>(trace()->plotWidget()); }
    // Sets a line edit's text and ends its edit, returning the boxes it opened.
    std::vector<CapturedMessageBox> enter(const char* name, const QString& value)
    {
        return captureMessageBoxes([&] {
            setText(name, value);
            QMetaObject::invokeMethod(widget<QLineEdit>(name), "editingFinished");
            waitForPanel(panel);
        });
    }
};

TEST_F(PanelTrace, FollowsTheBandWithItsKindAndSquelch)
{
    window->show();
    ASSERT_TRUE(load(sigmf("tone", 48000, 1.0, 3000.0)).empty());
    EXPECT_FALSE(trace()->isVisible());
    widget<QCheckBox>("showTraceViewCheckBox")->setChecked(true);
    waitForPanel(panel);
    ASSERT_TRUE(trace()->isVisible());
    EXPECT_EQ(widget<QComboBox>("traceKindComboBox")->currentText(), "Frequency (Hz)");
    // Inside the recording (the filter meets zeros at its ends), the band
    // about the tone: 3 kHz is 1 kHz above its centre.
    setText("startTimeEdit", "0.2");
    setText("stopTimeEdit", "0.8");
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    setText("startFrequencyEdit", "0");
    setText("stopFrequencyEdit", "4000");
    EXPECT_TRUE(click("spectrumApplyButton").empty());
    ASSERT_TRUE(tracePlot()->hasCurve());
    EXPECT_NEAR(tracePlot()->dataWindow().yMin, 1000, 5);
    EXPECT_NEAR(tracePlot()->dataWindow().yMax, 1000, 5);

    struct
    {
        int kind;
        double low, high;
    } rows[] = {{0, -6.03 - 0.1, -6.03 + 0.1}, {2, -1e9, 1e9}, {1, 995, 1005}};
    for (const auto& row : rows) {
        widget<QComboBox>("traceKindComboBox")->setCurrentIndex(row.kind);
        waitForPanel(panel);
        EXPECT_EQ(session()->shown().display.traceKind, row.kind);
        ASSERT_TRUE(tracePlot()->hasCurve());
        EXPECT_GE(tracePlot()->dataWindow().yMin, row.low) << row.kind;
        EXPECT_LE(tracePlot()->dataWindow().yMax, row.high) << row.kind;
    }

    EXPECT_TRUE(enter("squelchEdit", "10").empty());
    EXPECT_EQ(session()->shown().display.squelchDb, 10.0);
    ASSERT_TRUE(trace()->noiseFloor());
    EXPECT_NEAR(*trace()->noiseFloor(), -6.03, 0.1); // the tone's own power: all of it squelched
    EXPECT_FALSE(tracePlot()->hasCurve());
    expectBox(enter("squelchEdit", "loud"), QMessageBox::Warning, "Input Error",
              "Invalid squelch: input shall be a number of decibels, or empty for none", panel);
    EXPECT_EQ(text("squelchEdit"), "10");
    EXPECT_TRUE(enter("squelchEdit", "").empty());
    EXPECT_FALSE(session()->shown().display.squelchDb);
    EXPECT_TRUE(tracePlot()->hasCurve());
}

TEST_F(PanelTrace, PlayWithoutAnAudioOutputSaysSo)
{
    if (BandPlayer::deviceAvailable())
        GTEST_SKIP() << "an audio output is there";
    window->show();
    // Before a load, nothing to play and nothing said.
    EXPECT_TRUE(click("playButton").empty());
    ASSERT_TRUE(load(sigmf("tone", 48000, 0.5, 3000.0)).empty());
    expectBox(click("playButton"), QMessageBox::Information, "Play", BandPlayer::noDeviceNote(), panel);
    EXPECT_EQ(widget<QPushButton>("playButton")->text(), "Play");
    // Space on a plot asks the same.
    const auto boxes = captureMessageBoxes([&] { QTest::keyClick(tracePlot(), Qt::Key_Space); });
    expectBox(boxes, QMessageBox::Information, "Play", BandPlayer::noDeviceNote(), panel);
}
