// The window started with a recording on the command line.

#include "app/WindowStart.h"

#include "app/MainWindow.h"
#include "app/OptionSettings.h"
#include "panel/ControlPanel.h"
#include "session/ViewSession.h"

#include <QMessageBox>

void openWithOptions(MainWindow& window, const CommandLineOptions& o)
{
    ControlPanel* panel = window.panel();
    ViewSession* session = window.session();
    if (hasViewOptions(o)) {
        // Applied once the recording is shown, as the fields would be.
        auto* once = new QObject(session);
        QObject::connect(session, &ViewSession::recordingLoaded, once, [session, panel, once, o] {
            once->deleteLater();
            QObject::disconnect(session, nullptr, once, nullptr);
            const std::optional<ViewSettings> next =
                settingsFromOptions(session->requested(), session->recording(), o, [panel](const QString& text) {
                    QMessageBox::warning(panel, QStringLiteral("Input Error"), text);
                });
            if (next)
                session->apply(*next);
        });
    }
    panel->openWith(o.recording, o.format, o.datatype, o.rate);
}
