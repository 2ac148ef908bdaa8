// Window keys passed through the panel's fields.

#include "panel/FieldShortcuts.h"

#include <QAbstractSpinBox>
#include <QCoreApplication>
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

FieldShortcuts::FieldShortcuts(QWidget* fields) : QObject(fields), panel(fields)
{
    // Watched at the application, so that fields added later are covered too.
    QCoreApplication::instance()->installEventFilter(this);
}

bool FieldShortcuts::eventFilter(QObject* watched, QEvent* event)
{
    // A shortcut override left unaccepted lets the window's shortcut have the key.
    if (event->type() == QEvent::ShortcutOverride && windowKey(*static_cast<QKeyEvent*>(event))) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool field = qobject_cast<QLineEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched);
        if (widget && field && panel->isAncestorOf(widget)) {
            event->ignore();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
