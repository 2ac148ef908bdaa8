// The save cases, each through the atomic writers of sigmf/AnnotationFiles.

#include "annotations/AnnotationSaver.h"

#include "io/Recording.h"
#include "io/SigmfNames.h"
#include "sigmf/AnnotationFiles.h"

#include <QFileDialog>
#include <QFileInfo>

#include <exception>

namespace {

const QString metaEnding = QString::fromStdString(sigmfMetaEnding);
const QString archiveEnding = QString::fromStdString(sigmfArchiveEnding);
const QString pairFilter = QStringLiteral("SigMF pair (*%1)").arg(metaEnding);
const QString archiveFilter = QStringLiteral("SigMF archive (*%1)").arg(archiveEnding);

QString fileName(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).fileName();
}

} // namespace

AnnotationSaver::AnnotationSaver(const Recording* recording, QWidget* parent)
    : recording(recording), parent(parent)
{
}

void AnnotationSaver::recordingLoaded()
{
    target.reset();
    targetFallback.clear();
    const RecordingInfo& info = recording->info();
    if (info.sigmf && !info.sigmf->archive && !info.files.empty()) {
        target = info.files.front();
        targetFallback = info.sigmf->metadata;
    }
}

QString AnnotationSaver::destinationText() const
{
    if (!recording->isLoaded())
        return {};
    if (target)
        return QStringLiteral("Saves to %1").arg(fileName(*target));
    const RecordingInfo& info = recording->info();
    if (info.sigmf)
        return QStringLiteral("Saves a copy of the archive's recording");
    if (info.files.empty())
        return QStringLiteral("Held in memory: cannot be saved");
    return QStringLiteral("Saves %1 beside the recording")
        .arg(fileName(datasetMetadataPath(info.files.front())));
}

void AnnotationSaver::showError(const QString& text) const
{
    if (messageSink)
        messageSink(QMessageBox::Critical, QStringLiteral("Error"), text);
    else
        QMessageBox::critical(nullptr, QStringLiteral("Error"), text);
}

QString AnnotationSaver::askDestination(const QString& suggestion) const
{
    if (chooseDestination)
        return chooseDestination(suggestion);
    QString filter = pairFilter;
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Save annotated recording"),
                                                suggestion, pairFilter + ";;" + archiveFilter, &filter);
    if (!path.isEmpty() && !endsWithAnyCase(path.toStdString(), sigmfMetaEnding)
        && !endsWithAnyCase(path.toStdString(), sigmfArchiveEnding))
        path += filter == archiveFilter ? archiveEnding : metaEnding;
    return path;
}

bool AnnotationSaver::save(const std::vector<RecordingAnnotation>& annotations)
{
    if (!recording->isLoaded())
        return false;
    try {
        write(annotations);
        return true;
    } catch (const std::exception& error) {
        const QString reason = QString::fromUtf8(error.what());
        if (!reason.isEmpty())
            showError(QStringLiteral("The annotations were not saved: ") + reason);
        return false;
    }
}

void AnnotationSaver::write(const std::vector<RecordingAnnotation>& annotations)
{
    const RecordingInfo& info = recording->info();
    const std::vector<std::string> unread =
        info.sigmf ? info.sigmf->unreadAnnotations : std::vector<std::string>{};
    if (target) {
        rewriteMetadataFile(*target, targetFallback, annotations, unread);
        return;
    }
    if (info.files.empty() || !recording->samples())
        throw std::runtime_error("the recording is held in memory, with no file to describe");
    const std::string source = info.files.front();
    if (info.sigmf) {
        // An archive is never rewritten: the annotated recording goes to a new file.
        const QFileInfo archive(QString::fromStdString(source));
        const QString chosen =
            askDestination(archive.absoluteDir().filePath(archive.completeBaseName() + metaEnding));
        if (chosen.isEmpty())
            throw std::runtime_error("");
        const std::string destination = chosen.toStdString();
        writeSigmfCopy(destination, *info.sigmf, annotations);
        if (endsWithAnyCase(destination, sigmfMetaEnding)) {
            target = destination;
            targetFallback = metadataWithAnnotations(info.sigmf->metadata, fileName(destination).toStdString(),
                                                     {}, unread, true);
        }
        return;
    }
    const DatasetFacts facts =
        datasetFactsOf(source, *recording->samples(), recording->sampleRate(), info);
    const std::string metaPath = datasetMetadataPath(source);
    writeDatasetMetadata(metaPath, facts, annotations);
    target = metaPath;
    targetFallback = datasetMetadata(facts, {});
}
