#pragma once
// "Export selection" run in the background: the range the views show (and the
// band shown, when asked) of the open recording written to a new file, with
// progress and cancellation; nothing is left behind by a failure or a cancel.

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class JobRunner;
class Recording;

class SelectionExport
{
public:
    // Results are delivered through `context`'s event queue.
    SelectionExport(const Recording* recording, QObject* context);
    ~SelectionExport();

    struct Selection
    {
        // Seconds, as the views use them.
        double start = 0;
        double stop = 0;
        // Baseband hertz; only with onlyBand.
        double low = 0;
        double high = 0;
        bool onlyBand = false;
    };
    // Starts writing `path` (its ending chooses the format); `done` runs on the
    // GUI thread with an empty message when the file is complete, or with the
    // reason it was not written ("Cancelled" after cancel()).
    void start(const QString& path, const Selection& selection,
               std::function<void(const QString& failure)> done);
    bool busy() const;
    double progress() const;
    void cancel();
    void stop();

private:
    const Recording* recording;
    std::unique_ptr<JobRunner> jobs;
    std::function<void(const QString&)> onDone;
};
