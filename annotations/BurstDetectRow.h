#pragma once
// The row above the annotation table that finds bursts: "Detect bursts" (D),
// the threshold in dB over the noise floor, the shortest burst in seconds, a
// progress bar while it runs (the button then reads "Cancel") and a line
// saying what the last run found. Building wires nothing; BurstFinder does.

#include <QWidget>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class BurstDetectRow : public QWidget
{
public:
    explicit BurstDetectRow(QWidget* parent = nullptr);

    QPushButton* detectButton;
    QLineEdit* detectThresholdEdit;
    QLineEdit* detectMinDurationEdit;
    QProgressBar* detectProgress;
    QLabel* detectStatusLabel;
};
