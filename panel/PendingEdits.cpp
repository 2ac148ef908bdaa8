// Marks of unapplied edits, and Return, Escape and the wheel over the fields.

#include "panel/PendingEdits.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QWidget>

#include <algorithm>

namespace {

const char* const pendingStyle = "background-color: #4a4322;";

void setBold(QPushButton* button, bool bold)
{
    QFont font = button->font();
    font.setBold(bold);
    button->setFont(font);
}

} // namespace

PendingEdits::PendingEdits(QObject* parent, std::function<void()> restore)
    : QObject(parent), restore(std::move(restore))
{
}

void PendingEdits::addGroup(const std::vector<QWidget*>& fields, QPushButton* apply)
{
    groups.push_back({fields, apply, {}});
    for (QWidget* field : fields) {
        field->installEventFilter(this);
        if (qobject_cast<QAbstractSpinBox*>(field))
            field->setFocusPolicy(Qt::StrongFocus);
        // Typing marks a line edit; any change the user makes marks a spin box.
        if (auto* edit = qobject_cast<QLineEdit*>(field))
            connect(edit, &QLineEdit::textEdited, this, [this, field] { edited(field); });
        else if (auto* box = qobject_cast<QSpinBox*>(field))
            connect(box, &QSpinBox::valueChanged, this, [this, field] { edited(field); });
        else if (auto* box = qobject_cast<QDoubleSpinBox*>(field))
            connect(box, &QDoubleSpinBox::valueChanged, this, [this, field] { edited(field); });
    }
}

PendingEdits::Group* PendingEdits::groupOf(const QObject* field)
{
    for (Group& group : groups)
        if (std::find(group.fields.begin(), group.fields.end(), field) != group.fields.end())
            return &group;
    return nullptr;
}

void PendingEdits::edited(QWidget* field)
{
    Group* group = groupOf(field);
    if (!group)
        return;
    if (std::find(group->marked.begin(), group->marked.end(), field) == group->marked.end()) {
        group->marked.push_back(field);
        field->setStyleSheet(pendingStyle);
    }
    setBold(group->apply, true);
}

void PendingEdits::unmark(QWidget* field)
{
    Group* group = groupOf(field);
    if (!group)
        return;
    const auto at = std::find(group->marked.begin(), group->marked.end(), field);
    if (at == group->marked.end())
        return;
    group->marked.erase(at);
    field->setStyleSheet(QString());
    if (group->marked.empty())
        setBold(group->apply, false);
}

void PendingEdits::unmarkGroup(QPushButton* apply)
{
    for (Group& group : groups)
        if (group.apply == apply)
            for (QWidget* field : std::vector<QWidget*>(group.marked))
                unmark(field);
}

void PendingEdits::restoreAll()
{
    for (Group& group : groups)
        unmarkGroup(group.apply);
    if (restore)
        restore();
}

bool PendingEdits::isPending(const QWidget* field) const
{
    for (const Group& group : groups)
        if (std::find(group.marked.begin(), group.marked.end(), field) != group.marked.end())
            return true;
    return false;
}

bool PendingEdits::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        // The wheel scrolls the panel unless the spin box was chosen first.
        auto* widget = static_cast<QWidget*>(watched);
        if (!qobject_cast<QAbstractSpinBox*>(widget) || widget->hasFocus())
            return false;
        for (QWidget* above = widget->parentWidget(); above; above = above->parentWidget())
            if (auto* area = qobject_cast<QAbstractScrollArea*>(above)) {
                QCoreApplication::sendEvent(area->verticalScrollBar(), event);
                break;
            }
        return true;
    }
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    Group* group = groupOf(watched);
    if (!group)
        return false;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        group->apply->click();
        return true;
    }
    if (key == Qt::Key_Escape) {
        unmarkGroup(group->apply);
        if (restore)
            restore();
        return true;
    }
    return false;
}
