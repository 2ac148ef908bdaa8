// The export dialog.

#include "app/ExportDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const exportFilters = "SigMF pair (*.sigmf-meta);;SigMF archive (*.sigmf);;WAV (*.wav)";

} // namespace

ExportDialog::ExportDialog(const QString& folder, QWidget* parent)
    : QDialog(parent), folder(folder)
{
    setWindowTitle("Export selection");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("The time range shown is written to a new recording; the name's "
                                 "ending chooses the format (.sigmf-meta, .sigmf or .wav)."));
    auto* row = new QHBoxLayout;
    exportPathEdit = new QLineEdit;
    exportPathEdit->setObjectName("exportPathEdit");
    row->addWidget(exportPathEdit);
    auto* browseButton = new QPushButton("Browse...");
    browseButton->setObjectName("exportBrowseButton");
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    row->addWidget(browseButton);
    layout->addLayout(row);
    exportBandCheckBox = new QCheckBox("Only the band shown (mixed to 0 Hz, filtered and decimated, cf32)");
    exportBandCheckBox->setObjectName("exportBandCheckBox");
    layout->addWidget(exportBandCheckBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString ExportDialog::path() const
{
    return exportPathEdit->text().trimmed();
}

bool ExportDialog::onlyBand() const
{
    return exportBandCheckBox->isChecked();
}

void ExportDialog::browse()
{
    const QString chosen =
        QFileDialog::getSaveFileName(this, "Export selection", folder, exportFilters);
    if (!chosen.isEmpty())
        exportPathEdit->setText(chosen);
}
