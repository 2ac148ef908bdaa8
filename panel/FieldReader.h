#pragma once
// Reading the panel's number fields as an Apply does: the field's value, or the
// refusal shown once, naming the field ("Invalid start time: input shall be >= 0").

#include <QString>

#include <exception>
#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class FieldReader
{
public:
    using Refusal = std::function<void(const QString& message)>;
    explicit FieldReader(Refusal refuse) : refuse(std::move(refuse)) {}

    // The value of `field` (whose value() throws std::runtime_error with the
    // reason), passed through `check`, which may throw a further reason; or
    // nothing once "Invalid <what>: <reason>" has been shown.
    template <typename Field, typename Check = std::nullptr_t>
    std::optional<double> read(const Field* field, const char* what, Check check = nullptr) const
    {
        try {
            const double value = field->value();
            if constexpr (!std::is_same_v<Check, std::nullptr_t>)
                check(value);
            return value;
        } catch (const std::exception& error) {
            refuse(QStringLiteral("Invalid %1: %2").arg(QLatin1String(what), QString::fromUtf8(error.what())));
            return std::nullopt;
        }
    }

private:
    Refusal refuse;
};
