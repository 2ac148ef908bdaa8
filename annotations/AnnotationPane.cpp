// The table and a row of buttons beside it.

#include "annotations/AnnotationPane.h"

#include "annotations/BurstDetectRow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

constexpr int buttonColumnWidth = 110;
constexpr int rowHeightPadding = 4;

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

AnnotationPane::AnnotationPane(QWidget* parent) : QWidget(parent)
{
    annotationTable = named(new QTableView, "annotationTable");
    annotationTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    annotationTable->setSelectionMode(QAbstractItemView::ExtendedSelection);
    // Tab enters and leaves the table like any widget; the arrows walk its rows.
    annotationTable->setTabKeyNavigation(false);
    // Letters are the window's keys (A, N, P): F2 or a double click edits a cell.
    annotationTable->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                                     | QAbstractItemView::SelectedClicked);
    annotationTable->setAlternatingRowColors(true);
    annotationTable->horizontalHeader()->setStretchLastSection(true);
    annotationTable->verticalHeader()->setDefaultSectionSize(annotationTable->fontMetrics().height()
                                                             + rowHeightPadding);
    annotationTable->verticalHeader()->hide();
    annotationTable->setToolTip(
        "The recording's annotations: double-click a cell to edit it, select a row to show it");

    addAnnotationButton = named(new QPushButton("Add annotation"), "addAnnotationButton");
    addAnnotationButton->setToolTip("Annotate the time range and band shown (A)");
    deleteAnnotationButton = named(new QPushButton("Delete"), "deleteAnnotationButton");
    deleteAnnotationButton->setToolTip("Remove the selected annotations (Delete)");
    saveAnnotationsButton = named(new QPushButton("Save"), "saveAnnotationsButton");
    saveAnnotationsButton->setToolTip("Write the annotations to the recording's SigMF metadata (Ctrl+S)");
    annotationStatusLabel = named(new QLabel, "annotationStatusLabel");
    annotationStatusLabel->setWordWrap(true);

    auto* buttons = new QVBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    for (QPushButton* button : {addAnnotationButton, deleteAnnotationButton, saveAnnotationsButton}) {
        button->setFixedWidth(buttonColumnWidth);
        buttons->addWidget(button);
    }
    annotationStatusLabel->setFixedWidth(buttonColumnWidth);
    buttons->addWidget(annotationStatusLabel);
    buttons->addStretch(1);

    burstDetectRow = named(new BurstDetectRow, "burstDetectRow");
    auto* table = new QVBoxLayout;
    table->setContentsMargins(0, 0, 0, 0);
    table->addWidget(burstDetectRow);
    table->addWidget(annotationTable, 1);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(table, 1);
    layout->addLayout(buttons);
}
