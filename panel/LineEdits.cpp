// Number fields: text to value with the field's domain check.

#include "panel/LineEdits.h"

#include <cmath>
#include <stdexcept>

namespace {

// Locale-independent conversion; text that does not convert reads as 0, for the
// domain test of a field that refuses 0 anyway.
double textToNumber(const QString& text)
{
    return text.toDouble();
}

// The same for a field that takes 0: text that is no number is refused, never
// read as 0 (a number too large for a double reads as an infinity, which the
// domain test refuses).
double numberOf(const QString& text)
{
    bool ok = false;
    const double x = text.toDouble(&ok);
    if (!ok && std::isfinite(x))
        throw std::runtime_error("input shall be a number");
    return x;
}

QString numberToText(double x)
{
    return QString::number(x, 'g', 6);
}

} // namespace

RealLineEdit::RealLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
}

RealLineEdit::RealLineEdit(const QString& text, QWidget* parent)
    : QLineEdit(text, parent)
{
}

RealLineEdit::~RealLineEdit() = default;

double RealLineEdit::value() const
{
    const double x = numberOf(text());
    if (!std::isfinite(x))
        throw std::runtime_error("input shall be a finite number");
    return x;
}

void RealLineEdit::setValue(double x)
{
    if (!std::isfinite(x))
        throw std::runtime_error("input shall be a finite number");
    setText(numberToText(x));
}

PositiveLineEdit::PositiveLineEdit(QWidget* parent)
    : RealLineEdit(parent)
{
}

PositiveLineEdit::~PositiveLineEdit() = default;

// The negated comparisons make nan fail the test as well as out-of-domain numbers.
double PositiveLineEdit::value() const
{
    const double x = numberOf(text());
    if (!(x >= 0) || std::isinf(x))
        throw std::runtime_error("input shall be >= 0");
    return x;
}

void PositiveLineEdit::setValue(double x)
{
    if (!(x >= 0) || std::isinf(x))
        throw std::runtime_error("input shall be >= 0");
    setText(numberToText(x));
}

StrictPositiveLineEdit::StrictPositiveLineEdit(QWidget* parent)
    : RealLineEdit(parent)
{
}

StrictPositiveLineEdit::StrictPositiveLineEdit(const QString& text, QWidget* parent)
    : RealLineEdit(text, parent)
{
}

StrictPositiveLineEdit::~StrictPositiveLineEdit() = default;

double StrictPositiveLineEdit::value() const
{
    const double x = textToNumber(text());
    if (!(x > 0) || std::isinf(x))
        throw std::runtime_error("input shall be > 0");
    return x;
}

void StrictPositiveLineEdit::setValue(double x)
{
    if (!(x > 0) || std::isinf(x))
        throw std::runtime_error("input shall be > 0");
    setText(numberToText(x));
}
