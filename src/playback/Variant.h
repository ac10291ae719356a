#pragma once
// Values that travel to and from the playback control, and the conversions the
// windows apply to results. Conversions follow the classic automation rules:
// Booleans are -1 (True) and 0 (False), numbers are rounded half to even when
// narrowed, a text converts to a number only when it holds one.

#include <QString>

#include <cstdint>
#include <variant>

namespace playback {

class Variant {
public:
    Variant() = default; // Empty
    static Variant fromInt32(std::int32_t v) { return Variant(Value(v)); }
    static Variant fromInt16(std::int16_t v) { return Variant(Value(v)); }
    static Variant fromDouble(double v) { return Variant(Value(v)); }
    static Variant fromBool(bool v) { return Variant(Value(v)); }
    static Variant fromString(const QString &v) { return Variant(Value(v)); }

    bool isEmpty() const { return std::holds_alternative<std::monostate>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }

    // Each throws app::TypeMismatch or app::Overflow when the value does not convert.
    std::int32_t toInt32() const;
    std::int16_t toInt16() const;
    double toDouble() const;
    bool toBool() const;
    QString toString() const;

    bool operator==(const Variant &other) const = default;

private:
    using Value = std::variant<std::monostate, std::int16_t, std::int32_t, double, bool, QString>;
    explicit Variant(Value v) : m_value(std::move(v)) {}
    Value m_value;
};

// Reads a decimal number from text the way the status display reads its
// fields: blanks around the number are allowed, a sign and a decimal point
// too; anything else (a colon, letters, no digits at all) is a TypeMismatch.
double parseNumber(const QString &text);

} // namespace playback
