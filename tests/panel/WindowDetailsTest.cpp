// Details of the window a user meets: the export dialog's questions and what it
// keeps, shortcuts while a field has the focus, the File menu's small things.

#include "tests/panel/PanelFixture.h"
#include "session/ViewSession.h"
#include "views/SpectrogramView.h"

#include <QCheckBox>
#include <QAction>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QTabWidget>
#include <QTimer>

#include <filesystem>

namespace {

class WindowDetails : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_TRUE(load(sigmf("rec", 1000, 2.0)).empty());
    }

    struct DialogRun
    {
        QString startedWith;
        QString endedWith;
        bool stayedOpen = false;
        std::vector<CapturedMessageBox> boxes;
    };
    // Opens the export dialog through `open`, types `name` and presses OK (then
    // Cancel, should the dialog stay open), each box answered by `answer`.
    DialogRun exportThroughDialog(const QString& name, QMessageBox::StandardButton answer,
                                  const std::function<void()>& open)
    {
        DialogRun run;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            auto* edit = dialog->findChild<QLineEdit*>("exportPathEdit");
            run.startedWith = edit->text();
            edit->setText(name);
            dialog->accept();
            run.stayedOpen = dialog->isVisible();
            run.endedWith = edit->text();
            if (run.stayedOpen)
                dialog->reject();
        });
        run.boxes = captureMessageBoxes(
            [&] {
                open();
                waitForPanel(panel);
            },
            answer);
        return run;
    }
};

} // namespace

// A typed name that exists is replaced only when the user says so, a name the
// dialog refuses keeps it open with what was typed, a success is said, and the
// dialog starts with what was typed last.
TEST_F(WindowDetails, ExportDialogAsksKeepsAndReports)
{
    const QString taken = path("taken.wav");
    recordingfiles::writeBytes(taken, "old");
    const QString written = "The selection was written to %1";
    const struct
    {
        QString name;
        QMessageBox::StandardButton answer;
        QString startedWith;
        bool stayedOpen;
        QMessageBox::Icon icon;
        QString title, text;
    } rows[] = {
        {taken, QMessageBox::No, path("rec-selection.sigmf-meta"), true, QMessageBox::Question, "Export selection",
         taken + " already exists.\nReplace it?"},
        {path("cut.txt"), QMessageBox::Ok, path("rec-selection.sigmf-meta"), true, QMessageBox::Warning,
         "Input Error", "Invalid file name: it must end in .sigmf-meta, .sigmf or .wav"},
        {path("new.wav"), QMessageBox::Ok, path("rec-selection.sigmf-meta"), false, QMessageBox::Information,
         "Export selection", written.arg(path("new.wav"))},
        {taken, QMessageBox::Yes, path("new.wav"), false, QMessageBox::Question, "Export selection",
         taken + " already exists.\nReplace it?"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.toStdString());
        const DialogRun run = exportThroughDialog(row.name, row.answer, [this] { window->exportSelection(); });
        EXPECT_EQ(run.startedWith, row.startedWith);
        EXPECT_EQ(run.stayedOpen, row.stayedOpen);
        EXPECT_EQ(run.endedWith, row.name);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes[0].icon, row.icon);
        EXPECT_EQ(run.boxes[0].title, row.title);
        EXPECT_EQ(run.boxes[0].text, row.text);
    }
    // The last row's Yes replaced the file, and said so.
    EXPECT_GT(QFile(taken).size(), 1000);
    EXPECT_EQ(exportThroughDialog(taken, QMessageBox::No, [this] { window->exportSelection(); }).startedWith, taken);
}

// The keys that work wherever the focus is work in the panel's fields too, and
// leave their text as it was.
TEST_F(WindowDetails, WindowKeysWorkInTheFields)
{
    auto* tabs = widget<QTabWidget>("tabWidget");
    for (const char* name : {"startTimeEdit", "rangeEdit", "sampleRateEdit"}) {
        SCOPED_TRACE(name);
        QWidget* field = widget<QWidget>(name);
        setText("startTimeEdit", "0.5");
        ASSERT_TRUE(click("timeRangeApplyButton").empty());
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Home, Qt::ControlModifier);
        waitForPanel(panel);
        EXPECT_EQ(window->session()->shown().range.start, 0.0);
        const DialogRun run = exportThroughDialog(path("keyed.wav"), QMessageBox::Ok, [field] {
            QTest::keyClick(field, Qt::Key_E, Qt::ControlModifier);
        });
        EXPECT_EQ(run.endedWith, path("keyed.wav"));
        // The window is active again once the dialog and the box are gone.
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        tabs->setCurrentIndex(1);
        field->setFocus();
        const QString before = widget<QLineEdit>(name)->text();
        QTest::keyClick(field, Qt::Key_P);
        waitForPanel(panel);
        EXPECT_TRUE(text("markerLabel").startsWith("Marker 1: ")) << text("markerLabel").toStdString();
        EXPECT_EQ(widget<QLineEdit>(name)->text(), before);
        tabs->setCurrentIndex(0);
        std::filesystem::remove(path("keyed.wav").toStdString());
        // The markers go with the recording: the next row places its own.
        ASSERT_TRUE(load(path("rec.sigmf-meta")).empty());
    }
}

// Every field: text that is no number says so, a number too large gives the
// field's range (a stop time beyond the end means the end).
TEST_F(WindowDetails, FieldsSayWhatIsWrongWithTheirText)
{
    const struct
    {
        const char* field;
        const char* button;
        QString what;
        QString tooLarge;
    } fields[] = {
        {"startTimeEdit", "timeRangeApplyButton", "Invalid start time: ",
         "Start time must be less than the stop time and the duration of the recording (2 s)"},
        {"stopTimeEdit", "timeRangeApplyButton", "Invalid stop time: ", ""},
        {"startFrequencyEdit", "spectrumApplyButton", "Invalid start frequency: ",
         "Invalid start frequency: must lie between -500 and 500 Hz"},
        {"rangeEdit", "spectrumApplyButton", "Invalid range: ", "Invalid range: must lie between 1 and 300 dB"},
        {"averageWindowEdit", "powerApplyButton", "Invalid average window: ",
         "Invalid average window: input shall be <= 2147483647"},
        {"fullScaleValueEdit", "powerApplyButton", "Invalid full scale value: ",
         "Invalid full scale value: input shall be a finite number > 0"},
        {"fullScaleVoltageEdit", "powerApplyButton", "Invalid full scale voltage: ",
         "Invalid full scale voltage: input shall be a finite number > 0"},
        {"inputImpedanceEdit", "powerApplyButton", "Invalid input impedance: ",
         "Invalid input impedance: input shall be a finite number > 0"},
        {"cursorDivisionsEdit", nullptr, "Invalid cursor divisions: ",
         "Invalid cursor divisions: input shall be a whole number from 1 to 1000"},
    };
    for (const auto& row : fields) {
        auto* field = widget<QLineEdit>(row.field);
        const QString kept = field->text();
        for (const char* typed : {"abc", "", "nan", "1e999"}) {
            SCOPED_TRACE(std::string(row.field) + " \"" + typed + "\"");
            field->setText(typed);
            const auto boxes = captureMessageBoxes([&] {
                if (row.button)
                    widget<QAbstractButton>(row.button)->click();
                else
                    QTest::keyClick(field, Qt::Key_Return);
                waitForPanel(panel);
            });
            const QString expected = QString(typed) == "1e999" ? row.tooLarge : row.what + "input shall be a number";
            if (expected.isEmpty()) {
                EXPECT_TRUE(boxes.empty());
                EXPECT_EQ(window->session()->shown().range.stop, 2.0);
            } else {
                expectBox(boxes, QMessageBox::Warning, "Input Error", expected, panel);
            }
            field->setText(kept);
        }
    }
}

// At 10 MS/s every sample's time has at most seven decimals: the time fields
// show those, also for samples whose time, multiplied back by the rate in
// floating point, falls just below the sample.
TEST_F(WindowDetails, TimeFieldsShowTheShortestTextOfTheirSample)
{
    const uint32_t rate = 10000000;
    ASSERT_TRUE(load(sigmf("fast", rate, 0.0004)).empty());
    auto* view = widget<SpectrogramView>("spectrogramView");
    const QRect area = view->plotRect();
    int awkward = 0;
    for (int step = 0; step < 40; ++step) {
        SCOPED_TRACE(step);
        QTest::keyClick(view, Qt::Key_Home);
        waitForPanel(panel);
        const QPoint from(area.left() + 20 + 17 * step, area.center().y());
        QTest::mousePress(view, Qt::LeftButton, {}, from);
        QTest::mouseMove(view, from + QPoint(60, 0));
        QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(120, 0));
        waitForPanel(panel);
        for (const char* name : {"startTimeEdit", "stopTimeEdit"}) {
            const QString shown = text(name);
            EXPECT_LE(shown.section('.', 1).size(), 7) << name << " " << shown.toStdString();
            const double sample = std::round(shown.toDouble() * rate);
            awkward += std::floor(rate * (sample / rate)) != sample || std::ceil(rate * (sample / rate)) != sample;
        }
        EXPECT_EQ(text("startTimeEdit").toDouble(), window->session()->shown().range.start);
    }
    // Some of those samples were the awkward ones.
    EXPECT_GT(awkward, 0);
}

// Save picture offers a name and adds ".png"; Undo and Redo name their change;
// the overlap says what hop it makes, and when the views will be slow.
TEST_F(WindowDetails, SmallThingsSaySoOrAreDone)
{
    QString offered;
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(chooser, nullptr);
        offered = chooser->selectedFiles().value(0);
        chooser->selectFile("shot");
        static_cast<QDialog*>(chooser)->accept();
    });
    EXPECT_TRUE(captureMessageBoxes([this] { window->savePicture(); }).empty());
    EXPECT_EQ(offered, path("rec-time.png"));
    EXPECT_EQ(QImage(path("shot.png")).size(), window->picture().size());
    EXPECT_FALSE(QFileInfo::exists(path("shot")));

    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    auto* undo = window->findChild<QAction*>("undoAction");
    auto* redo = window->findChild<QAction*>("redoAction");
    ASSERT_TRUE(undo && redo);
    EXPECT_EQ(undo->text(), "&Undo");
    QTest::keyClick(window.get(), Qt::Key_A);
    EXPECT_EQ(undo->text(), "&Undo Add annotation");
    EXPECT_EQ(redo->text(), "&Redo");
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(undo->text(), "&Undo");
    EXPECT_EQ(redo->text(), "&Redo Add annotation");

    auto* exponent = widget<QSpinBox>("fftExponentSpinBox");
    auto* overlap = widget<QDoubleSpinBox>("overlapSpinBox");
    const struct
    {
        int exponent;
        double overlap;
        QString hop;
        bool slow;
    } rows[] = {{8, 80, "hop 51", false}, {8, 100, "hop 1, slow", true}, {8, 98, "hop 5", false},
                {12, 99, "hop 40, slow", true}, {15, 0, "hop 32768", false}};
    for (const auto& row : rows) {
        exponent->setValue(row.exponent);
        overlap->setValue(row.overlap);
        EXPECT_EQ(text("hopLabel"), row.hop);
        EXPECT_EQ(widget<QLabel>("hopLabel")->toolTip().contains("take long"), row.slow);
    }
    // What an Apply writes back is said too.
    overlap->setValue(100);
    ASSERT_TRUE(click("spectrumApplyButton").empty());
    EXPECT_EQ(text("hopLabel"), "hop 1, slow");
}

// Without a centre frequency row, File informations still shows its values whole.
TEST_F(WindowDetails, FileInformationsShowWholeValues)
{
    window->resize(1400, 900);
    recordingfiles::writeWav(path("plain.wav"), 2400000, recordingfiles::tone(2400000, 0.001, 1000.0));
    recordingfiles::writeBytes(path("plain.cu8"), std::string(4800, '\x80'));
    setText("sampleRateEdit", "480000");
    for (const char* file : {"plain.wav", "plain.cu8"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(load(path(file)).empty());
        QApplication::processEvents();
        EXPECT_FALSE(widget<QLabel>("centreFrequencyLabel")->isVisible());
        for (const char* name : {"statusLabel", "fileLengthLabel", "fileDurationLabel", "sampleRateLabel",
                                 "dcOffsetLabel"}) {
            const auto* label = widget<QLabel>(name);
            EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()))
                << name << " \"" << label->text().toStdString() << "\"";
        }
    }
}

// The panel stays whole and still: the progress row moves nothing and adds no
// scroll bar, a narrow window cuts nothing; the amplitude view leaves the
// spectrogram a fair height without a scroll bar.
TEST_F(WindowDetails, PanelAndPagesKeepTheirShape)
{
    window->resize(1400, 900);
    QApplication::processEvents();
    auto* area = widget<QScrollArea>("scrollArea");
    QGroupBox* timeGroup = nullptr;
    for (QGroupBox* group : panel->findChildren<QGroupBox*>())
        if (group->title() == "Time range")
            timeGroup = group;
    ASSERT_NE(timeGroup, nullptr);
    const int before = timeGroup->y();
    widget<QWidget>("progressBar")->setVisible(true);
    widget<QWidget>("cancelButton")->setVisible(true);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(timeGroup->y(), before);
    EXPECT_FALSE(area->verticalScrollBar()->isVisible());
    widget<QWidget>("progressBar")->setVisible(false);
    widget<QWidget>("cancelButton")->setVisible(false);

    widget<QCheckBox>("showAmplitudeViewCheckBox")->setChecked(true);
    window->resize(1550, 980);
    waitForPanel(panel);
    QApplication::processEvents();
    EXPECT_FALSE(widget<QScrollArea>("timePageScroller")->verticalScrollBar()->isVisible());
    EXPECT_GE(widget<QWidget>("spectrogramView")->height(), 300);

    window->resize(500, 400);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_GE(area->viewport()->width(), panel->minimumSizeHint().width());
    EXPECT_GE(area->viewport()->width(), panel->width());
}
