#pragma once
// The control panel's form: its six groups of captioned rows, built top to
// bottom, every widget named (objectName) after its member. Building wires
// nothing; the panel connects what the widgets do.

#include "dsp/BlockStream.h"

#include <QString>

#include <cstdint>
#include <optional>

class PositiveLineEdit;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QWidget;
class RealLineEdit;
class Recording;
class StrictPositiveLineEdit;

// The values the form starts with.
struct FormDefaults
{
    double overlapPercent = 80;
    double rangeDb = 40;
    uint32_t averageWindow = 100;
    double fullScaleValue = 1;
    double fullScaleVoltage = 1;
    double inputImpedance = 1;
};

struct PanelWidgets
{
    // Open
    QComboBox* formatComboBox;
    QLineEdit* binaryFormatEdit;
    StrictPositiveLineEdit* sampleRateEdit;
    QPushButton* openButton;
    // File informations
    QLabel* fileNameLabel;
    QLabel* statusLabel;
    QLabel* fileLengthLabel;
    QLabel* fileDurationLabel;
    QLabel* sampleRateLabel;
    // Shown only when the file says something, with their captions.
    QLabel* centreFrequencyLabel;
    QLabel* centreFrequencyCaption;
    QLabel* startTimeLabel;
    QLabel* startTimeCaption;
    // The number of SigMF captures ("2 captures"), beside the centre frequency.
    QLabel* captureCountLabel;
    QLabel* fileNoteLabel;
    QLabel* dcOffsetLabel;
    QProgressBar* progressBar;
    QPushButton* cancelButton;
    // Time range
    PositiveLineEdit* startTimeEdit;
    StrictPositiveLineEdit* stopTimeEdit;
    QPushButton* timeRangeApplyButton;
    // Spectrogram and Spectrum
    QSpinBox* fftExponentSpinBox;
    QLabel* fftSizeLabel;
    // Beside the overlap: the hop it makes, and whether views of long ranges will be slow.
    QLabel* hopLabel;
    RealLineEdit* startFrequencyEdit;
    RealLineEdit* stopFrequencyEdit;
    QDoubleSpinBox* overlapSpinBox;
    StrictPositiveLineEdit* rangeEdit;
    QCheckBox* mirrorCheckBox;
    QComboBox* colorMapComboBox;
    // Top of the colour scale: "Auto" (empty) or a level in dB/Hz.
    QLineEdit* referenceLevelEdit;
    QPushButton* spectrumApplyButton;
    // Power
    StrictPositiveLineEdit* averageWindowEdit;
    StrictPositiveLineEdit* fullScaleValueEdit;
    StrictPositiveLineEdit* fullScaleVoltageEdit;
    StrictPositiveLineEdit* inputImpedanceEdit;
    // "dBm" (calibrated) or "dBFS" (relative to full scale).
    QComboBox* powerUnitComboBox;
    // The power of the band shown only.
    QCheckBox* bandPowerCheckBox;
    QPushButton* powerApplyButton;
    // Display
    QCheckBox* showPowerViewCheckBox;
    QCheckBox* showAmplitudeViewCheckBox;
    QCheckBox* removeDcCheckBox;
    QCheckBox* showAnnotationsCheckBox;
    QCheckBox* absoluteFrequencyCheckBox;
    StrictPositiveLineEdit* cursorDivisionsEdit;
    // The trace view shown; what it traces, its squelch (empty: off) and
    // Play / Stop of the band shown lie on the view (null without one).
    QCheckBox* showTraceViewCheckBox;
    QComboBox* traceKindComboBox;
    QLineEdit* squelchEdit;
    QPushButton* playButton;
};

// What the form keeps from one start to the next.
struct PanelSettings
{
    int fftExponent = 8;
    double overlapPercent = 80;
    double rangeDb = 40;
    bool showPowerView = true;
    bool showAmplitudeView = false;
    // Index of the colour map box: viridis, inferno, magma, grey.
    int colorMap = 0;
    // Where the Open dialog starts; empty for the working folder.
    QString lastFolder;
};

// Builds the groups into `panel` (which gets the form's layout) and returns its widgets.
PanelWidgets buildPanelForm(QWidget* panel, const FormDefaults& defaults);


// The status label: "Processing..." in cyan, or "Ready" (or the idle text given,
// "Cancelled") in green, repainted at once.
void showStatus(const PanelWidgets& form, bool processing, const QString& idleText = QStringLiteral("Ready"),
                const QString& busyText = QStringLiteral("Processing..."));
// The loaded recording's name, length, duration, rate, and what its file says
// (centre frequency, start time, captures, a note) in "File informations".
void showFileInformation(const PanelWidgets& form, const QString& fileName,
                         const Recording& recording, double duration);
// "Removed (I 0.1, Q -0.2)" or "Not removed"; nothing without a recording.
// The hop the exponent and overlap fields make ("hop 51"), marked slow where the
// views compute 64 or more times the FFTs of no overlap.
void showHop(const PanelWidgets& form);

void showDcOffsetText(const PanelWidgets& form, const std::optional<DcOffset>& offset);
