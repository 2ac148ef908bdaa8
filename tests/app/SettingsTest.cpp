// Settings kept between starts: a new window finds the panel's settings, the
// splitter and the recent recordings the last one left; Reset settings
// restores the defaults.

#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "tests/panel/RecordingFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Settings read and written in a folder of the test's own while it lives.
class TestSettings
{
public:
    TestSettings()
    {
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder.path());
        QCoreApplication::setOrganizationName("NorvaleSettingsTest");
    }
    ~TestSettings() { QCoreApplication::setOrganizationName(QString()); }

private:
    QTemporaryDir folder;
};

} // namespace

TEST(Settings, SurviveANewWindowAndReset)
{
    TestSettings kept;
    QTemporaryDir dir;
    const QString meta = dir.filePath("kept.sigmf-meta");
    recordingfiles::writeSigmf(meta, dir.filePath("kept.sigmf-data"), 1000,
                               recordingfiles::tone(1000, 1.0, 100.0));
    {
        MainWindow first(QStringList{"norvale", meta});
        first.show();
        QElapsedTimer clock;
        clock.start();
        while (first.findChild<QLineEdit*>("stopTimeEdit")->text().isEmpty() && clock.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        first.findChild<QSpinBox*>("fftExponentSpinBox")->setValue(11);
        first.findChild<QDoubleSpinBox*>("overlapSpinBox")->setValue(50);
        // Typed and not applied: kept as typed.
        auto* range = first.findChild<QLineEdit*>("rangeEdit");
        range->selectAll();
        QTest::keyClicks(range, "60");
        first.findChild<QComboBox*>("colorMapComboBox")->setCurrentIndex(2);
        first.findChild<QCheckBox*>("showAmplitudeViewCheckBox")->setChecked(true);
        first.findChild<QSplitter*>("splitter")->setSizes({500, 900});
        QApplication::processEvents();
        first.close();
    }
    MainWindow second(QStringList{"norvale"});
    second.show();
    QApplication::processEvents();
    EXPECT_EQ(second.findChild<QSpinBox*>("fftExponentSpinBox")->value(), 11);
    EXPECT_EQ(second.findChild<QDoubleSpinBox*>("overlapSpinBox")->value(), 50.0);
    EXPECT_EQ(second.findChild<QLineEdit*>("rangeEdit")->text(), "60");
    EXPECT_EQ(second.findChild<QComboBox*>("colorMapComboBox")->currentIndex(), 2);
    EXPECT_TRUE(second.findChild<QCheckBox*>("showAmplitudeViewCheckBox")->isChecked());
    EXPECT_EQ(second.findChild<QSplitter*>("splitter")->sizes().front(), 500);
    // Restored settings are in use, not edits waiting for an Apply.
    EXPECT_TRUE(second.findChild<QSpinBox*>("fftExponentSpinBox")->styleSheet().isEmpty());
    EXPECT_FALSE(second.findChild<QPushButton*>("spectrumApplyButton")->font().bold());
    auto* recent = second.findChild<QMenu*>("recentMenu");
    ASSERT_EQ(recent->actions().size(), 1);
    EXPECT_EQ(recent->actions().front()->text(), "kept.sigmf-meta");

    second.resetSettings();
    EXPECT_EQ(second.findChild<QSpinBox*>("fftExponentSpinBox")->value(), 8);
    EXPECT_EQ(second.findChild<QDoubleSpinBox*>("overlapSpinBox")->value(), 80.0);
    EXPECT_EQ(second.findChild<QLineEdit*>("rangeEdit")->text(), "40");
    EXPECT_EQ(second.findChild<QComboBox*>("colorMapComboBox")->currentIndex(), 0);
    EXPECT_FALSE(second.findChild<QCheckBox*>("showAmplitudeViewCheckBox")->isChecked());
    EXPECT_TRUE(second.findChild<QSpinBox*>("fftExponentSpinBox")->styleSheet().isEmpty());
    EXPECT_FALSE(second.findChild<QPushButton*>("spectrumApplyButton")->font().bold());
    // The recordings opened lately are no setting: they stay, for this window and the next.
    ASSERT_EQ(recent->actions().size(), 1);
    EXPECT_EQ(recent->actions().front()->text(), "kept.sigmf-meta");
    EXPECT_EQ(AppSettings::recent().size(), 1);
}
