#pragma once
// A scriptable stand-in for the playback control: records every call in order
// and answers each operation with a scripted value or failure.

#include "playback/PlaybackControl.h"

#include <QHash>
#include <QList>
#include <QStringList>


class FakeDvd : public playback::PlaybackControl {
    Q_OBJECT
public:
    explicit FakeDvd(QWidget *parent = nullptr);

    // The scripted answer of an operation (reads, and methods with a result).
    // A property write is named with a trailing "=" ("Mute=").
    void returns(const QString &operation, const playback::Variant &value);
    // Answers for the next calls, one each, before falling back to returns().
    void returnsOnce(const QString &operation, const playback::Variant &value);
    // Every call fails (until returns() is called for it).
    void fails(const QString &operation);
    // Only the next call fails.
    void failsOnce(const QString &operation);
    // Scripts answers from text: "fail" refuses every call; "a|b|c" answers a, then
    // b, then c from then on. Whole numbers answer as numbers, True and False as booleans.
    void script(const QString &operation, const QString &answers);
    // GetSubpictureLanguage(n) answers per stream; a stream with no answer fails.
    void language(int stream, const QString &name);

    // Every call in order, with its argument: "Play", "PlayForwards 2", "Mute= True".
    QStringList calls;

    // The control most recently created by the installed factory (the video
    // window creates a new one each time it is loaded).
    static FakeDvd *current();
    // Makes the video window create FakeDvd controls.
    static void install();

    void Play() override { call(QStringLiteral("Play")); }
    void Pause() override { call(QStringLiteral("Pause")); }
    void Stop() override { call(QStringLiteral("Stop")); }
    void PlayBackwards(const playback::Variant &s) override { call(QStringLiteral("PlayBackwards"), s); }
    void PlayForwards(const playback::Variant &s) override { call(QStringLiteral("PlayForwards"), s); }
    void Resume() override { call(QStringLiteral("Resume")); }
    void PlayNextChapter() override { call(QStringLiteral("PlayNextChapter")); }
    void PlayPrevChapter() override { call(QStringLiteral("PlayPrevChapter")); }
    void Eject() override { call(QStringLiteral("Eject")); }
    playback::Variant GetSubpictureLanguage(const playback::Variant &stream) override;
    playback::Variant CurrentTitle() override { return call(QStringLiteral("CurrentTitle")); }
    playback::Variant CurrentChapter() override { return call(QStringLiteral("CurrentChapter")); }
    playback::Variant CurrentTime() override { return call(QStringLiteral("CurrentTime")); }
    playback::Variant TotalTitleTime() override { return call(QStringLiteral("TotalTitleTime")); }
    playback::Variant DVDDirectory() override { return call(QStringLiteral("DVDDirectory")); }
    playback::Variant CurrentDiscSide() override { return call(QStringLiteral("CurrentDiscSide")); }
    playback::Variant CurrentSubpictureStream() override { return call(QStringLiteral("CurrentSubpictureStream")); }
    playback::Variant SubpictureOn() override { return call(QStringLiteral("SubpictureOn")); }
    playback::Variant SubpictureStreamsAvailable() override { return call(QStringLiteral("SubpictureStreamsAvailable")); }
    playback::Variant DVDUniqueID() override { return call(QStringLiteral("DVDUniqueID")); }
    void setDisc(const QString &argument) override { call(QStringLiteral("setDisc"), playback::Variant::fromString(argument)); }
    void setFullScreenMode(const playback::Variant &on) override { call(QStringLiteral("FullScreenMode="), on); }
    void setCurrentSubpictureStream(const playback::Variant &n) override
    {
        call(QStringLiteral("CurrentSubpictureStream="), n);
    }
    void setSubpictureOn(const playback::Variant &on) override { call(QStringLiteral("SubpictureOn="), on); }
    void setMute(const playback::Variant &on) override { call(QStringLiteral("Mute="), on); }

private:
    playback::Variant call(const QString &operation);
    playback::Variant call(const QString &operation, const playback::Variant &arg);
    playback::Variant respond(const QString &operation);

    QHash<QString, playback::Variant> m_values;
    QHash<QString, QList<playback::Variant>> m_once;
    QHash<QString, int> m_failures; // -1: always; n > 0: the next n calls
    QHash<int, QString> m_languages;
};
