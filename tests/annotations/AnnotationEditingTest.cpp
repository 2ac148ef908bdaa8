// Annotations made, edited, deleted, undone and saved through the window, and
// walked with the keys: the saved metadata keeps what no change touched, and the
// recording reopened shows the same boxes.

#include "tests/annotations/AnnotationFixture.h"
#include "session/ViewSession.h"

#include "views/SpectrogramView.h"

#include <QDialog>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>

using AnnotationEditing = AnnotationFixture;

namespace {

const std::string twoAnnotations = R"([
  {"core:sample_start": 6000, "core:sample_count": 500, "z:mine": true, "core:label": "late"},
  {"core:sample_start": 2000, "core:sample_count": 1000, "core:freq_lower_edge": 99999900,
   "core:freq_upper_edge": 100000200, "core:label": "burst", "core:comment": "first"}])";

// Where the boxes lie and what they say.
QStringList boxesOf(const SpectrogramView* view)
{
    QStringList out;
    for (const AnnotationBox& box : view->annotationBoxList())
        out << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(box.startTime)
                   .arg(box.stopTime)
                   .arg(box.lowFrequency ? QString::number(*box.lowFrequency) : "-")
                   .arg(box.highFrequency ? QString::number(*box.highFrequency) : "-")
                   .arg(box.label);
    return out;
}

} // namespace

TEST_F(AnnotationEditing, RoundTripThroughThePanel)
{
    const QString meta = pair("rec", twoAnnotations);
    const Json original = Json::parse(fileText(meta));
    ASSERT_TRUE(load(meta).empty());
    auto* view = widget<SpectrogramView>("spectrogramView");
    EXPECT_EQ(tableRows(), (QStringList{"2|1|-100|200|burst|first", "6|0.5|||late|"}));

    // Add: the time range and band shown.
    panel->session()->showPlace({{4, 4.25}, {-300, 150}});
    waitForPanel(panel);
    EXPECT_TRUE(click("addAnnotationButton").empty());
    ASSERT_EQ(tableRows().size(), 3);
    EXPECT_EQ(tableRows()[1], "4|0.251|-300|150||");
    EXPECT_EQ(table()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(table()->currentIndex().row(), 1);
    // Edit in place: the new one's texts, the first one's comment.
    EXPECT_TRUE(edit(1, AnnotationTableModel::labelColumn, "mark").empty());
    EXPECT_TRUE(edit(1, AnnotationTableModel::commentColumn, "by hand").empty());
    EXPECT_TRUE(edit(0, AnnotationTableModel::commentColumn, "second look").empty());
    // Delete the late one, undo and redo the delete, undo it again.
    table()->selectRow(2);
    EXPECT_TRUE(click("deleteAnnotationButton").empty());
    EXPECT_EQ(tableRows().size(), 2);
    EXPECT_EQ(view->annotationBoxList().size(), 2u);
    editor()->undo();
    editor()->redo();
    EXPECT_EQ(tableRows().size(), 2);
    editor()->undo();
    const QStringList edited{"2|1|-100|200|burst|second look", "4|0.251|-300|150|mark|by hand", "6|0.5|||late|"};
    EXPECT_EQ(tableRows(), edited);
    EXPECT_EQ(view->annotationBoxList().size(), 3u);
    EXPECT_TRUE(window->isWindowModified());

    EXPECT_TRUE(click("saveAnnotationsButton").empty());
    EXPECT_FALSE(window->isWindowModified());
    const Json saved = Json::parse(fileText(meta));
    for (const char* member : {"global", "captures", "y:after"})
        EXPECT_EQ(saved[member].dump(), original[member].dump()) << member;
    std::vector<std::string> keys;
    for (const auto& [key, value] : saved.items())
        keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"global", "captures", "annotations", "y:after"}));
    const Json& annotations = saved["annotations"];
    ASSERT_EQ(annotations.size(), 3u);
    EXPECT_EQ(annotations[0].dump(),
              R"({"core:sample_start":2000,"core:sample_count":1000,"core:freq_lower_edge":99999900,)"
              R"("core:freq_upper_edge":100000200,"core:label":"burst","core:comment":"second look"})");
    EXPECT_EQ(annotations[2].dump(), original["annotations"][0].dump());
    Json added = annotations[1];
    const std::string uuid = added["core:uuid"];
    EXPECT_TRUE(QRegularExpression("^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}$")
                    .match(QString::fromStdString(uuid))
                    .hasMatch())
        << uuid;
    added.erase("core:uuid");
    EXPECT_EQ(added.dump(), R"({"core:sample_start":4000,"core:sample_count":251,"core:freq_lower_edge":99999700,)"
                            R"("core:freq_upper_edge":100000150,"core:label":"mark","core:comment":"by hand",)"
                            R"("core:generator":"Norvale )" NORVALE_VERSION R"("})");

    // Reopened: the same boxes and rows.
    const QStringList boxes = boxesOf(view);
    ASSERT_TRUE(load(meta).empty());
    EXPECT_EQ(boxesOf(view), boxes);
    EXPECT_EQ(tableRows(), edited);
}

TEST_F(AnnotationEditing, RightDragDrawsABoxAndAsksForItsTexts)
{
    ASSERT_TRUE(load(pair("drawn", "[]")).empty());
    auto* view = widget<SpectrogramView>("spectrogramView");
    const QRect area = view->plotRect();
    const QPoint from(area.left() + area.width() / 5, area.top() + area.height() / 4);
    const QPoint to(area.left() + area.width() * 2 / 5, area.top() + area.height() / 2);
    for (const bool accept : {false, true}) {
        SCOPED_TRACE(accept);
        // The dialog is filled in and answered as a user would.
        QString asked;
        QTimer::singleShot(50, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            asked = dialog->windowTitle();
            dialog->findChild<QLineEdit*>("labelEdit")->setText("drawn");
            dialog->findChild<QLineEdit*>("commentEdit")->setText("by mouse");
            accept ? dialog->accept() : dialog->reject();
        });
        QTest::mousePress(view, Qt::RightButton, {}, from);
        QTest::mouseMove(view, to);
        QTest::mouseRelease(view, Qt::RightButton, {}, to);
        EXPECT_EQ(asked, "Annotation");
        EXPECT_EQ(tableRows().size(), accept ? 1 : 0);
    }
    // Samples by the views' range rule (floor(fs t0) ... ceil(fs t1)), whole hertz outside the drawn band.
    const AxisMap t = view->timeAxisMap();
    const AxisMap f = view->frequencyAxisMap();
    const RecordingAnnotation& drawn = editor()->list().entries()[0].annotation;
    EXPECT_EQ(drawn.sampleStart, static_cast<uint64_t>(std::floor(t.valueAt(from.x()) * 1000)));
    EXPECT_EQ(drawn.sampleStart + drawn.sampleCount,
              static_cast<uint64_t>(std::ceil(t.valueAt(to.x()) * 1000)) + 1);
    EXPECT_EQ(drawn.lowFrequency, std::floor(f.valueAt(to.y())));
    EXPECT_EQ(drawn.highFrequency, std::ceil(f.valueAt(from.y())));
    EXPECT_EQ(drawn.label, "drawn");
    EXPECT_EQ(drawn.comment, "by mouse");
    EXPECT_EQ(view->annotationBoxList().size(), 1u);
}

// N and P select and show each annotation with 10 % of its length before and
// after it, in its band; Delete removes the selected one; Ctrl+Z brings it back.
TEST_F(AnnotationEditing, KeysWalkTheAnnotations)
{
    ASSERT_TRUE(load(pair("walk", twoAnnotations)).empty());
    EXPECT_TRUE(key(Qt::Key_A).empty());
    ASSERT_EQ(tableRows().size(), 3);
    const struct
    {
        int key;
        int row;
        QStringList fields; // start, stop, low, high
    } steps[] = {
        {Qt::Key_P, 2, {"5.95", "6.55", "-500", "500"}},
        {Qt::Key_P, 1, {"1.9", "3.1", "-100", "200"}},
        {Qt::Key_P, 0, {"0", "10", "-500", "500"}},
        {Qt::Key_P, 0, {"0", "10", "-500", "500"}},
        {Qt::Key_N, 1, {"1.9", "3.1", "-100", "200"}},
        {Qt::Key_N, 2, {"5.95", "6.55", "-500", "500"}},
    };
    table()->setCurrentIndex(QModelIndex());
    for (const auto& step : steps) {
        SCOPED_TRACE(step.row);
        EXPECT_TRUE(key(step.key).empty());
        EXPECT_EQ(table()->currentIndex().row(), step.row);
        EXPECT_EQ((QStringList{text("startTimeEdit"), text("stopTimeEdit"), text("startFrequencyEdit"),
                               text("stopFrequencyEdit")}),
                  step.fields);
    }
    table()->setFocus();
    EXPECT_TRUE(key(Qt::Key_Delete).empty());
    EXPECT_EQ(tableRows().size(), 2);
    EXPECT_TRUE(key(Qt::Key_Z, Qt::ControlModifier).empty());
    EXPECT_EQ(tableRows().size(), 3);
    EXPECT_TRUE(key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier).empty());
    EXPECT_EQ(tableRows().size(), 2);
}

// Cells typed into are checked as the panel's fields are.
TEST_F(AnnotationEditing, CellEditsCheckedAsThePanelChecks)
{
    ASSERT_TRUE(load(pair("cells", twoAnnotations)).empty());
    const struct
    {
        int column;
        QString text;
        QString message; // empty when taken
        QString row;     // the first row afterwards
    } cases[] = {
        {AnnotationTableModel::startColumn, "-1", "Invalid start time: input shall be >= 0", ""},
        {AnnotationTableModel::startColumn, "10", "Invalid start time: must be less than the duration of the recording (10 s)", ""},
        {AnnotationTableModel::startColumn, "1.5", "", "1.5|1|-100|200|burst|first"},
        {AnnotationTableModel::durationColumn, "0", "Invalid duration: input shall be > 0", ""},
        {AnnotationTableModel::durationColumn, "0.3", "", "1.5|0.3|-100|200|burst|first"},
        {AnnotationTableModel::durationColumn, "99", "", "1.5|8.5|-100|200|burst|first"},
        {AnnotationTableModel::lowColumn, "x", "Invalid low frequency: input shall be a number", ""},
        {AnnotationTableModel::lowColumn, "-600", "Invalid low frequency: must lie between -500 and 500 Hz", ""},
        {AnnotationTableModel::highColumn, "-200", "Low frequency must be less than the high frequency", ""},
        {AnnotationTableModel::highColumn, "300.5", "", "1.5|8.5|-100|300.5|burst|first"},
        {AnnotationTableModel::lowColumn, "", "", "1.5|8.5|||burst|first"},
        {AnnotationTableModel::highColumn, "10", "", "1.5|8.5|-500|10|burst|first"},
    };
    QString last = tableRows().front();
    for (const auto& row : cases) {
        SCOPED_TRACE(row.text.toStdString());
        const auto boxes = edit(0, row.column, row.text);
        if (row.message.isEmpty()) {
            EXPECT_TRUE(boxes.empty());
            last = row.row;
        } else {
            expectBox(boxes, QMessageBox::Warning, "Input Error", row.message, widget<QWidget>("annotationPane"));
        }
        EXPECT_EQ(tableRows().front(), last);
    }
}
