// A damaged IFO: the fuzzer's bytes overwrite the start of title set 1's IFO and
// its backup on a copy of the sample disc. Reading the disc's facts (in the
// helper process) refuses it with a reason, or gives facts of the usual shape;
// it never crashes or hangs the caller.

#include "playback/disc/Facts.h"
#include "playback/disc/FactsHelper.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

// The sample disc's VIDEO_TS, the VOBs linked rather than copied.
const QTemporaryDir &disc()
{
    static QTemporaryDir dir;
    static const bool made = [] {
        const QString from = QStringLiteral(ORVANTA_SAMPLE_DISC "/plain/VIDEO_TS"), to = dir.path() + "/VIDEO_TS";
        QDir().mkpath(to);
        for (const QString &name : QDir(from).entryList(QDir::Files))
            name.endsWith(".VOB") ? QFile::link(from + '/' + name, to + '/' + name)
                                  : QFile::copy(from + '/' + name, to + '/' + name);
        playback::disc::setFactsHelperProgram(QStringLiteral(ORVANTA_FACTS_PROGRAM));
        return true;
    }();
    (void)made;
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString videoTs = disc().path() + "/VIDEO_TS/";
    QFile original(QStringLiteral(ORVANTA_SAMPLE_DISC "/plain/VIDEO_TS/VTS_01_0.IFO"));
    if (!original.open(QIODevice::ReadOnly))
        std::abort();
    QByteArray ifo = original.readAll();
    ifo.replace(0, qsizetype(std::min<std::size_t>(size, std::size_t(ifo.size()))),
                QByteArray(reinterpret_cast<const char *>(data), qsizetype(std::min<std::size_t>(size, std::size_t(ifo.size())))));
    for (const char *name : {"VTS_01_0.IFO", "VTS_01_0.BUP"}) {
        QFile f(videoTs + name);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(ifo) != ifo.size())
            std::abort();
    }
    playback::disc::Problem problem = playback::disc::Problem::None;
    const auto facts = playback::disc::readFacts({playback::disc::SourceKind::Folder, disc().path()}, &problem);
    if (!facts) {
        if (problem == playback::disc::Problem::None)
            std::abort();
        return 0;
    }
    static const QRegularExpression code(QStringLiteral("^([a-z]{2})?$"));
    if (facts->titles.empty() || facts->titles.size() > 99 || (facts->discSide != 1 && facts->discSide != 2))
        std::abort();
    for (const playback::disc::TitleFacts &t : facts->titles) {
        if (t.chapters < 0 || t.chapters > 999 || t.subpictureLanguageCodes.size() > 32 || t.audioLanguageCodes.size() > 8)
            std::abort();
        for (const QString &c : t.subpictureLanguageCodes + t.audioLanguageCodes)
            if (!code.match(c).hasMatch())
                std::abort();
    }
    return 0;
}
