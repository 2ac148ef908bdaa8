#pragma once
// Play and Stop of the band shown: its audio (FM, or AM for the amplitude
// trace) from the start of the range shown (or cursor A), computed on a
// thread of its own and then played by a BandPlayer while a line moves across
// the time plots; without an audio output, a note and nothing else.

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class BandPlayer;
class PlotWidget;
class QPushButton;
class ViewSession;
class WorkControl;

class BandListening : public QObject
{
public:
    // Audio longer than this (seconds), or of more samples than this, is cut:
    // it is computed in full before it plays.
    static constexpr double longestAudio = 60;
    static constexpr uint64_t mostSamples = uint64_t(1) << 24;

    using Note = std::function<void(const QString& title, const QString& text)>;
    using Marked = std::function<std::optional<uint64_t>()>;
    // The button reads "Play", or "Stop" while playing; the plots show the
    // line. Playing starts at the sample `cursorA` gives when it lies in the
    // range shown, else at the range's start.
    BandListening(ViewSession* session, QPushButton* button, std::vector<PlotWidget*> timePlots, Note note,
                  Marked cursorA, QObject* parent = nullptr);
    ~BandListening() override;

    // Plays the band shown, or stops it when it plays or is being computed
    // (the button, Space).
    void toggle();
    // Stops playing, or the computing of what was to play; false when neither
    // was under way (Escape).
    bool stop();
    bool playing() const;

private:
    void showPosition(std::optional<double> seconds);
    // The audio computed (or the message of its failure): plays it unless stopped meanwhile.
    void computed(std::vector<int16_t> audio, double startSeconds, QString failure);
    // Waits for the computing thread to end once it has been told to.
    void joinWorker();

    ViewSession* session;
    QPointer<QPushButton> button;
    std::vector<QPointer<PlotWidget>> plots;
    Note note;
    Marked cursorA;
    BandPlayer* player;
    std::shared_ptr<WorkControl> computing;
    std::thread worker;
};
