#pragma once
// Play and Stop of the band shown: its audio (FM, or AM for the amplitude
// trace) from the start of the range shown (or cursor A), played by a
// BandPlayer while a line moves across the time plots; without an audio
// output, a note and nothing else.

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class BandPlayer;
class PlotWidget;
class QPushButton;
class ViewSession;

class BandListening : public QObject
{
public:
    // Audio longer than this (seconds), or of more samples than this, is cut:
    // it is computed on the GUI thread before it plays.
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

    // Plays the band shown, or stops it when it plays (the button, Space).
    void toggle();
    // Stops playing; false when nothing played (Escape).
    bool stop();
    bool playing() const;

private:
    void showPosition(std::optional<double> seconds);

    ViewSession* session;
    QPointer<QPushButton> button;
    std::vector<QPointer<PlotWidget>> plots;
    Note note;
    Marked cursorA;
    BandPlayer* player;
};
