// The band's audio computed from the settings shown and handed to the player.

#include "panel/BandListening.h"

#include "dsp/TraceAudio.h"
#include "dsp/WorkControl.h"
#include "io/Recording.h"
#include "panel/BandPlayer.h"
#include "plotdata/RangePass.h"
#include "session/ViewSession.h"
#include "views/PlotWidget.h"
#include "views/TraceView.h"

#include <QMetaObject>
#include <QPushButton>

#include <algorithm>
#include <exception>

BandListening::BandListening(ViewSession* session, QPushButton* button, std::vector<PlotWidget*> timePlots,
                             Note note, Marked cursorA, QObject* parent)
    : QObject(parent), session(session), button(button), note(std::move(note)), cursorA(std::move(cursorA)),
      player(new BandPlayer(this))
{
    for (PlotWidget* plot : timePlots)
        plots.emplace_back(plot);
    player->setPositionHandler([this](std::optional<double> seconds) { showPosition(seconds); });
    connect(button, &QPushButton::clicked, this, &BandListening::toggle);
    // Another recording ends what played of the last.
    connect(session, &ViewSession::recordingLoaded, this, [this] { stop(); });
}

BandListening::~BandListening()
{
    if (computing)
        computing->cancel();
    joinWorker();
    player->setPositionHandler(nullptr);
}

bool BandListening::playing() const
{
    return player->playing() || computing;
}

bool BandListening::stop()
{
    if (computing) {
        computing->cancel();
        computing.reset();
        showPosition(std::nullopt);
        return true;
    }
    if (!player->playing())
        return false;
    player->stop();
    return true;
}

void BandListening::joinWorker()
{
    if (worker.joinable())
        worker.join();
}

void BandListening::toggle()
{
    if (stop() || !session->isLoaded())
        return;
    if (!BandPlayer::deviceAvailable()) {
        note(QStringLiteral("Play"), BandPlayer::noDeviceNote());
        return;
    }
    const ViewSettings& shown = session->shown();
    const Recording& recording = session->recording();
    const double fs = static_cast<double>(recording.sampleRate());
    const StreamRange range = streamRangeOf(fs, recording.sampleCount(), shown.range.start, shown.range.stop);
    AudioRequest request;
    request.kind = TraceView::kindOf(shown.display.traceKind);
    request.sampleRate = fs;
    request.low = shown.band.low;
    request.high = shown.band.high;
    request.first = range.first;
    request.end = range.end;
    if (const std::optional<uint64_t> marked = cursorA ? cursorA() : std::nullopt;
        marked && *marked >= range.first && *marked < range.end)
        request.first = *marked;
    request.longest = std::min(longestAudio, static_cast<double>(mostSamples) / fs);
    const DcOffset offset = session->removedOffset();
    joinWorker();
    auto control = std::make_shared<WorkControl>();
    computing = control;
    if (button)
        button->setText(QStringLiteral("Stop"));
    // The thread ends soon after a cancel (the computation checks it between
    // blocks); what it posts back is dropped with this object.
    worker = std::thread([this, control, source = recording.samples(), request, offset, fs] {
        std::vector<int16_t> audio;
        QString failure;
        try {
            audio = bandAudio(*source, request, offset.i, offset.q, offset.remove, *control);
        } catch (const WorkCancelled&) {
            return;
        } catch (const std::exception& error) {
            failure = QString::fromUtf8(error.what());
        }
        const double startSeconds = static_cast<double>(request.first) / fs;
        QMetaObject::invokeMethod(
            this,
            [this, control, audio = std::move(audio), startSeconds, failure]() mutable {
                if (computing != control)
                    return;
                computing.reset();
                computed(std::move(audio), startSeconds, failure);
            },
            Qt::QueuedConnection);
    });
}

void BandListening::computed(std::vector<int16_t> audio, double startSeconds, QString failure)
{
    joinWorker();
    showPosition(std::nullopt);
    if (!failure.isEmpty()) {
        note(QStringLiteral("Play"), failure);
        return;
    }
    if (!player->play(std::move(audio), startSeconds))
        note(QStringLiteral("Play"), BandPlayer::noDeviceNote());
}

void BandListening::showPosition(std::optional<double> seconds)
{
    for (const QPointer<PlotWidget>& plot : plots)
        if (plot)
            plot->setPlayLine(seconds);
    if (button)
        button->setText(seconds ? QStringLiteral("Stop") : QStringLiteral("Play"));
}
