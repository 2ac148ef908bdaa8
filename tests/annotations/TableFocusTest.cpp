// The annotation table and the keyboard: Tab enters and leaves it like any
// widget, and only the user's choice of a row selects and shows it.

#include "tests/annotations/AnnotationFixture.h"

#include "session/ViewSession.h"

using TableFocus = AnnotationFixture;

TEST_F(TableFocus, TabPassesThroughAndChoosingShows)
{
    const QString meta = pair("tabbed", R"([{"core:sample_start": 2000, "core:sample_count": 1000, "core:label": "a"},
        {"core:sample_start": 6000, "core:sample_count": 1000, "core:label": "b"}])");
    ASSERT_TRUE(load(meta).empty());
    const TimeRange whole = window->session()->shown().range;
    QTableView* view = table();
    QWidget* before = view->previousInFocusChain();
    while (!(before->focusPolicy() & Qt::TabFocus) || !before->isVisible() || !before->isEnabled())
        before = before->previousInFocusChain();
    before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(before, Qt::Key_Tab);
    waitForPanel(panel);
    ASSERT_EQ(QApplication::focusWidget(), view);
    EXPECT_TRUE(view->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(window->session()->shown().range.start, whole.start);
    EXPECT_EQ(window->session()->shown().range.stop, whole.stop);
    // The next Tab leaves the table, still choosing nothing.
    QTest::keyClick(view, Qt::Key_Tab);
    waitForPanel(panel);
    EXPECT_NE(QApplication::focusWidget(), view);
    EXPECT_TRUE(view->selectionModel()->selectedRows().isEmpty());
    EXPECT_EQ(window->session()->shown().range.stop, whole.stop);

    // A click on the row the focus made current chooses it; the arrows choose the next.
    view->setFocus(Qt::TabFocusReason);
    const QRect first = view->visualRect(view->model()->index(0, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, first.center());
    waitForPanel(panel);
    EXPECT_EQ(view->selectionModel()->selectedRows().size(), 1);
    EXPECT_NEAR(window->session()->shown().range.start, 1.9, 1e-9);
    QTest::keyClick(view, Qt::Key_Down);
    waitForPanel(panel);
    EXPECT_NEAR(window->session()->shown().range.start, 5.9, 1e-9);
}
