// The file list control: which entries of a directory it lists and in what
// order, and that a directory it cannot list leaves the listing as it was.
#include "app/FileListBox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class FileListBoxTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void listing_data();
    void listing();
    void unlisted_data();
    void unlisted();

private:
    QString makeDir(const QString &name, const QStringList &files, const QStringList &dirs = {})
    {
        const QString path = m_tmp.filePath(name);
        if (!QDir().mkpath(path))
            qFatal("cannot make %s", qPrintable(path));
        for (const QString &f : files) {
            QFile file(path + QLatin1Char('/') + f);
            if (!file.open(QIODevice::WriteOnly))
                qFatal("cannot make %s", qPrintable(file.fileName()));
        }
        for (const QString &d : dirs)
            QDir(path).mkpath(d);
        return path;
    }

    QTemporaryDir m_tmp;
};

void FileListBoxTest::initTestCase()
{
    QVERIFY(m_tmp.isValid());
    // Every kind of entry that is not a plain visible file, next to ones that are.
    const QString mixed = makeDir(QStringLiteral("mixed"), {"b.txt", "A.txt", "c", ".hidden", "VIDEO_TS.IFO"},
                                  {"dir", ".hiddendir", "Zdir"});
    QVERIFY(QFile::link(mixed + "/c", mixed + "/link-to-file"));
    QVERIFY(QFile::link(mixed + "/dir", mixed + "/link-to-dir"));
    QVERIFY(QFile::link(mixed + "/nowhere", mixed + "/broken-link"));
    QCOMPARE(::mkfifo(QFile::encodeName(mixed + "/pipe").constData(), 0600), 0);

    makeDir(QStringLiteral("case"), {"b", "B1", "a", "A0", "_x", "10", "9"});
    makeDir(QStringLiteral("disc"), {"VTS_01_1.VOB", "VIDEO_TS.VOB", "VTS_01_0.IFO", "VIDEO_TS.IFO", "VTS_01_10.VOB",
                                     "VTS_01_2.VOB", "VIDEO_TS.BUP"});
    makeDir(QStringLiteral("empty"), {});
    makeDir(QStringLiteral("only dirs"), {}, {"AUDIO_TS", "VIDEO_TS"});
}

void FileListBoxTest::listing_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("files only, sorted") << "mixed" << QStringList{"A.txt", "b.txt", "c", "link-to-file", "VIDEO_TS.IFO"};
    QTest::newRow("case does not decide the order") << "case" << QStringList{"10", "9", "_x", "a", "A0", "b", "B1"};
    QTest::newRow("a disc's video directory")
        << "disc"
        << QStringList{"VIDEO_TS.BUP", "VIDEO_TS.IFO", "VIDEO_TS.VOB", "VTS_01_0.IFO", "VTS_01_1.VOB", "VTS_01_10.VOB",
                       "VTS_01_2.VOB"};
    QTest::newRow("empty directory") << "empty" << QStringList();
    QTest::newRow("sub-directories only") << "only dirs" << QStringList();
    QTest::newRow("path with a trailing slash") << "disc/" << QStringList{"VIDEO_TS.BUP", "VIDEO_TS.IFO", "VIDEO_TS.VOB",
                                                                         "VTS_01_0.IFO", "VTS_01_1.VOB",
                                                                         "VTS_01_10.VOB", "VTS_01_2.VOB"};
}

void FileListBoxTest::listing()
{
    QFETCH(QString, dir);
    QFETCH(QStringList, names);

    app::FileListBox box;
    QVERIFY(box.path().isEmpty());
    QCOMPARE(box.count(), 0);
    box.setPath(m_tmp.filePath(dir));
    QCOMPARE(box.fileNames(), names);
    QCOMPARE(box.path(), QDir::cleanPath(m_tmp.filePath(dir)));

    // Listing another directory replaces the list, it does not add to it.
    box.setPath(m_tmp.filePath(QStringLiteral("empty")));
    QCOMPARE(box.count(), 0);
    box.setPath(m_tmp.filePath(dir));
    QCOMPARE(box.fileNames(), names);
}

void FileListBoxTest::unlisted_data()
{
    QTest::addColumn<QString>("dir"); // relative to the temporary folder; "" stays empty
    QTest::addColumn<bool>("unreadable");

    QTest::newRow("missing") << "no such dir" << false;
    QTest::newRow("a file") << "disc/VIDEO_TS.IFO" << false;
    QTest::newRow("inside a file") << "disc/VIDEO_TS.IFO/x" << false;
    QTest::newRow("empty text") << "" << false;
    QTest::newRow("no permission") << "locked" << true;
}

void FileListBoxTest::unlisted()
{
    QFETCH(QString, dir);
    QFETCH(bool, unreadable);

    QString path = dir.isEmpty() ? QString() : m_tmp.filePath(dir);
    if (unreadable) {
        if (::geteuid() == 0)
            QSKIP("permissions do not hold for root");
        path = makeDir(dir, {"x"});
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    }

    app::FileListBox box;
    // From an empty box, and from a box listing a directory: both stay as they were.
    for (const QString &before : {QString(), m_tmp.filePath(QStringLiteral("disc"))}) {
        if (!before.isEmpty())
            box.setPath(before);
        const QStringList shown = box.fileNames();
        QVERIFY_THROWS_EXCEPTION(app::PathNotFound, box.setPath(path));
        QCOMPARE(box.fileNames(), shown);
        QCOMPARE(box.path(), before.isEmpty() ? QString() : QDir::cleanPath(before));
    }
    if (unreadable)
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QTEST_MAIN(FileListBoxTest)
#include "tst_filelistbox.moc"
