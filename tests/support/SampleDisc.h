#pragma once
// The generated sample discs (scripts/make-sample-disc): where they are, the
// broken discs made from them, and the stamp burned into every picture.

#include "FrameStamp.h"
#include "playback/disc/Source.h"

#include <QList>
#include <QString>
#include <QTest>

namespace testsupport {

// Menu: a first-play menu with two buttons. Wide: a 16:9 title whose subtitle
// streams lie on other sub-streams (a folder only).
enum class SampleVariant { Plain, Menu, Wide, Warning, Programs, Chapters, Stills, Film, Long };

// The folder holding plain/, menu/, wide/, broken/, plain.iso and menu.iso,
// in the build tree.
QString sampleDiscRoot();
QString sampleFolder(SampleVariant variant); // holds VIDEO_TS
QString sampleVideoTs(SampleVariant variant);
QString sampleImage(SampleVariant variant);
playback::disc::Source sampleSource(SampleVariant variant, playback::disc::SourceKind kind); // Folder or Image

// False, with a message saying how to build it, when the sample disc is missing.
bool sampleDiscPresent(QString *why);

// Copies a folder tree; false on any failure.
bool copyTree(const QString &from, const QString &to);

using sampledisc::FrameStamp;

} // namespace testsupport

// Fails the current test function when the sample disc is missing
// (scripts/test builds it before running the tests).
#define ORVANTA_REQUIRE_SAMPLE_DISC()                                                                                  \
    do {                                                                                                               \
        QString orvantaWhy_;                                                                                           \
        if (!testsupport::sampleDiscPresent(&orvantaWhy_))                                                             \
            QFAIL(qPrintable(orvantaWhy_));                                                                            \
    } while (false)
