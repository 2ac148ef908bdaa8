// The "Signal" group in the real window: Estimate (the button and E on the
// spectrum's plot) on the band and range shown, computed in the background,
// Cancel, and the labels' texts.

#include "tests/panel/PanelFixture.h"

#include "analysis/SignalEstimate.h"
#include "annotations/AnnotationTableModel.h"
#include "app/AnnotationEstimate.h"
#include "panel/SignalGroup.h"
#include "tests/signals/ModulatedSignal.h"
#include "views/CustomPlot.h"
#include "views/SpectrumView.h"

#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QTest>

using namespace recordingfiles;

namespace {

class SignalGroupTest : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        window->resize(1400, 900);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        group = widget<SignalGroup>("signalGroup");
        // A 2FSK burst at 20 kHz from the centre: 25 kbaud, 12.5 kHz deviation.
        testsignals::Keyed shape;
        shape.keying = testsignals::Keying::Fsk2;
        shape.rate = 1e6;
        shape.symbolRate = 25000;
        shape.deviation = 12500;
        shape.offset = 20000;
        shape.symbols = 1000;
        shape.esN0Db = 25;
        shape.lead = shape.tail = 20000;
        const testsignals::KeyedSignal s = testsignals::keyed(shape);
        writeSigmf(path("fsk.sigmf-meta"), path("fsk.sigmf-data"), 1000000, {s.iq.i, s.iq.q});
        ASSERT_TRUE(load(path("fsk.sigmf-meta")).empty());
        widget<QTabWidget>("tabWidget")->setCurrentIndex(1);
        QApplication::processEvents();
    }
    void waitForEstimate()
    {
        QElapsedTimer clock;
        clock.start();
        while (group->busy() && clock.elapsed() < 20000)
            QTest::qWait(10);
        QApplication::processEvents();
    }
    SignalGroup* group = nullptr;
};

} // namespace

TEST_F(SignalGroupTest, EstimatesTheBandShownFromTheButtonAndTheKey)
{
    EXPECT_EQ(group->title(), "Signal");
    EXPECT_EQ(widget<QPushButton>("estimateButton")->text(), "Estimate");
    EXPECT_EQ(text("symbolRateLabel"), "—");
    for (int way = 0; way < 2; ++way) {
        SCOPED_TRACE(way);
        if (way == 0) {
            widget<QPushButton>("estimateButton")->click();
        } else {
            QWidget* plot = widget<SpectrumView>("spectrumView")->plotWidget();
            plot->setFocus();
            QTest::keyClick(plot, Qt::Key_E);
        }
        EXPECT_TRUE(group->busy());
        EXPECT_TRUE(widget<QProgressBar>("estimateProgressBar")->isVisibleTo(group));
        waitForEstimate();
        EXPECT_FALSE(group->busy());
        EXPECT_FALSE(widget<QProgressBar>("estimateProgressBar")->isVisibleTo(group));
        EXPECT_EQ(text("modulationLabel"), "2FSK");
        EXPECT_TRUE(text("symbolRateLabel").startsWith("25000.")) << text("symbolRateLabel").toStdString();
        EXPECT_TRUE(text("symbolRateLabel").contains("dB)")) << text("symbolRateLabel").toStdString();
        EXPECT_TRUE(text("frequencyOffsetLabel").endsWith(" Hz from the band's centre"));
        EXPECT_NEAR(text("frequencyOffsetLabel").section(' ', 0, 0).toDouble(), 20000, 125);
        const QString deviation = text("deviationLabel").section("deviation ", 1).section(' ', 0, 0);
        EXPECT_NEAR(deviation.toDouble(), 12500, 125) << text("deviationLabel").toStdString();
    }
}

TEST_F(SignalGroupTest, CancelLeavesTheLastEstimate)
{
    widget<QPushButton>("estimateButton")->click();
    ASSERT_TRUE(widget<QPushButton>("cancelEstimateButton")->isVisibleTo(group));
    widget<QPushButton>("cancelEstimateButton")->click();
    EXPECT_FALSE(group->busy());
    EXPECT_TRUE(widget<QPushButton>("estimateButton")->isEnabled());
    QTest::qWait(200);
    EXPECT_EQ(text("symbolRateLabel"), "—");
    EXPECT_EQ(text("modulationLabel"), "—");
}

// An annotation's row estimated: asked first, then written into its comment,
// after what it held; No leaves the comment alone.
TEST_F(SignalGroupTest, AnnotationRowEstimateWritesItsComment)
{
    widget<QPushButton>("addAnnotationButton")->click();
    QApplication::processEvents();
    auto* table = widget<QTableView>("annotationTable");
    ASSERT_EQ(table->model()->rowCount(), 1);
    const QModelIndex comment = table->model()->index(0, AnnotationTableModel::commentColumn);
    table->model()->setData(comment, "burst", Qt::EditRole);
    auto* estimate = window->findChild<AnnotationEstimate*>("annotationEstimate");
    ASSERT_NE(estimate, nullptr);
    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        const auto boxes = captureMessageBoxes(
            [&] {
                estimate->estimateRow(0);
                waitForEstimate();
                QTest::qWait(50);
            },
            answer);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].title, "Estimate");
        EXPECT_TRUE(boxes[0].text.startsWith("Write the estimate into the annotation's comment?\n\n2FSK, symbol "
                                             "rate 25000."))
            << boxes[0].text.toStdString();
        const QString written = table->model()->data(comment, Qt::EditRole).toString();
        if (answer == QMessageBox::No)
            EXPECT_EQ(written, "burst");
        else
            EXPECT_TRUE(written.startsWith("burst; 2FSK, symbol rate 25000.")) << written.toStdString();
    }
}

TEST(SignalGroupTexts, SayWhatTheEstimateHolds)
{
    SignalEstimate none;
    none.modulation = Modulation::Noise;
    EXPECT_EQ(SignalGroup::symbolRateText(none), "none");
    EXPECT_EQ(SignalGroup::modulationText(none), "noise");
    EXPECT_EQ(SignalGroup::frequencyOffsetText(none), "—");
    EXPECT_EQ(SignalGroup::deviationText(none), "—");
    SignalEstimate fsk;
    fsk.modulation = Modulation::Fsk4;
    fsk.symbolRateHz = 4800.24;
    fsk.symbolRateConfidenceDb = 21.04;
    fsk.samplesPerSymbol = 10.0;
    fsk.frequencyOffsetHz = -12.5;
    fsk.fskDeviationHz = 600;
    fsk.fskTonesHz = std::vector<double>{-1812.5, -612.5, 587.5, 1787.5};
    EXPECT_EQ(SignalGroup::symbolRateText(fsk), "4800.2 Bd (confidence 21.0 dB), 10.00 samples per symbol");
    EXPECT_EQ(SignalGroup::modulationText(fsk), "4FSK");
    EXPECT_EQ(SignalGroup::frequencyOffsetText(fsk), "-12.50 Hz from the band's centre");
    EXPECT_EQ(SignalGroup::deviationText(fsk), "-1812.5, -612.5, 587.5, 1787.5 Hz; deviation 600.0 Hz");
    EXPECT_EQ(SignalGroup::summary(fsk), "4FSK, symbol rate 4800.2 Bd (confidence 21.0 dB), 10.00 samples per "
                                         "symbol, offset -12.50 Hz, deviation 600.0 Hz");
}
