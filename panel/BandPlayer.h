#pragma once
// Plays 16-bit mono audio at 48 kHz on the default audio output (Qt
// Multimedia), saying where it has got to; without an output device it says
// so and plays nothing.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAudioSink;
class QBuffer;
class QTimer;

class BandPlayer : public QObject
{
public:
    explicit BandPlayer(QObject* parent = nullptr);
    ~BandPlayer() override;

    // What is said when there is no audio output to play on.
    static QString noDeviceNote();
    // Whether an output device that takes the audio is there.
    static bool deviceAvailable();

    // Plays `audio` (audioRate samples per second), its first sample at
    // `startSeconds` of the recording; false when nothing can play it.
    bool play(std::vector<int16_t> audio, double startSeconds);
    void stop();
    bool playing() const { return sink != nullptr; }
    // Called with the recording's time being played, about 25 times a second,
    // and with nothing once it stops (at the end, or by stop()).
    void setPositionHandler(std::function<void(std::optional<double>)> handler) { onPosition = std::move(handler); }

private:
    void tick();

    std::unique_ptr<QAudioSink> sink;
    std::unique_ptr<QBuffer> buffer;
    QByteArray bytes;
    QTimer* timer;
    double start = 0;
    std::function<void(std::optional<double>)> onPosition;
};
