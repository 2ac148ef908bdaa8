// Finding the bursts of the whole recording from the window.

#include "annotations/BurstFinder.h"

#include "annotations/AnnotationEditor.h"
#include "annotations/BurstDetectRow.h"
#include "dsp/BurstDetector.h"
#include "io/Recording.h"
#include "session/JobRunner.h"
#include "session/NumberText.h"
#include "session/ViewSession.h"
#include "sigmf/BurstAnnotations.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <cmath>
#include <stdexcept>

namespace {

constexpr int progressMilliseconds = 100;

} // namespace

BurstFinder::BurstFinder(Recording* recording, ViewSession* session, AnnotationEditor* editor, BurstDetectRow* row)
    : context(std::make_unique<QObject>()), recording(recording), session(session), editor(editor), row(row),
      runner(std::make_unique<JobRunner>(context.get(), WorkLane::foreground)),
      progressTimer(new QTimer(context.get()))
{
    progressTimer->setInterval(progressMilliseconds);
    QObject::connect(progressTimer, &QTimer::timeout, context.get(), [this] {
        this->row->detectProgress->setValue(static_cast<int>(std::lround(runner->progress() * 100)));
    });
    QObject::connect(row->detectButton, &QPushButton::clicked, context.get(), [this] { detectOrCancel(); });
    // A new recording ends a run over the one before.
    QObject::connect(session, &ViewSession::recordingLoaded, context.get(), [this] {
        if (running())
            cancel();
        this->row->detectStatusLabel->clear();
    });
}

BurstFinder::~BurstFinder()
{
    runner->stop();
}

bool BurstFinder::running() const
{
    return runner->busy();
}

void BurstFinder::detectOrCancel()
{
    if (running())
        cancel();
    else
        start();
}

void BurstFinder::start()
{
    if (!recording->isLoaded() || !recording->samples())
        return;
    BurstRequest request;
    try {
        request.thresholdDb = strictlyPositiveNumber(row->detectThresholdEdit->text());
    } catch (const std::exception& error) {
        showMessage(true, QStringLiteral("Invalid threshold: %1").arg(QString::fromUtf8(error.what())));
        return;
    }
    if (!row->detectMinDurationEdit->text().trimmed().isEmpty()) {
        try {
            request.minDuration = strictlyPositiveNumber(row->detectMinDurationEdit->text());
        } catch (const std::exception& error) {
            showMessage(true, QStringLiteral("Invalid minimum duration: %1").arg(QString::fromUtf8(error.what())));
            return;
        }
    }
    request.sampleRate = recording->sampleRate();
    request.first = 0;
    request.end = recording->sampleCount();
    request.low = -request.sampleRate / 2;
    request.high = request.sampleRate / 2;
    request.offset = session->removedOffset();
    auto found = std::make_shared<BurstDetection>();
    const std::shared_ptr<const SampleSource> samples = recording->samples();
    row->detectButton->setText("Cancel");
    row->detectProgress->setValue(0);
    row->detectProgress->show();
    row->detectStatusLabel->setText("Detecting...");
    progressTimer->start();
    runner->start(
        [samples, request, found](WorkControl& control) { *found = detectBursts(*samples, request, control); },
        [this, found] {
            editor->addBursts(burstAnnotations(found->bursts, recording->info()));
            const size_t count = found->bursts.size();
            finished(QStringLiteral("%1 burst%2 found; noise floor %3 dB/Hz")
                         .arg(count)
                         .arg(count == 1 ? "" : "s")
                         .arg(found->noiseFloorDbHz, 0, 'f', 1));
        },
        [this](const QString& message) {
            finished(QString());
            showMessage(false, message);
        });
}

void BurstFinder::cancel()
{
    runner->cancel();
    finished(QStringLiteral("Cancelled"));
}

void BurstFinder::finished(const QString& status)
{
    progressTimer->stop();
    row->detectProgress->hide();
    row->detectButton->setText("Detect bursts");
    row->detectStatusLabel->setText(status);
}

void BurstFinder::showMessage(bool inputError, const QString& text) const
{
    const QString title = inputError ? QStringLiteral("Input Error") : QStringLiteral("Error");
    const QMessageBox::Icon icon = inputError ? QMessageBox::Warning : QMessageBox::Critical;
    if (messageSink)
        messageSink(icon, title, text);
    else if (inputError)
        QMessageBox::warning(nullptr, title, text);
    else
        QMessageBox::critical(nullptr, title, text);
}
