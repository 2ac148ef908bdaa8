#pragma once
// Runs the built program with arguments, as a script would, and keeps what it
// said and its exit status (-1 when it did not start or end within a minute).

#include <QByteArray>
#include <QProcess>
#include <QStringList>

struct CommandRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline CommandRun norvale(const QStringList& arguments)
{
    QProcess process;
    process.start(NORVALE_EXECUTABLE, arguments);
    CommandRun run;
    if (process.waitForStarted(10000) && process.waitForFinished(60000))
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}
