#pragma once
// Which recording of a SigMF archive holding several to open: the user picks
// one from the list of their names before the load.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <optional>

class QWidget;

// Given the recordings' names, the index of the one to open, or nothing to cancel.
using RecordingChooser = std::function<std::optional<int>(const QStringList& names)>;

// The recording of `path` (the "File format" box's index `format`) to open: 0
// for anything but an archive of several recordings; for one, the chooser's
// answer, or without a chooser a list in a dialog over `parent` when `ask`,
// else the first. Nothing when the choice was cancelled. A file that cannot
// be listed gives 0, so that the load reports what is wrong with it.
std::optional<std::size_t> archiveRecordingChoice(const QString& path, int format,
                                                  const RecordingChooser& chooser, bool ask,
                                                  QWidget* parent);
