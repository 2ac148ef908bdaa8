#pragma once
// The "Export selection" dialog: where to write (its ending chooses SigMF pair,
// SigMF archive or WAV) and whether only the band shown is kept.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

class ExportDialog : public QDialog
{
public:
    // `folder`: where the file dialog of "Browse..." starts.
    ExportDialog(const QString& folder, QWidget* parent = nullptr);

    QString path() const;
    bool onlyBand() const;

private:
    void browse();

    QString folder;
    QLineEdit* exportPathEdit;
    QCheckBox* exportBandCheckBox;
};
