#pragma once
// "Detect bursts" in the window: reads the row's fields (an "Input Error" box
// for a refusal), finds the bursts of the whole recording in the background
// with progress (the button cancels it meanwhile, as does a new load), and
// adds them to the annotations as one change that one undo takes back.

#include "annotations/AnnotationSaver.h"

#include <QString>

#include <functional>
#include <memory>

class AnnotationEditor;
class BurstDetectRow;
class JobRunner;
class QObject;
class QTimer;
class Recording;
class ViewSession;

class BurstFinder
{
public:
    // All four outlive the finder.
    BurstFinder(Recording* recording, ViewSession* session, AnnotationEditor* editor, BurstDetectRow* row);
    ~BurstFinder();
    BurstFinder(const BurstFinder&) = delete;
    BurstFinder& operator=(const BurstFinder&) = delete;

    // The button and D: starts a run, or cancels the one running.
    void detectOrCancel();
    bool running() const;

    // Errors go to message boxes unless a sink is set.
    void setMessageSink(AnnotationSaver::MessageSink sink) { messageSink = std::move(sink); }

private:
    void start();
    void cancel();
    void finished(const QString& status);
    void showMessage(bool inputError, const QString& text) const;

    std::unique_ptr<QObject> context;
    Recording* recording;
    ViewSession* session;
    AnnotationEditor* editor;
    BurstDetectRow* row;
    std::unique_ptr<JobRunner> runner;
    QTimer* progressTimer;
    AnnotationSaver::MessageSink messageSink;
};
