#pragma once
// Which disc the control plays, and what it is: the disc named on the command
// line, or else the first drive that holds one. Its facts are read once per
// disc, and again only when an image's or folder's files have changed (see
// disc::discSignature), or a drive's disc may have: the desktop says so, or
// the control has found it gone (forget()). The reading runs on a thread of its own: a drive may
// take seconds to spin up, and the GUI thread never waits for it. A lookup that
// finds nothing read yet starts the reading and says so; read() follows.
//
// Threads: GUI thread. Each reading runs on a thread of its own, adopted by the
// reaper so that nothing waits for it; its result is posted back to the GUI thread.

#include "playback/disc/Facts.h"
#include "playback/disc/UDisks.h"

#include <QObject>

#include <memory>
#include <optional>

namespace playback::engine {

// Why a disc cannot be told about yet.
QString stillBeingRead();

class DiscLookup : public QObject {
    Q_OBJECT
public:
    // argument: the disc named on the command line, or empty to look in the drives.
    explicit DiscLookup(const QString &argument, QObject *parent = nullptr);
    ~DiscLookup() override;
    // Another disc from now on (a disc dropped on a window, say).
    void setArgument(const QString &argument);
    // Reads the disc again: a drive's disc changed, or may have.
    void forget();
    // forget(), unless a reading runs now.
    void forgetWhatWasRead();
    // The desktop tells of drives' disc changes (see disc::MediaWatch).
    bool hearsMediaChanges() const;
    // forget(), unless there is nothing to read (the named path leads nowhere).
    bool readAgain();
    // The disc is in a drive (named, or looked for).
    bool inDrive() const;

    struct Disc {
        disc::Source source;
        disc::Facts facts;
    };
    // The disc and its facts, when they have been read and the disc is unchanged
    // since. Throws PlaybackError(operation, problem) when the reading found no
    // disc, or, with playable, none of its titles can be played. Otherwise starts
    // reading (unless a reading of the same disc runs) and returns nullopt.
    std::optional<Disc> lookup(const QString &operation, bool playable = false);
    // Where the disc is, as lookup() finds it; the named disc needs no reading.
    // Throws PlaybackError(operation, ...) when there is none, or it is still being read.
    disc::Source source(const QString &operation);
    // What Eject opens when nothing plays: the named disc, or the first drive.
    std::optional<disc::Source> ejectable() const;

signals:
    // A reading has finished: lookup() answers now, unless the disc changed meanwhile.
    void read();
    // The desktop says a drive's disc went in or out (see disc::MediaWatch).
    void mediaChanged(const QString &drive, bool present);

private:
    struct Reading;
    QString signature() const;
    void startReading(const QString &signature);

    QString m_argument;
    disc::MediaWatch m_media;
    int m_generation = 0; // counts forget()
    std::shared_ptr<Reading> m_reading; // the latest, done or not
};

} // namespace playback::engine
