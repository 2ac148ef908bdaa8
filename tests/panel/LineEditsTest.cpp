// The three number fields: text to number, domain checks and the text written back.

#include "panel/LineEdits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

// Expected outcome of value() for one text in each class: a number, or the
// message of the thrown error.
struct ReadCase
{
    QString text;
    std::optional<double> real;
    std::optional<double> positive;
    std::optional<double> strict;
};

template <typename Field>
void expectRead(const QString& text, const std::optional<double>& expected,
                const std::string& message)
{
    Field field;
    field.setText(text);
    if (expected) {
        EXPECT_EQ(field.value(), *expected) << text.toStdString();
    } else {
        try {
            field.value();
            ADD_FAILURE() << "no error for " << text.toStdString();
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(std::string(error.what()), message) << text.toStdString();
        }
    }
}

} // namespace

TEST(LineEdits, ValueConvertsTheTextAndChecksTheDomain)
{
    const std::nullopt_t no = std::nullopt;
    const ReadCase cases[] = {
        {"", 0.0, 0.0, no},
        {"abc", 0.0, 0.0, no},
        {"2,5", 0.0, 0.0, no},
        {"12 kHz", 0.0, 0.0, no},
        {"  2.5  ", 2.5, 2.5, 2.5},
        {"1e3", 1000.0, 1000.0, 1000.0},
        {"1E-3", 0.001, 0.001, 0.001},
        {"-1", -1.0, no, no},
        {"0", 0.0, 0.0, no},
        {"+7", 7.0, 7.0, 7.0},
        {"1.23457e+06", 1234570.0, 1234570.0, 1234570.0},
        // Non-finite numbers are refused by every class.
        {"nan", no, no, no},
        {"NaN", no, no, no},
        {"inf", no, no, no},
        {"-inf", no, no, no},
        {"1e400", no, no, no},
        {"-1e400", no, no, no},
    };
    for (const ReadCase& row : cases) {
        expectRead<RealLineEdit>(row.text, row.real, "input shall be a finite number");
        expectRead<PositiveLineEdit>(row.text, row.positive, "input shall be >= 0");
        expectRead<StrictPositiveLineEdit>(row.text, row.strict, "input shall be > 0");
    }
}

TEST(LineEdits, SetValueFormatsWithSixSignificantDigits)
{
    const std::pair<double, const char*> cases[] = {
        {1.0, "1"},         {40.0, "40"},        {22050.0, "22050"}, {0.5, "0.5"},
        {2.5e-3, "0.0025"}, {1234567.0, "1.23457e+06"}, {1e-5, "1e-05"},
        {10.0000347, "10"}, {441000.0, "441000"},
    };
    for (const auto& [number, text] : cases) {
        RealLineEdit real;
        real.setValue(number);
        EXPECT_EQ(real.text(), text) << number;
        StrictPositiveLineEdit strict;
        strict.setValue(number);
        EXPECT_EQ(strict.text(), text) << number;
    }
    RealLineEdit real;
    real.setValue(-22050.0);
    EXPECT_EQ(real.text(), "-22050");
    PositiveLineEdit positive;
    positive.setValue(0.0);
    EXPECT_EQ(positive.text(), "0");
}

TEST(LineEdits, RejectedSetValueKeepsTheOldText)
{
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    struct Case
    {
        double x;
        bool real;
        bool positive;
        bool strict;
    };
    const Case cases[] = {
        {0.0, true, true, false},   {-1.0, true, false, false}, {nan, false, false, false},
        {inf, false, false, false}, {-inf, false, false, false},
    };
    for (const Case& row : cases) {
        RealLineEdit real("old");
        PositiveLineEdit positive;
        positive.setText("old");
        StrictPositiveLineEdit strict("old");
        if (row.real) {
            real.setValue(row.x);
        } else {
            EXPECT_THROW(real.setValue(row.x), std::runtime_error) << row.x;
            EXPECT_EQ(real.text(), "old");
        }
        if (row.positive) {
            positive.setValue(row.x);
        } else {
            EXPECT_THROW(positive.setValue(row.x), std::runtime_error) << row.x;
            EXPECT_EQ(positive.text(), "old");
        }
        if (row.strict) {
            strict.setValue(row.x);
        } else {
            try {
                strict.setValue(row.x);
                ADD_FAILURE() << row.x;
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "input shall be > 0");
            }
            EXPECT_EQ(strict.text(), "old");
        }
    }
}

TEST(LineEdits, InitialTextIsShownUnconverted)
{
    RealLineEdit real("not a number");
    EXPECT_EQ(real.text(), "not a number");
    StrictPositiveLineEdit strict("40");
    EXPECT_EQ(strict.text(), "40");
    EXPECT_EQ(strict.value(), 40.0);
    PositiveLineEdit positive;
    EXPECT_TRUE(positive.text().isEmpty());
    // No validator or mask: anything can be typed.
    EXPECT_EQ(strict.validator(), nullptr);
    EXPECT_TRUE(strict.inputMask().isEmpty());
}
