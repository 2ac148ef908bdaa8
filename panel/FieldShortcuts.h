#pragma once
// The window's keys that work wherever the focus is, passed through the panel's
// text fields, which would otherwise take them as editing keys (Ctrl+Home) or
// text (P): Ctrl+E, Ctrl+Home, P and Shift+P. No field's text holds a "p".

#include <QObject>

class QWidget;

class FieldShortcuts : public QObject
{
public:
    // Watches every text field (and spin box) inside `fields`.
    explicit FieldShortcuts(QWidget* fields);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* panel;
};
