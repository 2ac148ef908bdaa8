// One row of widgets: the button, two fields, progress and a status line.

#include "annotations/BurstDetectRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {

constexpr int buttonWidth = 110;
constexpr int fieldWidth = 60;
constexpr int progressWidth = 90;

template <typename Widget>
Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(name);
    return widget;
}

} // namespace

BurstDetectRow::BurstDetectRow(QWidget* parent) : QWidget(parent)
{
    detectButton = named(new QPushButton("Detect bursts"), "detectButton");
    detectButton->setToolTip("Find the bursts of the whole recording and annotate them, labelled \"burst\" (D)");
    detectButton->setFixedWidth(buttonWidth);
    detectThresholdEdit = named(new QLineEdit("6"), "detectThresholdEdit");
    detectThresholdEdit->setToolTip("How far a burst must stand above the noise floor, dB");
    detectThresholdEdit->setFixedWidth(fieldWidth);
    detectMinDurationEdit = named(new QLineEdit, "detectMinDurationEdit");
    detectMinDurationEdit->setPlaceholderText("one FFT");
    detectMinDurationEdit->setToolTip("The shortest burst annotated, seconds; empty for one FFT of the detector "
                                      "(256 samples)");
    detectMinDurationEdit->setFixedWidth(fieldWidth);
    detectProgress = named(new QProgressBar, "detectProgress");
    detectProgress->setRange(0, 100);
    detectProgress->setFixedWidth(progressWidth);
    // Its place is kept while hidden, so that nothing in the row moves.
    QSizePolicy keep = detectProgress->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    detectProgress->setSizePolicy(keep);
    detectProgress->hide();
    detectStatusLabel = named(new QLabel, "detectStatusLabel");

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(detectButton);
    layout->addWidget(new QLabel("Threshold (dB)"));
    layout->addWidget(detectThresholdEdit);
    layout->addWidget(new QLabel("Min. duration (s)"));
    layout->addWidget(detectMinDurationEdit);
    layout->addWidget(detectProgress);
    layout->addWidget(detectStatusLabel, 1);
}
