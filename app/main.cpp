// Entry point: the help text, the version, a run without a window, or the
// application with its one main window.

#include "app/BatchRun.h"
#include "app/CommandLine.h"
#include "app/GuardedApplication.h"
#include "app/MainWindow.h"
#include "app/WindowStart.h"
#include "app/Palette.h"
#include "session/NativePath.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <iostream>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Exit status of a command line that cannot be understood.
constexpr int badUsageStatus = 2;

// Without XDG_RUNTIME_DIR, Qt warns on every start and then uses a folder of its
// own in the temporary folder: that folder is given to it, made as Qt makes it
// (private to the user), so a normal run prints nothing it need not.
void provideRuntimeFolder()
{
    if (const char* set = std::getenv("XDG_RUNTIME_DIR"); set && *set)
        return;
    const passwd* user = ::getpwuid(::geteuid());
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (!user || error)
        return;
    const std::string folder = (temporary / (std::string("runtime-") + user->pw_name)).string();
    ::mkdir(folder.c_str(), 0700);
    struct stat status = {};
    if (::lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::geteuid()
        && (status.st_mode & 0777) == 0700)
        ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

} // namespace

int main(int argc, char* argv[])
{
    const CommandLine line = parseCommandLine(argumentsOf(argc, argv));
    switch (line.outcome) {
    case CommandLine::Outcome::Help:
        std::cout << line.text.toStdString();
        return 0;
    case CommandLine::Outcome::Version:
        std::cout << "norvale " << NORVALE_VERSION << std::endl;
        return 0;
    case CommandLine::Outcome::BadUsage:
        std::cerr << nativePath(line.text);
        return badUsageStatus;
    case CommandLine::Outcome::Run:
        break;
    }
    provideRuntimeFolder();
    // A run without a window needs no display.
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (line.options.batch() && (!platform || !*platform))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    GuardedApplication app(argc, argv);
    QApplication::setApplicationName("Norvale");
    QApplication::setApplicationVersion(NORVALE_VERSION);
    if (line.options.batch()) {
        GuardedApplication::setShowBoxes(false);
        // Pictures look as the window does.
        QApplication::setStyle("Fusion");
        applyDarkPalette();
        return runBatch(line.options);
    }

    // The window keeps its settings between starts.
    QApplication::setOrganizationName("Norvale");
    int result = 0;
    {
        MainWindow window(QStringList{"norvale"});
        if (!line.options.recording.isEmpty())
            openWithOptions(window, line.options);
        window.show();
        QApplication::setStyle("Fusion");
        applyDarkPalette();
        result = QApplication::exec();
    }
    return result;
}
