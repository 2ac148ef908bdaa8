// "Detect bursts" in the window: found bursts become annotations labelled
// "burst" as one change that one undo takes back, D starts it, the fields
// refuse what is no threshold or duration, and Cancel leaves everything as it was.

#include "annotations/BurstDetectRow.h"
#include "annotations/BurstFinder.h"
#include "tests/annotations/AnnotationFixture.h"
#include "tests/signals/BurstRecording.h"

#include <QProgressBar>
#include <QPushButton>
#include <QUndoStack>

using BurstDetect = AnnotationFixture;

namespace {

constexpr uint32_t burstRate = 1000000;

const std::vector<testsignals::BurstPlan> plans{
    {100000, 20000, 100000, 150000, 15.0},
    {300000, 4096, -300000, -100000, 10.0},
    {600000, 60000, -20000, -10000, 20.0},
};

} // namespace

class BurstDetectWindow : public BurstDetect
{
protected:
    void SetUp() override
    {
        BurstDetect::SetUp();
        const testsignals::Iq x = testsignals::burstRecording(800000, burstRate, 1.0, plans, 3);
        meta = path("bursts.sigmf-meta");
        recordingfiles::writeSigmf(meta, path("bursts.sigmf-data"), burstRate, {x.i, x.q});
        ASSERT_TRUE(load(meta).empty());
    }
    // Runs until the detection has ended.
    void waitForDetection() const
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !window->burstFinder()->running(); }, 60000));
        QApplication::processEvents();
    }
    QString meta;
};

TEST_F(BurstDetectWindow, BurstsBecomeAnnotationsUndoneAsOneStep)
{
    EXPECT_TRUE(click("detectButton").empty());
    EXPECT_EQ(widget<QPushButton>("detectButton")->text(), "Cancel");
    waitForDetection();
    EXPECT_EQ(widget<QPushButton>("detectButton")->text(), "Detect bursts");
    EXPECT_FALSE(widget<QProgressBar>("detectProgress")->isVisible());
    EXPECT_TRUE(text("detectStatusLabel").startsWith("3 bursts found; noise floor -60.0 dB/Hz"))
        << text("detectStatusLabel").toStdString();
    const AnnotationList& list = editor()->list();
    ASSERT_EQ(list.size(), plans.size());
    for (std::size_t k = 0; k < list.size(); ++k) {
        const RecordingAnnotation& a = list.entries()[k].annotation;
        EXPECT_EQ(a.label, "burst");
        EXPECT_NEAR(double(a.sampleStart), double(plans[k].start), 0.01 * plans[k].length + 100);
        const Json fields = Json::parse(a.sigmfFields);
        EXPECT_NEAR(fields["norvale:snr_db"].get<double>(), plans[k].snrDb, 3.0);
        EXPECT_EQ(fields["core:uuid"].get<std::string>().size(), 36u);
        EXPECT_EQ(fields["core:generator"].get<std::string>().rfind("Norvale ", 0), 0u);
    }
    EXPECT_EQ(tableRows().size(), 3);
    EXPECT_EQ(editor()->undoStack()->undoText(), "Detect bursts");
    editor()->undo();
    EXPECT_EQ(editor()->list().size(), 0u);
    editor()->redo();
    EXPECT_EQ(editor()->list().size(), 3u);
    // D runs it again: three more.
    key(Qt::Key_D);
    waitForDetection();
    EXPECT_EQ(editor()->list().size(), 6u);
}

TEST_F(BurstDetectWindow, FieldsRefuseWhatIsNoThresholdOrDuration)
{
    struct Row
    {
        const char* threshold;
        const char* duration;
        const char* message;
    };
    const Row rows[] = {
        {"", "", "Invalid threshold: input shall be a number"},
        {"loud", "", "Invalid threshold: input shall be a number"},
        {"-3", "", "Invalid threshold: input shall be > 0"},
        {"1e999", "", "Invalid threshold: input shall be a finite number > 0"},
        {"6", "0", "Invalid minimum duration: input shall be > 0"},
        {"6", "2,5", "Invalid minimum duration: input shall be a number"},
    };
    for (const Row& row : rows) {
        setText("detectThresholdEdit", row.threshold);
        setText("detectMinDurationEdit", row.duration);
        const std::vector<CapturedMessageBox> boxes = click("detectButton");
        expectBox(boxes, QMessageBox::Warning, "Input Error", row.message, nullptr);
        EXPECT_FALSE(window->burstFinder()->running());
        EXPECT_EQ(editor()->list().size(), 0u);
    }
    // A minimum duration longer than every burst leaves none.
    setText("detectThresholdEdit", "6");
    setText("detectMinDurationEdit", "0.1");
    EXPECT_TRUE(click("detectButton").empty());
    waitForDetection();
    EXPECT_EQ(editor()->list().size(), 0u);
    EXPECT_TRUE(text("detectStatusLabel").startsWith("0 bursts found")) << text("detectStatusLabel").toStdString();
}

TEST_F(BurstDetectWindow, CancelLeavesTheAnnotationsAsTheyWere)
{
    auto* button = widget<QPushButton>("detectButton");
    button->click();
    button->click();
    EXPECT_FALSE(window->burstFinder()->running());
    EXPECT_EQ(button->text(), "Detect bursts");
    EXPECT_EQ(text("detectStatusLabel"), "Cancelled");
    QTest::qWait(200);
    EXPECT_EQ(editor()->list().size(), 0u);
    EXPECT_EQ(editor()->undoStack()->count(), 0);
}
