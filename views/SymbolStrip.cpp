// The symbols strip: fields read on Extract, the recovery run by a job runner,
// the result shown as text and as guides on the trace's plot.

#include "views/SymbolStrip.h"

#include "analysis/BandSamples.h"
#include "analysis/SymbolBits.h"
#include "analysis/SymbolExport.h"
#include "export/OutputFile.h"
#include "io/Recording.h"
#include "plotdata/RangePass.h"
#include "session/JobRunner.h"
#include "session/ViewSession.h"
#include "views/CustomPlot.h"
#include "views/TraceView.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Rows of text the symbols' box shows before it scrolls.
constexpr int textRows = 4;
// Pixels from a level line within which a press takes it.
constexpr double grabPixels = 4;
// Symbol centres drawn as ticks when no more than this many are shown.
constexpr std::size_t mostTicks = 5000;
const QColor levelColour(255, 160, 0);

const char* const modulationChoices[] = {"Estimate", "OOK", "ASK", "2FSK", "4FSK", "BPSK", "QPSK"};

} // namespace

SymbolStrip::SymbolStrip(ViewSession* session, Recording* recording, TraceView* trace, QWidget* parent)
    : QWidget(parent), session(session), recording(recording), trace(trace),
      jobs(std::make_unique<JobRunner>(this, WorkLane::background))
{
    symbolRateEdit = new QLineEdit(this);
    symbolRateEdit->setObjectName("symbolRateEdit");
    symbolRateEdit->setPlaceholderText("Estimate");
    symbolRateEdit->setToolTip("Symbols per second; empty to estimate the rate");
    symbolRateEdit->setMinimumWidth(symbolRateEdit->fontMetrics().horizontalAdvance("0000000.000") + 12);
    modulationComboBox = new QComboBox(this);
    modulationComboBox->setObjectName("modulationComboBox");
    for (const char* name : modulationChoices)
        modulationComboBox->addItem(name);
    decodingComboBox = new QComboBox(this);
    decodingComboBox->setObjectName("decodingComboBox");
    for (LineCode code : {LineCode::Nrz, LineCode::Nrzi, LineCode::Manchester})
        decodingComboBox->addItem(QString::fromStdString(lineCodeName(code)));
    extractSymbolsButton = new QPushButton("Extract symbols", this);
    extractSymbolsButton->setObjectName("extractSymbolsButton");
    symbolsCopyButton = new QPushButton("Copy", this);
    symbolsCopyButton->setObjectName("symbolsCopyButton");
    symbolsExportButton = new QPushButton("Export...", this);
    symbolsExportButton->setObjectName("symbolsExportButton");
    symbolsNoteLabel = new QLabel(this);
    symbolsNoteLabel->setObjectName("symbolsNoteLabel");
    symbolsText = new QPlainTextEdit(this);
    symbolsText->setObjectName("symbolsText");
    symbolsText->setReadOnly(true);
    symbolsText->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    symbolsText->setFixedHeight(symbolsText->fontMetrics().lineSpacing() * textRows + 12);

    auto* controls = new QHBoxLayout;
    controls->setContentsMargins(4, 2, 4, 2);
    controls->addWidget(new QLabel("Symbol rate (Hz)", this));
    controls->addWidget(symbolRateEdit);
    controls->addWidget(modulationComboBox);
    controls->addWidget(new QLabel("Decoding", this));
    controls->addWidget(decodingComboBox);
    controls->addWidget(extractSymbolsButton);
    controls->addWidget(symbolsCopyButton);
    controls->addWidget(symbolsExportButton);
    controls->addStretch(1);
    symbolsNoteLabel->setContentsMargins(4, 0, 4, 2);
    // The note never widens the page: a long one is cut, whole in its tool tip.
    symbolsNoteLabel->setMinimumWidth(1);
    symbolsNoteLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(controls);
    layout->addWidget(symbolsNoteLabel);
    layout->addWidget(symbolsText);

    connect(extractSymbolsButton, &QPushButton::clicked, this, [this] { extract(); });
    connect(symbolRateEdit, &QLineEdit::returnPressed, this, [this] { extract(); });
    connect(decodingComboBox, &QComboBox::currentIndexChanged, this, [this] { showText(); });
    connect(symbolsCopyButton, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(text()); });
    connect(symbolsExportButton, &QPushButton::clicked, this, [this] {
        if (!recovered)
            return;
        const QString path = QFileDialog::getSaveFileName(this, "Export symbols", QString(),
                                                          "CSV (*.csv);;JSON (*.json);;Packed bits (*.bin)");
        if (path.isEmpty())
            return;
        try {
            exportTo(path);
        } catch (const std::exception& error) {
            QMessageBox::warning(this, "Export symbols", QString::fromStdString(error.what()));
        }
    });
    symbolsCopyButton->setEnabled(false);
    symbolsExportButton->setEnabled(false);
    tracePlot = trace->plotWidget();
    tracePlot->installEventFilter(this);
}

SymbolStrip::~SymbolStrip() = default;

bool SymbolStrip::busy() const
{
    return jobs->busy();
}

void SymbolStrip::note(const QString& text)
{
    symbolsNoteLabel->setText(text);
    symbolsNoteLabel->setToolTip(text);
}

void SymbolStrip::extract(std::function<void(const QString& hex)> done)
{
    const ViewSettings& shown = session->shown();
    start(shown.range.start, shown.range.stop, shown.band.low, shown.band.high, std::move(done));
}

void SymbolStrip::extractSpan(double startS, double stopS, std::optional<std::pair<double, double>> band,
                              std::function<void(const QString& hex)> done)
{
    const ViewSettings& shown = session->shown();
    const auto [low, high] = band.value_or(std::pair{shown.band.low, shown.band.high});
    start(startS, stopS, low, high, std::move(done));
}

void SymbolStrip::start(double startS, double stopS, double low, double high,
                        std::function<void(const QString& hex)> done, std::vector<double> slicerLevels)
{
    lastStart = startS;
    lastStop = stopS;
    lastLow = low;
    lastHigh = high;
    if (!recording->isLoaded()) {
        note("Open a recording first");
        return;
    }
    SymbolChoice choice;
    if (const QString text = symbolRateEdit->text().trimmed(); !text.isEmpty()) {
        bool ok = false;
        const double hz = text.toDouble(&ok);
        if (!ok || !std::isfinite(hz) || !(hz > 0)) {
            note("Invalid symbol rate: enter a positive number of hertz, or nothing to estimate it");
            return;
        }
        choice.symbolRateHz = hz;
    }
    if (modulationComboBox->currentIndex() > 0)
        choice.modulation = modulationFromName(modulationComboBox->currentText().toStdString());
    fullScale = session->shown().power.fullScaleValue;
    const double fs = recording->sampleRate();
    const StreamRange range = streamRangeOf(fs, recording->sampleCount(), startS, stopS);
    BandSamplesRequest request;
    request.sampleRate = fs;
    request.low = low;
    request.high = high;
    request.first = range.first;
    request.end = range.end;
    auto source = recording->samples();
    const DcOffset offset = session->removedOffset();
    auto result = std::make_shared<std::optional<RecoveredSymbols>>();
    auto missing = std::make_shared<QString>();
    note("Extracting...");
    extractSymbolsButton->setEnabled(false);
    jobs->start(
        [source, request, offset, choice, result, missing, slicerLevels](WorkControl& control) {
            const BandSamples band = readBandSamples(*source, request, offset, control);
            ResolvedSymbolSettings resolved = resolveSymbolSettings(band, choice);
            if (resolved.rateMissing) {
                *missing = "No symbol rate found: enter one in Symbol rate";
            } else if (resolved.modulationMissing) {
                *missing = "No modulation found: choose one";
            } else {
                if (slicerLevels.size() == static_cast<std::size_t>(resolved.settings->levels))
                    resolved.settings->slicerLevels = slicerLevels;
                *result = recoverSymbols(band, *resolved.settings, control);
            }
        },
        [this, result, missing, done] {
            extractSymbolsButton->setEnabled(true);
            if (!*result) {
                note(*missing);
                return;
            }
            show(**result);
            if (done)
                done(QString::fromStdString(bitsHex(decodeLine(recovered->bits(), LineCode::Nrz))));
        },
        [this](const QString& message) {
            extractSymbolsButton->setEnabled(true);
            note(message);
        });
}

void SymbolStrip::show(const RecoveredSymbols& symbols)
{
    recovered = symbols;
    note(QStringLiteral("%1 symbols, %2 at %3 Bd (clock %4 Bd)")
             .arg(symbols.symbols.size())
             .arg(QString::fromStdString(modulationName(symbols.settings.modulation)))
             .arg(symbols.settings.symbolRateHz, 0, 'g', 8)
             .arg(symbols.recoveredRateHz, 0, 'g', 8));
    symbolsCopyButton->setEnabled(true);
    symbolsExportButton->setEnabled(true);
    showText();
    drawGuides();
}

QString SymbolStrip::text() const
{
    return symbolsText->toPlainText();
}

void SymbolStrip::showText()
{
    if (!recovered)
        return;
    const auto code = static_cast<LineCode>(decodingComboBox->currentIndex());
    const std::string bits = decodeLine(recovered->bits(), code);
    QString numbers;
    numbers.reserve(static_cast<qsizetype>(recovered->symbols.size()));
    for (int s : recovered->symbols)
        numbers.append(QChar('0' + s));
    symbolsText->setPlainText(QStringLiteral("Symbols: %1\nBits (%2): %3\nHex: %4")
                                  .arg(numbers, decodingComboBox->currentText(), QString::fromStdString(bits),
                                       QString::fromStdString(bitsHex(bits))));
}

double SymbolStrip::drawnLevel(double level) const
{
    if (recovered->trace == SymbolTrace::Frequency)
        return level + trace->frequencyShift();
    return 20 * std::log10(std::max(level, 1e-30) / fullScale);
}

double SymbolStrip::slicerLevel(double drawn) const
{
    if (recovered->trace == SymbolTrace::Frequency)
        return drawn - trace->frequencyShift();
    return fullScale * std::pow(10.0, drawn / 20);
}

void SymbolStrip::drawGuides()
{
    const TraceKind kind = trace->shownKind();
    const bool fits = (recovered->trace == SymbolTrace::Frequency && kind == TraceKind::Frequency)
                      || (recovered->trace == SymbolTrace::Amplitude && kind == TraceKind::Amplitude);
    if (!dragged) {
        drawnLevels.clear();
        for (std::size_t j = 0; fits && j < recovered->levels.size(); ++j)
            drawnLevels.push_back(drawnLevel(recovered->levels[j]));
    }
    std::vector<CursorLine> levels;
    for (std::size_t j = 0; j < drawnLevels.size(); ++j)
        levels.push_back({drawnLevels[j], QString::number(j), levelColour});
    std::vector<double> ticks;
    if (recovered->timesS.size() <= mostTicks)
        ticks = recovered->timesS;
    trace->plotWidget()->setGuides(std::move(levels), std::move(ticks));
}

bool SymbolStrip::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return QWidget::eventFilter(watched, event);
    CustomPlot* plot = tracePlot;
    if (!plot || watched != plot || !recovered || drawnLevels.empty() || jobs->busy())
        return QWidget::eventFilter(watched, event);
    const AxisMap map = plot->yAxisMap();
    if (!map.valid())
        return QWidget::eventFilter(watched, event);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const double y = mouse->position().y();
    if (type == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        for (std::size_t j = 0; j < drawnLevels.size(); ++j)
            if (std::abs(map.pixelAt(drawnLevels[j]) - y) <= grabPixels) {
                dragged = j;
                return true;
            }
        return QWidget::eventFilter(watched, event);
    }
    if (!dragged)
        return QWidget::eventFilter(watched, event);
    drawnLevels[*dragged] = map.valueAt(y);
    drawGuides();
    if (type == QEvent::MouseButtonRelease) {
        dragged.reset();
        std::vector<double> levels;
        for (double drawn : drawnLevels)
            levels.push_back(slicerLevel(drawn));
        std::sort(levels.begin(), levels.end());
        start(lastStart, lastStop, lastLow, lastHigh, {}, levels);
    }
    return true;
}

void SymbolStrip::exportTo(const QString& path) const
{
    if (!recovered)
        throw std::runtime_error("No symbols to export: extract them first");
    OutputFile file(path.toStdString());
    if (path.endsWith(".csv", Qt::CaseInsensitive)) {
        file.write(symbolsCsv(*recovered));
    } else if (path.endsWith(".json", Qt::CaseInsensitive)) {
        file.write(symbolsJson(*recovered) + "\n");
    } else {
        const std::vector<uint8_t> bytes =
            symbolsPacked(*recovered, static_cast<LineCode>(decodingComboBox->currentIndex()));
        file.write(bytes.data(), bytes.size());
    }
    file.finish();
    file.commit();
}
