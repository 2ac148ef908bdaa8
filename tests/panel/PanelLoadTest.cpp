// Loads through the panel: reader choice, field values after a load, every load
// message with its box, and what a failed load leaves behind.

#include "tests/panel/PanelFixture.h"

#include "session/ViewSession.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

using namespace recordingfiles;
using PanelLoad = PanelFixture;

namespace {

// The refusal of a file whose name says no format.
QString unsupported(const QString& file)
{
    return "Cannot tell the format of \"" + file + "\" from its name: give --format or choose a \"File format\"";
}

const QString rateNeeded = "A raw file needs its sample rate: give --rate or fill \"Sample rate\"";

} // namespace

TEST_F(PanelLoad, ReaderChosenByFormatOrEnding)
{
    const Samples samples = tone(1000, 1.0, 100.0);
    // The same samples under names that do or do not say what they are.
    writeSigmf(path("a.sigmf-meta"), path("a.sigmf-data"), 1000, samples);
    writeSigmf(path("meta.json"), path("meta.json.sigmf-data"), 1000, samples);
    writeWav(path("a.wav"), 1000, samples);
    writeWav(path("wave.dat"), 1000, samples);
    writeWav(path("B.WAV"), 1000, samples);
    for (const char* name : {"a.iqw", "C.IQW", "a.bin", "noextension", "raw.wav", "raw.sigmf-meta"})
        writeCf32(path(name), samples);
    setText("sampleRateEdit", "1000");

    struct Case
    {
        const char* file;
        FileFormatChoice format;
        bool loads;
    };
    const Case cases[] = {
        {"a.sigmf-meta", 0, true},   {"a.wav", 0, true},         {"a.iqw", 0, true},
        {"B.WAV", 0, true},          {"C.IQW", 0, true},  // endings in any letter case
        {"a.sigmf-data", 0, true},   {"a.bin", 0, false},
        {"noextension", 0, false},   {"meta.json", 1, true},     {"wave.dat", 2, true},
        {"raw.wav", 3, true},        {"raw.sigmf-meta", 4, true}, {"a.bin", 4, true},
        {"a.sigmf-meta", 5, false},  {"a.sigmf-meta", -1, false},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(std::string(row.file) + " format " + std::to_string(row.format));
        setText("binaryFormatEdit", "cf32_le");
        setText("startTimeEdit", "");
        setText("stopTimeEdit", "");
        widget<QLabel>("fileNameLabel")->setText("none");
        const auto boxes = load(path(row.file), row.format);
        if (row.loads) {
            EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text.toStdString());
            EXPECT_EQ(text("fileNameLabel"), row.file);
            EXPECT_EQ(text("fileLengthLabel"), "1000");
            EXPECT_EQ(text("sampleRateLabel"), "1000");
        } else {
            expectBox(boxes, QMessageBox::Critical, "Error", unsupported(path(row.file)), nullptr);
            EXPECT_EQ(text("fileNameLabel"), "none");
        }
        EXPECT_TRUE(statusIsReady());
    }
}

TEST_F(PanelLoad, IqwFillsTheDatatypeFieldEvenWhenTheRateIsMissing)
{
    writeCf32(path("x.iqw"), tone(1000, 0.5, 10.0));
    setText("binaryFormatEdit", "ri16_be");
    expectBox(load(path("x.iqw")), QMessageBox::Critical, "Error", rateNeeded, nullptr);
    EXPECT_EQ(text("binaryFormatEdit"), "cf32_le");
    EXPECT_TRUE(statusIsReady());
}

TEST_F(PanelLoad, FirstLoadFillsTheFieldsAndLabels)
{
    writeWav(path("ten seconds.wav"), 44100, tone(44100, 10.0, 1000.0));
    setText("rangeEdit", "55"); // edited, never applied: replaced by the view's range
    EXPECT_TRUE(load(path("ten seconds.wav")).empty());
    const std::pair<const char*, const char*> expected[] = {
        {"startTimeEdit", "0"},          {"stopTimeEdit", "10"},
        {"startFrequencyEdit", "-22050"}, {"stopFrequencyEdit", "22050"},
        {"rangeEdit", "40"},             {"fileNameLabel", "ten seconds.wav"},
        {"fileLengthLabel", "441000"},   {"fileDurationLabel", "10"},
        {"sampleRateLabel", "44100"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(text(name), value) << name;
    EXPECT_EQ(widget<QLabel>("fileNameLabel")->toolTip(), "ten seconds.wav");
    EXPECT_TRUE(statusIsReady());
}

TEST_F(PanelLoad, EveryLoadShowsTheWholeNewRecordingAndBand)
{
    const QString tenSeconds = sigmf("ten", 1000, 10.0);
    const QString fiveSeconds = sigmf("five", 2000, 5.0);
    ASSERT_TRUE(load(tenSeconds).empty());
    EXPECT_EQ(text("stopTimeEdit"), "10");
    // Zoomed on a slice of it, in time and band.
    setText("startTimeEdit", "7");
    setText("stopTimeEdit", "7.5");
    ASSERT_TRUE(click("timeRangeApplyButton").empty());
    setText("startFrequencyEdit", "-100");
    setText("stopFrequencyEdit", "100");
    ASSERT_TRUE(click("spectrumApplyButton").empty());

    ASSERT_TRUE(load(fiveSeconds).empty());
    EXPECT_EQ(text("fileNameLabel"), "five.sigmf-meta");
    EXPECT_EQ(text("startTimeEdit"), "0");
    EXPECT_EQ(text("stopTimeEdit"), "5");
    EXPECT_EQ(text("startFrequencyEdit"), "-1000");
    EXPECT_EQ(text("stopFrequencyEdit"), "1000");
    auto* view = widget<SpectrogramView>("spectrogramView");
    EXPECT_EQ(view->startTime(), 0.0);
    EXPECT_EQ(view->stopTime(), 5.0);
    EXPECT_LE(view->frequencyAxisMap().low, -1000.0);
    EXPECT_GE(view->frequencyAxisMap().high, 1000.0 - 2000.0 / 256);
    EXPECT_EQ(panel->session()->shown().range.stop, 5.0);
}

TEST_F(PanelLoad, EveryLoadMessageInACriticalErrorBoxWithoutParent)
{
    const QString good = sigmf("good", 1000, 2.0);
    writeCf32(path("raw.bin"), tone(1000, 1.0, 10.0));
    writeSigmf(path("empty.sigmf-meta"), path("empty.sigmf-data"), 1000, Samples{});
    // Metadata whose data file is not where the reader looks.
    writeSigmf(path("nodata.sigmf-meta"), path("elsewhere.sigmf-data"), 1000, tone(1000, 1.0, 1.0));

    struct Case
    {
        QString file;
        FileFormatChoice format;
        QString rate;
        QString datatype;
        QString start;
        QString expected; // empty: any reader message
    };
    const Case cases[] = {
        {path("raw.bin"), 0, "1000", "cf32_le", "", unsupported(path("raw.bin"))},
        {path("raw.bin"), 3, "", "cf32_le", "", rateNeeded},
        {path("raw.bin"), 3, "-5", "cf32_le", "", "Invalid sample rate: input shall be > 0"},
        {path("raw.bin"), 3, "nan", "cf32_le", "", "Invalid sample rate: input shall be a number"},
        {path("raw.bin"), 3, "4294967296", "cf32_le", "",
         "Invalid sample rate: input shall be < 4294967296"},
        {path("raw.bin"), 4, "1e12", "", "", "Invalid sample rate: input shall be < 4294967296"},
        {path("empty.sigmf-meta"), 0, "", "", "", ""},
        {path("nodata.sigmf-meta"), 0, "", "", "", ""},
        {path("missing.wav"), 0, "", "", "", ""},
        {path("raw.bin"), 3, "1000", "zz99_le", "", ""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.file.toStdString() + " expecting " + row.expected.toStdString());
        setText("startTimeEdit", "");
        setText("stopTimeEdit", "");
        ASSERT_TRUE(load(good).empty());
        setText("sampleRateEdit", row.rate);
        setText("binaryFormatEdit", row.datatype);
        setText("startTimeEdit", row.start);
        setText("stopTimeEdit", "");
        const auto boxes = load(row.file, row.format);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
        EXPECT_EQ(boxes[0].title, "Error");
        EXPECT_EQ(boxes[0].parent, nullptr);
        if (row.expected.isEmpty())
            EXPECT_FALSE(boxes[0].text.isEmpty());
        else
            EXPECT_EQ(boxes[0].text, row.expected);
        EXPECT_TRUE(statusIsReady());
        // The good file is still whole: labels, and fields that were not refilled.
        EXPECT_EQ(text("fileNameLabel"), "good.sigmf-meta");
        EXPECT_EQ(text("fileDurationLabel"), "2");
        EXPECT_EQ(text("startTimeEdit"), row.start);
        EXPECT_EQ(text("stopTimeEdit"), "");
    }
}

TEST_F(PanelLoad, RefusedRateDoesNotSpoilTheNextLoad)
{
    writeCf32(path("raw.bin"), tone(8000, 1.0, 10.0));
    setText("binaryFormatEdit", "cf32_le");
    widget<QComboBox>("formatComboBox")->setCurrentIndex(3);
    setText("sampleRateEdit", "4294967296");
    EXPECT_EQ(load(path("raw.bin"), 3).size(), 1u);
    // The rate exactly as given, its fraction too: 8000 samples last 0.9998875 s.
    setText("sampleRateEdit", "8000.9");
    EXPECT_TRUE(load(path("raw.bin"), 3).empty());
    EXPECT_EQ(text("sampleRateLabel"), "8000.9");
    EXPECT_EQ(text("stopTimeEdit"), "0.9998875");
    EXPECT_EQ(text("startFrequencyEdit"), "-4000.45");
    // The largest storable rate loads: ten samples last a few nanoseconds.
    setText("stopTimeEdit", "");
    writeCf32(path("tiny.bin"), tone(1000, 0.01, 10.0));
    setText("sampleRateEdit", "4294967295");
    EXPECT_TRUE(load(path("tiny.bin"), 3).empty());
    EXPECT_EQ(text("sampleRateLabel"), "4294967295");
    // The stop time written exactly: it reads as the tenth sample.
    EXPECT_EQ(text("stopTimeEdit"), "0.0000000023283");
}

TEST_F(PanelLoad, OpenAsksForAFileAndLoadsItWithTheChosenFormat)
{
    writeWav(path("picked.dat"), 1000, tone(1000, 2.0, 50.0));
    widget<QComboBox>("formatComboBox")->setCurrentIndex(2);

    // Answers the open dialog once it shows: picks the file, or cancels.
    QString caption;
    QStringList filters;
    QWidget* dialogParent = nullptr;
    bool pick = false;
    QTimer answer;
    answer.setInterval(10);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(top);
            if (!dialog || !dialog->isVisible())
                continue;
            caption = dialog->windowTitle();
            filters = dialog->nameFilters();
            dialogParent = dialog->parentWidget();
            if (pick) {
                // Type the path into the dialog's file name field, as a user would, and
                // close the dialog with done() once it reports the file as selected
                // (accept() checks against a directory model that fills in asynchronously).
                const QString picked = path("picked.dat");
                if (dialog->selectedFiles() != QStringList{picked}) {
                    if (auto* nameEdit = dialog->findChild<QLineEdit*>("fileNameEdit"))
                        nameEdit->setText(picked);
                    continue;
                }
                static_cast<QDialog*>(dialog)->done(QDialog::Accepted); // public in QDialog
            } else {
                dialog->reject();
            }
        }
    });
    answer.start();

    EXPECT_TRUE(click("openButton").empty());
    EXPECT_EQ(caption, "Import IQ file");
    EXPECT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters.value(0).startsWith("IQ recordings (*.sigmf-meta *.sigmf *.wav *.iqw *.cfile"));
    EXPECT_EQ(filters.value(1), "All Files (*)");
    EXPECT_EQ(dialogParent, panel);
    EXPECT_EQ(text("fileNameLabel"), "No file loaded");

    pick = true;
    EXPECT_TRUE(click("openButton").empty());
    EXPECT_EQ(text("fileNameLabel"), "picked.dat");
    EXPECT_EQ(text("fileDurationLabel"), "2");
    EXPECT_TRUE(statusIsReady());
}

TEST_F(PanelLoad, StatusReadsProcessingUntilTheErrorBoxIsClosed)
{
    QString statusWhileBoxOpen;
    QTimer peek;
    peek.setInterval(0);
    QObject::connect(&peek, &QTimer::timeout, [&] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (qobject_cast<QMessageBox*>(top) && top->isVisible())
                statusWhileBoxOpen = text("statusLabel");
        }
    });
    peek.start();
    expectBox(load(path("x.bin")), QMessageBox::Critical, "Error",
              "Cannot open \"" + path("x.bin") + "\": No such file or directory", nullptr);
    EXPECT_EQ(statusWhileBoxOpen, "Processing...");
    EXPECT_TRUE(statusIsReady());
}
