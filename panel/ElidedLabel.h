#pragma once
// A label whose lines are cut with "…" where they do not fit, never widening its
// column; its tool tip then gives the whole text. text() stays the whole text.

#include <QLabel>

class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The tool tip this label set itself, cleared again once the text fits.
    QString automaticTip;
};
