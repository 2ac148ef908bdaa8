#pragma once
// The session's work as the panel shows it: "Processing..." with a progress bar
// and Cancel while it runs, "Ready" or "Cancelled" once it ends, and the name of
// a recording being loaded, the previous one put back when the load does not
// finish.

#include <QObject>
#include <QString>

#include <optional>

class QTimer;
class ViewSession;
struct PanelWidgets;

class WorkIndicator : public QObject
{
public:
    WorkIndicator(const PanelWidgets& form, ViewSession* session, QObject* parent);

    // A load of the file named has started, or its recording is shown.
    void loadStarted(const QString& fileName);
    void loadFinished();

private:
    void busyChanged(bool busy);
    // "Preview…" while a preview is shown, else "Processing...".
    QString busyText() const;

    const PanelWidgets& form;
    ViewSession* session;
    QTimer* progressTimer;
    // The file name shown before a load started.
    std::optional<QString> previousFileName;
};
