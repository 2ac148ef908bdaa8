// Command-line options applied to a session, and the runs without a window.

#include "app/BatchRun.h"

#include "app/DetectRun.h"
#include "app/OptionSettings.h"
#include "app/EstimateRun.h"
#include "app/SymbolsRun.h"
#include "app/TraceRun.h"
#include "app/ViewPages.h"
#include "dsp/BlockStream.h"
#include "dsp/MeasurementReport.h"
#include "export/OutputFile.h"
#include "export/TimeStamp.h"
#include "io/Recording.h"
#include "panel/MeasurementsGroup.h"
#include "session/NativePath.h"
#include "session/RecordingRequest.h"
#include "session/NumberText.h"
#include "session/SettingsTexts.h"
#include "session/SpectrumModel.h"
#include "session/ViewSession.h"
#include "views/AmplitudeView.h"
#include "views/AnnotationBoxes.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"
#include "views/ViewSet.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QBuffer>
#include <QVBoxLayout>

#include <nlohmann/json.hpp>

#include <cmath>
#include <iostream>
#include <memory>

namespace {

// Runs the event loop, asleep, until the session has nothing more to do.
void waitUntilIdle(ViewSession& session)
{
    if (!session.busy())
        return;
    QEventLoop loop;
    QObject::connect(&session, &ViewSession::busyChanged, &loop, [&loop](bool busy) {
        if (!busy)
            loop.quit();
    });
    loop.exec();
}

// The picture as PNG, encoded in memory and written under a temporary name, so a
// failure to write names the file and the system's reason.
bool savePicture(const QImage& picture, const QString& path)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) {
        std::cerr << "Cannot write " << nativePath(path) << ": the picture cannot be encoded as PNG"
                  << std::endl;
        return false;
    }
    try {
        OutputFile file(nativePath(path));
        file.write(png.constData(), static_cast<std::size_t>(png.size()));
        file.finish();
        file.commit();
    } catch (const std::exception& error) {
        std::cerr << error.what() << std::endl;
        return false;
    }
    return true;
}

// The SigMF name of a stored datatype: 8-bit values have no byte order, and
// 24-bit WAV samples have no name (null).
nlohmann::json sigmfDatatype(const std::string& datatype)
{
    if (datatype.empty() || datatype == "ci24_le")
        return nullptr;
    if (datatype.size() == 6 && datatype[2] == '8' && datatype[3] == '_')
        return datatype.substr(0, 3);
    return datatype;
}

// What --info prints: the file's name and datatype, its samples and rate, what
// the file says about it (the start time in ISO 8601 UTC), and the mean of I and
// Q over the whole recording.
nlohmann::json recordingInfo(const Recording& recording, const QString& path)
{
    const std::shared_ptr<const SampleSource> samples = recording.samples();
    const std::optional<StoredSamples> stored = samples->stored();
    WorkControl control;
    const DcOffset mean = rangeMean(*samples, 0, samples->size(), control);
    const RecordingInfo& info = recording.info();
    nlohmann::json out;
    out["name"] = shownFileName(path).toStdString();
    out["datatype"] = stored ? sigmfDatatype(stored->datatype) : nlohmann::json(nullptr);
    if (stored)
        out["bitsPerValue"] = stored->sampleSize * (stored->datatype.front() == 'c' ? 4 : 8);
    else
        out["bitsPerValue"] = nullptr;
    out["samples"] = recording.sampleCount();
    // Exactly, written as an integer when it is whole.
    const double rate = recording.sampleRate();
    out["sampleRate"] = std::floor(rate) == rate ? nlohmann::json(static_cast<uint64_t>(rate)) : nlohmann::json(rate);
    out["duration"] = static_cast<double>(recording.sampleCount()) / rate;
    out["centreFrequency"] =
        info.centreFrequency ? nlohmann::json(*info.centreFrequency) : nlohmann::json(nullptr);
    const std::optional<TimeStamp> start = TimeStamp::parse(info.startTime);
    out["startTime"] = start ? nlohmann::json(start->isoText()) : nlohmann::json(nullptr);
    // A time the file gives that is no time is shown as it is written.
    if (!start && !info.startTime.empty())
        out["startTimeText"] = info.startTime;
    out["dcOffset"] = {{"i", mean.i}, {"q", mean.q}};
    out["captures"] = info.captures.size();
    out["annotations"] = info.annotations.size();
    out["note"] = info.note.empty() ? nlohmann::json(nullptr) : nlohmann::json(info.note);
    return out;
}

// The views of the window's two pages, drawn offscreen at the size asked for.
class PicturePages
{
public:
    PicturePages(Recording* recording, ViewSession& session, SpectrumModel& model, const QSize& size)
    {
        auto* spectrogram = new SpectrogramView(recording);
        spectrogram->setObjectName("spectrogramView");
        spectrogram->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        auto* power = new PowerView(recording);
        power->setObjectName("powerView");
        auto* amplitude = new AmplitudeView(recording);
        amplitude->setObjectName("amplitudeView");
        auto* spectrum = new SpectrumView(recording);
        spectrum->setObjectName("spectrumView");
        views = {spectrogram, power, amplitude, spectrum};
        auto* measurements = new MeasurementsGroup(&model, &session, spectrum->plotWidget());
        measurements->setObjectName("measurementsGroup");
        measurements->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        timePage = viewPage(QList<QWidget*>{spectrogram, power, amplitude}, "timePage");
        frequencyPage = viewPage(QList<QWidget*>{spectrum, measurements}, "frequencyPage");
        const ViewSettings starting = startingSettings(views);
        addViews(session, model, views);
        session.apply(starting);
        // Each page inside a window of its own, as a page of the window's tabs
        // (a page that were a window itself would get a window's margins).
        for (QWidget* page : {timePage, frequencyPage}) {
            auto holder = std::make_unique<QWidget>();
            auto* layout = new QVBoxLayout(holder.get());
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(page);
            // The smallest size the page takes, fixed before the window exists.
            layout->setSizeConstraint(QLayout::SetNoConstraint);
            holder->setMinimumSize(layout->minimumSize());
            holder->resize(size.expandedTo(layout->minimumSize()));
            smallest = smallest.expandedTo(layout->minimumSize());
            holder->show();
            holders.push_back(std::move(holder));
        }
    }

    // The pages as drawn now.
    QImage picture(QWidget* page) const
    {
        // Layouts the last texts asked for are done first.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        return page->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    ViewSet views{};
    // The smallest size both pages' layouts take.
    QSize smallest{0, 0};
    QWidget* timePage = nullptr;
    QWidget* frequencyPage = nullptr;

private:
    std::vector<std::unique_ptr<QWidget>> holders;
};

} // namespace

int runBatch(const CommandLineOptions& o)
{
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
    bool refused = false;
    const Refusal report = [&refused](const QString& text) {
        // A file's name as the system spells it, whatever its bytes.
        std::cerr << nativePath(text) << std::endl;
        refused = true;
    };
    std::shared_ptr<Recording> fresh;
    try {
        fresh = readRecording({o.recording, o.format, o.datatype, o.rate, 0});
    } catch (const std::exception& error) {
        report(pathText(error.what()));
        return 1;
    }
    // The views go after the session, which stops its work first.
    Recording recording;
    SpectrumModel model;
    std::unique_ptr<PicturePages> pages;
    ViewSession session(&recording);
    QObject::connect(&session, &ViewSession::failed, &session, report);
    if (!o.render.isEmpty() || !o.renderSpectrum.isEmpty())
        pages = std::make_unique<PicturePages>(&recording, session, model, o.size);
    else if (o.measure)
        session.addView(&model);
    session.load(std::move(fresh), o.recording);
    waitUntilIdle(session);
    if (!recording.isLoaded() || refused)
        return 1;
    if (pages)
        pages->views.spectrogram->setAnnotations(
            annotationBoxes(recording.info().annotations, recording.sampleRate()));
    if (hasViewOptions(o)) {
        const std::optional<ViewSettings> next = settingsFromOptions(session.requested(), recording, o, report);
        if (!next)
            return 1;
        session.apply(*next);
        waitUntilIdle(session);
        if (refused)
            return 1;
    }
    // --info and --measure together print one object holding the members of both.
    nlohmann::json printed = nlohmann::json::object();
    if (o.info)
        printed = recordingInfo(recording, o.recording);
    if (o.measure) {
        const std::optional<BandMeasurements>& measured = model.measurements();
        if (!measured) {
            std::cerr << "No spectrum to measure" << std::endl;
            return 1;
        }
        printed.update(nlohmann::json::parse(measurementsJson(*measured)));
    }
    if (o.info || o.measure)
        std::cout << printed.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << std::endl;
    if (!o.exportPath.isEmpty()) {
        QString failure;
        session.exportSelection(o.exportPath, o.bandLow.has_value(),
                                [&failure](const QString& reason) { failure = reason; });
        waitUntilIdle(session);
        if (!failure.isEmpty())
            return 1;
    }
    // The command line refuses sizes below what the layouts take; a picture is never
    // silently larger than asked.
    if (pages && o.size.expandedTo(pages->smallest) != o.size) {
        std::cerr << "--size " << o.size.width() << "x" << o.size.height()
                  << " is too small for these pages: the smallest is " << pages->smallest.width() << "x"
                  << pages->smallest.height() << std::endl;
        return 1;
    }
    if ((!o.traceOut.isEmpty() || !o.audioOut.isEmpty())
        && writeTraceOutputs(recording, o.recording, session.shown(), session.removedOffset(), o) != 0)
        return 1;
    if (o.estimate && printSignalEstimate(recording, session.shown(), session.removedOffset()) != 0)
        return 1;
    if (o.symbols && printSymbols(recording, session.shown(), session.removedOffset(), o) != 0)
        return 1;
    if (o.detect && writeDetection(recording, session.shown(), session.removedOffset(), o) != 0)
        return 1;
    if (!o.render.isEmpty() && !savePicture(pages->picture(pages->timePage), o.render))
        return 1;
    if (!o.renderSpectrum.isEmpty() && !savePicture(pages->picture(pages->frequencyPage), o.renderSpectrum))
        return 1;
    return refused ? 1 : 0;
}
