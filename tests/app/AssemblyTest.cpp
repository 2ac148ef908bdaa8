// The assembled main window: where the panel and the views sit, and the start-up
// load of a recording named on the command line.

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/support/MessageBoxCatcher.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

QList<QWidget*> pageWidgets(QTabWidget* tabs, int index)
{
    QList<QWidget*> widgets;
    // Each page scrolls: its plots sit in the scroll area's widget.
    QLayout* layout = static_cast<QScrollArea*>(tabs->widget(index))->widget()->layout();
    for (int item = 0; item < layout->count(); ++item)
        widgets << layout->itemAt(item)->widget();
    return widgets;
}

// Runs the event loop until the window's load (computed in the background) is shown.
void waitForLoad(MainWindow& window)
{
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (panel->busy() && clock.elapsed() < 60000);
}

// Pixels of a view as painted, to tell an empty view from a filled one.
QImage painted(QWidget* view)
{
    return view->grab().toImage();
}

} // namespace

TEST(Assembly, PanelInTheLeftColumnAndViewsInTheirPages)
{
    MainWindow window(QStringList{"norvale"});
    auto* panel = window.findChild<QWidget*>("controlPanel");
    auto* spectrogram = window.findChild<QWidget*>("spectrogramView");
    auto* power = window.findChild<QWidget*>("powerView");
    auto* amplitude = window.findChild<QWidget*>("amplitudeView");
    auto* trace = window.findChild<QWidget*>("traceView");
    auto* spectrum = window.findChild<QWidget*>("spectrumView");
    ASSERT_TRUE(panel && spectrogram && power && amplitude && trace && spectrum);

    EXPECT_EQ(window.findChild<QScrollArea*>("scrollArea")->widget(), panel);
    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    EXPECT_EQ(pageWidgets(tabs, 0), (QList<QWidget*>{spectrogram, trace, power, amplitude}));
    // The measurements sit under the spectrum, and the signal's estimate under them.
    EXPECT_EQ(pageWidgets(tabs, 1), (QList<QWidget*>{spectrum, window.findChild<QWidget*>("measurementsGroup"),
                                                     window.findChild<QWidget*>("signalGroup")}));
    EXPECT_EQ(spectrogram->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    EXPECT_EQ(spectrogram->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);

    window.resize(1300, 1000);
    window.show();
    QApplication::processEvents();
    EXPECT_FALSE(amplitude->isVisible());
    EXPECT_TRUE(power->isVisible());
    // The spectrogram takes the spare height of the "Time" page.
    EXPECT_GT(spectrogram->height(), power->height());
    EXPECT_EQ(window.findChild<QLabel*>("fileNameLabel")->text(), "No file loaded");
}

// The recording named on the command line is checked in the constructor and its
// views computed in the background, while the window can already be shown.
TEST(Assembly, RecordingOnTheCommandLineIsLoaded)
{
    QTemporaryDir dir;
    const QString meta = dir.filePath("start.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("start.sigmf-data"), 8000,
                               recordingfiles::tone(8000, 3.0, 1500.0));

    MainWindow empty(QStringList{"norvale"});
    std::unique_ptr<MainWindow> window;
    EXPECT_TRUE(captureMessageBoxes([&] {
                    window = std::make_unique<MainWindow>(QStringList{"norvale", meta, "--help"});
                    waitForLoad(*window);
                }).empty());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->findChild<QLabel*>("fileNameLabel")->text(), "start.sigmf-meta");
    EXPECT_EQ(window->findChild<QLabel*>("fileDurationLabel")->text(), "3");
    EXPECT_EQ(window->findChild<QLineEdit*>("stopTimeEdit")->text(), "3");

    for (QWidget* w : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&empty)}) {
        w->resize(1300, 1000);
        w->show();
        w->findChild<QWidget*>("amplitudeView")->show();
    }
    QApplication::processEvents();
    // The amplitude view, hidden during the load, is computed when shown.
    waitForLoad(*window);
    for (const char* view : {"spectrogramView", "powerView", "amplitudeView", "spectrumView"}) {
        EXPECT_NE(painted(window->findChild<QWidget*>(view)),
                  painted(empty.findChild<QWidget*>(view)))
            << view;
    }
}

TEST(Assembly, UnreadableRecordingShowsTheErrorFirstThenAnEmptyWindow)
{
    std::unique_ptr<MainWindow> window;
    const auto boxes = captureMessageBoxes([&] {
        window = std::make_unique<MainWindow>(QStringList{"norvale", "/nonexistent/file.wav"});
    });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].title, "Error");
    EXPECT_EQ(boxes[0].parent, nullptr);
    // The box came and went inside the constructor: the window was never shown.
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->findChild<QLabel*>("fileNameLabel")->text(), "No file loaded");
    EXPECT_EQ(window->findChild<QLabel*>("statusLabel")->text(), "Ready");

    // Upper-case and single-dash switches are file names too.
    for (const char* argument : {"-H", "-help"}) {
        const auto refused = captureMessageBoxes(
            [&] { MainWindow other(QStringList{"norvale", argument}); });
        ASSERT_EQ(refused.size(), 1u) << argument;
        EXPECT_EQ(refused[0].text, QString("Cannot open \"%1\": No such file or directory").arg(argument))
            << argument;
    }
}

TEST(Assembly, DemoRecordingOfTheRunCommandLoads)
{
    std::unique_ptr<MainWindow> window;
    EXPECT_TRUE(captureMessageBoxes([&] {
                    window = std::make_unique<MainWindow>(
                        QStringList{"norvale", NORVALE_DEMO_RECORDING});
                    waitForLoad(*window);
                }).empty());
    EXPECT_EQ(window->findChild<QLabel*>("fileLengthLabel")->text(), "800000");
    EXPECT_EQ(window->findChild<QLabel*>("fileDurationLabel")->text(), "4");
    EXPECT_EQ(window->findChild<QLabel*>("sampleRateLabel")->text(), "200000");
    // It carries a centre frequency and annotations.
    EXPECT_EQ(window->findChild<QLabel*>("centreFrequencyLabel")->text(), "433920000");
    EXPECT_TRUE(window->findChild<QCheckBox*>("absoluteFrequencyCheckBox")->isEnabled());
    EXPECT_TRUE(window->findChild<QCheckBox*>("showAnnotationsCheckBox")->isChecked());
}

// A recording named on the command line is computed once, at the width the
// window shows it, with its name in the panel from the start.
TEST(Assembly, StartUpLoadIsComputedOnce)
{
    QTemporaryDir dir;
    const QString meta = dir.filePath("once.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("once.sigmf-data"), 8000,
                               recordingfiles::tone(8000, 3.0, 1500.0));
    MainWindow window(QStringList{"norvale", meta});
    // Each pass shows the progress bar anew.
    struct ShowCounter : QObject
    {
        bool eventFilter(QObject*, QEvent* event) override
        {
            shows += event->type() == QEvent::Show;
            return false;
        }
        int shows = 0;
    } passes;
    window.findChild<QWidget*>("progressBar")->installEventFilter(&passes);
    EXPECT_EQ(window.findChild<QLabel*>("fileNameLabel")->text(), "once.sigmf-meta");
    EXPECT_EQ(window.findChild<QLabel*>("statusLabel")->text(), "Processing...");
    // As main() does: shown before the event loop runs.
    window.show();
    waitForLoad(window);
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    QApplication::processEvents();
    // Computed at the width it is shown at: nothing to compute again.
    EXPECT_FALSE(window.findChild<SpectrogramView*>("spectrogramView")->needsNewWidth());
    EXPECT_FALSE(window.findChild<PowerView*>("powerView")->needsNewWidth());
    EXPECT_FALSE(panel->busy());
    EXPECT_EQ(passes.shows, 1);
}
