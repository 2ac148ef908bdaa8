// The three number fields: text to number, domain checks and the text written back.

#include "panel/LineEdits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

namespace {

// Expected outcome of value() for one text in each class: a number, or the
// message of the thrown error.
using Outcome = std::variant<double, const char*>;
struct ReadCase
{
    QString text;
    Outcome real;
    Outcome positive;
    Outcome strict;
};

template <typename Field>
void expectRead(const QString& text, const Outcome& expected)
{
    Field field;
    field.setText(text);
    if (const double* value = std::get_if<double>(&expected)) {
        EXPECT_EQ(field.value(), *value) << text.toStdString();
        return;
    }
    try {
        field.value();
        ADD_FAILURE() << "no error for " << text.toStdString();
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), std::get<const char*>(expected)) << text.toStdString();
    }
}

} // namespace

TEST(LineEdits, ValueConvertsTheTextAndChecksTheDomain)
{
    const char* number = "input shall be a number";
    const char* finite = "input shall be a finite number";
    const char* positive = "input shall be >= 0";
    const char* strict = "input shall be > 0";
    const char* finitePositive = "input shall be a finite number >= 0";
    const char* finiteStrict = "input shall be a finite number > 0";
    const ReadCase cases[] = {
        // Text that is no number is refused where 0 would be taken.
        {"", number, number, number},
        {"abc", number, number, number},
        {"2,5", number, number, number},
        {"12 kHz", number, number, number},
        {"  2.5  ", 2.5, 2.5, 2.5},
        {"1e3", 1000.0, 1000.0, 1000.0},
        {"1E-3", 0.001, 0.001, 0.001},
        {"-1", -1.0, positive, strict},
        {"0", 0.0, 0.0, strict},
        {"+7", 7.0, 7.0, 7.0},
        {"1.23457e+06", 1234570.0, 1234570.0, 1234570.0},
        // Non-finite numbers are refused by every class: nan is no number,
        // infinities (and numbers too large for a double) lie out of range.
        {"nan", number, number, number},
        {"NaN", number, number, number},
        {"inf", finite, finitePositive, finiteStrict},
        {"-inf", finite, positive, strict},
        {"1e400", finite, finitePositive, finiteStrict},
        {"-1e400", finite, positive, strict},
    };
    for (const ReadCase& row : cases) {
        expectRead<RealLineEdit>(row.text, row.real);
        expectRead<PositiveLineEdit>(row.text, row.positive);
        expectRead<StrictPositiveLineEdit>(row.text, row.strict);
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
