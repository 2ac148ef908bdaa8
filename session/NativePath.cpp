// Paths as bytes in QStrings: UTF-8 with escaped stray bytes.

#include "session/NativePath.h"

#include <filesystem>

namespace {

constexpr char16_t escapeBase = 0xDC00;

// Length of the valid UTF-8 sequence at bytes[k], or 0 when none starts there
// (overlong forms, surrogates and values above U+10FFFF are not valid).
std::size_t validSequence(const std::string& bytes, std::size_t k)
{
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = at(k);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (k + length > bytes.size())
        return 0;
    if (at(k + 1) < low || at(k + 1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (at(k + i) < 0x80 || at(k + i) > 0xBF)
            return 0;
    return length;
}

bool isEscape(char16_t unit)
{
    return unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF;
}

} // namespace

QString pathText(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t k = 0; k < bytes.size();) {
        const std::size_t length = validSequence(bytes, k);
        if (length == 0) {
            text += QChar(static_cast<char16_t>(escapeBase + static_cast<unsigned char>(bytes[k])));
            ++k;
        } else {
            text += QString::fromUtf8(bytes.data() + k, static_cast<qsizetype>(length));
            k += length;
        }
    }
    return text;
}

std::string nativePath(const QString& text)
{
    std::string bytes;
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        bytes += QStringView(text).mid(runStart, end - runStart).toUtf8().toStdString();
    };
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t unit = text[k].unicode();
        // A lone low surrogate: one before it would pair with it.
        const bool lone = isEscape(unit) && (k == 0 || !text[k - 1].isHighSurrogate());
        if (lone) {
            flush(k);
            bytes += static_cast<char>(unit - escapeBase);
            runStart = k + 1;
        }
    }
    flush(text.size());
    return bytes;
}

QString shownPath(const QString& text)
{
    QString shown = text;
    for (qsizetype k = 0; k < shown.size(); ++k)
        if (isEscape(shown[k].unicode()) && (k == 0 || !shown[k - 1].isHighSurrogate()))
            shown[k] = QChar::ReplacementCharacter;
    return shown;
}

QString shownFileName(const QString& text)
{
    return shownPath(pathText(std::filesystem::path(nativePath(text)).filename().string()));
}

QString absolutePathText(const QString& text)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(nativePath(text), error);
    return pathText((error ? std::filesystem::path(nativePath(text)) : absolute).lexically_normal().string());
}
