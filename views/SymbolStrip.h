#pragma once
// The strip under the trace view that reads the symbols of the burst in the
// band and range shown: the symbol rate and modulation given (or left to the
// estimate), Extract, then the symbols, the bits in the line code chosen and
// their hexadecimal, selectable; Copy, and Export as CSV, JSON or packed bits.
// The recovery runs in the background; the slicer's levels and the symbol
// centres are drawn on the trace's plot.

#include "analysis/SymbolRecovery.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class JobRunner;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class Recording;
class CustomPlot;
class TraceView;
class ViewSession;

class SymbolStrip : public QWidget
{
public:
    SymbolStrip(ViewSession* session, Recording* recording, TraceView* trace, QWidget* parent = nullptr);
    ~SymbolStrip() override;

    // Reads the symbols of the band and range shown; `done` (when given) gets
    // their bits' hexadecimal once they are shown.
    void extract(std::function<void(const QString& hex)> done = {});
    // The same over a span (seconds) and band (baseband hertz; nothing for
    // the band shown), an annotation's.
    void extractSpan(double start, double stop, std::optional<std::pair<double, double>> band,
                     std::function<void(const QString& hex)> done);
    // Whether a recovery is running.
    bool busy() const;
    const std::optional<RecoveredSymbols>& symbols() const { return recovered; }
    // The text shown: a summary line, the symbols, the bits, the hexadecimal.
    QString text() const;
    // Writes the symbols to `path`: CSV for .csv, JSON for .json, packed bits
    // (the line code chosen) otherwise, under a temporary name then renamed.
    // Throws std::runtime_error with the message to show.
    void exportTo(const QString& path) const;

protected:
    // Drags of the slicer's levels on the trace's plot: a press within a few
    // pixels of a level takes it, the release reads the symbols again with
    // the levels where they were left.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show(const RecoveredSymbols& symbols);
    void start(double startS, double stopS, double low, double high, std::function<void(const QString& hex)> done,
               std::vector<double> slicerLevels = {});
    // A level drawn on the trace (its units) as the slicer's, and back.
    double drawnLevel(double level) const;
    double slicerLevel(double drawn) const;
    void showText();
    void drawGuides();
    void note(const QString& text);

    ViewSession* session;
    Recording* recording;
    TraceView* trace;
    // The trace's plot, whose mouse events drag the levels (watched even while
    // the trace view around it is being destroyed).
    QPointer<CustomPlot> tracePlot;
    QLineEdit* symbolRateEdit;
    QComboBox* modulationComboBox;
    QComboBox* decodingComboBox;
    QPushButton* extractSymbolsButton;
    QPushButton* symbolsCopyButton;
    QPushButton* symbolsExportButton;
    QLabel* symbolsNoteLabel;
    QPlainTextEdit* symbolsText;
    std::unique_ptr<JobRunner> jobs;
    std::optional<RecoveredSymbols> recovered;
    // The full scale the amplitude levels are drawn in dBFS against.
    double fullScale = 1;
    // The levels drawn (the trace's units), the one being dragged, and the
    // span and band the symbols were last read from.
    std::vector<double> drawnLevels;
    std::optional<std::size_t> dragged;
    double lastStart = 0, lastStop = 0, lastLow = 0, lastHigh = 0;
};
