// Shared main of the test executables: a QApplication on the offscreen platform,
// its cache folder (summaries of recordings) a temporary one of its own.

#include "tests/support/MessageBoxCatcher.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir cache;
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    QApplication app(argc, argv);
    installUnexpectedMessageBoxGuard();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
