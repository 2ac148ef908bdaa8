#pragma once
// The "Export selection" dialog: where to write (its ending chooses SigMF pair,
// SigMF archive or WAV) and whether only the band shown is kept. OK checks the
// name first: a refusal, or a "No" to replacing a file there, keeps the dialog
// open with what was typed.

#include <QDialog>
#include <QString>

class QCheckBox;
class QLineEdit;

class ExportDialog : public QDialog
{
public:
    // `folder`: where the file dialog of "Browse..." starts; the path and the
    // band choice the fields start with.
    ExportDialog(const QString& folder, const QString& path, bool onlyBand, QWidget* parent = nullptr);

    QString path() const;
    bool onlyBand() const;

    void done(int result) override;

private:
    void browse();
    // Whether the name can be written: a known ending, and files already there
    // replaced only once the user agreed.
    bool acceptable();

    QString folder;
    QLineEdit* exportPathEdit;
    QCheckBox* exportBandCheckBox;
    // The name Browse's own dialog asked about, so that OK does not ask again.
    QString confirmed;
};
