// Listing an archive's recordings and asking for one.

#include "panel/ArchiveChoice.h"

#include "session/NativePath.h"

#include "io/RecordingOpener.h"
#include "io/SigmfFile.h"

#include <QFileInfo>
#include <QInputDialog>

#include <exception>

std::optional<std::size_t> archiveRecordingChoice(const QString& path, int format,
                                                  const RecordingChooser& chooser, bool ask,
                                                  QWidget* parent)
{
    const bool sigmf = format == static_cast<int>(FileFormat::Sigmf)
                       || (format == static_cast<int>(FileFormat::Auto)
                           && formatOfPath(nativePath(path)) == FileFormat::Sigmf);
    if (!sigmf || !path.endsWith(QLatin1String(".sigmf"), Qt::CaseInsensitive))
        return 0;
    QStringList names;
    try {
        for (const std::string& name : sigmfArchiveRecordings(nativePath(path)))
            names << QString::fromStdString(name);
    } catch (const std::exception&) {
        return 0;
    }
    if (names.size() < 2)
        return 0;
    std::optional<int> chosen;
    if (chooser) {
        chosen = chooser(names);
    } else if (!ask) {
        chosen = 0;
    } else {
        bool ok = false;
        const QString name = QInputDialog::getItem(
            parent, QStringLiteral("Open recording"),
            QStringLiteral("%1 holds %2 recordings. Open:").arg(QFileInfo(path).fileName()).arg(names.size()),
            names, 0, false, &ok);
        if (ok)
            chosen = static_cast<int>(names.indexOf(name));
    }
    if (!chosen || *chosen < 0 || *chosen >= names.size())
        return std::nullopt;
    return static_cast<std::size_t>(*chosen);
}
