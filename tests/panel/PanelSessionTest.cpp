// One model behind the window: whatever the order of loads, Applies, gestures,
// switches and cancels, the fields say what the views show, a gesture applies
// only what it changes, a new recording takes no setting it cannot hold, and no
// failure of a view reaches the event loop.

#include "tests/panel/PanelFixture.h"

#include "session/ViewSession.h"
#include "views/ColorMap.h"
#include "views/SpectrogramView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>

#include <stdexcept>

using namespace recordingfiles;

namespace {

class PanelSession : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        window->resize(1400, 900);
        window->show();
    }

    ViewSession* session() const { return panel->session(); }
    bool marked(const char* name) const { return !widget<QWidget>(name)->styleSheet().isEmpty(); }
};

// A kind of view whose presentation fails, as a view whose data it cannot take would.
class FailingView : public ViewKind
{
public:
    bool outdated(const ViewSettings&, const ViewSettings&) const override { return false; }
    std::unique_ptr<ViewComputation> computation(const ViewSettings&, const RecordingFacts&) override
    {
        return nullptr;
    }
    void present(const Presentation& presentation) override
    {
        if (failing && presentation.computed)
            throw std::out_of_range("vector::_M_range_check: __n (which is 1) >= this->size() (which is 0)");
    }
    bool failing = true;
};

} // namespace

// Power of a band only that a later recording cannot hold (a band beyond half
// its rate) is reset with the load, not thrown at the event loop.
TEST_F(PanelSession, LoadResetsWhatTheNewRecordingCannotTake)
{
    ASSERT_TRUE(load(sigmf("wide", 1000000, 0.2, 1000.0)).empty());
    setText("startFrequencyEdit", "-250000");
    setText("stopFrequencyEdit", "-150000");
    EXPECT_TRUE(click("spectrumApplyButton").empty());
    widget<QCheckBox>("bandPowerCheckBox")->setChecked(true);
    waitForPanel(panel);
    ASSERT_TRUE(session()->shown().bandPower);

    const QString wav = path("narrow.wav");
    writeWav(wav, 48000, tone(48000, 1.0, 1000.0));
    EXPECT_TRUE(load(wav).empty());
    EXPECT_EQ(text("fileNameLabel"), "narrow.wav");
    EXPECT_FALSE(session()->shown().bandPower);
    EXPECT_FALSE(widget<QCheckBox>("bandPowerCheckBox")->isChecked());
    EXPECT_EQ(text("startFrequencyEdit"), "-24000");
    EXPECT_EQ(text("stopFrequencyEdit"), "24000");
    EXPECT_TRUE(statusIsReady());
}

// A cancel leaves the fields saying what the views show, and says it cancelled.
TEST_F(PanelSession, CancelLeavesTheFieldsOnWhatIsShown)
{
    ASSERT_TRUE(load(sigmf("long", 1000000, 4.0, 1000.0)).empty());
    session()->showPlace({{2.9, 3.0}, {-250000, -150000}});
    waitForPanel(panel);
    ASSERT_EQ(text("startTimeEdit"), "2.9");
    panel->showWholeRecording();
    ASSERT_TRUE(panel->busy());
    widget<QAbstractButton>("cancelButton")->click();
    waitForPanel(panel);
    EXPECT_EQ(text("statusLabel"), "Cancelled");
    const std::pair<const char*, const char*> fields[] = {
        {"startTimeEdit", "2.9"},
        {"stopTimeEdit", "3"},
        {"startFrequencyEdit", "-250000"},
        {"stopFrequencyEdit", "-150000"},
    };
    for (const auto& [name, expected] : fields)
        EXPECT_EQ(text(name), expected) << name;
    EXPECT_EQ(session()->shown().range.start, 2.9);
    // A later Apply of the spectrum keeps the band shown.
    EXPECT_TRUE(click("spectrumApplyButton").empty());
    EXPECT_EQ(session()->shown().band, (ValueRange{-250000, -150000}));
    EXPECT_EQ(session()->shown().range, (TimeRange{2.9, 3.0}));
}

// A gesture applies only what it changes: an FFT size typed and not applied
// stays typed and marked through a zoom and a Back.
TEST_F(PanelSession, GesturesLeaveUnappliedEditsAlone)
{
    ASSERT_TRUE(load(sigmf("tone", 8000, 2.0, 1000.0)).empty());
    auto* exponent = widget<QSpinBox>("fftExponentSpinBox");
    exponent->setValue(10);
    ASSERT_TRUE(marked("fftExponentSpinBox"));
    session()->showPlace({{0.5, 1.0}, {-1000, 1000}});
    waitForPanel(panel);
    panel->goBack();
    waitForPanel(panel);
    EXPECT_EQ(exponent->value(), 10);
    EXPECT_TRUE(marked("fftExponentSpinBox"));
    EXPECT_TRUE(widget<QPushButton>("spectrumApplyButton")->font().bold());
    EXPECT_EQ(widget<SpectrogramView>("spectrogramView")->fftSize(), 256u);
    EXPECT_EQ(text("startFrequencyEdit"), "-4000");
    EXPECT_FALSE(marked("startFrequencyEdit"));
}

// A switch of the colour scale takes effect at once and is never left pending.
TEST_F(PanelSession, ColourMapAndMirrorTakeEffectAtOnce)
{
    ASSERT_TRUE(load(sigmf("tone", 8000, 2.0, 1000.0)).empty());
    auto* view = widget<SpectrogramView>("spectrogramView");
    const QImage before = view->grab().toImage();
    widget<QComboBox>("colorMapComboBox")->setCurrentIndex(3);
    waitForPanel(panel);
    EXPECT_EQ(view->colorMap(), ColorMapKind::Grey);
    const QImage grey = view->grab().toImage();
    EXPECT_NE(grey, before);
    widget<QCheckBox>("mirrorCheckBox")->setChecked(true);
    waitForPanel(panel);
    EXPECT_NE(view->grab().toImage(), grey);
    EXPECT_FALSE(widget<QPushButton>("spectrumApplyButton")->font().bold());
    EXPECT_EQ(session()->shown().spectrogram.colorMap, 3);
    EXPECT_TRUE(session()->shown().spectrogram.mirror);
}

// A view that fails to present ends in the "Error" box; the program goes on and
// the other views keep their pictures.
TEST_F(PanelSession, AFailingPresentationIsReportedNotThrown)
{
    FailingView failing;
    session()->addView(&failing);
    const auto boxes = load(sigmf("tone", 8000, 2.0, 1000.0));
    expectBox(boxes, QMessageBox::Critical, "Error",
              "vector::_M_range_check: __n (which is 1) >= this->size() (which is 0)", nullptr);
    EXPECT_EQ(text("fileNameLabel"), "tone.sigmf-meta");
    EXPECT_FALSE(widget<SpectrogramView>("spectrogramView")->colourImage().isNull());
    failing.failing = false;
    EXPECT_TRUE(click("timeRangeApplyButton").empty());
    EXPECT_TRUE(statusIsReady());
    session()->removeView(&failing);
}
