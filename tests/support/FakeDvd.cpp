#include "support/FakeDvd.h"

#include <QPointer>

using playback::Variant;

namespace {
Variant answer(const QString &text)
{
    if (text == QLatin1String("True") || text == QLatin1String("False"))
        return Variant::fromBool(text == QLatin1String("True"));
    bool isNumber = false;
    const qint64 n = text.toLongLong(&isNumber);
    return isNumber ? Variant::fromInt32(std::int32_t(n)) : Variant::fromString(text);
}

QPointer<FakeDvd> &latest()
{
    static QPointer<FakeDvd> p;
    return p;
}
} // namespace

FakeDvd::FakeDvd(QWidget *parent) : PlaybackControl(parent) { latest() = this; }

FakeDvd *FakeDvd::current() { return latest(); }

void FakeDvd::install()
{
    PlaybackControl::setFactory([](QWidget *parent) { return new FakeDvd(parent); });
}

void FakeDvd::returns(const QString &op, const Variant &v)
{
    m_values[op] = v;
    m_failures.remove(op);
}

void FakeDvd::returnsOnce(const QString &op, const Variant &v) { m_once[op].append(v); }

void FakeDvd::fails(const QString &op) { m_failures[op] = -1; }

void FakeDvd::failsOnce(const QString &op) { m_failures[op] = 1; }

void FakeDvd::script(const QString &op, const QString &text)
{
    if (text == QLatin1String("fail"))
        return fails(op);
    const QStringList answers = text.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < answers.size(); ++i)
        returnsOnce(op, answer(answers[i]));
    returns(op, answer(answers.last()));
}

void FakeDvd::language(int stream, const QString &name) { m_languages[stream] = name; }

Variant FakeDvd::call(const QString &op)
{
    calls.append(op);
    return respond(op);
}

Variant FakeDvd::call(const QString &op, const Variant &arg)
{
    calls.append(op + QLatin1Char(' ') + arg.toString());
    return respond(op);
}

Variant FakeDvd::respond(const QString &op)
{
    if (auto it = m_failures.find(op); it != m_failures.end()) {
        if (*it > 0 && --*it == 0)
            m_failures.erase(it);
        throw playback::PlaybackError(op, QStringLiteral("scripted failure."));
    }
    if (auto it = m_once.find(op); it != m_once.end() && !it->isEmpty())
        return it->takeFirst();
    return m_values.value(op);
}

Variant FakeDvd::GetSubpictureLanguage(const Variant &stream)
{
    const QString op = QStringLiteral("GetSubpictureLanguage");
    Variant scripted = call(op, stream);
    if (!scripted.isEmpty())
        return scripted;
    const int n = stream.toInt32();
    if (!m_languages.contains(n))
        throw playback::PlaybackError(op, QStringLiteral("no stream %1.").arg(n));
    return Variant::fromString(m_languages.value(n));
}
