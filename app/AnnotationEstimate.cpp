// An annotation's estimate from its row's context menu, written into its
// comment (an undoable cell edit) when the user says so.

#include "app/AnnotationEstimate.h"

#include "annotations/AnnotationTableModel.h"
#include "panel/SignalGroup.h"
#include "session/ViewSession.h"

#include <QMenu>
#include <QTableView>

AnnotationEstimate::AnnotationEstimate(QTableView* table, AnnotationTableModel* model, ViewSession* session,
                                       SignalGroup* group, Ask ask, QObject* parent)
    : QObject(parent), table(table), model(model), session(session), group(group), ask(std::move(ask))
{
    table->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(table, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = this->table->indexAt(at).row();
        if (row < 0)
            return;
        QMenu menu(this->table);
        QAction* estimate = menu.addAction(QStringLiteral("Estimate"));
        estimate->setObjectName("estimateAnnotationAction");
        if (menu.exec(this->table->viewport()->mapToGlobal(at)) == estimate)
            estimateRow(row);
    });
}

void AnnotationEstimate::estimateRow(int row)
{
    if (row < 0 || row >= model->rowCount())
        return;
    table->selectRow(row);
    // Selecting shows the annotation's time and band once the session has applied them.
    if (!session->busy()) {
        estimateShown(row);
        return;
    }
    auto* once = new QObject(this);
    connect(session, &ViewSession::settingsApplied, once, [this, row, once] {
        once->deleteLater();
        estimateShown(row);
    });
}

void AnnotationEstimate::estimateShown(int row)
{
    group->setFinishedHandler([this, row](const SignalEstimate& estimate) {
        if (row >= model->rowCount())
            return;
        const QModelIndex cell = model->index(row, AnnotationTableModel::commentColumn);
        const QString text = SignalGroup::summary(estimate);
        if (!ask(text))
            return;
        const QString comment = model->data(cell, Qt::EditRole).toString();
        model->setData(cell, comment.isEmpty() ? text : comment + QStringLiteral("; ") + text, Qt::EditRole);
    });
    group->estimate();
}
