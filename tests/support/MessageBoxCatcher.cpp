// Closing message boxes in tests and recording what they said.

#include "tests/support/MessageBoxCatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

int activeCaptures = 0;

QMessageBox* visibleMessageBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

} // namespace

std::vector<CapturedMessageBox> captureMessageBoxes(const std::function<void()>& call)
{
    return captureMessageBoxes(call, QMessageBox::NoButton);
}

std::vector<CapturedMessageBox> captureMessageBoxes(const std::function<void()>& call,
                                                    QMessageBox::StandardButton answer)
{
    std::vector<CapturedMessageBox> boxes;
    QTimer timer;
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [&boxes, answer] {
        if (QMessageBox* box = visibleMessageBox()) {
            boxes.push_back({box->icon(), box->windowTitle(), box->text(), box->parentWidget()});
            if (QAbstractButton* button = answer == QMessageBox::NoButton ? nullptr : box->button(answer))
                button->click();
            else
                box->done(0);
        }
    });
    ++activeCaptures;
    timer.start();
    try {
        call();
    } catch (...) {
        --activeCaptures;
        throw;
    }
    timer.stop();
    --activeCaptures;
    return boxes;
}

void installUnexpectedMessageBoxGuard()
{
    auto* guard = new QTimer(qApp);
    guard->setInterval(500);
    QObject::connect(guard, &QTimer::timeout, [] {
        if (activeCaptures > 0)
            return;
        if (QMessageBox* box = visibleMessageBox()) {
            ADD_FAILURE() << "Unexpected message box \"" << box->windowTitle().toStdString()
                          << "\": " << box->text().toStdString();
            box->done(0);
        }
    });
    guard->start();
}
