// The main window frame and the application palette.

#include "app/MainWindow.h"
#include "app/Palette.h"
#include "panel/ControlPanel.h"
#include "tests/support/MessageBoxCatcher.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>

#include <gtest/gtest.h>

TEST(Palette, EveryRoleOfTheTableInAllColourGroups)
{
    applyDarkPalette();
    const QPalette palette = QApplication::palette();
    const std::vector<std::pair<QPalette::ColorRole, QColor>> table = {
        {QPalette::Window, QColor(53, 53, 53)},
        {QPalette::WindowText, QColor(255, 255, 255)},
        {QPalette::Base, QColor(25, 25, 25)},
        {QPalette::AlternateBase, QColor(53, 53, 53)},
        {QPalette::ToolTipBase, QColor(255, 255, 255)},
        {QPalette::ToolTipText, QColor(0, 0, 0)},
        {QPalette::Text, QColor(255, 255, 255)},
        {QPalette::Button, QColor(53, 53, 53)},
        {QPalette::ButtonText, QColor(255, 255, 255)},
        {QPalette::BrightText, QColor(255, 0, 0)},
        {QPalette::Link, QColor(42, 130, 218)},
        {QPalette::Highlight, QColor(42, 130, 218)},
        {QPalette::HighlightedText, QColor(0, 0, 0)},
        {QPalette::PlaceholderText, QColor(150, 150, 150)},
    };
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto& [role, colour] : table) {
            EXPECT_EQ(palette.color(group, role).rgba(), colour.rgba())
                << "group " << group << " role " << role;
        }
    }
}

TEST(Frame, HelpMenuActionsInOrderEachOpeningItsBox)
{
    MainWindow window;
    auto* menuBar = window.findChild<QMenuBar*>("menuBar");
    ASSERT_NE(menuBar, nullptr);
    ASSERT_EQ(menuBar->actions().size(), 3);
    QMenu* file = menuBar->actions().front()->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->title(), "&File");
    QStringList fileItems;
    for (QAction* action : file->actions())
        if (!action->isSeparator())
            fileItems << action->text();
    EXPECT_EQ(fileItems, (QStringList{"&Open...", "Open &Recent", "&Save annotations",
                                       "&Export selection...", "Save &picture...", "&Copy picture",
                                       "Reset &settings", "&Quit"}));
    QMenu* help = menuBar->actions().back()->menu();
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->title(), "&Help");

    QList<QAction*> actions = help->actions();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[1]->text(), "&Mouse and keys");
    auto keys = captureMessageBoxes([&] { actions[1]->trigger(); });
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].title, "Mouse and keys");
    EXPECT_TRUE(keys[0].text.contains("Alt+Left"));
    actions.removeAt(1);
    EXPECT_EQ(actions[0]->text(), "&File formats");
    EXPECT_EQ(actions[1]->text(), "&About");
    EXPECT_EQ(actions[2]->text(), "About &Qt");

    auto boxes = captureMessageBoxes([&] { actions[0]->trigger(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "Supported file formats");
    EXPECT_EQ(boxes[0].parent, &window);
    EXPECT_EQ(boxes[0].text,
              "<p>Supported formats for recordings are:</p><ul><li><b>Stereo WAV</b></li>"
              "<li><b>SigMF</b> meta/data couple of files (choose the .sigmf-meta file, the "
              "application expects the same filename with .sigmf-data extension to be in the "
              "same directory).</li><li><b>SigMF archive</b> (.sigmf file holding the "
              ".sigmf-meta and .sigmf-data files; when it holds several, a list asks which "
              "to open).</li><li><b>IQW</b> binary (equivalent to SigMF cf32_le)</li>"
              "<li><b>Binary</b>: all datatypes defined for SigMF are supported. Syntax is "
              "[r|c][f|i|u][bit_depth]_[le|be], example: ci32_le.</li></ul><p>When \"Auto\" is "
              "selected, the extension is used to infer the file format (not possible with "
              "binary format).</p>");

    boxes = captureMessageBoxes([&] { actions[1]->trigger(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "About Norvale");
    EXPECT_EQ(boxes[0].parent, &window);
    EXPECT_TRUE(boxes[0].text.startsWith("<p><b>Norvale version 0.1.5</b>, "));
    EXPECT_TRUE(boxes[0].text.contains("the Norvale developers"));
    EXPECT_TRUE(boxes[0].text.contains("MERCHANTABILITY"));
    EXPECT_TRUE(boxes[0].text.contains("CONSEQUENTIAL DAMAGES"));

    boxes = captureMessageBoxes([&] { actions[2]->trigger(); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].title, "About Qt");
}

TEST(Frame, TitleTabsAndLeftColumn)
{
    MainWindow window;
    EXPECT_EQ(window.windowTitle(), "Norvale");

    auto* tabs = window.findChild<QTabWidget*>("tabWidget");
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), "Time");
    EXPECT_EQ(tabs->tabText(1), "Frequency");

    auto* scrollArea = window.findChild<QScrollArea*>("scrollArea");
    ASSERT_NE(scrollArea, nullptr);
    EXPECT_EQ(scrollArea->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(scrollArea->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_TRUE(scrollArea->widgetResizable());

    // The panel's column keeps its width (as wide as the panel's rows need) as the
    // window changes, and can be widened.
    window.show();
    const int column = scrollArea->minimumWidth();
    EXPECT_GE(column, window.panel()->minimumSizeHint().width());
    for (int width : {900, 1600}) {
        window.resize(width, 700);
        QApplication::processEvents();
        EXPECT_EQ(scrollArea->width(), column);
        EXPECT_GT(tabs->width(), width - column - 40);
    }
    auto* splitter = window.findChild<QSplitter*>("splitter");
    ASSERT_NE(splitter, nullptr);
    splitter->setSizes({600, 1000});
    QApplication::processEvents();
    EXPECT_EQ(scrollArea->width(), 600);
}
