// The entry point: usage text, exit status and what is not the help switch.

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

namespace {

const char* const usageTail =
    " <file>\n"
    "\n"
    "Options:\n"
    "  -h, --help  Print program options and arguments.\n"
    "\n"
    "Arguments:\n"
    "  file        IQ record to analyze.\n";

struct ProcessRun
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
};

ProcessRun runNorvale(const QStringList& arguments, int waitMs)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(environment);
    process.start(NORVALE_EXECUTABLE, arguments);
    ProcessRun run;
    if (!process.waitForStarted(10000))
        return run;
    run.finished = process.waitForFinished(waitMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished(10000);
    } else {
        run.exitCode = process.exitCode();
    }
    run.out = process.readAllStandardOutput();
    return run;
}

} // namespace

TEST(Startup, HelpSwitchPrintsTheUsageTextAndExitsZero)
{
    const QByteArray expected = QByteArray("Usage: ") + NORVALE_EXECUTABLE + usageTail;
    for (const QStringList& arguments :
         {QStringList{"-h"}, QStringList{"--help"}, QStringList{"--help", "recording.wav"},
          QStringList{"-h", "-x", "y"}}) {
        const ProcessRun run = runNorvale(arguments, 30000);
        ASSERT_TRUE(run.finished) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.exitCode, 0) << arguments.join(' ').toStdString();
        EXPECT_EQ(run.out, expected) << arguments.join(' ').toStdString();
    }
}

TEST(Startup, OtherSwitchesAreNotTakenAsHelp)
{
    // These start the application (which then keeps running), so nothing is printed.
    for (const QStringList& arguments :
         {QStringList{"-H"}, QStringList{"--HELP"}, QStringList{"-help"}, QStringList{"--h"},
          QStringList{"file.wav", "--help"}}) {
        const ProcessRun run = runNorvale(arguments, 1500);
        EXPECT_FALSE(run.finished) << arguments.join(' ').toStdString();
        EXPECT_FALSE(run.out.contains("Usage:")) << arguments.join(' ').toStdString();
    }
}
