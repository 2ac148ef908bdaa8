// norvale-soak [actions] [seed]: a random walk through the window (2,000
// actions and seed 1 unless given), its invariants checked after every action.
// Exits 1 with the actions that led to the first violation.

#include "app/GuardedApplication.h"
#include "app/Palette.h"
#include "tests/soak/SoakWalk.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <iostream>

int main(int argc, char** argv)
{
    GuardedApplication application(argc, argv);
    QApplication::setStyle("Fusion");
    applyDarkPalette();
    const QStringList arguments = QApplication::arguments();
    const int count = arguments.size() > 1 ? arguments[1].toInt() : 2000;
    const uint64_t seed = arguments.size() > 2 ? arguments[2].toULongLong() : 1;
    QTemporaryDir folder;
    if (!folder.isValid()) {
        std::cerr << "No folder for the walk's files" << std::endl;
        return 1;
    }
    SoakWalk walk(folder.path(), seed);
    const bool verbose = qEnvironmentVariableIsSet("NORVALE_SOAK_VERBOSE");
    for (int k = 1; k <= count; ++k) {
        const qsizetype before = walk.log().size();
        QElapsedTimer clock;
        clock.start();
        const QString failure = walk.step();
        if (verbose)
            for (qsizetype a = before; a < walk.log().size(); ++a)
                std::cout << k << ": " << walk.log()[a].toStdString() << " (" << clock.elapsed() << " ms)"
                          << std::endl;
        if (!failure.isEmpty()) {
            std::cerr << "Action " << k << " of seed " << seed << " left: " << failure.toStdString() << "\n"
                      << "The last actions:\n";
            const QStringList& log = walk.log();
            for (qsizetype a = std::max<qsizetype>(0, log.size() - 25); a < log.size(); ++a)
                std::cerr << "  " << log[a].toStdString() << "\n";
            return 1;
        }
        if (k % 500 == 0)
            std::cout << k << " actions, " << walk.messages() << " messages shown" << std::endl;
    }
    std::cout << "Soak walk of " << count << " actions (seed " << seed << "): no violation, " << walk.messages()
              << " messages shown" << std::endl;
    return 0;
}
