// A freshly built panel: groups, captions, defaults read from the views, and the
// display check boxes.

#include "tests/panel/PanelFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>

#include <limits>

using PanelLayout = PanelFixture;

TEST_F(PanelLayout, DefaultsOfAFreshPanel)
{
    // As wide as its rows need, none of them cut.
    EXPECT_EQ(panel->width(), panel->minimumSizeHint().width());
    EXPECT_TRUE(statusIsReady());

    QStringList groups;
    for (QGroupBox* group : panel->findChildren<QGroupBox*>())
        groups << group->title();
    EXPECT_EQ(groups, QStringList({"Open", "File informations", "Time range",
                                   "Spectrogram and Spectrum", "Power", "Display"}));
    EXPECT_EQ(panel->findChildren<QGroupBox*>().front()->alignment(), int(Qt::AlignBottom));

    auto* format = widget<QComboBox>("formatComboBox");
    ASSERT_EQ(format->count(), 5);
    const QStringList items = {"Auto", "SigMF", "WAV", "Binary", "IQW"};
    for (int index = 0; index < 5; ++index)
        EXPECT_EQ(format->itemText(index), items[index]);
    EXPECT_EQ(format->currentIndex(), 0);
    EXPECT_EQ(widget<QLineEdit>("binaryFormatEdit")->placeholderText(), "e.g. ci32_le");

    const std::pair<const char*, const char*> texts[] = {
        {"binaryFormatEdit", ""},     {"sampleRateEdit", ""},      {"fileNameLabel", "No file loaded"},
        {"fileLengthLabel", ""},      {"fileDurationLabel", ""},   {"sampleRateLabel", ""},
        {"startTimeEdit", ""},        {"stopTimeEdit", ""},        {"fftSizeLabel", "256"},
        {"startFrequencyEdit", ""},   {"stopFrequencyEdit", ""},   {"rangeEdit", "40"},
        {"averageWindowEdit", "100"}, {"fullScaleValueEdit", "1"}, {"fullScaleVoltageEdit", "1"},
        {"inputImpedanceEdit", "1"},
    };
    for (const auto& [name, expected] : texts)
        EXPECT_EQ(text(name), expected) << name;

    auto* exponent = widget<QSpinBox>("fftExponentSpinBox");
    EXPECT_EQ(exponent->value(), 8);
    EXPECT_EQ(exponent->minimum(), 1);
    EXPECT_EQ(exponent->maximum(), std::numeric_limits<int>::max());
    auto* overlap = widget<QDoubleSpinBox>("overlapSpinBox");
    EXPECT_EQ(overlap->value(), 80.0);
    EXPECT_EQ(overlap->minimum(), 0.0);
    EXPECT_EQ(overlap->maximum(), 100.0);
    EXPECT_EQ(overlap->decimals(), 2);
    overlap->setValue(150.0);
    EXPECT_EQ(overlap->value(), 100.0);

    auto* mirror = widget<QCheckBox>("mirrorCheckBox");
    EXPECT_FALSE(mirror->isChecked());
    EXPECT_TRUE(mirror->text().isEmpty());
    EXPECT_EQ(mirror->toolTip(), "Flip spectrogram vertically");

    // Turning the exponent box changes nothing by itself.
    exponent->setValue(12);
    EXPECT_EQ(text("fftSizeLabel"), "256");
}

TEST_F(PanelLayout, DisplayCheckBoxesShowAndHideTheirViews)
{
    window->show();
    auto* powerView = widget<QWidget>("powerView");
    auto* amplitudeView = widget<QWidget>("amplitudeView");
    auto* showPower = widget<QCheckBox>("showPowerViewCheckBox");
    auto* showAmplitude = widget<QCheckBox>("showAmplitudeViewCheckBox");
    EXPECT_EQ(showPower->text(), "Show power view");
    EXPECT_EQ(showAmplitude->text(), "Show amplitude view");

    EXPECT_TRUE(showPower->isChecked());
    EXPECT_TRUE(powerView->isVisible());
    EXPECT_FALSE(showAmplitude->isChecked());
    EXPECT_FALSE(amplitudeView->isVisible());

    showAmplitude->click();
    EXPECT_TRUE(amplitudeView->isVisible());
    showPower->click();
    EXPECT_FALSE(powerView->isVisible());
    showAmplitude->click();
    showPower->click();
    EXPECT_FALSE(amplitudeView->isVisible());
    EXPECT_TRUE(powerView->isVisible());
    EXPECT_TRUE(statusIsReady());
}

// At 1400 x 900 every group, the Display group included, shows without scrolling.
TEST_F(PanelLayout, WholePanelFitsTheWindow)
{
    window->resize(1400, 900);
    window->show();
    // A recording that fills every row of File informations: centre frequency,
    // start time, DC offset removed.
    const QString meta = path("full.sigmf-meta");
    recordingfiles::writeSigmf(meta, path("full.sigmf-data"), 8000, recordingfiles::tone(8000, 1.0, 1000.0));
    recordingfiles::writeBytes(meta, "{\"global\": {\"core:datatype\": \"cf32_le\", \"core:sample_rate\": 8000, "
                                     "\"core:version\": \"1.0.0\"}, \"captures\": [{\"core:sample_start\": 0, "
                                     "\"core:frequency\": 433920000, \"core:datetime\": "
                                     "\"2026-12-07T14:31:05.789Z\"}], \"annotations\": []}");
    ASSERT_TRUE(load(meta).empty());
    widget<QCheckBox>("removeDcCheckBox")->setChecked(true);
    waitForPanel(panel);
    QApplication::processEvents();
    QApplication::processEvents();
    auto* area = widget<QScrollArea>("scrollArea");
    EXPECT_LE(panel->sizeHint().height(), area->viewport()->height())
        << panel->sizeHint().height() << " > " << area->viewport()->height();
    EXPECT_FALSE(area->verticalScrollBar()->isVisible())
        << panel->height() << " " << panel->minimumSizeHint().height() << " " << area->viewport()->height();
}
