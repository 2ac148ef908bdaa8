// The annotation list's changes as undoable commands, the table's edits checked
// as the panel checks its fields, and the annotation shown on selection.

#include "annotations/AnnotationEditor.h"

#include "annotations/AnnotationCommand.h"
#include "annotations/AnnotationPane.h"
#include "annotations/AnnotationSketch.h"
#include "annotations/AnnotationTableModel.h"
#include "annotations/AnnotationTextDialog.h"
#include "annotations/CellEdit.h"
#include "io/Recording.h"
#include "panel/PlotNavigator.h"
#include "panel/RangeNavigation.h"
#include "plotdata/RangePass.h"
#include "sigmf/Uuid.h"
#include "session/ViewSession.h"
#include "views/AnnotationBoxes.h"
#include "views/SpectrogramView.h"

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUndoStack>

#include <algorithm>
#include <cmath>

namespace {

// The part of an annotation's length shown before and after it.
constexpr double showMargin = 0.1;
// A band shown is at least this many FFT bins wide, as a zoom leaves it.
constexpr double fewestBins = 4;

// The recording's rate, exactly (below 1 too), or 1 before anything is loaded.
double rateOf(const Recording& recording)
{
    return recording.sampleRate() > 0 ? recording.sampleRate() : 1.0;
}

} // namespace

AnnotationEditor::AnnotationEditor(Recording* recording, ViewSession* session,
                                   SpectrogramView* spectrogram, AnnotationPane* pane)
    : context(std::make_unique<QObject>()), recording(recording), session(session),
      spectrogram(spectrogram), pane(pane), history(new QUndoStack(pane)), model(new AnnotationTableModel(&annotations, pane)),
      saver(recording, pane)
{
    QTableView* table = pane->annotationTable;
    table->setModel(model);
    model->setFrequencyOffset([this](uint64_t sample) {
        return this->session->frequencyOffsetAt(static_cast<double>(sample)
                                                / rateOf(*this->recording));
    });
    model->setEditHandler([this](int row, int column, const QString& text) {
        const uint64_t id = annotations.entries()[static_cast<std::size_t>(row)].id;
        // Checked once the cell's editor has closed: a refusal's box would
        // otherwise take its focus and make it commit again.
        QTimer::singleShot(0, context.get(), [this, id, column, text] { editCell(id, column, text); });
        return true;
    });
    // A row's context menu: "Extract symbols" (while something reads them)
    // and the entries added to it.
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(table, &QWidget::customContextMenuRequested, context.get(), [this, table](const QPoint& at) {
        const QModelIndex index = table->indexAt(at);
        if (!index.isValid() || (!extractSymbolsOf && rowActions.empty()))
            return;
        const auto row = static_cast<std::size_t>(index.row());
        QMenu menu(table);
        std::vector<std::pair<QAction*, std::function<void(std::size_t)>>> acts;
        if (extractSymbolsOf)
            acts.emplace_back(menu.addAction("Extract symbols"), [this](std::size_t r) { extractSymbols(r); });
        for (const RowAction& entry : rowActions) {
            QAction* action = menu.addAction(entry.text);
            action->setObjectName(entry.objectName);
            acts.emplace_back(action, entry.act);
        }
        QAction* chosen = menu.exec(table->viewport()->mapToGlobal(at));
        for (const auto& [action, act] : acts)
            if (action == chosen)
                act(row);
    });
    QObject::connect(pane->addAnnotationButton, &QPushButton::clicked, context.get(), [this] { addFromView(); });
    QObject::connect(pane->deleteAnnotationButton, &QPushButton::clicked, context.get(), [this] { deleteSelected(); });
    QObject::connect(pane->saveAnnotationsButton, &QPushButton::clicked, context.get(), [this] { save(); });
    QObject::connect(history, &QUndoStack::cleanChanged, context.get(), [this] { showStatus(); });
    QObject::connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, context.get(),
                     [this, table](const QModelIndex& current) {
                         // Only a row the user chose: the focus arriving by Tab makes a
                         // current cell without selecting it.
                         if (!restoring && current.isValid() && table->selectionModel()->isRowSelected(current.row()))
                             show(static_cast<std::size_t>(current.row()));
                     });
    // A click that selects the current cell's row, which the focus made current.
    QObject::connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, context.get(),
                     [this, table](const QItemSelection& selected) {
                         showBoxes();
                         const QModelIndex current = table->currentIndex();
                         if (!restoring && current.isValid() && selected.contains(current))
                             show(static_cast<std::size_t>(current.row()));
                     });
    // The edges follow "Show absolute frequency".
    QObject::connect(session, &ViewSession::settingsApplied, context.get(), [this](const ViewSettings& shown) {
        if (shown.display.absoluteFrequency == absolute)
            return;
        absolute = shown.display.absoluteFrequency;
        changed(selectedIds());
    });
    sketch = std::make_unique<AnnotationSketch>(
        spectrogram, [this] { return this->recording->isLoaded(); },
        [this](const AnnotationSketch::Drawn& drawn) {
            addDrawn(drawn.start, drawn.stop, drawn.low, drawn.high);
        });
    showStatus();
}

AnnotationEditor::~AnnotationEditor()
{
    // No connection reaches the editor, and the table, the model and the undo
    // stack never read the list, once it is gone.
    context.reset();
    pane->annotationTable->setModel(nullptr);
    delete model;
    delete history;
}

void AnnotationEditor::setMessageSink(MessageSink sink)
{
    messageSink = sink;
    saver.setMessageSink(std::move(sink));
}

void AnnotationEditor::setDestinationChooser(AnnotationSaver::DestinationChooser chooser)
{
    saver.setDestinationChooser(std::move(chooser));
}

void AnnotationEditor::recordingLoaded()
{
    history->clear();
    annotations.reset(recording->info().annotations);
    saver.recordingLoaded();
    model->setSampleRate(rateOf(*recording));
    changed({});
}

void AnnotationEditor::addFromView()
{
    if (!recording->isLoaded())
        return;
    const ViewSettings& shown = session->shown();
    const StreamRange range = streamRangeOf(static_cast<double>(recording->sampleRate()),
                                            recording->sampleCount(), shown.range.start, shown.range.stop);
    if (range.size() == 0)
        return;
    AnnotationFields fields;
    fields.sampleStart = range.first;
    fields.sampleCount = range.size();
    fields.lowFrequency = shown.band.low;
    fields.highFrequency = shown.band.high;
    add(fields, QStringLiteral("Add annotation"));
}

void AnnotationEditor::addDrawn(double start, double stop, double low, double high)
{
    if (!recording->isLoaded())
        return;
    const StreamRange range = streamRangeOf(static_cast<double>(recording->sampleRate()),
                                            recording->sampleCount(), start, stop);
    const ValueRange limits = session->bandLimits();
    low = std::max(std::floor(low), limits.low);
    high = std::min(std::ceil(high), limits.high);
    if (range.size() == 0 || !(low < high))
        return;
    std::optional<Texts> texts;
    if (askTexts) {
        texts = askTexts({});
    } else {
        AnnotationTextDialog dialog({}, {}, pane->window());
        if (dialog.exec() == QDialog::Accepted)
            texts = Texts{dialog.label(), dialog.comment()};
    }
    if (!texts)
        return;
    AnnotationFields fields;
    fields.sampleStart = range.first;
    fields.sampleCount = range.size();
    fields.lowFrequency = low;
    fields.highFrequency = high;
    fields.label = texts->label.toStdString();
    fields.comment = texts->comment.toStdString();
    add(fields, QStringLiteral("Draw annotation"));
}

void AnnotationEditor::add(const AnnotationFields& fields, const QString& what)
{
    const AnnotationList::Entry entry{annotations.newId(),
                                      createdAnnotation(fields, recording->info(), randomUuid())};
    // A new annotation is seen at once.
    if (!session->requested().display.showAnnotations) {
        ViewSettings next = session->requested();
        next.display.showAnnotations = true;
        session->apply(next);
    }
    push(what, {}, {entry});
}

void AnnotationEditor::addBursts(const std::vector<RecordingAnnotation>& bursts)
{
    if (bursts.empty())
        return;
    std::vector<AnnotationList::Entry> added;
    for (const RecordingAnnotation& burst : bursts)
        added.push_back({annotations.newId(), burst});
    if (!session->requested().display.showAnnotations) {
        ViewSettings next = session->requested();
        next.display.showAnnotations = true;
        session->apply(next);
    }
    push(QStringLiteral("Detect bursts"), {}, std::move(added));
}

void AnnotationEditor::deleteSelected()
{
    const std::vector<uint64_t> ids = selectedIds();
    std::vector<AnnotationList::Entry> removed;
    for (uint64_t id : ids)
        if (const std::optional<std::size_t> index = annotations.indexOf(id))
            removed.push_back(annotations.entries()[*index]);
    if (!removed.empty())
        push(removed.size() == 1 ? QStringLiteral("Delete annotation") : QStringLiteral("Delete annotations"),
             std::move(removed), {});
}

void AnnotationEditor::push(const QString& what, std::vector<AnnotationList::Entry> removed,
                            std::vector<AnnotationList::Entry> added)
{
    history->push(new AnnotationCommand(what, &annotations, std::move(removed), std::move(added),
                                        [this](const std::vector<uint64_t>& ids) { changed(ids); }));
}

void AnnotationEditor::changed(const std::vector<uint64_t>& select)
{
    model->refresh();
    recording->setAnnotations(annotations.annotations());
    selectIds(select);
    showBoxes();
    showStatus();
}

void AnnotationEditor::undo()
{
    history->undo();
}

void AnnotationEditor::redo()
{
    history->redo();
}

bool AnnotationEditor::save()
{
    if (!saver.save(annotations.annotations()))
        return false;
    history->setClean();
    showStatus();
    return true;
}

bool AnnotationEditor::hasUnsavedChanges() const
{
    return !history->isClean();
}

bool AnnotationEditor::settleUnsavedChanges()
{
    if (!hasUnsavedChanges())
        return true;
    const QString title = QStringLiteral("Save annotations?");
    const QString name = recording->info().files.empty()
                             ? QStringLiteral("the recording")
                             : QFileInfo(QString::fromStdString(recording->info().files.front())).fileName();
    const QString text = QStringLiteral("The annotations of %1 have changes that are not saved.").arg(name);
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    if (ask) {
        answer = ask(title, text);
    } else {
        QMessageBox box(QMessageBox::Question, title, text,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, pane->window());
        box.setDefaultButton(QMessageBox::Save);
        answer = static_cast<QMessageBox::StandardButton>(box.exec());
    }
    if (answer == QMessageBox::Save)
        return save();
    return answer == QMessageBox::Discard;
}

void AnnotationEditor::showInputError(const QString& text) const
{
    if (messageSink)
        messageSink(QMessageBox::Warning, QStringLiteral("Input Error"), text);
    else
        QMessageBox::warning(pane, QStringLiteral("Input Error"), text);
}

void AnnotationEditor::editCell(uint64_t id, int column, const QString& text)
{
    const std::optional<std::size_t> index = annotations.indexOf(id);
    if (!index)
        return;
    const AnnotationList::Entry entry = annotations.entries()[*index];
    CellLimits limits;
    limits.sampleRate = rateOf(*recording);
    limits.sampleCount = recording->sampleCount();
    limits.band = session->bandLimits();
    limits.frequencyOffset = model->offsetOfRow(static_cast<int>(*index));
    const std::optional<AnnotationFields> fields =
        editedFields(AnnotationFields::of(entry.annotation), column, text, limits,
                     [this](const QString& message) { showInputError(message); });
    if (!fields || *fields == AnnotationFields::of(entry.annotation))
        return;
    const AnnotationList::Entry edited{id, editedAnnotation(entry.annotation, *fields, recording->info())};
    push(QStringLiteral("Edit annotation"), {entry}, {edited});
}

void AnnotationEditor::extractSymbols(std::size_t index)
{
    if (index >= annotations.size() || !recording->isLoaded() || !extractSymbolsOf)
        return;
    const AnnotationList::Entry entry = annotations.entries()[index];
    const RecordingAnnotation& a = entry.annotation;
    const double fs = rateOf(*recording);
    std::optional<std::pair<double, double>> band;
    if (a.lowFrequency && a.highFrequency)
        band = std::pair{*a.lowFrequency, *a.highFrequency};
    const double start = static_cast<double>(a.sampleStart) / fs;
    const double stop = static_cast<double>(a.sampleStart + a.sampleCount) / fs;
    const uint64_t id = entry.id;
    extractSymbolsOf(start, stop, band, [this, id](const QString& hex) {
        const std::optional<std::size_t> at = annotations.indexOf(id);
        if (!at || hex.isEmpty())
            return;
        const QString title = QStringLiteral("Extract symbols");
        const QString text = QStringLiteral("Write the symbols' bits (%1 hexadecimal digits) into the annotation's "
                                            "comment?")
                                 .arg(hex.size());
        QMessageBox::StandardButton answer = QMessageBox::No;
        if (ask) {
            answer = ask(title, text);
        } else {
            QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, pane->window());
            answer = static_cast<QMessageBox::StandardButton>(box.exec());
        }
        if (answer != QMessageBox::Yes)
            return;
        const QString comment = QString::fromStdString(annotations.entries()[*at].annotation.comment);
        editCell(id, AnnotationTableModel::commentColumn,
                 comment.isEmpty() ? "symbols " + hex : comment + " | symbols " + hex);
    });
}

void AnnotationEditor::show(std::size_t index)
{
    if (index >= annotations.size() || !recording->isLoaded())
        return;
    const RecordingAnnotation& a = annotations.entries()[index].annotation;
    const double fs = static_cast<double>(recording->sampleRate());
    const uint64_t total = recording->sampleCount();
    // Its time span with a margin each side, at least as long as a zoom allows.
    const double first = static_cast<double>(std::min<uint64_t>(a.sampleStart, total));
    const double end = std::min(first + static_cast<double>(a.sampleCount), static_cast<double>(total));
    const double margin = showMargin * (end - first);
    const uint32_t fftSize = session->shown().fftSize();
    const uint64_t fewest = std::max<uint64_t>(PlotNavigator::minimumSamples, fftSize);
    const SampleSpan span = sampleSpan({std::max(0.0, first - margin), std::min(double(total), end + margin)},
                                       total, fewest);
    // Its band, or the whole band for an annotation without edges.
    const ValueRange limits = session->bandLimits();
    ValueRange band = limits;
    if (a.lowFrequency && a.highFrequency) {
        const double centre = (*a.lowFrequency + *a.highFrequency) / 2;
        const double half = std::max((*a.highFrequency - *a.lowFrequency) / 2,
                                     fewestBins * fs / std::max<uint32_t>(fftSize, 1) / 2);
        band = wholeHertzBand({centre - half, centre + half}, limits).value_or(limits);
    }
    session->showPlace({timeRangeOf(span, fs, session->duration()), band});
}

void AnnotationEditor::selectNext()
{
    step(1);
}

void AnnotationEditor::selectPrevious()
{
    step(-1);
}

void AnnotationEditor::step(int direction)
{
    const int rows = static_cast<int>(annotations.size());
    if (rows == 0)
        return;
    QTableView* table = pane->annotationTable;
    const QModelIndex current = table->currentIndex();
    int row = direction > 0 ? 0 : rows - 1;
    if (current.isValid())
        row = std::clamp(current.row() + direction, 0, rows - 1);
    const QModelIndex target = model->index(row, current.isValid() ? current.column() : 0);
    table->selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table->scrollTo(target);
    // The same row again (at either end) is shown again too.
    if (current.isValid() && current.row() == row)
        show(static_cast<std::size_t>(row));
}

std::vector<uint64_t> AnnotationEditor::selectedIds() const
{
    std::vector<uint64_t> ids;
    for (const QModelIndex& index : pane->annotationTable->selectionModel()->selectedRows())
        if (static_cast<std::size_t>(index.row()) < annotations.size())
            ids.push_back(annotations.entries()[static_cast<std::size_t>(index.row())].id);
    return ids;
}

void AnnotationEditor::selectIds(const std::vector<uint64_t>& ids)
{
    restoring = true;
    QItemSelectionModel* selection = pane->annotationTable->selectionModel();
    selection->clearSelection();
    bool first = true;
    for (uint64_t id : ids) {
        const std::optional<std::size_t> index = annotations.indexOf(id);
        if (!index)
            continue;
        const QModelIndex cell = model->index(static_cast<int>(*index), 0);
        selection->select(cell, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        if (first) {
            selection->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
            pane->annotationTable->scrollTo(cell);
            first = false;
        }
    }
    restoring = false;
}

void AnnotationEditor::showBoxes()
{
    if (!spectrogram)
        return;
    std::vector<AnnotationBox> boxes =
        annotationBoxes(recording->info().annotations, rateOf(*recording));
    for (const QModelIndex& index : pane->annotationTable->selectionModel()->selectedRows())
        if (static_cast<std::size_t>(index.row()) < boxes.size())
            boxes[static_cast<std::size_t>(index.row())].selected = true;
    spectrogram->setAnnotations(std::move(boxes));
}

void AnnotationEditor::showStatus()
{
    const bool loaded = recording->isLoaded();
    const std::size_t count = annotations.size();
    QString text = loaded ? QStringLiteral("%1 annotation%2").arg(count).arg(count == 1 ? "" : "s")
                          : QString();
    if (loaded && hasUnsavedChanges())
        text += QStringLiteral(", unsaved");
    pane->annotationStatusLabel->setText(text);
    pane->annotationStatusLabel->setToolTip(saver.destinationText());
    pane->addAnnotationButton->setEnabled(loaded);
    pane->deleteAnnotationButton->setEnabled(loaded);
    pane->saveAnnotationsButton->setEnabled(loaded);
}

void AnnotationEditor::addRowAction(const QString& text, const QString& objectName,
                                    std::function<void(std::size_t row)> act)
{
    rowActions.push_back({text, objectName, std::move(act)});
}
