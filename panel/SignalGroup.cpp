// The signal estimate of the band shown, computed off the GUI thread by a
// JobRunner from the band's samples as the band export writes them.

#include "panel/SignalGroup.h"

#include "analysis/BandSamples.h"
#include "analysis/SignalEstimate.h"
#include "io/Recording.h"
#include "plotdata/RangePass.h"
#include "session/JobRunner.h"
#include "session/ViewSession.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {

constexpr int progressSteps = 1000;
constexpr int progressIntervalMs = 100;
const QString none = QStringLiteral("—");

QString hertz(double value)
{
    return QString::number(value, 'f', std::abs(value) < 100 ? 2 : 1) + QStringLiteral(" Hz");
}

QLabel* valueLabel(const char* name, QWidget* parent)
{
    auto* label = new QLabel(none, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

SignalGroup::SignalGroup(ViewSession* session, QWidget* parent)
    : QGroupBox(QStringLiteral("Signal"), parent), session(session),
      runner(std::make_unique<JobRunner>(this, WorkLane::background)), progressTimer(new QTimer(this))
{
    auto* grid = new QGridLayout(this);
    estimateButton = new QPushButton(QStringLiteral("Estimate"), this);
    estimateButton->setObjectName("estimateButton");
    estimateButton->setToolTip(QStringLiteral("Estimate what the band shown carries over the range shown: symbol "
                                              "rate, modulation, frequency offset, FSK tones (E on the plot)"));
    cancelEstimateButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelEstimateButton->setObjectName("cancelEstimateButton");
    estimateProgressBar = new QProgressBar(this);
    estimateProgressBar->setObjectName("estimateProgressBar");
    estimateProgressBar->setRange(0, progressSteps);
    symbolRateLabel = valueLabel("symbolRateLabel", this);
    modulationLabel = valueLabel("modulationLabel", this);
    frequencyOffsetLabel = valueLabel("frequencyOffsetLabel", this);
    deviationLabel = valueLabel("deviationLabel", this);
    grid->addWidget(estimateButton, 0, 0);
    grid->addWidget(cancelEstimateButton, 1, 0);
    grid->addWidget(estimateProgressBar, 2, 0);
    const std::pair<const char*, QLabel*> rows[] = {{"Symbol rate", symbolRateLabel},
                                                    {"Modulation", modulationLabel},
                                                    {"Frequency offset", frequencyOffsetLabel},
                                                    {"FSK tones", deviationLabel}};
    int row = 0;
    for (const auto& [name, label] : rows) {
        grid->addWidget(new QLabel(QString::fromUtf8(name), this), row, 1);
        grid->addWidget(label, row, 2);
        ++row;
    }
    grid->setColumnStretch(2, 1);
    setRunning(false);
    connect(estimateButton, &QPushButton::clicked, this, &SignalGroup::estimate);
    connect(cancelEstimateButton, &QPushButton::clicked, this, &SignalGroup::cancel);
    connect(progressTimer, &QTimer::timeout, this, [this] {
        estimateProgressBar->setValue(static_cast<int>(std::lround(runner->progress() * progressSteps)));
    });
    // Another recording: the last one's estimate no longer applies.
    connect(session, &ViewSession::recordingLoaded, this, [this] {
        cancel();
        for (QLabel* label : {symbolRateLabel, modulationLabel, frequencyOffsetLabel, deviationLabel})
            label->setText(none);
    });
}

SignalGroup::~SignalGroup()
{
    runner->stop();
}

bool SignalGroup::busy() const
{
    return runner->busy();
}

void SignalGroup::estimate()
{
    if (!session->isLoaded())
        return;
    const ViewSettings& shown = session->shown();
    const Recording& recording = session->recording();
    const double fs = static_cast<double>(recording.sampleRate());
    const StreamRange range = streamRangeOf(fs, recording.sampleCount(), shown.range.start, shown.range.stop);
    BandSamplesRequest request;
    request.sampleRate = fs;
    request.low = shown.band.low;
    request.high = shown.band.high;
    request.first = range.first;
    request.end = range.end;
    const DcOffset offset = session->removedOffset();
    auto source = recording.samples();
    auto result = std::make_shared<SignalEstimate>();
    setRunning(true);
    runner->start(
        [source, request, offset, fs, result](WorkControl& control) {
            const BandSamples band = readBandSamples(*source, request, offset, control);
            *result = estimateSignal(band.y, band.rate, band.centreCorrection, fs);
        },
        [this, result] {
            setRunning(false);
            show(*result);
            if (auto handler = std::exchange(finished, nullptr))
                handler(*result);
        },
        [this](const QString& message) {
            setRunning(false);
            finished = nullptr;
            show(SignalEstimate{});
            modulationLabel->setText(QStringLiteral("No estimate: ") + message);
        });
}

void SignalGroup::setFinishedHandler(std::function<void(const SignalEstimate&)> handler)
{
    finished = std::move(handler);
}

void SignalGroup::cancel()
{
    finished = nullptr;
    runner->cancel();
    setRunning(false);
}

void SignalGroup::setRunning(bool running)
{
    estimateButton->setEnabled(!running);
    cancelEstimateButton->setVisible(running);
    estimateProgressBar->setVisible(running);
    estimateProgressBar->setValue(0);
    if (running)
        progressTimer->start(progressIntervalMs);
    else
        progressTimer->stop();
}

void SignalGroup::show(const SignalEstimate& estimate)
{
    symbolRateLabel->setText(symbolRateText(estimate));
    modulationLabel->setText(modulationText(estimate));
    frequencyOffsetLabel->setText(frequencyOffsetText(estimate));
    deviationLabel->setText(deviationText(estimate));
}

QString SignalGroup::symbolRateText(const SignalEstimate& e)
{
    if (!e.symbolRateHz)
        return QStringLiteral("none");
    QString text = QString::number(*e.symbolRateHz, 'f', 1) + QStringLiteral(" Bd");
    if (e.symbolRateConfidenceDb)
        text += QStringLiteral(" (confidence %1 dB)").arg(*e.symbolRateConfidenceDb, 0, 'f', 1);
    if (e.samplesPerSymbol)
        text += QStringLiteral(", %1 samples per symbol").arg(*e.samplesPerSymbol, 0, 'f', 2);
    return text;
}

QString SignalGroup::modulationText(const SignalEstimate& e)
{
    return QString::fromStdString(modulationName(e.modulation));
}

QString SignalGroup::frequencyOffsetText(const SignalEstimate& e)
{
    return e.frequencyOffsetHz ? hertz(*e.frequencyOffsetHz) + QStringLiteral(" from the band's centre") : none;
}

QString SignalGroup::summary(const SignalEstimate& e)
{
    QString text = modulationText(e) + QStringLiteral(", symbol rate ") + symbolRateText(e);
    if (e.frequencyOffsetHz)
        text += QStringLiteral(", offset ") + hertz(*e.frequencyOffsetHz);
    if (e.fskDeviationHz)
        text += QStringLiteral(", deviation ") + hertz(*e.fskDeviationHz);
    return text;
}

QString SignalGroup::deviationText(const SignalEstimate& e)
{
    if (!e.fskTonesHz || !e.fskDeviationHz)
        return none;
    QStringList tones;
    for (double t : *e.fskTonesHz)
        tones << QString::number(t, 'f', 1);
    return tones.join(QStringLiteral(", ")) + QStringLiteral(" Hz; deviation ") + hertz(*e.fskDeviationHz);
}
