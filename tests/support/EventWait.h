#pragma once
// Runs the event loop until a condition holds: the tests' wait for work that
// ends on other threads. The limit only catches a stuck run; a slow machine
// (a sanitizer build sharing its cores) must never fail a test by its speed.

#include <QCoreApplication>
#include <QElapsedTimer>

template <typename Done>
bool waitFor(const Done& done, qint64 limitMs = 60000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}
