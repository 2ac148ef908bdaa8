#pragma once
// Test helper: a real MainWindow (no command-line file) whose panel is driven
// through its widgets, found by object name, with a scratch directory for files.

#include "app/MainWindow.h"
#include "panel/ControlPanel.h"
#include "tests/panel/RecordingFiles.h"
#include "tests/support/MessageBoxCatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Lets the event loop run until the panel's background work is done and shown.
inline void waitForPanel(ControlPanel* panel)
{
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (panel->busy() && clock.elapsed() < 120000);
    QApplication::processEvents();
}

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

class PanelFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        window = std::make_unique<MainWindow>(QStringList{"norvale"});
        panel = static_cast<ControlPanel*>(window->findChild<QWidget*>("controlPanel"));
        ASSERT_NE(panel, nullptr);
    }

    template <typename T>
    T* widget(const char* name) const
    {
        T* found = window->findChild<T*>(name);
        if (!found)
            ADD_FAILURE() << "no widget " << name;
        return found;
    }

    QString text(const char* name) const
    {
        if (auto* label = window->findChild<QLabel*>(name))
            return label->text();
        return widget<QLineEdit>(name)->text();
    }
    void setText(const char* name, const QString& value) { widget<QLineEdit>(name)->setText(value); }

    // Clicks a button, returning the message boxes it opened.
    std::vector<CapturedMessageBox> click(const char* name)
    {
        auto* button = widget<QAbstractButton>(name);
        return captureMessageBoxes([this, button] {
            button->click();
            waitForPanel(panel);
        });
    }

    std::vector<CapturedMessageBox> load(const QString& path, FileFormatChoice format = 0)
    {
        return captureMessageBoxes([&] {
            panel->loadFile(path, format);
            waitForPanel(panel);
        });
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    // A SigMF pair of a tone at rate for seconds; returns the metadata path.
    QString sigmf(const QString& base, uint32_t rate, double seconds, double hz = 1000.0)
    {
        const QString meta = path(base + ".sigmf-meta");
        recordingfiles::writeSigmf(meta, path(base + ".sigmf-data"), rate,
                                   recordingfiles::tone(rate, seconds, hz));
        return meta;
    }

    bool statusIsReady() const
    {
        auto* status = widget<QLabel>("statusLabel");
        return status->text() == "Ready" && status->styleSheet() == "QLabel { color : #1fcf3f; }";
    }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    ControlPanel* panel = nullptr;
};

// One message box expected: its icon, title, text and parent.
inline void expectBox(const std::vector<CapturedMessageBox>& boxes, QMessageBox::Icon icon,
                      const QString& title, const QString& text, QWidget* parent)
{
    ASSERT_EQ(boxes.size(), 1u) << text.toStdString();
    EXPECT_EQ(boxes[0].icon, icon) << text.toStdString();
    EXPECT_EQ(boxes[0].title, title) << text.toStdString();
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].parent, parent) << text.toStdString();
}
