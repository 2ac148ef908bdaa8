// A recording retuned mid-file: a line where each capture starts, the axis and
// the readout with the centre of the capture under the pointer (the first one's
// while the view spans both, which the readout says), and an annotation drawn
// against the capture that holds its start.

#include "tests/annotations/AnnotationFixture.h"
#include "session/ViewSession.h"

#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"

#include <QCheckBox>

using Captures = AnnotationFixture;

TEST_F(Captures, LinesAxisAndReadoutFollowTheCapture)
{
    const QString meta = pair("retuned",
                              R"([{"core:sample_start": 6000, "core:sample_count": 1000,
                                   "core:freq_lower_edge": 100999900, "core:freq_upper_edge": 101000100}])",
                              R"([{"core:sample_start": 0, "core:frequency": 100000000,
                                   "core:datetime": "2024-05-01T12:00:00Z"},
                                  {"core:sample_start": 5000, "core:frequency": 101000000,
                                   "core:datetime": "2024-05-01T12:00:07Z"}])");
    ASSERT_TRUE(load(meta).empty());
    EXPECT_EQ(text("captureCountLabel"), "2 captures");
    auto* view = widget<SpectrogramView>("spectrogramView");
    // The annotation's edges against the second capture's centre.
    ASSERT_EQ(view->annotationBoxList().size(), 1u);
    EXPECT_EQ(view->annotationBoxList()[0].lowFrequency, -100.0);
    EXPECT_EQ(view->annotationBoxList()[0].highFrequency, 100.0);

    // A line at 5 s on the plots against time, with its tool tip.
    const int lineX = static_cast<int>(std::floor(view->timeAxisMap().pixelAt(5.0)));
    const int middle = view->plotRect().center().y();
    EXPECT_EQ(view->toolTipTextAt({lineX + 1, middle}),
              "Capture 2 of 2 from 5 s (sample 5000), centre frequency 101 MHz, start 2024-05-01T12:00:07Z");
    EXPECT_EQ(view->toolTipTextAt({lineX + 20, middle}), "");
    CustomPlot* power = widget<PowerView>("powerView")->plotWidget();
    const QImage lined = power->grab().toImage();
    power->setMarkers({});
    const QImage bare = power->grab().toImage();
    // Lines at 0 s (the first capture) and 5 s, nowhere else.
    const auto columnOf = [power](double seconds) {
        return static_cast<int>(std::floor(power->xAxisMap().pixelAt(seconds)));
    };
    for (int x = power->plotArea().left(); x < power->plotArea().right(); ++x)
        EXPECT_EQ(lined.copy(x, 0, 1, lined.height()) == bare.copy(x, 0, 1, bare.height()),
                  x != columnOf(0.0) && x != columnOf(5.0))
            << x;

    widget<QCheckBox>("absoluteFrequencyCheckBox")->setChecked(true);
    const auto readoutAt = [&](double seconds) {
        QTest::mouseMove(view, {static_cast<int>(view->timeAxisMap().pixelAt(seconds)), middle});
        return text("readoutLabel").section('\n', 0, 0);
    };
    const double baseband = view->frequencyAxisMap().valueAt(middle + 0.5);
    const struct
    {
        QString start, stop;
        double seconds;
        double axisCentre; // the centre the axis and the readout's first frequency use
        int capture;
        double pointerCentre; // the capture's own, when the readout adds it
    } rows[] = {
        {"0", "10", 2.0, 100e6, 1, 0},
        {"0", "10", 7.0, 100e6, 2, 101e6},
        {"6", "8", 7.0, 101e6, 2, 0},
        {"1", "3", 2.0, 100e6, 1, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds);
        panel->session()->showPlace({{row.start.toDouble(), row.stop.toDouble()}, {-500, 500}});
        waitForPanel(panel);
        const QString readout = readoutAt(row.seconds);
        const auto megahertz = [](const QString& text) { return text.section("f = ", 1, 1).section(' ', 0, 0).toDouble(); };
        EXPECT_NEAR(megahertz(readout), (row.axisCentre + baseband) / 1e6, 2e-6) << readout.toStdString();
        const QString capture = readout.section("   ", -1);
        const QString name = QStringLiteral("capture %1 of 2").arg(row.capture);
        if (row.pointerCentre == 0) {
            EXPECT_EQ(capture, name);
        } else {
            EXPECT_TRUE(capture.startsWith(name + ": f = ")) << capture.toStdString();
            EXPECT_NEAR(megahertz(capture), (row.pointerCentre + baseband) / 1e6, 2e-6);
            EXPECT_TRUE(capture.endsWith(" MHz (the axis uses the view's first capture)")) << capture.toStdString();
        }
    }
}
