// Labels that elide.

#include "panel/ElidedLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringList>

namespace {

// Narrowest a label asks to be: a few characters of its text.
constexpr int narrowestWidth = 24;

} // namespace

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
}

QSize ElidedLabel::minimumSizeHint() const
{
    // At least one line high even while empty, so that rows do not move as texts fill in.
    QSize hint = QLabel::minimumSizeHint();
    hint.setWidth(std::min(hint.width(), narrowestWidth));
    hint.setHeight(std::max(hint.height(), fontMetrics().height()));
    return hint;
}

QSize ElidedLabel::sizeHint() const
{
    QSize hint = QLabel::sizeHint();
    hint.setHeight(std::max(hint.height(), fontMetrics().height()));
    return hint;
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics(font());
    const QRect area = contentsRect().adjusted(std::max(indent(), 0), 0, 0, 0);
    const QStringList lines = text().split(QLatin1Char('\n'));
    const int height = metrics.lineSpacing() * static_cast<int>(lines.size());
    int y = alignment() & Qt::AlignVCenter ? area.top() + (area.height() - height) / 2 : area.top();
    bool cut = false;
    for (const QString& line : lines) {
        const QString shown = metrics.elidedText(line, Qt::ElideRight, area.width());
        cut = cut || shown != line;
        painter.drawText(QRect(area.left(), y, area.width(), metrics.lineSpacing()),
                         Qt::AlignLeft | Qt::AlignVCenter, shown);
        y += metrics.lineSpacing();
    }
    // The whole text as tool tip while it is cut; a tool tip set by the owner stays.
    if (cut && toolTip() != text()) {
        automaticTip = text();
        setToolTip(automaticTip);
    } else if (!cut && !automaticTip.isEmpty() && toolTip() == automaticTip) {
        automaticTip.clear();
        setToolTip(QString());
    }
}
