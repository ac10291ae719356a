// Whether the engine gives libvlc a real audio output: only where there is a
// sound server or an ALSA playback device to open.

#include "playback/engine/VlcInstance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using playback::engine::soundOutputAvailable;

class SoundOutputTest : public QObject {
    Q_OBJECT
private slots:
    void detection_data()
    {
        QTest::addColumn<QString>("pulseServer");
        QTest::addColumn<QString>("runtimeFile"); // made inside an empty XDG_RUNTIME_DIR
        QTest::addColumn<bool>("expected");
        QTest::newRow("PULSE_SERVER set") << "unix:/nowhere" << "" << true;
        QTest::newRow("PulseAudio socket") << "" << "pulse/native" << true;
        QTest::newRow("PipeWire socket") << "" << "pipewire-0" << true;
        QTest::newRow("other files only") << "" << "dconf/user" << false;
        QTest::newRow("nothing") << "" << "" << false;
    }
    void detection()
    {
        QFETCH(QString, pulseServer);
        QFETCH(QString, runtimeFile);
        QFETCH(bool, expected);
        if (!expected
            && !QDir(QStringLiteral("/dev/snd")).entryList({QStringLiteral("pcmC*p")}, QDir::System).isEmpty())
            QSKIP("this machine has an ALSA playback device");
        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        if (!runtimeFile.isEmpty()) {
            QVERIFY(QDir(runtime.path()).mkpath(QFileInfo(runtimeFile).path()));
            QFile f(runtime.filePath(runtimeFile));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QByteArray oldPulse = qgetenv("PULSE_SERVER"), oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        if (pulseServer.isEmpty())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", pulseServer.toUtf8());
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const bool found = soundOutputAvailable();
        qputenv("PULSE_SERVER", oldPulse);
        if (oldPulse.isEmpty())
            qunsetenv("PULSE_SERVER");
        qputenv("XDG_RUNTIME_DIR", oldRuntime);
        QCOMPARE(found, expected);
    }
};

QTEST_MAIN(SoundOutputTest)
#include "tst_soundoutput.moc"
