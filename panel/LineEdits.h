#pragma once
// Single-line number fields of the control panel. The text is the only state:
// every value() converts it afresh and checks the field's domain, throwing
// std::runtime_error with the message the panel shows after its own prefix.

#include <QLineEdit>
#include <QString>

// Any finite real number. Text that is no number (empty, letters, "2,5") is
// refused with "input shall be a number".
class RealLineEdit : public QLineEdit
{
public:
    explicit RealLineEdit(QWidget* parent = nullptr);
    RealLineEdit(const QString& text, QWidget* parent = nullptr);
    ~RealLineEdit() override;

    // Throws "input shall be a finite number" for nan or an infinity.
    double value() const;
    // Shows x with 6 significant digits; refuses non-finite x, keeping the text.
    void setValue(double x);
};

// Finite numbers >= 0; rejections say "input shall be >= 0", "input shall be a
// finite number >= 0" for infinities, or "input shall be a number" for text that
// is none.
class PositiveLineEdit : public RealLineEdit
{
public:
    explicit PositiveLineEdit(QWidget* parent = nullptr);
    ~PositiveLineEdit() override;

    double value() const;
    void setValue(double x);
};

// Finite numbers > 0; rejections say "input shall be > 0", "input shall be a
// finite number > 0" for infinities, or "input shall be a number" for text that
// is none.
class StrictPositiveLineEdit : public RealLineEdit
{
public:
    explicit StrictPositiveLineEdit(QWidget* parent = nullptr);
    StrictPositiveLineEdit(const QString& text, QWidget* parent = nullptr);
    ~StrictPositiveLineEdit() override;

    double value() const;
    void setValue(double x);
};
