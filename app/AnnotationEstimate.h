#pragma once
// "Estimate" in an annotation row's context menu: the row is selected (so the
// window shows its time and band), the Signal group estimates what is shown,
// and on request the result is written into the annotation's comment.

#include <QObject>
#include <QString>

#include <functional>

class AnnotationTableModel;
class QTableView;
class SignalGroup;
class ViewSession;

class AnnotationEstimate : public QObject
{
public:
    // Asks whether to write `text` into the comment; true for yes.
    using Ask = std::function<bool(const QString& text)>;
    // All of these outlive the object.
    AnnotationEstimate(QTableView* table, AnnotationTableModel* model, ViewSession* session, SignalGroup* group,
                       Ask ask, QObject* parent = nullptr);

    // The context menu's action for `row`.
    void estimateRow(int row);

private:
    void estimateShown(int row);

    QTableView* table;
    AnnotationTableModel* model;
    ViewSession* session;
    SignalGroup* group;
    Ask ask;
};
