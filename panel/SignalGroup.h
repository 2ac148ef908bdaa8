#pragma once
// The "Signal" group under the measurements on the Frequency tab: what the
// band shown carries over the range shown (symbol rate with its confidence,
// modulation, frequency offset, FSK tones and deviation), estimated in the
// background on "Estimate" (key E on the tab's plot) with progress and Cancel.

#include <QGroupBox>
#include <QString>

#include <functional>
#include <memory>

class JobRunner;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class ViewSession;
struct SignalEstimate;

class SignalGroup : public QGroupBox
{
public:
    // `session` outlives the group.
    explicit SignalGroup(ViewSession* session, QWidget* parent = nullptr);
    ~SignalGroup() override;

    // Estimates the band and range shown (the button, the key); Cancel stops it.
    void estimate();
    void cancel();
    bool busy() const;
    // Called once with the next estimate that finishes (not for one cancelled).
    void setFinishedHandler(std::function<void(const SignalEstimate&)> handler);

    // The labels' texts for an estimate (none: "—").
    static QString symbolRateText(const SignalEstimate& estimate);
    static QString modulationText(const SignalEstimate& estimate);
    static QString frequencyOffsetText(const SignalEstimate& estimate);
    static QString deviationText(const SignalEstimate& estimate);
    // All of it on one line, as an annotation's comment holds it.
    static QString summary(const SignalEstimate& estimate);

    QPushButton* estimateButton;
    QPushButton* cancelEstimateButton;
    QProgressBar* estimateProgressBar;
    QLabel* symbolRateLabel;
    QLabel* modulationLabel;
    QLabel* frequencyOffsetLabel;
    QLabel* deviationLabel;

private:
    void show(const SignalEstimate& estimate);
    void setRunning(bool running);

    ViewSession* session;
    std::unique_ptr<JobRunner> runner;
    QTimer* progressTimer;
    std::function<void(const SignalEstimate&)> finished;
};
