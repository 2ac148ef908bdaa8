#pragma once
// A seeded random walk through the window's actions: loads of good, damaged and
// hostile files, Applies with random and hostile field values, switches, wheel
// turns, drags, clicks, Back and Home, cancels at random moments, annotation
// edits and saves, exports. After every action, once the work has settled, the
// window's invariants are checked: no exception reached the event loop, the
// state is "Ready" or "Cancelled", the fields say what the views show.

#include "tests/soak/SoakFiles.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <random>

class MainWindow;

class SoakWalk
{
public:
    // Works in `folder` (its files, saves and exports).
    SoakWalk(const QString& folder, uint64_t seed);
    ~SoakWalk();

    // One random action and the checks after it; what went wrong, or an empty text.
    QString step();
    // The actions taken so far, one per line, for a report.
    const QStringList& log() const { return actions; }
    // Message boxes the window showed (through its sinks) so far.
    int messages() const { return shownMessages; }

private:
    void act(int kind);
    void loadSome();
    void typeInto();
    void pressApply();
    void toggleSwitch();
    void turnWheel();
    void drag();
    void pressKey();
    void annotate();
    void exportSome();
    void resizeWindow();
    // Whether the work ended within the time given.
    bool settle(qint64 limitMs);
    QString violations() const;
    template <typename T>
    T* find(const char* name) const;
    int pick(int n);

    QString folder;
    QList<SoakFile> files;
    std::mt19937_64 random;
    std::unique_ptr<MainWindow> window;
    QStringList actions;
    int shownMessages = 0;
    int exports = 0;
};
