// A serial port is held by one program at a time: two real processes on attsim's pseudo-terminal,
// the console and attctl, each refused while the other holds the port, with the holder named, and
// the holder's exchange left whole. A refused open keeps the system's reason and says who may open it.
#include "attlink/transport/PortHolder.h"
#include "link/PortFailureText.h"
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
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>
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
                 QStringLiteral("串口:2 设置失败! %1 (%2): in use by attctl (process %3)")
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

    // A refused device names a group only when that group may read and write it and is not root;
    // otherwise only its owner may open it. Worked out from the mode, owner and group, so that it
    // holds whoever runs the test.
    void refusedPortSaysWhoMayOpenIt()
    {
        auto refused = [](unsigned mode, const QString &group, unsigned gid) {
            PortFailure f;
            f.device = QStringLiteral("/dev/ttyUSB7");
            f.systemError = EACCES;
            f.reason = QStringLiteral("Permission denied");
            f.mode = mode;
            f.owner = QStringLiteral("root");
            f.group = group;
            f.groupId = gid;
            return portFailureText(f);
        };
        const QString onlyRoot = QStringLiteral(
            "/dev/ttyUSB7: Permission denied; only root may open it: an administrator can add a udev rule");
        QVERIFY(refused(S_IFCHR | 0600, QStringLiteral("root"), 0).startsWith(onlyRoot));
        QVERIFY(refused(S_IFCHR | 0660, QStringLiteral("root"), 0).startsWith(onlyRoot));
        QVERIFY(refused(S_IFCHR | 0640, QStringLiteral("dialout"), 20).startsWith(onlyRoot));
        QCOMPARE(
            refused(S_IFCHR | 0660, QStringLiteral("dialout"), 20),
            QStringLiteral(
                "/dev/ttyUSB7: Permission denied; join the group dialout (sudo usermod -aG dialout $USER) and log in again"));
        QCOMPARE(refused(S_IFREG | 0644, QStringLiteral("root"), 0),
                 QStringLiteral("/dev/ttyUSB7: not a serial device"));
        QCOMPARE(refused(0, QString(), 0), QStringLiteral("/dev/ttyUSB7: Permission denied"));

        // A regular file is refused for what it is, whether the open fails (a user) or the serial
        // set-up does (root); never with advice to join the group root.
        for (const QString &file : {QStringLiteral("/etc/passwd"), QStringLiteral("/etc/shadow")}) {
            const AttctlRun r = attctl({QStringLiteral("--device"), file, QStringLiteral("count")});
            QCOMPARE(r.code, 3);
            QCOMPARE(r.err, QStringLiteral("attctl: cannot open %1: not a serial device\n").arg(file));
        }
    }
};

QTEST_MAIN(LinkPortLock)
#include "link_port_lock.moc"
