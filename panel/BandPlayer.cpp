// Audio through Qt Multimedia's sink on the default output.

#include "panel/BandPlayer.h"

#include "dsp/TraceAudio.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QTimer>

namespace {

QAudioFormat audioFormat()
{
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(audioRate));
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

} // namespace

BandPlayer::BandPlayer(QObject* parent) : QObject(parent), timer(new QTimer(this))
{
    timer->setInterval(40);
    connect(timer, &QTimer::timeout, this, &BandPlayer::tick);
}

BandPlayer::~BandPlayer()
{
    onPosition = nullptr;
    stop();
}

QString BandPlayer::noDeviceNote()
{
    return QStringLiteral("No audio output device was found: the band cannot be played. "
                          "Its audio can be written with --audio-out FILE.wav.");
}

bool BandPlayer::deviceAvailable()
{
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    return !device.isNull() && device.isFormatSupported(audioFormat());
}

bool BandPlayer::play(std::vector<int16_t> audio, double startSeconds)
{
    stop();
    if (!deviceAvailable())
        return false;
    bytes = QByteArray(reinterpret_cast<const char*>(audio.data()), static_cast<qsizetype>(audio.size() * 2));
    buffer = std::make_unique<QBuffer>(&bytes);
    buffer->open(QIODevice::ReadOnly);
    sink = std::make_unique<QAudioSink>(QMediaDevices::defaultAudioOutput(), audioFormat());
    connect(sink.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        if (state == QAudio::IdleState || state == QAudio::StoppedState)
            QTimer::singleShot(0, this, [this] {
                if (sink && (sink->state() == QAudio::IdleState || sink->state() == QAudio::StoppedState))
                    stop();
            });
    });
    start = startSeconds;
    sink->start(buffer.get());
    if (sink->error() != QAudio::NoError) {
        stop();
        return false;
    }
    timer->start();
    tick();
    return true;
}

void BandPlayer::stop()
{
    timer->stop();
    const bool was = sink != nullptr;
    if (sink) {
        sink->disconnect(this);
        sink->stop();
        sink.reset();
    }
    buffer.reset();
    bytes.clear();
    if (was && onPosition)
        onPosition(std::nullopt);
}

void BandPlayer::tick()
{
    if (sink && onPosition)
        onPosition(start + static_cast<double>(sink->processedUSecs()) / 1e6);
}
