#include "support/SampleDisc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testsupport {

using playback::disc::Source;
using playback::disc::SourceKind;

QString sampleDiscRoot() { return QStringLiteral(ORVANTA_SAMPLE_DISC); }

QString sampleFolder(SampleVariant variant)
{
    static const char *const names[] = {"/plain", "/menu", "/wide", "/warning", "/programs", "/chapters", "/stills", "/film", "/long"};
    return sampleDiscRoot() + QLatin1String(names[int(variant)]);
}

QString sampleVideoTs(SampleVariant variant) { return sampleFolder(variant) + QStringLiteral("/VIDEO_TS"); }

QString sampleImage(SampleVariant variant) { return sampleFolder(variant) + QStringLiteral(".iso"); }

Source sampleSource(SampleVariant variant, SourceKind kind)
{
    return Source{kind, kind == SourceKind::Image ? sampleImage(variant) : sampleFolder(variant)};
}

bool sampleDiscPresent(QString *why)
{
    if (QFileInfo::exists(sampleDiscRoot() + QStringLiteral("/broken/half.iso")))
        return true;
    if (why)
        *why = QStringLiteral("The sample disc is missing. Build it with scripts/make-sample-disc %1 "
                              "(scripts/test does this before running the tests).")
                   .arg(sampleDiscRoot());
    return false;
}

bool copyTree(const QString &from, const QString &to)
{
    if (!QFileInfo(from).isDir())
        return QFile::copy(from, to);
    if (!QDir().mkpath(to))
        return false;
    for (const QString &name : QDir(from).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        if (!copyTree(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
            return false;
    return true;
}

} // namespace testsupport
