#pragma once
// The generated sample discs (scripts/make-sample-disc), a corpus of broken
// discs made from them, and a reader for the stamp burned into every picture.

#include "FrameStamp.h"
#include "playback/disc/Source.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace testsupport {

// ---- The sample discs -------------------------------------------------------

// Menu: a first-play menu with two buttons. Wide: a 16:9 title whose subtitle
// streams lie on other sub-streams (a folder only; see scripts/make-sample-disc).
enum class SampleVariant { Plain, Menu, Wide };

// The folder holding plain/, menu/, plain.iso and menu.iso. The environment
// variable ORVANTA_SAMPLE_DISC overrides the build tree's path.
QString sampleDiscRoot();
QString sampleFolder(SampleVariant variant); // holds VIDEO_TS
QString sampleVideoTs(SampleVariant variant);
QString sampleImage(SampleVariant variant);
playback::disc::Source sampleSource(SampleVariant variant, playback::disc::SourceKind kind); // Folder or Image

// False, with a message saying how to build it, when the sample disc is missing.
bool sampleDiscPresent(QString *why);

// What the sample disc holds (see scripts/make-sample-disc). Frames are 0-based
// within the title, 25 per second.
struct SampleTitle {
    int frames;
    QList<int> chapterStartFrames;
    QStringList subpictureLanguageCodes;
    QStringList audioLanguageCodes;
    QString vob; // the title's first VOB file in VIDEO_TS
};
const QList<SampleTitle> &sampleTitles(); // [0] is title 1

// Registers the build tree's path; every test executable is compiled with it.
bool registerSampleDiscRoot(const QString &root);

// ---- Broken discs -----------------------------------------------------------

struct BadDisc {
    QString name;
    playback::disc::Source source;
};

// Builds, in a temporary folder that lives as long as the object, discs that
// must not play: an empty folder, a VIDEO_TS without VIDEO_TS.IFO, garbage IFOs,
// an IFO that crashes libdvdread, a title VOB cut to 10 % or missing, an ISO
// 9660 image without UDF, random bytes named x.iso, an empty image and an image
// cut in half.
class BadDiscCorpus {
public:
    // Fails with a message in *error when the sample disc or a tool is missing.
    bool build(QString *error);
    const QList<BadDisc> &entries() const { return m_entries; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QList<BadDisc> m_entries;
};

// Copies a folder tree; false on any failure.
bool copyTree(const QString &from, const QString &to);

// ---- The picture stamp ------------------------------------------------------

using sampledisc::FrameStamp;
using sampledisc::readFrameStamp;

// Decodes frames [first, first + count) of a VOB with ffmpeg, at 720x576.
QList<QImage> decodeVobFrames(const QString &vob, int first, int count, QString *error);

} // namespace testsupport

#ifdef ORVANTA_SAMPLE_DISC
namespace {
[[maybe_unused]] const bool orvantaSampleDiscRegistered =
    testsupport::registerSampleDiscRoot(QStringLiteral(ORVANTA_SAMPLE_DISC));
}
#endif

// Fails the current test function when the sample disc is missing
// (scripts/test builds it before running the tests).
#define ORVANTA_REQUIRE_SAMPLE_DISC()                                                                                  \
    do {                                                                                                               \
        QString orvantaWhy_;                                                                                           \
        if (!testsupport::sampleDiscPresent(&orvantaWhy_))                                                             \
            QFAIL(qPrintable(orvantaWhy_));                                                                            \
    } while (false)
