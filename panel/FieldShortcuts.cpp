// Window keys passed through the panel's fields.

#include "panel/FieldShortcuts.h"

#include <QAbstractSpinBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWidget>

namespace {

bool windowKey(const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    switch (key.key()) {
    case Qt::Key_E:
    case Qt::Key_Home:
        return modifiers == Qt::ControlModifier;
    case Qt::Key_P:
        return modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier;
    default:
        return false;
    }
}

} // namespace

FieldShortcuts::FieldShortcuts(QWidget* fields) : QObject(fields)
{
    for (QLineEdit* field : fields->findChildren<QLineEdit*>())
        field->installEventFilter(this);
    for (QAbstractSpinBox* box : fields->findChildren<QAbstractSpinBox*>())
        box->installEventFilter(this);
}

bool FieldShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    // A shortcut override left unaccepted lets the window's shortcut have the key.
    if (event->type() == QEvent::ShortcutOverride && windowKey(*static_cast<QKeyEvent*>(event))) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
