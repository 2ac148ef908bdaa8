#pragma once
// The application's only top-level window: Help menu, the control column on the
// left and the "Time" / "Frequency" tabs on the right.

#include <QList>
#include <QWidget>

class MainWindow : public QWidget
{
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Help menu boxes, modal, with this window as parent.
    void showFileFormats();
    void showAbout();
    void showAboutQt();

private:
    // Menu bar, the fixed-width scroll area holding the panel, and the two tabs
    // holding the given widgets top to bottom.
    void buildFrame(QWidget* panel, const QList<QWidget*>& timeWidgets,
                    const QList<QWidget*>& frequencyWidgets);
};
