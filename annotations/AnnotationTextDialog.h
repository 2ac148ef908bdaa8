#pragma once
// The small editor a new annotation's box opens: its label and comment, OK or Cancel.

#include <QDialog>
#include <QString>

class QLineEdit;

class AnnotationTextDialog : public QDialog
{
public:
    AnnotationTextDialog(const QString& label, const QString& comment, QWidget* parent = nullptr);

    QString label() const;
    QString comment() const;

private:
    QLineEdit* labelEdit;
    QLineEdit* commentEdit;
};
