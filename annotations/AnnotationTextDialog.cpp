// Two fields and the dialog's buttons.

#include "annotations/AnnotationTextDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace {

constexpr int fieldWidth = 320;

} // namespace

AnnotationTextDialog::AnnotationTextDialog(const QString& label, const QString& comment, QWidget* parent)
    : QDialog(parent), labelEdit(new QLineEdit(label)), commentEdit(new QLineEdit(comment))
{
    setObjectName("annotationTextDialog");
    setWindowTitle("Annotation");
    labelEdit->setObjectName("labelEdit");
    labelEdit->setMinimumWidth(fieldWidth);
    labelEdit->setToolTip("Short name drawn in the box");
    commentEdit->setObjectName("commentEdit");
    commentEdit->setToolTip("Free text: what the annotation marks");
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName("buttons");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QFormLayout(this);
    layout->addRow("Label", labelEdit);
    layout->addRow("Comment", commentEdit);
    layout->addRow(buttons);
}

QString AnnotationTextDialog::label() const
{
    return labelEdit->text();
}

QString AnnotationTextDialog::comment() const
{
    return commentEdit->text();
}
