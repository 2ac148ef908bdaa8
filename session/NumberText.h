#pragma once
// Numbers as the user types them and as they are written back: free text read
// with Qt's locale-independent conversion and checked for a field's domain
// (the reason of a refusal thrown as std::runtime_error), and the texts that
// read back as the same value. Shared by the panel's fields, the annotation
// table and the command line, so that all three say the same words.

#include <QString>

// The shortest text that reads back as x exactly: plain decimals from 1e-4 up to
// 1e15, exponent notation beyond.
QString exactNumber(double x);
// The shortest plain decimal text that reads back as x exactly (times in seconds).
QString fixedNumber(double x);
// Six significant digits, as fields that hold a setting show it.
QString shortNumber(double x);

// Any number, infinities included (text too large for a double reads as one,
// for a domain to refuse with its range); text that is no number (empty,
// letters, "2,5", nan) is refused with "input shall be a number".
double anyNumber(const QString& text);
// Any finite number: "input shall be a number", or for infinities "input shall
// be a finite number".
double realNumber(const QString& text);
// Finite numbers >= 0: "input shall be >= 0", "input shall be a finite number
// >= 0", or "input shall be a number".
double positiveNumber(const QString& text);
// Finite numbers > 0: "input shall be > 0", "input shall be a finite number > 0",
// or "input shall be a number".
double strictlyPositiveNumber(const QString& text);
