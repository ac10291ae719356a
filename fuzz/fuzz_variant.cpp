// Number reading and the value conversions, from arbitrary text and doubles:
// every conversion either gives a value that obeys its rule or throws one of
// the two conversion errors, never anything else.

#include "app/Errors.h"
#include "playback/Variant.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

using playback::Variant;

namespace {

// The integer a conversion must give for v, or nothing when it must overflow.
template<typename Int>
bool fits(double v)
{
    const double r = std::nearbyint(v);
    return std::isfinite(r) && r >= double(std::numeric_limits<Int>::min())
        && r <= double(std::numeric_limits<Int>::max());
}

void checkConversions(const Variant &value)
{
    double d = 0;
    bool isNumber = true;
    try {
        d = value.toDouble();
    } catch (const app::TypeMismatch &) {
        isNumber = false;
    }
    if (isNumber && !std::isfinite(d))
        std::abort(); // text never converts to inf or nan
    try {
        const std::int32_t i = value.toInt32();
        if (!isNumber || !fits<std::int32_t>(d) || i != std::int32_t(std::nearbyint(d)))
            std::abort();
    } catch (const app::Overflow &) {
        if (!isNumber || fits<std::int32_t>(d))
            std::abort();
    } catch (const app::TypeMismatch &) {
        if (isNumber)
            std::abort();
    }
    try {
        const std::int16_t i = value.toInt16();
        if (!isNumber || !fits<std::int16_t>(d) || i != std::int16_t(std::nearbyint(d)))
            std::abort();
    } catch (const app::Overflow &) {
        if (!isNumber || fits<std::int16_t>(d))
            std::abort();
    } catch (const app::TypeMismatch &) {
        if (isNumber)
            std::abort();
    }
    try {
        const bool b = value.toBool();
        const QString t = value.toString().trimmed();
        const bool word = t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0
            || t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0;
        if (!word && (!isNumber || b != (d != 0.0)))
            std::abort();
    } catch (const app::TypeMismatch &) {
        if (isNumber)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    const double number = in.ConsumeFloatingPoint<double>();
    const QString text = QString::fromUtf8(in.ConsumeRemainingBytesAsString());

    checkConversions(Variant::fromString(text));

    // A number shown as text reads back as the same number (to the 15 digits shown).
    // Next to the largest double the 15 digits round up past it, as in the classic
    // conversions: such a text is out of range.
    const Variant n = Variant::fromDouble(number);
    checkConversions(n);
    if (std::isfinite(number) && std::abs(number) < 1.7976931348623e308) {
        const double back = playback::parseNumber(n.toString());
        if (std::abs(back - number) > std::max(std::abs(number) * 1e-14, 1e-300))
            std::abort();
        checkConversions(Variant::fromString(n.toString()));
    }
    return 0;
}
