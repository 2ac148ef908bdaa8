#pragma once
// File names are bytes: a path from the system carried in a QString and back
// without loss, whatever its bytes (Qt's own conversion replaces bytes that are
// not UTF-8, so a file named so could not be opened again).

#include <QString>

#include <string>

// The path's bytes as text: UTF-8 decoded, and each byte that is not part of
// valid UTF-8 kept as the lone code unit U+DC00 + byte (as Python's
// "surrogateescape" does), which no valid text holds.
QString pathText(const std::string& bytes);

// The bytes pathText was given back: the inverse for every byte string. Other
// text is encoded as UTF-8.
std::string nativePath(const QString& text);

// The path as shown to a user: each byte kept by pathText shown as U+FFFD.
QString shownPath(const QString& text);

// The file's name (the path's last part) as shown, and the folder that holds
// it, made absolute without loss.
QString shownFileName(const QString& text);
QString absolutePathText(const QString& text);
