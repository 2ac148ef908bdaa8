#pragma once
// The application object, which never lets an exception reach Qt's event loop
// (where it would end the program): one that a handler lets through is shown
// in the "Error" box, counted, and the program goes on.

#include <QApplication>

class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
    // Exceptions caught here since the start.
    static int escapedExceptions();
    // Without boxes (a run without a window), the message goes to standard error.
    static void setShowBoxes(bool show);
};
