#pragma once
// The pages of the two tabs as the window and the command line's pictures lay
// them out: "Time" (spectrogram, power, I and Q) and "Frequency" (spectrum and
// its measurements), each a column of its widgets.

#include <QList>

class QString;
class QWidget;

// A page holding `widgets` top to bottom, named `name`.
QWidget* viewPage(const QList<QWidget*>& widgets, const QString& name);
