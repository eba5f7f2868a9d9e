// kill -9 at random moments: attctl in the middle of a collection, the console in the middle of saving
// Public.Sys at its close. Every file under its own name is whole afterwards: the earlier content or
// the complete new one, never a part.
#include "support/FileContent.h"
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Kill moments from a fixed seed: the same moments every run, spread over the program's work.
QRandomGenerator moments(20261208);

bool catchesSigterm(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

}  // namespace

class FilesKilled : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void attctlKilledDuringACollection()
    {
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("20000"), QStringLiteral("--seed"), QStringLiteral("3")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QStringList connection{QStringLiteral("--tcp"), sim.host() + QLatin1Char(':') + sim.portText()};
        auto collect = [&](const QString &folder) {
            auto *p = new QProcess(this);
            p->start(attctlPath(),
                     connection + QStringList{QStringLiteral("collect"), QStringLiteral("--dir"), folder});
            return p;
        };
        // The complete files, for comparison.
        const QString reference = dir_.filePath(QStringLiteral("reference"));
        QProcess *whole = collect(reference);
        QVERIFY(whole->waitForFinished(120000));
        QCOMPARE(whole->exitCode(), 0);
        const QByteArray raw = fileBytes(reference + QStringLiteral("/DataRecordSet_original.txt"));
        const QByteArray formatted = fileBytes(reference + QStringLiteral("/DataRecordSet.txt"));
        QCOMPARE(raw.count('\n'), 20000);

        const QString folder = dir_.filePath(QStringLiteral("killed"));
        QDir().mkpath(folder);
        const QByteArray earlierRaw = "1050079A785070927093628IN01\r\n",
                         earlierFormatted = "1050079A785070927093628\r\n";
        writeFile(folder + QStringLiteral("/DataRecordSet_original.txt"), earlierRaw);
        writeFile(folder + QStringLiteral("/DataRecordSet.txt"), earlierFormatted);
        for (int i = 0; i < 12; ++i) {
            QProcess *p = collect(folder);
            QVERIFY(p->waitForStarted(10000));
            QThread::msleep(moments.bounded(400));
            ::kill(pid_t(p->processId()), SIGKILL);
            QVERIFY(p->waitForFinished(10000));
            const QByteArray gotRaw = fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt"));
            const QByteArray gotFormatted = fileBytes(folder + QStringLiteral("/DataRecordSet.txt"));
            QVERIFY2(gotRaw == earlierRaw || gotRaw == raw,
                     qPrintable(QStringLiteral("try %1: raw file of %2 bytes").arg(i).arg(gotRaw.size())));
            QVERIFY2(gotFormatted == earlierFormatted || gotFormatted == formatted,
                     qPrintable(QStringLiteral("try %1: formatted file of %2 bytes").arg(i).arg(gotFormatted.size())));
            delete p;
        }
    }

    void consoleKilledWhileSavingItsProfile()
    {
        const QString zevo = binDir() + QStringLiteral("/zevo");
        if (!QFile::exists(zevo)) QSKIP("zevo has not been built");
        const QString app = dir_.filePath(QStringLiteral("app"));
        QDir().mkpath(app);
        QDir().mkpath(dir_.filePath(QStringLiteral("config")));
        QVERIFY(QFile::copy(zevo, app + QStringLiteral("/zevo")));
        writeFile(app + QStringLiteral("/AttLink.ini"), "[Ports]\nCom2=" + QFile::encodeName(dir_.path()) + "/none\n");
        // Keys the close adds one by one; the other program's section must survive every step.
        QByteArray earlier = "[Other]\r\nKept=1\r\n[730KZevo]\r\nIsCheck=0\r\n";
        for (int i = 0; i < 200; ++i) earlier += "K" + QByteArray::number(i) + "=another program's value\r\n";
        for (int i = 0; i < 10; ++i) {
            QVERIFY(writeFile(app + QStringLiteral("/Public.Sys"), earlier));
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            env.insert(QStringLiteral("HOME"), dir_.path());
            env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
            p.setProcessEnvironment(env);
            p.start(app + QStringLiteral("/zevo"), {});
            QVERIFY(p.waitForStarted(10000));
            QVERIFY(QTest::qWaitFor([&] { return catchesSigterm(p.processId()); }, 20000));
            ::kill(pid_t(p.processId()), SIGTERM);
            QThread::msleep(moments.bounded(60));
            ::kill(pid_t(p.processId()), SIGKILL);
            QVERIFY(p.waitForFinished(10000));
            const QByteArray got = fileBytes(app + QStringLiteral("/Public.Sys"));
            // Whole: the earlier lines in their order, then only whole lines of the keys the close writes.
            QVERIFY2(got.startsWith(earlier.left(earlier.indexOf("IsCheck"))), got.left(200).constData());
            QVERIFY(got.endsWith("\r\n"));
            for (const QByteArray &line : got.split('\n')) {
                if (line.isEmpty()) continue;
                QVERIFY2(line.endsWith('\r')
                             && (earlier.contains(line + '\n') || line.startsWith("IsCheck=")
                                 || line.startsWith("YearCheck=") || line.startsWith("TxtF")),
                         line.constData());
            }
            QCOMPARE(got.count("K199="), 1);
        }
    }
};

QTEST_GUILESS_MAIN(FilesKilled)
#include "files_killed.moc"
