// The application's dark palette.

#include "app/Palette.h"

#include <QApplication>
#include <QColor>
#include <QPalette>

void applyDarkPalette()
{
    const QColor grey(53, 53, 53);
    const QColor blue(42, 130, 218);

    // setColor(role, colour) sets the role in all three colour groups at once.
    QPalette palette;
    palette.setColor(QPalette::Window, grey);
    palette.setColor(QPalette::WindowText, Qt::white);
    palette.setColor(QPalette::Base, QColor(25, 25, 25));
    palette.setColor(QPalette::AlternateBase, grey);
    palette.setColor(QPalette::ToolTipBase, Qt::white);
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, grey);
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, blue);
    palette.setColor(QPalette::Highlight, blue);
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    QApplication::setPalette(palette);
}
