#include "playback/Variant.h"

#include "app/Errors.h"

#include <cmath>
#include <limits>

namespace playback {

namespace {

double roundHalfEven(double v)
{
    return std::nearbyint(v); // the default rounding mode is to nearest, ties to even
}

template<typename Int>
Int narrow(double v, const char *typeName)
{
    const double r = roundHalfEven(v);
    if (!std::isfinite(r) || r < double(std::numeric_limits<Int>::min())
        || r > double(std::numeric_limits<Int>::max()))
        throw app::Overflow(QStringLiteral("%1 does not fit a %2").arg(v).arg(QLatin1String(typeName)));
    return static_cast<Int>(r);
}

} // namespace

double parseNumber(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const double v = t.toDouble(&ok);
    // QString::toDouble also takes "inf" and "nan"; those are not numbers here.
    if (!ok || !std::isfinite(v))
        throw app::TypeMismatch(QStringLiteral("\"%1\" is not a number").arg(text));
    return v;
}

double Variant::toDouble() const
{
    return std::visit(
        [](const auto &v) -> double {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return 0.0;
            else if constexpr (std::is_same_v<T, bool>)
                return v ? -1.0 : 0.0;
            else if constexpr (std::is_same_v<T, QString>)
                return parseNumber(v);
            else
                return double(v);
        },
        m_value);
}

std::int32_t Variant::toInt32() const { return narrow<std::int32_t>(toDouble(), "32-bit integer"); }

std::int16_t Variant::toInt16() const { return narrow<std::int16_t>(toDouble(), "16-bit integer"); }

bool Variant::toBool() const
{
    if (const auto *s = std::get_if<QString>(&m_value)) {
        const QString t = s->trimmed();
        if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return toDouble() != 0.0;
}

QString Variant::toString() const
{
    return std::visit(
        [](const auto &v) -> QString {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return QString();
            else if constexpr (std::is_same_v<T, bool>)
                return v ? QStringLiteral("True") : QStringLiteral("False");
            else if constexpr (std::is_same_v<T, QString>)
                return v;
            else if constexpr (std::is_same_v<T, double>)
                return QString::number(v, 'g', 15);
            else
                return QString::number(v);
        },
        m_value);
}

} // namespace playback
