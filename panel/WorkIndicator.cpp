// Status, progress and the loading file's name.

#include "panel/WorkIndicator.h"

#include "panel/PanelForm.h"
#include "session/ViewSession.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {

// How often the progress bar follows the running work.
constexpr int progressIntervalMs = 50;

} // namespace

WorkIndicator::WorkIndicator(const PanelWidgets& form, ViewSession* session, QObject* parent)
    : QObject(parent), form(form), session(session), progressTimer(new QTimer(this))
{
    progressTimer->setInterval(progressIntervalMs);
    connect(progressTimer, &QTimer::timeout, this,
            [this] { this->form.progressBar->setValue(static_cast<int>(this->session->progress() * 100.0)); });
    connect(session, &ViewSession::busyChanged, this, &WorkIndicator::busyChanged);
    connect(session, &ViewSession::previewChanged, this, [this] {
        if (this->session->busy())
            showStatus(this->form, true, QString(), busyText());
    });
}

QString WorkIndicator::busyText() const
{
    return session->showsPreview() ? QStringLiteral("Preview…") : QStringLiteral("Processing...");
}

void WorkIndicator::loadStarted(const QString& fileName)
{
    if (!previousFileName)
        previousFileName = form.fileNameLabel->text();
    form.fileNameLabel->setText(fileName);
}

void WorkIndicator::loadFinished()
{
    previousFileName.reset();
}

void WorkIndicator::busyChanged(bool busy)
{
    if (busy) {
        showStatus(form, true, QString(), busyText());
        if (!form.progressBar->isVisible()) {
            form.progressBar->setValue(0);
            form.progressBar->setVisible(true);
            form.cancelButton->setVisible(true);
        }
        progressTimer->start();
        return;
    }
    // A load that ended without its recording (cancelled, failed) leaves the old name.
    if (previousFileName) {
        form.fileNameLabel->setText(*previousFileName);
        previousFileName.reset();
    }
    progressTimer->stop();
    form.progressBar->setVisible(false);
    form.cancelButton->setVisible(false);
    showStatus(form, false, session->wasCancelled() ? QStringLiteral("Cancelled") : QStringLiteral("Ready"));
}
