// Exceptions stopped before the event loop.

#include "app/GuardedApplication.h"

#include <QMessageBox>

#include <atomic>
#include <exception>
#include <iostream>

namespace {

std::atomic<int> escaped{0};
std::atomic<bool> boxes{true};

} // namespace

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("Unexpected error");
    }
    ++escaped;
    if (boxes)
        QMessageBox::critical(nullptr, QStringLiteral("Error"), message);
    else
        std::cerr << message.toStdString() << std::endl;
    return false;
}

int GuardedApplication::escapedExceptions()
{
    return escaped.load();
}

void GuardedApplication::setShowBoxes(bool show)
{
    boxes = show;
}
