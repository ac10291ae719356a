#include "support/SampleDisc.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <functional>

namespace testsupport {

using playback::disc::Source;
using playback::disc::SourceKind;

namespace {

QString &registeredRoot()
{
    static QString root;
    return root;
}

QString variantName(SampleVariant variant)
{
    switch (variant) {
    case SampleVariant::Plain: return QStringLiteral("plain");
    case SampleVariant::Menu: return QStringLiteral("menu");
    case SampleVariant::Wide: break;
    }
    return QStringLiteral("wide");
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    // Seeded: a failure reproduces with the same bytes.
    QRandomGenerator generator(seed);
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char(generator.bounded(256));
    return data;
}

bool truncateFile(const QString &path, double fraction)
{
    QFile f(path);
    return f.exists() && f.resize(qint64(double(f.size()) * fraction));
}

} // namespace

bool registerSampleDiscRoot(const QString &root)
{
    registeredRoot() = root;
    return true;
}

QString sampleDiscRoot()
{
    const QString fromEnvironment = qEnvironmentVariable("ORVANTA_SAMPLE_DISC");
    return fromEnvironment.isEmpty() ? registeredRoot() : fromEnvironment;
}

QString sampleFolder(SampleVariant variant) { return sampleDiscRoot() + QLatin1Char('/') + variantName(variant); }

QString sampleVideoTs(SampleVariant variant) { return sampleFolder(variant) + QStringLiteral("/VIDEO_TS"); }

QString sampleImage(SampleVariant variant)
{
    return sampleDiscRoot() + QLatin1Char('/') + variantName(variant) + QStringLiteral(".iso");
}

Source sampleSource(SampleVariant variant, SourceKind kind)
{
    return Source{kind, kind == SourceKind::Image ? sampleImage(variant) : sampleFolder(variant)};
}

bool sampleDiscPresent(QString *why)
{
    const QString root = sampleDiscRoot();
    QStringList missing;
    for (SampleVariant v : {SampleVariant::Plain, SampleVariant::Menu}) {
        if (!QFileInfo::exists(sampleVideoTs(v) + QStringLiteral("/VIDEO_TS.IFO")))
            missing << sampleVideoTs(v);
        if (!QFileInfo::exists(sampleImage(v)))
            missing << sampleImage(v);
    }
    if (root.isEmpty() || !missing.isEmpty()) {
        if (why)
            *why = QStringLiteral("The sample disc is missing (%1). Build it with scripts/make-sample-disc %2 "
                                  "(scripts/test does this before running the tests).")
                       .arg(root.isEmpty() ? QStringLiteral("no path compiled in") : missing.join(QStringLiteral(", ")),
                            root);
        return false;
    }
    return true;
}

const QList<SampleTitle> &sampleTitles()
{
    static const QList<SampleTitle> titles = {
        {24 * 25, {0, 200, 400}, {"en", "fr", "de"}, {"en", "de"}, QStringLiteral("VTS_01_1.VOB")},
        {10 * 25, {0, 100}, {"en"}, {"en"}, QStringLiteral("VTS_02_1.VOB")},
    };
    return titles;
}

bool copyTree(const QString &from, const QString &to)
{
    const QFileInfo source(from);
    if (source.isDir()) {
        if (!QDir().mkpath(to))
            return false;
        const QStringList names = QDir(from).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString &name : names) {
            if (!copyTree(from + QLatin1Char('/') + name, to + QLatin1Char('/') + name))
                return false;
        }
        return true;
    }
    return QFile::copy(from, to);
}

bool BadDiscCorpus::build(QString *error)
{
    if (!sampleDiscPresent(error))
        return false;
    const auto fail = [error](const QString &message) {
        if (error)
            *error = message;
        return false;
    };
    if (!m_dir.isValid())
        return fail(QStringLiteral("cannot make a temporary folder: %1").arg(m_dir.errorString()));
    m_entries.clear();
    const QString plain = sampleFolder(SampleVariant::Plain);
    const auto add = [&](SourceKind kind, const QString &fileName, const QString &name) {
        m_entries.append({name, Source{kind, m_dir.filePath(fileName)}});
        return m_dir.filePath(fileName);
    };
    const auto failed = [&] { return fail(QStringLiteral("cannot make the broken disc \"%1\"").arg(m_entries.last().name)); };
    // A new entry copied from the plain disc: its VIDEO_TS folder with a trailing
    // slash, or nothing when the copy fails.
    const auto copy = [&](const QString &dirName, const QString &name) {
        const QString to = add(SourceKind::Folder, dirName, name);
        return copyTree(plain, to) ? to + QStringLiteral("/VIDEO_TS/") : QString();
    };
    // One of the plain disc's IFOs, damaged, over both that IFO and its backup in
    // videoTs: libdvdread falls back to the .BUP.
    const auto damaged = [&](const QString &videoTs, const QString &ifo, const std::function<bool(QByteArray &)> &damage) {
        QFile f(plain + QStringLiteral("/VIDEO_TS/") + ifo + QStringLiteral(".IFO"));
        QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        return !videoTs.isEmpty() && !data.isEmpty() && damage(data)
            && writeFile(videoTs + ifo + QStringLiteral(".IFO"), data) && writeFile(videoTs + ifo + QStringLiteral(".BUP"), data);
    };

    if (!QDir().mkpath(add(SourceKind::Folder, "empty", "empty folder")))
        return failed();
    QString v = copy("no-ifo", "VIDEO_TS without VIDEO_TS.IFO");
    if (v.isEmpty() || !QFile::remove(v + "VIDEO_TS.IFO") || !QFile::remove(v + "VIDEO_TS.BUP"))
        return failed();
    v = copy("garbage-ifo", "garbage VIDEO_TS.IFO and .BUP");
    if (!damaged(v, "VIDEO_TS", [](QByteArray &d) { return !(d = randomBytes(12288, 1)).isEmpty(); }))
        return failed();
    // A valid header over garbage: gets past the first check into the tables.
    v = copy("garbage-vts", "garbage tables in VTS_01_0.IFO and .BUP");
    if (!damaged(v, "VTS_01_0", [](QByteArray &d) {
            const QByteArray noise = randomBytes(d.size() - 256, 3);
            d.replace(256, noise.size(), noise);
            return true;
        }))
        return failed();
    // A first-play PGC whose command table claims 0x99xx commands: libdvdread
    // 6.1 frees the table twice on the failed read and crashes.
    v = copy("bad-commands", "first-play command count damaged");
    if (!damaged(v, "VIDEO_TS", [](QByteArray &d) {
            const auto be = [&](qsizetype at, int bytes) {
                quint32 n = 0;
                for (int i = 0; i < bytes; ++i)
                    n = n << 8 | quint8(d.at(at + i));
                return n;
            };
            const quint32 firstPlay = d.size() >= 0x88 ? be(0x84, 4) : 0; // VMGI_MAT: first-play PGC
            const quint32 table = firstPlay && firstPlay + 0xE6 <= quint32(d.size()) ? firstPlay + be(firstPlay + 0xE4, 2) : 0;
            if (table == firstPlay || table >= quint32(d.size()))
                return false; // the sample disc's first-play PGC has no command table
            d[table] = char(0x99); // high byte of the number of pre-commands
            return true;
        }))
        return failed();
    v = copy("truncated-vob", "VTS_01_1.VOB cut to 10 %");
    if (v.isEmpty() || !truncateFile(v + "VTS_01_1.VOB", 0.1))
        return failed();
    v = copy("no-vob", "VTS_02_1.VOB missing");
    if (v.isEmpty() || !QFile::remove(v + "VTS_02_1.VOB"))
        return failed();

    // An ISO 9660 image of a good disc: libdvdread reads DVD images only through UDF.
    const QString iso9660 = add(SourceKind::Image, "iso9660-only.iso", "ISO 9660 image without UDF");
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("genisoimage"));
    if (tool.isEmpty())
        return fail(QStringLiteral("genisoimage is missing (install it with scripts/install-deps)"));
    QProcess p;
    p.start(tool, {QStringLiteral("-quiet"), QStringLiteral("-o"), iso9660, plain});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return fail(QStringLiteral("genisoimage failed: %1").arg(QString::fromLocal8Bit(p.readAllStandardError())));

    if (!writeFile(add(SourceKind::Image, "x.iso", "random bytes named x.iso"), randomBytes(1 << 20, 4))
        || !writeFile(add(SourceKind::Image, "empty.iso", "empty image file"), QByteArray()))
        return failed();
    const QString half = add(SourceKind::Image, "half.iso", "image cut in half");
    if (!QFile::copy(sampleImage(SampleVariant::Plain), half) || !truncateFile(half, 0.5))
        return failed();
    return true;
}

// ---- The picture stamp ------------------------------------------------------
QList<QImage> decodeVobFrames(const QString &vob, int first, int count, QString *error)
{
    constexpr int kWidth = 720, kHeight = 576;
    QList<QImage> frames;
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (tool.isEmpty()) {
        if (error)
            *error = QStringLiteral("ffmpeg is missing (install it with scripts/install-deps)");
        return frames;
    }
    QProcess p;
    p.start(tool, {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), vob,
                   QStringLiteral("-vf"),
                   QStringLiteral("select=between(n\\,%1\\,%2),scale=%3:%4").arg(first).arg(first + count - 1).arg(kWidth).arg(kHeight),
                   QStringLiteral("-vsync"), QStringLiteral("0"), QStringLiteral("-frames:v"), QString::number(count),
                   QStringLiteral("-f"), QStringLiteral("rawvideo"), QStringLiteral("-pix_fmt"), QStringLiteral("bgra"),
                   QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QStringLiteral("ffmpeg could not decode %1: %2").arg(vob, QString::fromLocal8Bit(p.readAllStandardError()));
        return frames;
    }
    const QByteArray data = p.readAllStandardOutput();
    const qsizetype frameBytes = qsizetype(kWidth) * kHeight * 4;
    for (qsizetype at = 0; at + frameBytes <= data.size(); at += frameBytes) {
        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        for (int y = 0; y < kHeight; ++y)
            memcpy(image.scanLine(y), data.constData() + at + qsizetype(y) * kWidth * 4, size_t(kWidth) * 4);
        frames.append(image);
    }
    if (frames.size() != count && error)
        *error = QStringLiteral("ffmpeg gave %1 frames of %2 from %3").arg(frames.size()).arg(count).arg(vob);
    return frames;
}

} // namespace testsupport
