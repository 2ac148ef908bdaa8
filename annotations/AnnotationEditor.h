#pragma once
// Making, changing and walking the recording's annotations: a box drawn with
// the right button or "Add annotation" makes one, the table edits them in
// place, Delete removes the selected ones, N and P step through them (each
// shown with a margin around it), every change can be undone, and the boxes on
// the spectrogram follow each one at once. Saving goes through AnnotationSaver;
// unsaved changes are settled (saved, given up or kept) before the recording
// is replaced or the window closes.

#include "annotations/AnnotationSaver.h"
#include "sigmf/AnnotationFields.h"
#include "sigmf/AnnotationList.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AnnotationPane;
class AnnotationSketch;
class AnnotationTableModel;
class QObject;
class QUndoStack;
class Recording;
class SpectrogramView;
class ViewSession;

class AnnotationEditor
{
public:
    // The pane's widgets are wired here; all four outlive the editor. The
    // session says what is shown and shows an annotation asked for.
    AnnotationEditor(Recording* recording, ViewSession* session, SpectrogramView* spectrogram,
                     AnnotationPane* pane);
    ~AnnotationEditor();
    AnnotationEditor(const AnnotationEditor&) = delete;
    AnnotationEditor& operator=(const AnnotationEditor&) = delete;

    // The recording shown is new: its annotations, and no history of changes.
    void recordingLoaded();

    // "Add annotation" (A): the time range and band shown, with empty texts.
    void addFromView();
    // A span of seconds and band of baseband hertz, made after the text editor
    // asks for a label and a comment (a box drawn with the right button).
    void addDrawn(double start, double stop, double low, double high);
    // Found bursts added as one change ("Detect bursts").
    void addBursts(const std::vector<RecordingAnnotation>& bursts);
    // Delete: the selected rows.
    void deleteSelected();
    // N and P: the next or previous annotation selected and shown.
    void selectNext();
    void selectPrevious();
    void undo();
    void redo();
    // Ctrl+S; whether the file was written.
    bool save();

    bool hasUnsavedChanges() const;
    // Before the recording is replaced or the window closes: with unsaved
    // changes, asks "Save annotations?" (Save, Discard, Cancel). True when the
    // caller may go on: nothing was unsaved, the save worked, or the changes
    // were given up; false keeps everything as it was.
    bool settleUnsavedChanges();

    const AnnotationList& list() const { return annotations; }
    AnnotationTableModel* tableModel() const { return model; }
    QUndoStack* undoStack() const { return history; }

    using MessageSink = AnnotationSaver::MessageSink;
    // Label and comment for a drawn box; nothing cancels it.
    struct Texts
    {
        QString label;
        QString comment;
    };
    using TextAsker = std::function<std::optional<Texts>(const Texts& initial)>;
    // The answer to "Save annotations?": Save, Discard or Cancel.
    using Question = std::function<QMessageBox::StandardButton(const QString& title, const QString& text)>;
    // Without them: message boxes, the text dialog and the question box.
    void setMessageSink(MessageSink sink);
    void setTextAsker(TextAsker asker) { askTexts = std::move(asker); }
    void setQuestion(Question question) { ask = std::move(question); }
    // What a row's context menu "Extract symbols" calls: the symbols of a span
    // (seconds) in a band (baseband hertz; nothing for the band shown), their
    // bits' hexadecimal handed to `done` once read.
    using SymbolExtractor = std::function<void(double start, double stop,
                                               std::optional<std::pair<double, double>> band,
                                               std::function<void(const QString& hex)> done)>;
    void setSymbolExtractor(SymbolExtractor extractor) { extractSymbolsOf = std::move(extractor); }
    // "Extract symbols" on the row `index`: the hexadecimal, once read, is
    // written into its comment (undoably) when the question says Yes.
    void extractSymbols(std::size_t index);
    void setDestinationChooser(AnnotationSaver::DestinationChooser chooser);
    // An entry of a row's context menu (after "Extract symbols"): `act` is
    // called with the row's index when it is chosen.
    void addRowAction(const QString& text, const QString& objectName, std::function<void(std::size_t row)> act);

private:
    void add(const AnnotationFields& fields, const QString& what);
    void push(const QString& what, std::vector<AnnotationList::Entry> removed,
              std::vector<AnnotationList::Entry> added);
    // After each change: the table, the boxes and the recording's copy, with
    // the entries `select` selected.
    void changed(const std::vector<uint64_t>& select);
    void editCell(uint64_t id, int column, const QString& text);
    void showInputError(const QString& text) const;
    void show(std::size_t index);
    void step(int direction);
    std::vector<uint64_t> selectedIds() const;
    void selectIds(const std::vector<uint64_t>& ids);
    void showBoxes();
    void showStatus();

    // The context of every connection: none outlives the editor.
    std::unique_ptr<QObject> context;
    Recording* recording;
    ViewSession* session;
    // Whether the table shows absolute frequencies (its edges follow the switch).
    bool absolute = false;
    QPointer<SpectrogramView> spectrogram;
    AnnotationPane* pane;
    AnnotationList annotations;
    QUndoStack* history;
    AnnotationTableModel* model;
    AnnotationSaver saver;
    std::unique_ptr<AnnotationSketch> sketch;
    MessageSink messageSink;
    TextAsker askTexts;
    Question ask;
    SymbolExtractor extractSymbolsOf;
    struct RowAction
    {
        QString text;
        QString objectName;
        std::function<void(std::size_t)> act;
    };
    std::vector<RowAction> rowActions;
    // Set while the selection is put back after a change: it shows nothing.
    bool restoring = false;
};
