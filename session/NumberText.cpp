// Number texts: reading with a domain, writing back exactly.

#include "session/NumberText.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace {

QString shortest(double x, std::chars_format format)
{
    char text[400];
    const auto result = std::to_chars(text, text + sizeof(text), x, format);
    return QString::fromLatin1(text, static_cast<qsizetype>(result.ptr - text));
}

// Text that is no number (or nan) is refused, never read as 0; a number too
// large for a double reads as an infinity, which each domain refuses with its range.
double numberOf(const QString& text)
{
    bool ok = false;
    const double x = text.toDouble(&ok);
    if ((!ok && std::isfinite(x)) || std::isnan(x))
        throw std::runtime_error("input shall be a number");
    return x;
}

} // namespace

QString exactNumber(double x)
{
    constexpr double plainBelow = 1e15;
    constexpr double plainFrom = 1e-4;
    const double size = std::fabs(x);
    const bool plain = size == 0 || (size >= plainFrom && size < plainBelow);
    return shortest(x, plain ? std::chars_format::fixed : std::chars_format::general);
}

QString fixedNumber(double x)
{
    if (!std::isfinite(x))
        return shortest(x, std::chars_format::general);
    return shortest(x, std::chars_format::fixed);
}

QString shortNumber(double x)
{
    return QString::number(x, 'g', 6);
}

double anyNumber(const QString& text)
{
    return numberOf(text);
}

double realNumber(const QString& text)
{
    const double x = numberOf(text);
    if (!std::isfinite(x))
        throw std::runtime_error("input shall be a finite number");
    return x;
}

double positiveNumber(const QString& text)
{
    const double x = numberOf(text);
    if (x < 0)
        throw std::runtime_error("input shall be >= 0");
    if (std::isinf(x))
        throw std::runtime_error("input shall be a finite number >= 0");
    return x;
}

double strictlyPositiveNumber(const QString& text)
{
    const double x = numberOf(text);
    if (x <= 0)
        throw std::runtime_error("input shall be > 0");
    if (std::isinf(x))
        throw std::runtime_error("input shall be a finite number > 0");
    return x;
}
