#pragma once
// What Norvale keeps from one start to the next, with QSettings: the window's
// geometry and splitter, the panel's settings and the recent recordings. Nothing
// is read or written while the application has no organization name: the
// program sets one; tests and command-line runs do not, unless they mean to.

#include "panel/PanelForm.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A recording as it was opened: its path and the Open group's format, datatype and rate.
struct RecentRecording
{
    QString path;
    int format = 0;
    QString datatype;
    QString rate;
};

class AppSettings
{
public:
    static constexpr int mostRecent = 10;

    static bool enabled();
    static PanelSettings panel();
    static void setPanel(const PanelSettings& settings);
    static QByteArray windowGeometry();
    static QByteArray splitterState();
    static void setWindow(const QByteArray& geometry, const QByteArray& splitter);
    // Newest first, at most mostRecent, each path once.
    static QList<RecentRecording> recent();
    static void addRecent(const RecentRecording& recording);
    // Forgets every setting kept; the recent recordings stay.
    static void reset();
};
