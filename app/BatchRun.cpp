// Command-line options applied to the window, and the runs without a window.

#include "app/BatchRun.h"

#include "app/MainWindow.h"
#include "dsp/BlockStream.h"
#include "dsp/MeasurementReport.h"
#include "io/Recording.h"
#include "panel/ControlPanel.h"
#include "panel/MeasurementsGroup.h"

#include <QApplication>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

#include <nlohmann/json.hpp>

#include <functional>
#include <iostream>

namespace {

// Runs the event loop until `done`, asleep between events and checks, so that
// the cores stay with the work (a loop of processEvents would spin on one).
void runUntil(const std::function<bool()>& done)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    check.start(10);
    if (!done())
        loop.exec();
}

void waitForPanel(ControlPanel* panel)
{
    QApplication::processEvents();
    runUntil([panel] { return !panel->busy(); });
    QApplication::processEvents();
}

void setText(MainWindow& window, const char* field, const QString& text)
{
    if (auto* edit = window.findChild<QLineEdit*>(field))
        edit->setText(text);
}

bool savePicture(const QImage& picture, const QString& path)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && picture.save(&file, "PNG") && file.commit())
        return true;
    std::cerr << "Cannot write " << path.toStdString() << ": " << file.errorString().toStdString()
              << std::endl;
    return false;
}

// What --info prints: the file's name and datatype, its samples and rate, what
// the file says about it, and the mean of I and Q over the whole recording.
nlohmann::json recordingInfo(const Recording& recording, const QString& path)
{
    const std::shared_ptr<const SampleSource> samples = recording.samples();
    const std::optional<StoredSamples> stored = samples->stored();
    WorkControl control;
    const DcOffset mean = rangeMean(*samples, 0, samples->size(), control);
    const RecordingInfo& info = recording.info();
    nlohmann::json out;
    out["name"] = QFileInfo(path).fileName().toStdString();
    out["datatype"] = stored ? nlohmann::json(stored->datatype) : nlohmann::json(nullptr);
    out["samples"] = recording.sampleCount();
    out["sampleRate"] = recording.sampleRate();
    out["duration"] = static_cast<double>(recording.sampleCount()) / recording.sampleRate();
    out["centreFrequency"] =
        info.centreFrequency ? nlohmann::json(*info.centreFrequency) : nlohmann::json(nullptr);
    out["startTime"] = info.startTime.empty() ? nlohmann::json(nullptr) : nlohmann::json(info.startTime);
    out["dcOffset"] = {{"i", mean.i}, {"q", mean.q}};
    out["captures"] = info.captures.size();
    out["annotations"] = info.annotations.size();
    return out;
}

} // namespace

bool openWithOptions(MainWindow& window, const CommandLineOptions& o)
{
    ControlPanel* panel = window.panel();
    panel->openWith(o.recording, o.format, o.datatype, o.rate);
    // Without further options the load goes on while the window shows.
    if (!o.start && !o.stop && !o.bandLow && !o.fftExponent && !o.overlap && !o.range && !o.batch())
        return true;
    waitForPanel(panel);
    if (!window.recording().isLoaded())
        return false;
    if (o.start || o.stop) {
        if (o.start)
            setText(window, "startTimeEdit", *o.start);
        if (o.stop)
            setText(window, "stopTimeEdit", *o.stop);
        panel->applyTimeRange();
        waitForPanel(panel);
    }
    if (o.bandLow || o.fftExponent || o.overlap || o.range) {
        if (o.bandLow) {
            setText(window, "startFrequencyEdit", *o.bandLow);
            setText(window, "stopFrequencyEdit", *o.bandHigh);
        }
        if (o.fftExponent)
            window.findChild<QSpinBox*>("fftExponentSpinBox")->setValue(*o.fftExponent);
        if (o.overlap)
            window.findChild<QDoubleSpinBox*>("overlapSpinBox")->setValue(o.overlap->toDouble());
        if (o.range)
            setText(window, "rangeEdit", *o.range);
        panel->applySpectrumSettings();
        waitForPanel(panel);
    }
    return true;
}

int runBatch(const CommandLineOptions& o)
{
    MainWindow window(QStringList{"norvale"});
    ControlPanel* panel = window.panel();
    bool refused = false;
    panel->setMessageSink([&refused](QMessageBox::Icon, const QString&, const QString& text) {
        std::cerr << text.toStdString() << std::endl;
        refused = true;
    });
    // Options the fields cannot hold are refused here, in the panel's words.
    if (o.fftExponent && *o.fftExponent < 1) {
        std::cerr << "Invalid FFT size exponent: input shall be >= 1" << std::endl;
        return 1;
    }
    if (o.overlap) {
        bool ok = false;
        const double percent = o.overlap->toDouble(&ok);
        if (!ok || !(percent >= 0 && percent <= 100)) {
            std::cerr << "Invalid overlap: must lie between 0 and 100 %" << std::endl;
            return 1;
        }
    }
    const bool pictures = !o.render.isEmpty() || !o.renderSpectrum.isEmpty();
    // Measurements are those of the spectrum the window shows.
    const bool views = pictures || o.measure;
    panel->setViewsComputed(views);
    if (views) {
        // The window laid out once, then sized so that a page has the size asked for.
        window.show();
        QApplication::processEvents();
        window.resize(window.windowSizeForPage(o.size));
        QApplication::processEvents();
    }
    if (!openWithOptions(window, o) || refused)
        return 1;
    if (o.info)
        std::cout << recordingInfo(window.recording(), o.recording).dump(2) << std::endl;
    if (o.measure) {
        const std::optional<BandMeasurements>& measured = window.measurements()->measurements();
        if (!measured) {
            std::cerr << "No spectrum to measure" << std::endl;
            return 1;
        }
        std::cout << measurementsJson(*measured, 2) << std::endl;
    }
    if (!o.exportPath.isEmpty()) {
        bool done = false;
        QString failure;
        panel->exportSelection(o.exportPath, o.bandLow.has_value(), [&](const QString& reason) {
            failure = reason;
            done = true;
        });
        runUntil([&done] { return done; });
        if (!failure.isEmpty())
            return 1;
    }
    if (!o.render.isEmpty() && !savePicture(window.timePicture(), o.render))
        return 1;
    if (!o.renderSpectrum.isEmpty()) {
        window.findChild<QTabWidget*>("tabWidget")->setCurrentIndex(1);
        QApplication::processEvents();
        waitForPanel(panel);
        if (!savePicture(window.frequencyPicture(), o.renderSpectrum))
            return 1;
    }
    return refused ? 1 : 0;
}
