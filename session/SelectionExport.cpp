// The export of the selection as a background job.

#include "session/SelectionExport.h"

#include "export/ExportSelection.h"
#include "io/Recording.h"
#include "session/JobRunner.h"
#include "session/NativePath.h"
#include "plotdata/RangePass.h"

SelectionExport::SelectionExport(const Recording* recording, QObject* context)
    : recording(recording), jobs(std::make_unique<JobRunner>(context, WorkLane::foreground))
{
    jobs->setIdleHandler([this] {
        // A cancel ends the job without a result: say so.
        if (onDone) {
            const auto done = std::move(onDone);
            onDone = nullptr;
            done(QStringLiteral("Cancelled"));
        }
    });
}

SelectionExport::~SelectionExport()
{
    stop();
}

void SelectionExport::start(const QString& path, const Selection& selection,
                            std::function<void(const QString&)> done)
{
    ExportSource source;
    source.samples = recording->samples();
    source.sampleRate = recording->sampleRate();
    source.info = recording->info();
    source.files = recording->info().files;
    ExportRequest request;
    request.path = nativePath(path);
    const StreamRange range = streamRangeOf(static_cast<double>(source.sampleRate),
                                            source.samples ? source.samples->size() : 0,
                                            selection.start, selection.stop);
    request.first = range.first;
    request.end = range.end;
    request.startSeconds = selection.start;
    request.stopSeconds = selection.stop;
    if (selection.onlyBand)
        request.band = ExportBand{selection.low, selection.high};
    onDone = std::move(done);
    jobs->start([source, request](WorkControl& control) { exportSelection(source, request, control); },
                [this] {
                    const auto finished = std::move(onDone);
                    onDone = nullptr;
                    if (finished)
                        finished(QString());
                },
                [this](const QString& message) {
                    const auto finished = std::move(onDone);
                    onDone = nullptr;
                    if (finished)
                        finished(message);
                });
}

bool SelectionExport::busy() const
{
    return jobs->busy();
}

double SelectionExport::progress() const
{
    return jobs->progress();
}

void SelectionExport::cancel()
{
    jobs->cancel();
}

void SelectionExport::stop()
{
    onDone = nullptr;
    jobs->stop();
}
