#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

// The modem-sim program over a real pseudo-terminal, as a dialer would meet it.
class ModemSimTest : public QObject {
    Q_OBJECT

  private slots:
    void answersAndLogsOverThePty() {
        QTemporaryDir dir;
        const QString logPath = dir.filePath("modem.log");
        QProcess sim;
        sim.start(MODEM_SIM, {"--log", logPath, "--link", dir.filePath("com1")});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(sim.canReadLine(), 10000);
        const QByteArray slave = sim.readLine().trimmed();
        QVERIFY(slave.startsWith("/dev/"));
        QCOMPARE(QFile::symLinkTarget(dir.filePath("com1")).toLatin1(), slave);

        const int fd =
            ::open(dir.filePath("com1").toLatin1().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "AT\r", 3), 3);
        QByteArray heard;
        auto listen = [&] {
            char buffer[256];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) heard.append(buffer, n);
            return heard;
        };
        QTRY_COMPARE_WITH_TIMEOUT(listen(), QByteArray("AT\r\r\nOK\r\n"), 10000);
        ::close(fd);

        auto log = [&] {
            QFile file(logPath);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QTRY_VERIFY_WITH_TIMEOUT(log().contains(" close\n"), 10000);
        QVERIFY(log().contains(" open\n"));
        QVERIFY(log().contains(" rx \"AT\\r\"\n"));
        QVERIFY(log().contains(" tx \"AT\\r\\r\\nOK\\r\\n\"\n"));

        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFile::exists(dir.filePath("com1")));
    }
};

QTEST_GUILESS_MAIN(ModemSimTest)
#include "modem_sim_test.moc"
