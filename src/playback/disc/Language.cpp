#include "playback/disc/Language.h"

#include <QLocale>

#include <map>

namespace playback::disc {

QString languageName(const QString &code)
{
    const QString trimmed = code.trimmed();
    if (trimmed.isEmpty())
        return QStringLiteral("Unknown");
    // Codes withdrawn from ISO 639-1 that discs still carry, and Norwegian's
    // macrolanguage code, which Qt knows only as Bokmål.
    static const std::map<QString, QString> current = {
        {QStringLiteral("iw"), QStringLiteral("he")}, {QStringLiteral("in"), QStringLiteral("id")},
        {QStringLiteral("ji"), QStringLiteral("yi")}, {QStringLiteral("jw"), QStringLiteral("jv")},
        {QStringLiteral("mo"), QStringLiteral("ro")}, {QStringLiteral("sh"), QStringLiteral("sr")},
        {QStringLiteral("no"), QStringLiteral("nb")}};
    QString lookup = trimmed.toLower();
    if (const auto it = current.find(lookup); it != current.end())
        lookup = it->second;
    const QLocale::Language language = QLocale::codeToLanguage(
        lookup, QLocale::ISO639Part1 | QLocale::ISO639Part2B | QLocale::ISO639Part2T);
    if (language == QLocale::AnyLanguage || language == QLocale::C)
        return trimmed;
    return QLocale::languageToString(language);
}

} // namespace playback::disc
