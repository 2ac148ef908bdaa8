// The symbols strip under the trace view: Extract on the band and range shown
// gives the burst's symbols, bits and hexadecimal (in the background), the
// decoding changes the bits, Copy copies the text, Export writes CSV, JSON and
// packed bits; a rate that is no number and a range of noise give notes.

#include "analysis/SymbolBits.h"
#include "annotations/AnnotationEditor.h"
#include "annotations/AnnotationTableModel.h"
#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "session/ViewSession.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/signals/ModulatedSignal.h"
#include "views/CustomPlot.h"
#include "views/SymbolStrip.h"
#include "views/TraceView.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTableView>
#include <QTimer>
#include <QTest>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t rate = 200000;

// Runs the event loop until the panel and the strip are idle.
void settle(MainWindow& window, SymbolStrip* strip = nullptr)
{
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    QElapsedTimer clock;
    clock.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    while ((panel->busy() || (strip && strip->busy())) && clock.elapsed() < 60000);
    QApplication::processEvents();
}

} // namespace

TEST(SymbolStrip, ExtractsShowsCopiesAndExports)
{
    QTemporaryDir dir;
    testsignals::Keyed shape;
    shape.keying = testsignals::Keying::Bpsk;
    shape.rate = rate;
    shape.symbolRate = 8000;
    shape.symbols = 200;
    shape.offset = -30000;
    shape.esN0Db = 25;
    shape.lead = 20000;
    shape.tail = 20000;
    shape.seed = 8;
    const testsignals::KeyedSignal truth = testsignals::keyed(shape);
    const QString meta = dir.filePath("burst.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("burst.sigmf-data"), rate, {truth.iq.i, truth.iq.q});

    MainWindow window(QStringList{"norvale", meta});
    window.resize(1400, 1000);
    window.show();
    settle(window);
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    ViewSettings settings = panel->session()->requested();
    settings.display.showTrace = true;
    settings.band = {-45000, -15000};
    panel->session()->apply(settings);
    settle(window);

    auto* strip = window.findChild<SymbolStrip*>("symbolStrip");
    ASSERT_TRUE(strip);
    EXPECT_TRUE(strip->isVisible());
    auto* rateEdit = window.findChild<QLineEdit*>("symbolRateEdit");
    auto* modulation = window.findChild<QComboBox*>("modulationComboBox");
    auto* decoding = window.findChild<QComboBox*>("decodingComboBox");
    auto* note = window.findChild<QLabel*>("symbolsNoteLabel");
    ASSERT_TRUE(rateEdit && modulation && decoding && note);

    rateEdit->setText("fast");
    window.findChild<QPushButton*>("extractSymbolsButton")->click();
    EXPECT_EQ(note->text(), "Invalid symbol rate: enter a positive number of hertz, or nothing to estimate it");

    rateEdit->setText("8000");
    modulation->setCurrentText("BPSK");
    window.findChild<QPushButton*>("extractSymbolsButton")->click();
    settle(window, strip);
    ASSERT_TRUE(strip->symbols()) << note->text().toStdString();
    const RecoveredSymbols& got = *strip->symbols();
    EXPECT_NEAR(static_cast<double>(got.symbols.size()), 200, 2);
    EXPECT_TRUE(note->text().startsWith(QString::number(got.symbols.size()) + " symbols, BPSK at 8000 Bd"))
        << note->text().toStdString();
    // The bits are the symbols (up to BPSK's rotation), and the hex their packing.
    const QString text = strip->text();
    const QString bits = QString::fromStdString(got.bits());
    EXPECT_TRUE(text.contains("Bits (NRZ): " + bits));
    int wrong = 0;
    const auto first = static_cast<int>(std::lround((got.timesS[0] - truth.firstSymbolTime) / truth.symbolPeriod));
    const int flip = got.symbols[0] != truth.symbols[static_cast<std::size_t>(first)];
    for (std::size_t k = 0; k < got.symbols.size() && k + first < 200; ++k)
        wrong += (got.symbols[k] ^ flip) != truth.symbols[k + static_cast<std::size_t>(first)];
    EXPECT_EQ(wrong, 0);
    decoding->setCurrentText("NRZI");
    const std::string nrzi = decodeLine(got.bits(), LineCode::Nrzi);
    EXPECT_TRUE(strip->text().contains("Bits (NRZI): " + QString::fromStdString(nrzi) + "\nHex: " +
                                       QString::fromStdString(bitsHex(nrzi))))
        << strip->text().toStdString();

    window.findChild<QPushButton*>("symbolsCopyButton")->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), strip->text());

    strip->exportTo(dir.filePath("s.csv"));
    strip->exportTo(dir.filePath("s.json"));
    strip->exportTo(dir.filePath("s.bin"));
    QFile csv(dir.filePath("s.csv")), json(dir.filePath("s.json")), bin(dir.filePath("s.bin"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly) && json.open(QIODevice::ReadOnly) && bin.open(QIODevice::ReadOnly));
    const QList<QByteArray> rows = csv.readAll().split('\n');
    EXPECT_EQ(rows.front(), "time_s,symbol,bits");
    EXPECT_EQ(rows.size(), static_cast<qsizetype>(got.symbols.size()) + 2);
    EXPECT_TRUE(json.readAll().startsWith("{\"symbolRateHz\":8000.0,\"modulation\":\"BPSK\",\"levels\":2,"));
    // NRZI gives one bit fewer than the symbols.
    EXPECT_EQ(bin.size(), static_cast<qint64>((got.symbols.size() - 1 + 7) / 8));
    EXPECT_THROW(strip->exportTo(dir.filePath("none/s.csv")), std::runtime_error);

    // An annotation on the burst: "Extract symbols" from its row, the
    // question answered Yes, writes the hexadecimal into its comment; No leaves it.
    AnnotationEditor* editor = window.annotations();
    editor->setTextAsker([](const AnnotationEditor::Texts&) {
        return std::optional<AnnotationEditor::Texts>({"burst", "seen"});
    });
    editor->addDrawn(0.09, 0.12, -45000, -15000);
    QString asked;
    QMessageBox::StandardButton answer = QMessageBox::No;
    editor->setQuestion([&](const QString& title, const QString& question) {
        asked = title + ": " + question;
        return answer;
    });
    auto* table = window.findChild<QTableView*>("annotationTable");
    ASSERT_TRUE(table);
    const QModelIndex comment = table->model()->index(0, AnnotationTableModel::commentColumn);
    // One context menu for a row, holding both of its entries.
    QStringList entries;
    int menus = 0;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            ++menus;
            for (QAction* action : menu->actions())
                entries << action->text();
            menu->close();
        }
    });
    emit table->customContextMenuRequested(table->visualRect(comment).center());
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(entries, QStringList({"Extract symbols", "Estimate"}));
    editor->extractSymbols(0);
    settle(window, strip);
    EXPECT_TRUE(asked.startsWith("Extract symbols: Write the symbols' bits (")) << asked.toStdString();
    EXPECT_EQ(comment.data().toString(), "seen");
    answer = QMessageBox::Yes;
    editor->extractSymbols(0);
    settle(window, strip);
    const QString hex = QString::fromStdString(bitsHex(strip->symbols()->bits()));
    EXPECT_EQ(comment.data().toString(), "seen | symbols " + hex);
    EXPECT_NEAR(hex.size(), 40, 1); // 0.1 ... 0.12 s: 160 symbols, one bit each

    // Noise alone (the lead), the rate left to the estimate: a note.
    settings = panel->session()->requested();
    settings.range = {0, 0.09};
    panel->session()->apply(settings);
    settle(window);
    rateEdit->clear();
    modulation->setCurrentText("Estimate");
    window.findChild<QPushButton*>("extractSymbolsButton")->click();
    settle(window, strip);
    EXPECT_EQ(note->text(), "No symbol rate found: enter one in Symbol rate");
}

// The slicer's levels on the frequency trace of a 2FSK burst: a drag moves
// one, and the symbols are read again with it where it was left.
TEST(SymbolStrip, LevelsDraggedOnTheTrace)
{
    QTemporaryDir dir;
    testsignals::Keyed shape;
    shape.keying = testsignals::Keying::Fsk2;
    shape.rate = rate;
    shape.symbolRate = 5000;
    shape.deviation = 2500;
    shape.symbols = 200;
    shape.esN0Db = 25;
    shape.lead = 20000;
    shape.tail = 20000;
    shape.seed = 4;
    const testsignals::KeyedSignal truth = testsignals::keyed(shape);
    const QString meta = dir.filePath("fsk.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("fsk.sigmf-data"), rate, {truth.iq.i, truth.iq.q});
    MainWindow window(QStringList{"norvale", meta});
    window.resize(1400, 1000);
    window.show();
    settle(window);
    auto* panel = window.findChild<ControlPanel*>("controlPanel");
    ViewSettings settings = panel->session()->requested();
    settings.display.showTrace = true;
    settings.display.traceKind = 1; // frequency
    settings.band = {-10000, 10000};
    settings.range = {0.09, 0.15};
    panel->session()->apply(settings);
    settle(window);
    auto* strip = window.findChild<SymbolStrip*>("symbolStrip");
    window.findChild<QLineEdit*>("symbolRateEdit")->setText("5000");
    window.findChild<QComboBox*>("modulationComboBox")->setCurrentText("2FSK");
    window.findChild<QPushButton*>("extractSymbolsButton")->click();
    settle(window, strip);
    ASSERT_TRUE(strip->symbols());
    const std::vector<double> levels = strip->symbols()->levels;
    ASSERT_EQ(levels.size(), 2u);
    EXPECT_NEAR(levels[0], -2500, 100);
    EXPECT_NEAR(levels[1], 2500, 100);

    auto* plot = window.findChild<TraceView*>("traceView")->plotWidget();
    const AxisMap y = plot->yAxisMap();
    ASSERT_TRUE(y.valid());
    const int x = plot->plotArea().center().x();
    const QPoint from(x, static_cast<int>(std::lround(y.pixelAt(levels[1]))));
    const QPoint to(x, static_cast<int>(std::lround(y.pixelAt(1500))));
    QTest::mousePress(plot, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), plot->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(plot, &move);
    QTest::mouseRelease(plot, Qt::LeftButton, {}, to);
    settle(window, strip);
    ASSERT_TRUE(strip->symbols());
    // The dragged level is the slicer's (within a pixel), the other kept.
    EXPECT_NEAR(strip->symbols()->levels[1], 1500, y.valuePerPixel());
    EXPECT_NEAR(strip->symbols()->levels[0], levels[0], 1e-6);
}
