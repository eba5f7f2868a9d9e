// A serial port is held by one program at a time: two real processes on attsim's pseudo-terminal,
// the console and attctl, each refused while the other holds the port, with the holder named, and
// the holder's exchange left whole. A refused open keeps the system's reason and says what to do.
#include "attlink/transport/PortHolder.h"
#include "support/AttctlProcess.h"
#include "support/SimConsole.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <unistd.h>

namespace {

bool heldBy(const QString &device, qint64 pid)
{
    for (const PortHolder &h : PortHolders::of(device))
        if (h.pid == pid) return true;
    return false;
}

qsizetype fileLines(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count('\n') : -1;
}

}  // namespace

class LinkPortLock : public QObject {
    Q_OBJECT

private slots:
    // The console holds Com2: attctl on the same port is refused with the console named, and the
    // console's own exchanges go on.
    void attctlRefusedWhileTheConsoleHoldsThePort()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("40")}, SimProcess::WithPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        SimConsole c(sim);
        QVERIFY(heldBy(sim.ptyPath(), QCoreApplication::applicationPid()));

        const AttctlRun r = attctl({QStringLiteral("--settings"), c.appFile(QStringLiteral("AttLink.ini")),
                                    QStringLiteral("--com"), QStringLiteral("2"), QStringLiteral("count")});
        QCOMPARE(r.code, 3);
        QCOMPARE(r.err.count(u'\n'), 1);
        const QString resolved = QFileInfo(sim.ptyPath()).canonicalFilePath();
        QVERIFY2(r.err.contains(QStringLiteral("COM2 %1 (%2): in use by ").arg(sim.ptyPath(), resolved)),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("(process %1)").arg(QCoreApplication::applicationPid())),
                 qPrintable(r.err));

        qint32 n = 0;
        QVERIFY(c.link().GatherRecordSum(QStringLiteral("105"), n, QStringLiteral("ok")).toBool());
        QCOMPARE(n, 40);
        // Once the console gives the port up, attctl has it.
        c.console.reset();
        const AttctlRun after = attctl({QStringLiteral("--settings"), c.appFile(QStringLiteral("AttLink.ini")),
                                        QStringLiteral("--com"), QStringLiteral("2"), QStringLiteral("count")});
        QVERIFY2(after.code == 0, qPrintable(after.err));
        QCOMPARE(after.out, QStringLiteral("40\n"));
    }

    // attctl holds the port through a long collection: the console's port button is refused with
    // attctl named in the status text, and the collection still brings every record.
    void consoleRefusedWhileAttctlCollects()
    {
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("2560"), QStringLiteral("--delay"), QStringLiteral("150")},
            SimProcess::WithPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        SimConsole c(sim, false);
        QTemporaryDir out;
        QProcess collect;
        collect.start(attctlPath(),
                      {QStringLiteral("--settings"), c.appFile(QStringLiteral("AttLink.ini")), QStringLiteral("--com"),
                       QStringLiteral("2"), QStringLiteral("collect"), QStringLiteral("--dir"), out.path()});
        QVERIFY(collect.waitForStarted(10000));
        // Wait for attctl to take the port (it holds it for ten slow packets).
        while (!heldBy(sim.ptyPath(), collect.processId()) && collect.state() == QProcess::Running) QTest::qWait(10);
        QVERIFY2(collect.state() == QProcess::Running, "attctl ended before it was seen holding the port");

        c.load();  // the saved port, Com2, is refused at start-up
        c.w().comButtons[2]->click();
        const QString resolved = QFileInfo(sim.ptyPath()).canonicalFilePath();
        QCOMPARE(c.w().statusText(),
                 QStringLiteral("串口:2 设置失败! %1 (%2) 正被 attctl（进程 %3） 占用")
                     .arg(sim.ptyPath(), resolved)
                     .arg(collect.processId()));
        QVERIFY(!c.w().comButtonPressed(2));

        QVERIFY(collect.waitForFinished(120000));
        QCOMPARE(collect.exitCode(), 0);
        QVERIFY2(collect.readAllStandardOutput().startsWith("2560\t"), collect.readAllStandardError().constData());
        QCOMPARE(fileLines(out.filePath(QStringLiteral("DataRecordSet_original.txt"))), 2560);
        // Free again: the console's button takes it.
        c.w().comButtons[2]->click();
        QCOMPARE(c.w().statusText(), QStringLiteral("串口:2 设置成功!"));
    }

    // A stable name (as /dev/serial/by-id gives) in AttLink.ini reaches the port; attctl ports lists
    // it with the COM number that maps to it.
    void stableNamesInTheSettings()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("7")}, SimProcess::WithPty);
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("by-id")));
        const QString stable = dir.filePath(QStringLiteral("by-id/usb-Zevo_RS485_Adapter_A50285BI,2-if00-port0"));
        QVERIFY(QFile::link(QFileInfo(sim.ptyPath()).canonicalFilePath(), stable));
        const QString ini = dir.filePath(QStringLiteral("AttLink.ini"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Ports]\nCom3=" + stable.toUtf8() + "\n");
        }
        const AttctlRun count = attctl(
            {QStringLiteral("--settings"), ini, QStringLiteral("--com"), QStringLiteral("3"), QStringLiteral("count")});
        QVERIFY2(count.code == 0, qPrintable(count.err));
        QCOMPARE(count.out, QStringLiteral("7\n"));

        const AttctlRun ports = attctl({QStringLiteral("--settings"), ini, QStringLiteral("ports"),
                                        QStringLiteral("--by-id"), dir.filePath(QStringLiteral("by-id"))});
        QCOMPARE(ports.code, 0);
        const QString line = QStringLiteral("%1\t%2\tCOM3\t").arg(stable, QFileInfo(sim.ptyPath()).canonicalFilePath());
        QVERIFY2(ports.out.contains(line), qPrintable(ports.out));
    }

    // A device the user may not open: the system's reason and the group to join.
    void permissionDeniedSaysWhichGroup()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyLOCKED"));
        QFile f(device);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(f.setPermissions(QFileDevice::Permissions()));
        QStringList args{QStringLiteral("--device"), device, QStringLiteral("count")};
        AttctlOptions as;
        as.environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        QString program = attctlPath();
        if (geteuid() == 0) {
            // Root opens anything: ask as nobody, who may still reach the binary.
            const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
            if (setpriv.isEmpty()) QSKIP("running as root without setpriv to drop privileges");
            QFile::setPermissions(dir.path(),
                                  QFile::permissions(dir.path()) | QFileDevice::ExeOther | QFileDevice::ReadOther);
            args = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                               QStringLiteral("--clear-groups"), program}
                + args;
            program = setpriv;
        }
        QProcess p;
        p.setProcessEnvironment(as.environment);
        p.start(program, args);
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 3);
        QVERIFY2(err.contains(QStringLiteral("cannot open %1: Permission denied; ").arg(device)), qPrintable(err));
        QVERIFY2(err.contains(QStringLiteral("join the group ")), qPrintable(err));
    }
};

QTEST_MAIN(LinkPortLock)
#include "link_port_lock.moc"
