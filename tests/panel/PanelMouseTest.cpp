// The mouse and keys over the real window's plots: drags, wheel turns, the
// history keys and the cursors, judged by the fields, the plots' own axis maps,
// the pictures and the readout line.

#include "tests/panel/PanelFixture.h"

#include "views/AnnotationBoxes.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QCheckBox>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

using namespace recordingfiles;

namespace {

constexpr uint32_t rate = 1000;
constexpr double seconds = 10.0;

// I rises from 0 to 1 over the recording, Q stays at 0.25.
Samples ramp()
{
    Samples s;
    const auto n = static_cast<size_t>(rate * seconds);
    for (size_t k = 0; k < n; ++k) {
        s.i.push_back(static_cast<double>(k) / static_cast<double>(n));
        s.q.push_back(0.25);
    }
    return s;
}

QPoint inside(const QRect& r, double fx, double fy)
{
    return {r.left() + static_cast<int>(fx * r.width()),
            r.top() + static_cast<int>(fy * r.height())};
}

class PanelMouse : public PanelFixture
{
protected:
    void SetUp() override
    {
        PanelFixture::SetUp();
        // Tall enough that the "Time" page, with the annotation table under it, needs no scroll bar.
        window->resize(1400, 1150);
        window->show();
        widget<QCheckBox>("showAmplitudeViewCheckBox")->setChecked(true);
        const QString meta = path("ramp.sigmf-meta");
        writeSigmf(meta, path("ramp.sigmf-data"), rate, ramp());
        ASSERT_TRUE(load(meta).empty());
    }

    SpectrogramView* spectrogram() { return widget<SpectrogramView>("spectrogramView"); }
    CustomPlot* curve(const char* view, const char* plot)
    {
        return widget<QWidget>(view)->findChild<CustomPlot*>(plot);
    }
    // The plot of a row: the spectrogram or one of the curve plots.
    QWidget* plotNamed(const QString& name)
    {
        widget<QTabWidget>("tabWidget")->setCurrentIndex(name == "spectrum" ? 1 : 0);
        QApplication::processEvents();
        if (name == "spectrogram")
            return spectrogram();
        if (name == "power")
            return curve("powerView", "plot");
        if (name == "spectrum")
            return curve("spectrumView", "plot");
        return curve("amplitudeView", name == "I" ? "iPlot" : "qPlot");
    }
    QRect areaOf(QWidget* plot)
    {
        if (auto* view = dynamic_cast<SpectrogramView*>(plot))
            return view->plotRect();
        return static_cast<CustomPlot*>(plot)->plotArea();
    }
    AxisMap timeMapOf(QWidget* plot)
    {
        if (auto* view = dynamic_cast<SpectrogramView*>(plot))
            return view->timeAxisMap();
        return static_cast<CustomPlot*>(plot)->xAxisMap();
    }

    std::vector<CapturedMessageBox> drag(QWidget* plot, QPoint from, QPoint to,
                                         Qt::KeyboardModifiers keys = {},
                                         Qt::MouseButton button = Qt::LeftButton)
    {
        return captureMessageBoxes([&] {
            QTest::mousePress(plot, button, keys, from);
            QTest::mouseMove(plot, (from + to) / 2);
            QTest::mouseMove(plot, to);
            QTest::mouseRelease(plot, button, keys, to);
            waitForPanel(panel);
        });
    }
    void turnWheel(QWidget* plot, QPoint at, int delta, Qt::KeyboardModifiers keys = {})
    {
        QWheelEvent event(at, plot->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, keys,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &event);
        waitForPanel(panel);
    }
    void key(int code, Qt::KeyboardModifiers keys = {})
    {
        EXPECT_TRUE(captureMessageBoxes([&] {
                        QTest::keyClick(spectrogram(), static_cast<Qt::Key>(code), keys);
                        waitForPanel(panel);
                    }).empty());
    }
    double field(const char* name) { return text(name).toDouble(); }
    QString readout() { return text("readoutLabel"); }

    struct Shown
    {
        QStringList fields;
        QImage spectrogram;
        QImage power;
        bool operator==(const Shown&) const = default;
    };
    Shown shown()
    {
        return {{text("startTimeEdit"), text("stopTimeEdit"), text("startFrequencyEdit"),
                 text("stopFrequencyEdit")},
                spectrogram()->grab().toImage(),
                widget<QWidget>("powerView")->grab().toImage()};
    }
};

} // namespace

TEST_F(PanelMouse, DragsFillTheFieldsWithTheRangeTheirPixelsMapTo)
{
    struct Row
    {
        const char* plot;
        double x0, y0, x1, y1;
        Qt::KeyboardModifiers keys;
        bool band;
    };
    const Row rows[] = {
        {"spectrogram", 0.2, 0.5, 0.6, 0.55, {}, false},
        {"spectrogram", 0.7, 0.6, 0.1, 0.5, {}, false},
        {"spectrogram", 0.5, 0.2, 0.52, 0.7, {}, true},
        {"spectrogram", 0.3, 0.35, 0.7, 0.4, Qt::ShiftModifier, true},
        {"power", 0.1, 0.5, 0.45, 0.1, {}, false},
        {"I", 0.9, 0.5, 0.3, 0.5, {}, false},
        {"Q", 0.05, 0.5, 1.3, 0.5, {}, false}, // ends beyond the plot: its edge
        {"spectrum", 0.25, 0.5, 0.8, 0.5, {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.plot);
        panel->showWholeRecording();
        waitForPanel(panel);
        QWidget* plot = plotNamed(row.plot);
        const QRect area = areaOf(plot);
        const QPoint from = inside(area, row.x0, row.y0);
        const QPoint to = inside(area, row.x1, row.y1);
        const int right = area.left() + area.width();
        if (!row.band) {
            const AxisMap map = timeMapOf(plot);
            const double a = map.valueAt(std::min(from.x(), right));
            const double b = map.valueAt(std::min(to.x(), right));
            EXPECT_TRUE(drag(plot, from, to, row.keys).empty());
            EXPECT_NEAR(field("startTimeEdit"), std::min(a, b), 0.5 / rate);
            EXPECT_NEAR(field("stopTimeEdit"), std::max(a, b), 0.5 / rate);
            EXPECT_EQ(spectrogram()->timeAxisMap().low, field("startTimeEdit"));
            EXPECT_EQ(spectrogram()->timeAxisMap().high, field("stopTimeEdit"));
        } else {
            const bool vertical = QString(row.plot) == "spectrogram";
            const AxisMap map = vertical ? spectrogram()->frequencyAxisMap() : timeMapOf(plot);
            const double a = vertical ? map.valueAt(from.y()) : map.valueAt(from.x());
            const double b = vertical ? map.valueAt(to.y()) : map.valueAt(to.x());
            EXPECT_TRUE(drag(plot, from, to, row.keys).empty());
            EXPECT_EQ(field("startFrequencyEdit"), std::floor(std::min(a, b)));
            EXPECT_EQ(field("stopFrequencyEdit"), std::ceil(std::max(a, b)));
            // The band shown is the one asked for, widened to whole bins.
            EXPECT_LE(spectrogram()->frequencyAxisMap().low, field("startFrequencyEdit"));
            EXPECT_GE(spectrogram()->frequencyAxisMap().high, field("stopFrequencyEdit"));
        }
        EXPECT_TRUE(statusIsReady());
    }
}

TEST_F(PanelMouse, WheelZoomsAboutThePointerAndBackOut)
{
    struct Row
    {
        const char* plot;
        double x, y;
        Qt::KeyboardModifiers keys;
    };
    const Row rows[] = {
        {"spectrogram", 0.3, 0.5, {}},
        {"spectrogram", 0.5, 0.25, Qt::ControlModifier},
        {"power", 0.8, 0.5, {}},
        {"spectrum", 0.6, 0.5, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.plot);
        QWidget* plot = plotNamed(row.plot);
        const QPoint at = inside(areaOf(plot), row.x, row.y);
        const bool vertical = row.keys & Qt::ControlModifier;
        auto mapNow = [&] {
            return vertical ? spectrogram()->frequencyAxisMap() : timeMapOf(plot);
        };
        auto under = [&](const AxisMap& map) { return map.valueAt(vertical ? at.y() : at.x()); };
        const AxisMap before = mapNow();
        // Half a notch twice, as a touchpad turns, zooms in as one notch does.
        turnWheel(plot, at, 60, row.keys);
        turnWheel(plot, at, 60, row.keys);
        const AxisMap zoomed = mapNow();
        EXPECT_NEAR((zoomed.high - zoomed.low) / (before.high - before.low), 0.5, 0.02);
        // The value under the pointer stays there, to a sample, or to a bin and a
        // pixel (bands are shown widened to whole bins).
        const bool band = vertical || QString(row.plot) == "spectrum";
        const double tolerance = band ? rate / 256.0 + before.valuePerPixel() : 1.0 / rate;
        EXPECT_NEAR(under(zoomed), under(before), tolerance);
        turnWheel(plot, at, -120, row.keys);
        const AxisMap out = mapNow();
        EXPECT_NEAR(out.low, before.low, tolerance);
        EXPECT_NEAR(out.high, before.high, tolerance);
        EXPECT_TRUE(statusIsReady());
    }
}

TEST_F(PanelMouse, PansCarryTheGrabbedPointToThePointer)
{
    struct Row
    {
        const char* plot;
        Qt::MouseButton button;
        Qt::KeyboardModifiers keys;
        QPoint by;
    };
    const Row rows[] = {
        {"spectrogram", Qt::MiddleButton, {}, {-150, 5}},
        {"power", Qt::LeftButton, Qt::ControlModifier, {120, 0}},
        {"spectrogram", Qt::MiddleButton, {}, {3, 60}}, // up and down: the band
        {"spectrum", Qt::MiddleButton, {}, {-90, 0}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.plot);
        QWidget* plot = plotNamed(row.plot);
        const QRect area = areaOf(plot);
        // Zoomed in on the middle first, so that there is room to pan.
        turnWheel(plot, area.center(), 240, row.by.y() ? Qt::ControlModifier : Qt::NoModifier);
        const bool band = row.by.y() != 0 || QString(row.plot) == "spectrum";
        auto mapNow = [&] {
            return row.by.y() ? spectrogram()->frequencyAxisMap() : timeMapOf(plot);
        };
        auto along = [&](QPoint p) { return row.by.y() ? p.y() : p.x(); };
        const QPoint from = area.center();
        const double grabbed = mapNow().valueAt(along(from));
        EXPECT_TRUE(drag(plot, from, from + row.by, row.keys, row.button).empty());
        const double tolerance = band ? rate / 256.0 + mapNow().valuePerPixel() : 1.0 / rate;
        EXPECT_NEAR(mapNow().valueAt(along(from + row.by)), grabbed, tolerance);
        panel->showWholeRecording();
        waitForPanel(panel);
    }
}

TEST_F(PanelMouse, BackForwardAndHomeRestoreFieldsAndPictures)
{
    const Shown whole = shown();
    const QRect area = spectrogram()->plotRect();
    drag(spectrogram(), inside(area, 0.2, 0.5), inside(area, 0.6, 0.5));
    const Shown zoomed = shown();
    drag(spectrogram(), inside(area, 0.5, 0.3), inside(area, 0.5, 0.6));
    const Shown banded = shown();
    ASSERT_NE(zoomed, whole);
    ASSERT_NE(banded, zoomed);

    key(Qt::Key_Backspace);
    EXPECT_EQ(shown(), zoomed);
    key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(shown(), whole);
    key(Qt::Key_Left, Qt::AltModifier); // nothing before the first
    EXPECT_EQ(shown(), whole);
    key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(shown(), zoomed);
    key(Qt::Key_Right, Qt::AltModifier);
    EXPECT_EQ(shown(), banded);
    key(Qt::Key_Home);
    EXPECT_EQ(shown(), whole);
    key(Qt::Key_Backspace);
    EXPECT_EQ(shown(), banded);
}

TEST_F(PanelMouse, DragsThatGiveNoRangeChangeNothing)
{
    const QRect area = spectrogram()->plotRect();
    const Shown before = shown();
    struct Row
    {
        const char* plot;
        QPoint from, via, to;
        Qt::KeyboardModifiers keys;
    };
    const QRect curveArea = curve("powerView", "plot")->plotArea();
    const QRect spectrumArea = curve("spectrumView", "plot")->plotArea();
    const Row rows[] = {
        // Out and back to where it started: zero width or height.
        {"spectrogram", inside(area, 0.5, 0.5), inside(area, 0.8, 0.5), inside(area, 0.5, 0.5), {}},
        {"spectrogram", inside(area, 0.5, 0.5), inside(area, 0.5, 0.9), inside(area, 0.5, 0.5),
         Qt::ShiftModifier},
        {"power", inside(curveArea, 0.4, 0.5), inside(curveArea, 0.1, 0.5),
         inside(curveArea, 0.4, 0.5), {}},
        {"spectrum", inside(spectrumArea, 0.3, 0.5), inside(spectrumArea, 0.6, 0.5),
         inside(spectrumArea, 0.3, 0.5), {}},
        // Pressed outside the plot, over the axis labels.
        {"spectrogram", QPoint(area.left() - 30, area.center().y()), area.center(),
         area.center(), {}},
        // A pan of the whole recording has nowhere to go.
        {"power", inside(curveArea, 0.5, 0.5), inside(curveArea, 0.7, 0.5),
         inside(curveArea, 0.9, 0.5), Qt::ControlModifier},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.plot);
        QWidget* plot = plotNamed(row.plot);
        const auto boxes = captureMessageBoxes([&] {
            QTest::mousePress(plot, Qt::LeftButton, row.keys, row.from);
            QTest::mouseMove(plot, row.via);
            QTest::mouseMove(plot, row.to);
            QTest::mouseRelease(plot, Qt::LeftButton, row.keys, row.to);
            waitForPanel(panel);
        });
        EXPECT_TRUE(boxes.empty());
        key(Qt::Key_Escape); // a click outside any drag places no cursor either
        EXPECT_EQ(shown(), before);
    }
    // The wheel turned out at the whole recording, or into a plot without data.
    turnWheel(spectrogram(), area.center(), -360);
    EXPECT_EQ(shown(), before);
}

TEST_F(PanelMouse, ReadoutAndCursors)
{
    // Ten samples per pixel of the spectrogram: pixel columns fall on whole samples.
    const QRect area = spectrogram()->plotRect();
    setText("startTimeEdit", "0");
    setText("stopTimeEdit", QString::number(area.width() / 100.0));
    ASSERT_TRUE(click("timeRangeApplyButton").empty());
    ASSERT_DOUBLE_EQ(spectrogram()->timeAxisMap().valuePerPixel(), 0.01);

    const QPoint a(area.left() + 250, area.top() + area.height() / 4);
    QTest::mouseMove(spectrogram(), a);
    const QString over = readout();
    EXPECT_TRUE(over.startsWith("t = 2.50 s   f = ")) << over.toStdString();
    EXPECT_TRUE(over.endsWith(" dB/Hz")) << over.toStdString();
    const double fA = spectrogram()->frequencyAxisMap().valueAt(a.y());
    EXPECT_NEAR(over.section("f = ", 1).section(' ', 0, 0).toDouble(), fA,
                spectrogram()->frequencyAxisMap().valuePerPixel());

    // The ramp's values under the pointer: I = t / 10 over the ten samples of
    // the pixel, and the calibrated power of I and Q = 0.25 into 1 ohm.
    CustomPlot* iPlot = curve("amplitudeView", "iPlot");
    const AxisMap iMap = iPlot->xAxisMap();
    const QPoint overI(static_cast<int>(iMap.pixelAt(4.0)), iPlot->plotArea().center().y());
    QTest::mouseMove(iPlot, overI);
    const double t = iMap.valueAt(overI.x());
    const QString iText = readout().section("I = ", 1);
    EXPECT_NEAR(iText.section(' ', 0, 0).toDouble(), t / 10, 0.002) << readout().toStdString();
    CustomPlot* powerPlot = curve("powerView", "plot");
    QTest::mouseMove(powerPlot, QPoint(static_cast<int>(powerPlot->xAxisMap().pixelAt(4.0)),
                                       powerPlot->plotArea().center().y()));
    const double dbm = 10 * std::log10((0.4 * 0.4 + 0.25 * 0.25) / 2 / 0.001);
    EXPECT_NEAR(readout().section("   ", 1).section(' ', 0, 0).toDouble(), dbm, 0.1)
        << readout().toStdString();
    EXPECT_TRUE(readout().endsWith(" dBm"));

    // Two clicks: A at 2.5 s, B at 3.0 s and another frequency.
    const QPoint b(area.left() + 300, area.top() + area.height() * 3 / 4);
    QTest::mouseClick(spectrogram(), Qt::LeftButton, {}, a);
    QTest::mouseClick(spectrogram(), Qt::LeftButton, {}, b);
    const double fB = spectrogram()->frequencyAxisMap().valueAt(b.y());
    QTest::mouseMove(powerPlot, QPoint(1, 1)); // off the plot: the cursors alone
    QString cursors = readout();
    EXPECT_TRUE(cursors.startsWith("A: t = 2.500 s (sample 2500), f = ")) << cursors.toStdString();
    EXPECT_TRUE(cursors.contains("   B: t = 3.000 s (sample 3000), f = ")) << cursors.toStdString();
    // What they measure on a line of its own.
    EXPECT_TRUE(cursors.contains("\n\u0394t = 500 ms, 1/\u0394t = 2.00000 Hz   \u0394f = "))
        << cursors.toStdString();
    EXPECT_NEAR(cursors.section("\u0394f = ", 1).section(' ', 0, 0).toDouble(), fB - fA, 1.0);

    // Divisions are whole numbers from 1 to 1000; a refused text is put back.
    auto* divisions = widget<QLineEdit>("cursorDivisionsEdit");
    const std::pair<const char*, const char*> refused[] = {
        {"0", "input shall be > 0"},
        {"-3", "input shall be > 0"},
        {"2.5", "input shall be a whole number from 1 to 1000"},
        {"1001", "input shall be a whole number from 1 to 1000"},
        {"inf", "input shall be a whole number from 1 to 1000"},
    };
    for (const auto& [typed, reason] : refused) {
        divisions->setText(typed);
        expectBox(captureMessageBoxes([&] { QTest::keyClick(divisions, Qt::Key_Return); }),
                  QMessageBox::Warning, "Input Error",
                  QString("Invalid cursor divisions: ") + reason, panel);
        EXPECT_EQ(divisions->text(), "1");
        EXPECT_EQ(readout(), cursors);
    }

    // Five divisions of 100 ms, and B dragged 60 ms further.
    setText("cursorDivisionsEdit", "5");
    QTest::keyClick(divisions, Qt::Key_Return);
    // Their period and rate after the centre, and every line whole.
    EXPECT_TRUE(readout().endsWith(cursors + "   1/5 of \u0394t: 100.000 ms, 10.0000 Hz")) << readout().toStdString();
    auto* readoutLabel = widget<QLabel>("readoutLabel");
    EXPECT_EQ(readoutLabel->height(), 3 * readoutLabel->fontMetrics().lineSpacing() + 4);
    for (const QString& line : readout().split('\n'))
        EXPECT_LE(readoutLabel->fontMetrics().horizontalAdvance(line), readoutLabel->contentsRect().width())
            << line.toStdString();
    // B grabbed within reach of its line and dragged: it follows the pointer.
    drag(spectrogram(), b + QPoint(2, 0), b + QPoint(6, 0));
    EXPECT_TRUE(readout().contains("B: t = 3.060 s (sample 3060)")) << readout().toStdString();
    EXPECT_TRUE(readout().contains("\u0394t = 560 ms, 1/\u0394t = 1.78571 Hz   \u0394f = "))
        << readout().toStdString();
    EXPECT_TRUE(readout().endsWith("   1/5 of \u0394t: 112.000 ms, 8.92857 Hz"))
        << readout().toStdString();

    QTest::keyClick(spectrogram(), Qt::Key_Escape);
    EXPECT_FALSE(readout().contains("A: ")) << readout().toStdString();
    QTest::mouseMove(powerPlot, QPoint(2, 2)); // a move to where the pointer is would not come
    EXPECT_EQ(readout(), "");
}

TEST_F(PanelMouse, AnnotationBoxesAndAbsoluteFrequency)
{
    auto* showBoxes = widget<QCheckBox>("showAnnotationsCheckBox");
    auto* absolute = widget<QCheckBox>("absoluteFrequencyCheckBox");
    // The ramp has neither annotations nor a centre frequency.
    EXPECT_FALSE(showBoxes->isChecked());
    EXPECT_FALSE(absolute->isEnabled());

    writeCf32(path("tagged.sigmf-data"), ramp());
    writeBytes(path("tagged.sigmf-meta"),
               R"({"global": {"core:datatype": "cf32_le", "core:sample_rate": 1000},
                   "captures": [{"core:sample_start": 0, "core:frequency": 1e8}],
                   "annotations": [
                     {"core:sample_start": 2000, "core:sample_count": 3000,
                      "core:freq_lower_edge": 99999800, "core:freq_upper_edge": 100000100,
                      "core:label": "burst", "core:description": "QPSK at 10 kbaud"},
                     {"core:sample_start": 6000, "core:sample_count": 1000,
                      "core:description": "time only"},
                     {"core:sample_start": 7000},
                     {"core:sample_start": 8000, "core:sample_count": 10,
                      "core:freq_lower_edge": 1}]})");
    ASSERT_TRUE(load(path("tagged.sigmf-meta")).empty());
    EXPECT_TRUE(showBoxes->isChecked());

    // Where the entries put them through the view's own axes: 2 ... 5 s and
    // -200 ... 100 Hz about the centre; 6 ... 7 s over the whole band.
    SpectrogramView* view = spectrogram();
    const AxisMap t = view->timeAxisMap();
    const AxisMap f = view->frequencyAxisMap();
    const QRect area = view->plotRect();
    const QRect burst(QPoint(static_cast<int>(std::floor(t.pixelAt(2.0))),
                             static_cast<int>(std::floor(f.pixelAt(100.0)))),
                      QPoint(static_cast<int>(std::ceil(t.pixelAt(5.0))) - 1,
                             static_cast<int>(std::ceil(f.pixelAt(-200.0))) - 1));
    const QRect timeOnly(QPoint(static_cast<int>(std::floor(t.pixelAt(6.0))), area.top()),
                         QPoint(static_cast<int>(std::ceil(t.pixelAt(7.0))) - 1, area.bottom()));
    const std::vector<PlacedAnnotation> placed = view->placedAnnotations();
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].visible, burst);
    EXPECT_EQ(placed[1].visible, timeOnly);
    // Drawn as outlines: the edges in the box colour, the picture inside.
    const QColor boxColour(255, 170, 40);
    QImage picture = view->grab().toImage();
    EXPECT_EQ(picture.pixelColor(burst.left(), burst.center().y()), boxColour);
    EXPECT_EQ(picture.pixelColor(burst.right(), burst.center().y()), boxColour);
    EXPECT_EQ(picture.pixelColor(burst.center().x() + 40, burst.top()), boxColour);
    EXPECT_NE(picture.pixelColor(burst.left() + 2, burst.center().y() + 20), boxColour);
    EXPECT_EQ(picture.pixelColor(timeOnly.left(), area.center().y()), boxColour);

    QHelpEvent help(QEvent::ToolTip, burst.center(), view->mapToGlobal(burst.center()));
    QApplication::sendEvent(view, &help);
    EXPECT_EQ(QToolTip::text(), "burst: QPSK at 10 kbaud");
    EXPECT_EQ(view->annotationToolTipAt(timeOnly.center()), "time only");
    EXPECT_EQ(view->annotationToolTipAt(QPoint(burst.left() - 3, burst.center().y())), "");

    showBoxes->setChecked(false);
    EXPECT_TRUE(view->placedAnnotations().empty());
    picture = view->grab().toImage();
    EXPECT_NE(picture.pixelColor(burst.left(), burst.center().y()), boxColour);

    // Absolute frequencies: the labels and the readout move by 100 MHz, the picture stays.
    EXPECT_TRUE(absolute->isEnabled());
    EXPECT_FALSE(absolute->isChecked());
    const QImage baseband = view->grab().toImage();
    const QPoint at = area.center() + QPoint(0, -area.height() / 8);
    QTest::mouseMove(view, at);
    const double offsetFree = readout().section("f = ", 1).section(' ', 0, 0).toDouble();
    // Read at the pixel's centre.
    EXPECT_NEAR(offsetFree, f.valueAt(at.y() + 0.5), 1.0) << readout().toStdString();
    absolute->setChecked(true);
    QTest::mouseMove(view, at + QPoint(1, 0));
    const QString shifted = readout().section("f = ", 1);
    EXPECT_EQ(shifted.section(' ', 1, 1), "MHz") << readout().toStdString();
    EXPECT_NEAR(shifted.section(' ', 0, 0).toDouble() * 1e6, 1e8 + offsetFree, 1.0);
    const QImage shown = view->grab().toImage();
    EXPECT_NE(shown, baseband);
    EXPECT_EQ(shown.copy(area), baseband.copy(area));
    absolute->setChecked(false);
    EXPECT_EQ(view->grab().toImage(), baseband);
}

// A grabbed cursor line moves only its own coordinate; later clicks place B
// unless they fall on A's line; both times are read in one unit.
TEST_F(PanelMouse, CursorLinesMoveOnlyTheirCoordinate)
{
    const QRect area = spectrogram()->plotRect();
    setText("startTimeEdit", "0");
    setText("stopTimeEdit", QString::number(area.width() / 100.0));
    ASSERT_TRUE(click("timeRangeApplyButton").empty());
    const AxisMap band = spectrogram()->frequencyAxisMap();
    const auto cursorText = [this](const char* name) {
        QTest::mouseMove(curve("powerView", "plot"), QPoint(1, 1));
        return readout().section(QString(name) + ": ", 1).section("   ", 0, 0);
    };
    const auto frequencyOf = [&](const char* name) {
        return cursorText(name).section("f = ", 1).section(' ', 0, 0).toDouble();
    };
    const QPoint a(area.left() + 50, area.top() + area.height() / 4);
    const QPoint b(area.left() + 300, area.top() + area.height() * 3 / 4);
    QTest::mouseClick(spectrogram(), Qt::LeftButton, {}, a);
    QTest::mouseClick(spectrogram(), Qt::LeftButton, {}, b);
    EXPECT_TRUE(cursorText("A").startsWith("t = 0.500 s (sample 500)")) << cursorText("A").toStdString();
    const double centre = readout().section("centre = ", 1).section(' ', 0, 0).toDouble();
    EXPECT_NEAR(centre, (frequencyOf("A") + frequencyOf("B")) / 2, 1.0);

    struct Step
    {
        const char* what;
        QPoint from, to; // equal: a click
        const char* aText; // the texts' starts afterwards; empty: as before
        const char* bText;
        std::optional<int> bFrequencyAt; // B's frequency line now at this y
    };
    const Step steps[] = {
        {"B's frequency line, far from its time line", b + QPoint(60, 0), b + QPoint(100, -30), "",
         "t = 3.000 s (sample 3000)", b.y() - 30},
        {"A's time line, far from its frequency line", a + QPoint(0, 80), a + QPoint(20, 120),
         "t = 0.700 s (sample 700)", "", std::nullopt},
        {"where B's lines cross, along time", b + QPoint(0, -31), b + QPoint(40, -29), "",
         "t = 3.400 s (sample 3400)", b.y() - 30},
        {"a click on A's line places nothing", a + QPoint(22, 40), a + QPoint(22, 40),
         "t = 0.700 s (sample 700)", "t = 3.400 s (sample 3400)", b.y() - 30},
        {"a click elsewhere places B", QPoint(area.left() + 500, b.y()), QPoint(area.left() + 500, b.y()),
         "t = 0.700 s (sample 700)", "t = 5.000 s (sample 5000)", b.y()},
    };
    for (const Step& step : steps) {
        const QString aBefore = cursorText("A");
        const QString bBefore = cursorText("B");
        if (step.from == step.to)
            QTest::mouseClick(spectrogram(), Qt::LeftButton, {}, step.from);
        else
            drag(spectrogram(), step.from, step.to);
        const QString aAfter = cursorText("A");
        const QString bAfter = cursorText("B");
        EXPECT_TRUE(aAfter.startsWith(*step.aText ? QString(step.aText) : aBefore.section(',', 0, 0)))
            << step.what << ": " << aAfter.toStdString();
        EXPECT_TRUE(bAfter.startsWith(*step.bText ? QString(step.bText) : bBefore.section(',', 0, 0)))
            << step.what << ": " << bAfter.toStdString();
        // A's frequency never moves here; B's lies where its line was put.
        EXPECT_EQ(aAfter.section("f = ", 1), aBefore.section("f = ", 1)) << step.what;
        if (step.bFrequencyAt) {
            EXPECT_NEAR(frequencyOf("B"), band.valueAt(*step.bFrequencyAt), band.valuePerPixel() + 4)
                << step.what << ": " << bAfter.toStdString();
        }
    }
}

// While a pan is dragged, every plot showing the dragged axis follows the pointer,
// picture and axis, by the same seconds or hertz; the others stay still.
TEST_F(PanelMouse, EveryPlotOfTheAxisFollowsAPan)
{
    turnWheel(spectrogram(), spectrogram()->plotRect().center(), 240);
    CustomPlot* power = curve("powerView", "plot");
    CustomPlot* iPlot = curve("amplitudeView", "iPlot");
    const QRect area = power->plotArea();
    const auto picture = [](QWidget* plot) { return plot->grab().toImage(); };
    const QImage spectrogramBefore = picture(spectrogram());
    const QImage iBefore = picture(iPlot);
    const QPoint from = area.center();
    const QPoint to = from + QPoint(60, 0);
    QTest::mousePress(power, Qt::MiddleButton, {}, from);
    QTest::mouseMove(power, to);
    // The seconds dragged, in each plot's own pixels.
    const double seconds = power->xAxisMap().valueAt(to.x()) - power->xAxisMap().valueAt(from.x());
    for (QWidget* plot : {static_cast<QWidget*>(spectrogram()), static_cast<QWidget*>(iPlot)}) {
        const AxisMap map = timeMapOf(plot);
        const int dx = static_cast<int>(std::lround(seconds / map.valuePerPixel()));
        ASSERT_GT(dx, 10);
        const QRect plotArea = areaOf(plot);
        const QImage before = plot == spectrogram() ? spectrogramBefore : iBefore;
        const QImage during = picture(plot);
        // The picture moved by dx within the plot area (the axis line on its first
        // column left out); the time labels below it changed.
        const QRect kept = plotArea.adjusted(1, 0, -dx, 0);
        EXPECT_EQ(before.copy(kept), during.copy(kept.translated(dx, 0))) << plot->objectName().toStdString();
        const QRect labels(plotArea.left(), plotArea.bottom() + 2, plotArea.width(), 16);
        EXPECT_NE(before.copy(labels), during.copy(labels)) << plot->objectName().toStdString();
    }
    QTest::mouseRelease(power, Qt::MiddleButton, {}, to);
    waitForPanel(panel);
}
