// Number fields: text to value with the field's domain check.

#include "panel/LineEdits.h"

#include "session/NumberText.h"

#include <cmath>
#include <stdexcept>

namespace {

QString numberToText(double x)
{
    return shortNumber(x);
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
    return realNumber(text());
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

double PositiveLineEdit::value() const
{
    return positiveNumber(text());
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
    return strictlyPositiveNumber(text());
}

void StrictPositiveLineEdit::setValue(double x)
{
    if (!(x > 0) || std::isinf(x))
        throw std::runtime_error("input shall be > 0");
    setText(numberToText(x));
}
