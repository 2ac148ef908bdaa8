// The export dialog.

#include "app/ExportDialog.h"

#include "io/SigmfNames.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const exportFilters = "SigMF pair (*.sigmf-meta);;SigMF archive (*.sigmf);;WAV (*.wav)";
const QString title = QStringLiteral("Export selection");

} // namespace

ExportDialog::ExportDialog(const QString& folder, const QString& path, bool onlyBand, QWidget* parent)
    : QDialog(parent), folder(folder)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("The time range shown is written to a new recording; the name's "
                                 "ending chooses the format (.sigmf-meta, .sigmf or .wav)."));
    auto* row = new QHBoxLayout;
    exportPathEdit = new QLineEdit(path);
    exportPathEdit->setObjectName("exportPathEdit");
    row->addWidget(exportPathEdit);
    auto* browseButton = new QPushButton("Browse...");
    browseButton->setObjectName("exportBrowseButton");
    connect(browseButton, &QPushButton::clicked, this, &ExportDialog::browse);
    row->addWidget(browseButton);
    layout->addLayout(row);
    exportBandCheckBox = new QCheckBox("Only the band shown (mixed to 0 Hz, filtered and decimated, cf32)");
    exportBandCheckBox->setObjectName("exportBandCheckBox");
    exportBandCheckBox->setChecked(onlyBand);
    layout->addWidget(exportBandCheckBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->setObjectName("exportButtons");
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

void ExportDialog::done(int result)
{
    if (result == QDialog::Accepted && !acceptable())
        return;
    QDialog::done(result);
}

bool ExportDialog::acceptable()
{
    const QString name = path();
    const std::string file = name.toStdString();
    const bool pair = endsWithAnyCase(file, sigmfMetaEnding);
    if (!pair && !endsWithAnyCase(file, sigmfArchiveEnding) && !endsWithAnyCase(file, ".wav")) {
        QMessageBox::warning(this, QStringLiteral("Input Error"),
                             QStringLiteral("Invalid file name: it must end in .sigmf-meta, .sigmf or .wav"));
        return false;
    }
    QStringList written{name};
    if (pair)
        written << QString::fromStdString(sigmfDataPath(file));
    for (const QString& target : written) {
        if (!QFileInfo::exists(target) || target == confirmed)
            continue;
        const auto answer = QMessageBox::question(this, title, QStringLiteral("%1 already exists.\nReplace it?").arg(target),
                                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return false;
    }
    return true;
}

void ExportDialog::browse()
{
    const QString chosen =
        QFileDialog::getSaveFileName(this, title, path().isEmpty() ? folder : path(), exportFilters);
    if (!chosen.isEmpty()) {
        exportPathEdit->setText(chosen);
        confirmed = chosen;
    }
}
