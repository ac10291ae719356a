#pragma once
// A scriptable stand-in for the playback control: records every call in order
// and answers each operation with a scripted value or failure.

#include "playback/PlaybackControl.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <deque>

struct FakeCall {
    QString operation;          // "Play", "CurrentTime", "SubpictureOn=" for a write ...
    QList<playback::Variant> args;
};

class FakeDvd : public playback::PlaybackControl {
    Q_OBJECT
public:
    explicit FakeDvd(QWidget *parent = nullptr);

    // The scripted answer of an operation (reads, and methods with a result).
    // A property write is named with a trailing "=" ("Mute=").
    void returns(const QString &operation, const playback::Variant &value);
    // Answers for the next calls, one each, before falling back to returns().
    void returnsOnce(const QString &operation, const playback::Variant &value);
    // Every call fails (until succeeds() is called for it).
    void fails(const QString &operation);
    // Only the next call fails.
    void failsOnce(const QString &operation);
    void succeeds(const QString &operation);
    // GetSubpictureLanguage(n) answers per stream; a stream with no answer fails.
    void language(int stream, const QString &name);

    QList<FakeCall> calls;
    QStringList callNames() const;
    int count(const QString &operation) const;
    void clearCalls() { calls.clear(); }

    // The control most recently created by the installed factory (the video
    // window creates a new one each time it is loaded).
    static FakeDvd *current();
    // Makes the video window create FakeDvd controls.
    static void install();

    void Play() override;
    void Pause() override;
    void Stop() override;
    void PlayBackwards(const playback::Variant &speed) override;
    void PlayForwards(const playback::Variant &speed) override;
    void Resume() override;
    void PlayNextChapter() override;
    void PlayPrevChapter() override;
    void Eject() override;
    playback::Variant GetSubpictureLanguage(const playback::Variant &stream) override;
    playback::Variant CurrentTitle() override;
    playback::Variant CurrentChapter() override;
    playback::Variant CurrentTime() override;
    playback::Variant TotalTitleTime() override;
    playback::Variant DVDDirectory() override;
    playback::Variant CurrentDiscSide() override;
    playback::Variant CurrentSubpictureStream() override;
    playback::Variant SubpictureOn() override;
    playback::Variant SubpictureStreamsAvailable() override;
    playback::Variant DVDUniqueID() override;
    void setFullScreenMode(const playback::Variant &on) override;
    void setCurrentSubpictureStream(const playback::Variant &n) override;
    void setSubpictureOn(const playback::Variant &on) override;
    void setMute(const playback::Variant &on) override;

private:
    playback::Variant call(const QString &operation, QList<playback::Variant> args = {});

    QHash<QString, playback::Variant> m_values;
    QHash<QString, std::deque<playback::Variant>> m_once;
    QHash<QString, int> m_failures; // -1: always; n > 0: the next n calls
    QHash<int, QString> m_languages;
};
