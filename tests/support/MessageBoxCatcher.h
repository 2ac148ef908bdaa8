#pragma once
// Test helper: runs a call, and closes every modal message box it opens after
// recording what the box showed.

#include <QMessageBox>
#include <QString>

#include <functional>
#include <vector>

struct CapturedMessageBox
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QWidget* parent = nullptr;
};

// Runs call(); each message box that appears while it runs is recorded (in order
// of appearance) and closed, so that call() can return.
std::vector<CapturedMessageBox> captureMessageBoxes(const std::function<void()>& call);
// The same, each box answered by clicking its button `answer` (closed as above
// when it has none).
std::vector<CapturedMessageBox> captureMessageBoxes(const std::function<void()>& call,
                                                    QMessageBox::StandardButton answer);

// Installs a guard that closes, and reports as a test failure, any message box
// that appears outside captureMessageBoxes, so that a test never hangs on one.
void installUnexpectedMessageBoxGuard();
