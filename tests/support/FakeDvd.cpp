#include "support/FakeDvd.h"

#include <QPointer>

using playback::Variant;

namespace {
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

void FakeDvd::returnsOnce(const QString &op, const Variant &v) { m_once[op].push_back(v); }

void FakeDvd::fails(const QString &op) { m_failures[op] = -1; }

void FakeDvd::failsOnce(const QString &op) { m_failures[op] = 1; }

void FakeDvd::succeeds(const QString &op) { m_failures.remove(op); }

void FakeDvd::language(int stream, const QString &name) { m_languages[stream] = name; }

QStringList FakeDvd::callNames() const
{
    QStringList names;
    for (const FakeCall &c : calls)
        names << c.operation;
    return names;
}

int FakeDvd::count(const QString &op) const
{
    int n = 0;
    for (const FakeCall &c : calls)
        n += c.operation == op;
    return n;
}

Variant FakeDvd::call(const QString &op, QList<Variant> args)
{
    calls.append({op, args});
    if (auto it = m_failures.find(op); it != m_failures.end()) {
        if (*it > 0 && --*it == 0)
            m_failures.erase(it);
        throw playback::PlaybackError(op, QStringLiteral("scripted failure."));
    }
    if (auto it = m_once.find(op); it != m_once.end() && !it->empty()) {
        Variant v = it->front();
        it->pop_front();
        return v;
    }
    return m_values.value(op);
}

void FakeDvd::Play() { call(QStringLiteral("Play")); }
void FakeDvd::Pause() { call(QStringLiteral("Pause")); }
void FakeDvd::Stop() { call(QStringLiteral("Stop")); }
void FakeDvd::PlayBackwards(const Variant &s) { call(QStringLiteral("PlayBackwards"), {s}); }
void FakeDvd::PlayForwards(const Variant &s) { call(QStringLiteral("PlayForwards"), {s}); }
void FakeDvd::Resume() { call(QStringLiteral("Resume")); }
void FakeDvd::PlayNextChapter() { call(QStringLiteral("PlayNextChapter")); }
void FakeDvd::PlayPrevChapter() { call(QStringLiteral("PlayPrevChapter")); }
void FakeDvd::Eject() { call(QStringLiteral("Eject")); }

Variant FakeDvd::GetSubpictureLanguage(const Variant &stream)
{
    const QString op = QStringLiteral("GetSubpictureLanguage");
    Variant scripted = call(op, {stream});
    if (!scripted.isEmpty())
        return scripted;
    const int n = stream.toInt32();
    if (!m_languages.contains(n))
        throw playback::PlaybackError(op, QStringLiteral("no stream %1.").arg(n));
    return Variant::fromString(m_languages.value(n));
}

Variant FakeDvd::CurrentTitle() { return call(QStringLiteral("CurrentTitle")); }
Variant FakeDvd::CurrentChapter() { return call(QStringLiteral("CurrentChapter")); }
Variant FakeDvd::CurrentTime() { return call(QStringLiteral("CurrentTime")); }
Variant FakeDvd::TotalTitleTime() { return call(QStringLiteral("TotalTitleTime")); }
Variant FakeDvd::DVDDirectory() { return call(QStringLiteral("DVDDirectory")); }
Variant FakeDvd::CurrentDiscSide() { return call(QStringLiteral("CurrentDiscSide")); }
Variant FakeDvd::CurrentSubpictureStream() { return call(QStringLiteral("CurrentSubpictureStream")); }
Variant FakeDvd::SubpictureOn() { return call(QStringLiteral("SubpictureOn")); }
Variant FakeDvd::SubpictureStreamsAvailable() { return call(QStringLiteral("SubpictureStreamsAvailable")); }
Variant FakeDvd::DVDUniqueID() { return call(QStringLiteral("DVDUniqueID")); }
void FakeDvd::setFullScreenMode(const Variant &on) { call(QStringLiteral("FullScreenMode="), {on}); }
void FakeDvd::setCurrentSubpictureStream(const Variant &n) { call(QStringLiteral("CurrentSubpictureStream="), {n}); }
void FakeDvd::setSubpictureOn(const Variant &on) { call(QStringLiteral("SubpictureOn="), {on}); }
void FakeDvd::setMute(const Variant &on) { call(QStringLiteral("Mute="), {on}); }
