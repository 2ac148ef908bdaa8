// The walk's actions and checks.

#include "tests/soak/SoakWalk.h"

#include "annotations/AnnotationEditor.h"
#include "app/GuardedApplication.h"
#include "app/MainWindow.h"
#include "io/Recording.h"
#include "panel/ControlPanel.h"
#include "panel/RangeNavigation.h"
#include "session/ViewSession.h"
#include "views/AmplitudeView.h"
#include "views/CustomPlot.h"
#include "views/PowerView.h"
#include "views/SpectrogramView.h"
#include "views/SpectrumView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

namespace {

// Work still running after this long is cancelled (an overlap of 100 % with a
// large FFT takes minutes); a cancel must end it within the second limit.
constexpr qint64 patienceMs = 20000;
constexpr qint64 stuckMs = 10000;

const char* const lineFields[] = {"startTimeEdit",     "stopTimeEdit",       "startFrequencyEdit",
                                  "stopFrequencyEdit", "rangeEdit",          "referenceLevelEdit",
                                  "averageWindowEdit", "fullScaleValueEdit", "fullScaleVoltageEdit",
                                  "inputImpedanceEdit", "cursorDivisionsEdit"};
const char* const hostileTexts[] = {"", "abc", "nan", "inf", "-inf", "1e999", "-1e999", "0", "-0", "2,5",
                                    " 1 ", "1e-320", "99999999999999999999", "-5", "0.5", "1", "3"};

bool near(double a, double b)
{
    return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
}

} // namespace

SoakWalk::SoakWalk(const QString& folder, uint64_t seed)
    : folder(folder), files(writeSoakFiles(folder)), random(seed),
      window(std::make_unique<MainWindow>(QStringList{"norvale"}))
{
    ControlPanel* panel = window->panel();
    panel->setMessageSink([this](QMessageBox::Icon, const QString&, const QString&) { ++shownMessages; });
    panel->setRecordingChooser([](const QStringList&) { return std::optional<int>(0); });
    AnnotationEditor* editor = window->annotations();
    editor->setMessageSink([this](QMessageBox::Icon, const QString&, const QString&) { ++shownMessages; });
    editor->setTextAsker([](const AnnotationEditor::Texts&) {
        return std::optional<AnnotationEditor::Texts>(AnnotationEditor::Texts{"soak", "walked"});
    });
    editor->setQuestion([this](const QString&, const QString&) {
        const QMessageBox::StandardButton answers[] = {QMessageBox::Save, QMessageBox::Discard, QMessageBox::Cancel};
        return answers[pick(3)];
    });
    editor->setDestinationChooser([this](const QString&) {
        return QDir(this->folder).filePath(QStringLiteral("copy%1.sigmf-meta").arg(pick(3)));
    });
    GuardedApplication::setShowBoxes(false);
    window->resize(1400, 900);
    window->show();
    QApplication::processEvents();
}

SoakWalk::~SoakWalk()
{
    window.reset();
}

int SoakWalk::pick(int n)
{
    return static_cast<int>(random() % static_cast<uint64_t>(n));
}

template <typename T>
T* SoakWalk::find(const char* name) const
{
    return window->findChild<T*>(name);
}

QString SoakWalk::step()
{
    const int kind = pick(100);
    act(kind);
    // Now and then the work is cancelled before it ends, at a random moment.
    if (pick(8) == 0) {
        QElapsedTimer wait;
        wait.start();
        const int ms = pick(40);
        while (wait.elapsed() < ms)
            QApplication::processEvents(QEventLoop::AllEvents, 2);
        actions << QStringLiteral("cancel after %1 ms").arg(ms);
        window->panel()->cancelWork();
    }
    if (!settle(patienceMs)) {
        actions << QStringLiteral("cancel after %1 s of work").arg(patienceMs / 1000);
        window->panel()->cancelWork();
        if (!settle(stuckMs))
            return QStringLiteral("work still running %1 s after a cancel").arg(stuckMs / 1000);
    }
    return violations();
}

void SoakWalk::act(int kind)
{
    if (kind < 10)
        loadSome();
    else if (kind < 30)
        typeInto();
    else if (kind < 42)
        pressApply();
    else if (kind < 55)
        toggleSwitch();
    else if (kind < 67)
        turnWheel();
    else if (kind < 77)
        drag();
    else if (kind < 85)
        pressKey();
    else if (kind < 92)
        annotate();
    else if (kind < 96)
        exportSome();
    else
        resizeWindow();
}

void SoakWalk::loadSome()
{
    const SoakFile& file = files[pick(static_cast<int>(files.size()))];
    actions << "load " + QFileInfo(file.path).fileName() + QStringLiteral(" as %1").arg(file.format);
    window->panel()->openWith(file.path, file.format, file.datatype, file.rate);
}

void SoakWalk::typeInto()
{
    const char* name = lineFields[pick(std::size(lineFields))];
    auto* field = find<QLineEdit>(name);
    QString text;
    if (pick(2) == 0) {
        text = QString::fromLatin1(hostileTexts[pick(std::size(hostileTexts))]);
    } else {
        // A number around what the field holds.
        const double value = field->text().toDouble();
        text = QString::number(value * (0.5 + double(pick(1000)) / 1000.0) + pick(3) - 1, 'g', 8);
    }
    actions << QStringLiteral("type \"%1\" into %2").arg(text, name);
    field->setFocus();
    field->selectAll();
    QTest::keyClicks(field, text);
    const int ending = pick(4);
    if (ending == 0) {
        actions << "Return";
        QTest::keyClick(field, Qt::Key_Return);
    } else if (ending == 1) {
        actions << "Escape";
        QTest::keyClick(field, Qt::Key_Escape);
    }
}

void SoakWalk::pressApply()
{
    const char* buttons[] = {"timeRangeApplyButton", "spectrumApplyButton", "powerApplyButton"};
    if (pick(3) == 0) {
        const int exponent = 1 + pick(18);
        actions << QStringLiteral("FFT exponent %1").arg(exponent);
        find<QSpinBox>("fftExponentSpinBox")->setValue(exponent);
    }
    if (pick(4) == 0) {
        const double overlap = pick(5) == 0 ? 100.0 : double(pick(96));
        actions << QStringLiteral("overlap %1").arg(overlap);
        find<QDoubleSpinBox>("overlapSpinBox")->setValue(overlap);
    }
    const char* button = buttons[pick(3)];
    actions << QStringLiteral("click %1").arg(button);
    find<QPushButton>(button)->click();
}

void SoakWalk::toggleSwitch()
{
    const char* boxes[] = {"showPowerViewCheckBox", "showAmplitudeViewCheckBox", "removeDcCheckBox",
                           "showAnnotationsCheckBox", "absoluteFrequencyCheckBox", "mirrorCheckBox",
                           "bandPowerCheckBox", "showTraceViewCheckBox"};
    const int which = pick(std::size(boxes) + 4);
    if (which < static_cast<int>(std::size(boxes))) {
        auto* box = find<QCheckBox>(boxes[which]);
        actions << QStringLiteral("toggle %1").arg(boxes[which]);
        box->click();
    } else if (which == static_cast<int>(std::size(boxes))) {
        const int index = pick(4);
        actions << QStringLiteral("colour map %1").arg(index);
        find<QComboBox>("colorMapComboBox")->setCurrentIndex(index);
    } else if (which == static_cast<int>(std::size(boxes)) + 1) {
        const int index = pick(2);
        actions << QStringLiteral("unit %1").arg(index);
        find<QComboBox>("powerUnitComboBox")->setCurrentIndex(index);
    } else if (which == static_cast<int>(std::size(boxes)) + 2) {
        const int index = pick(3);
        actions << QStringLiteral("trace kind %1").arg(index);
        find<QComboBox>("traceKindComboBox")->setCurrentIndex(index);
    } else {
        const int tab = pick(2);
        actions << QStringLiteral("tab %1").arg(tab);
        find<QTabWidget>("tabWidget")->setCurrentIndex(tab);
    }
}

void SoakWalk::turnWheel()
{
    QWidget* plots[] = {find<QWidget>("spectrogramView"), find<PowerView>("powerView")->plotWidget(),
                        find<SpectrumView>("spectrumView")->plotWidget()};
    QWidget* plot = plots[pick(3)];
    const QPoint at(pick(std::max(1, plot->width())), pick(std::max(1, plot->height())));
    const int deltas[] = {120, -120, 240, -360, 30, -15};
    const int delta = deltas[pick(std::size(deltas))];
    const Qt::KeyboardModifiers keys = pick(3) == 0 ? Qt::ControlModifier : Qt::NoModifier;
    actions << QStringLiteral("wheel %1 on %2 at %3,%4%5")
                   .arg(delta)
                   .arg(plot->objectName())
                   .arg(at.x())
                   .arg(at.y())
                   .arg(keys ? " with Ctrl" : "");
    QWheelEvent event(at, plot->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, keys,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(plot, &event);
}

void SoakWalk::drag()
{
    QWidget* plots[] = {find<QWidget>("spectrogramView"), find<PowerView>("powerView")->plotWidget(),
                        find<SpectrumView>("spectrumView")->plotWidget()};
    QWidget* plot = plots[pick(3)];
    auto somewhere = [&] { return QPoint(pick(std::max(1, plot->width())), pick(std::max(1, plot->height()))); };
    const QPoint from = somewhere();
    const QPoint to = pick(5) == 0 ? from : somewhere();
    const Qt::MouseButton buttons[] = {Qt::LeftButton, Qt::LeftButton, Qt::MiddleButton, Qt::RightButton};
    const Qt::MouseButton button = buttons[pick(std::size(buttons))];
    const Qt::KeyboardModifiers keys[] = {Qt::NoModifier, Qt::ShiftModifier, Qt::ControlModifier};
    const Qt::KeyboardModifiers key = keys[pick(std::size(keys))];
    actions << QStringLiteral("drag %1 %2,%3 to %4,%5 button %6 keys %7")
                   .arg(plot->objectName())
                   .arg(from.x())
                   .arg(from.y())
                   .arg(to.x())
                   .arg(to.y())
                   .arg(int(button))
                   .arg(int(key));
    QTest::mousePress(plot, button, key, from);
    QTest::mouseMove(plot, (from + to) / 2);
    QTest::mouseMove(plot, to);
    QTest::mouseRelease(plot, button, key, to);
}

void SoakWalk::pressKey()
{
    struct Key
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{Qt::Key_Backspace, {}}, {Qt::Key_Left, Qt::AltModifier}, {Qt::Key_Right, Qt::AltModifier},
                {Qt::Key_Home, {}},      {Qt::Key_Escape, {}},            {Qt::Key_Home, Qt::ControlModifier}};
    const Key& chosen = keys[pick(std::size(keys))];
    actions << QStringLiteral("key %1 modifiers %2").arg(int(chosen.key)).arg(int(chosen.modifiers));
    if (chosen.modifiers & Qt::ControlModifier)
        window->panel()->showWholeRecording();
    else
        QTest::keyClick(find<QWidget>("spectrogramView"), chosen.key, chosen.modifiers);
}

void SoakWalk::annotate()
{
    AnnotationEditor* editor = window->annotations();
    switch (pick(6)) {
    case 0:
        actions << "add annotation";
        editor->addFromView();
        break;
    case 1:
        actions << "undo";
        editor->undo();
        break;
    case 2:
        actions << "redo";
        editor->redo();
        break;
    case 3:
        actions << "next annotation";
        editor->selectNext();
        break;
    case 4:
        actions << "delete annotations";
        editor->deleteSelected();
        break;
    default:
        actions << "save annotations";
        editor->save();
        break;
    }
}

void SoakWalk::exportSome()
{
    const char* endings[] = {".sigmf-meta", ".sigmf", ".wav"};
    const QString path = QDir(folder).filePath(QStringLiteral("export%1%2").arg(exports++).arg(endings[pick(3)]));
    const bool band = pick(2) == 0;
    actions << QStringLiteral("export %1%2").arg(QFileInfo(path).fileName(), band ? " band" : "");
    window->panel()->exportSelection(path, band);
}

void SoakWalk::resizeWindow()
{
    const QSize size(900 + pick(800), 600 + pick(500));
    actions << QStringLiteral("resize %1x%2").arg(size.width()).arg(size.height());
    window->resize(size);
}

bool SoakWalk::settle(qint64 limitMs)
{
    // Idle, and still idle once the events its end posted are handled.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (window->panel()->busy())
            continue;
        QApplication::processEvents();
        if (!window->panel()->busy())
            return true;
    }
    return false;
}

QString SoakWalk::violations() const
{
    QStringList wrong;
    if (GuardedApplication::escapedExceptions() > 0)
        wrong << QStringLiteral("%1 exceptions reached the event loop").arg(GuardedApplication::escapedExceptions());
    const QString state = find<QLabel>("statusLabel")->text();
    if (state != "Ready" && state != "Cancelled")
        wrong << "idle state says " + state;
    if (find<QProgressBar>("progressBar")->isVisible())
        wrong << "the progress bar shows while idle";
    const ViewSession* session = window->session();
    const ViewSettings& shown = session->shown();
    if (!(shown == session->requested()))
        wrong << "idle with settings asked for that are not shown";
    if (!session->recording().isLoaded())
        return wrong.join("; ");
    // Every field not marked as an edit says what is shown.
    auto fieldSays = [&](const char* name, double value) {
        auto* field = find<QLineEdit>(name);
        if (!field->styleSheet().isEmpty())
            return;
        bool ok = false;
        const double read = field->text().toDouble(&ok);
        const bool stopAtEnd = QString(name) == "stopTimeEdit" && value == session->duration()
                               && (session->duration() - read) / session->duration() < 1e-5;
        if (!ok || !(near(read, value) || stopAtEnd))
            wrong << QStringLiteral("%1 says \"%2\", the views show %3").arg(name, field->text()).arg(value, 0, 'g', 17);
    };
    fieldSays("startTimeEdit", shown.range.start);
    fieldSays("stopTimeEdit", shown.range.stop);
    fieldSays("startFrequencyEdit", shown.band.low);
    fieldSays("stopFrequencyEdit", shown.band.high);
    fieldSays("rangeEdit", shown.spectrogram.range);
    fieldSays("averageWindowEdit", shown.power.window);
    fieldSays("fullScaleValueEdit", shown.power.fullScaleValue);
    fieldSays("fullScaleVoltageEdit", shown.power.fullScaleVoltage);
    fieldSays("inputImpedanceEdit", shown.power.inputImpedance);
    auto* exponent = find<QSpinBox>("fftExponentSpinBox");
    if (exponent->styleSheet().isEmpty() && exponent->value() != shown.spectrogram.exponent)
        wrong << QStringLiteral("FFT exponent says %1, the views show %2").arg(exponent->value()).arg(shown.spectrogram.exponent);
    const std::pair<const char*, bool> boxes[] = {
        {"showPowerViewCheckBox", shown.display.showPower},
        {"showAmplitudeViewCheckBox", shown.display.showAmplitude},
        {"removeDcCheckBox", shown.removeDc},
        {"showAnnotationsCheckBox", shown.display.showAnnotations},
        {"absoluteFrequencyCheckBox", shown.display.absoluteFrequency},
        {"mirrorCheckBox", shown.spectrogram.mirror},
        {"bandPowerCheckBox", shown.bandPower},
        {"showTraceViewCheckBox", shown.display.showTrace},
    };
    for (const auto& [name, on] : boxes)
        if (find<QCheckBox>(name)->isChecked() != on)
            wrong << QStringLiteral("%1 is %2").arg(name, on ? "unticked" : "ticked");
    // The views show the same.
    const auto* spectrogram = find<SpectrogramView>("spectrogramView");
    if (spectrogram->startTime() != shown.range.start || spectrogram->stopTime() != shown.range.stop)
        wrong << QStringLiteral("the spectrogram shows %1 to %2 s").arg(spectrogram->startTime()).arg(spectrogram->stopTime());
    if (spectrogram->fftSize() != shown.fftSize())
        wrong << QStringLiteral("the spectrogram's FFT size is %1").arg(spectrogram->fftSize());
    if (find<PowerView>("powerView")->isHidden() == shown.display.showPower)
        wrong << "the power view's visibility";
    if (find<AmplitudeView>("amplitudeView")->isHidden() == shown.display.showAmplitude)
        wrong << "the amplitude view's visibility";
    return wrong.join("; ");
}
