#pragma once
// The annotation table under the plots and its buttons: Add (the time range and
// band shown), Delete (the rows selected) and Save, with a line saying how many
// there are and whether changes are unsaved; above it the row that detects bursts. Building wires nothing; the
// AnnotationEditor connects what the widgets do.

#include <QWidget>

class BurstDetectRow;
class QLabel;
class QPushButton;
class QTableView;

class AnnotationPane : public QWidget
{
public:
    explicit AnnotationPane(QWidget* parent = nullptr);

    QTableView* annotationTable;
    QPushButton* addAnnotationButton;
    QPushButton* deleteAnnotationButton;
    QPushButton* saveAnnotationsButton;
    QLabel* annotationStatusLabel;
    // Above the table.
    BurstDetectRow* burstDetectRow;
};
