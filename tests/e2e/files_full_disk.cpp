// A nearly full disk (a small tmpfs mounted by the test, so it runs as root only): a collection or a
// settings file that does not fit fails, says the disk is full, and leaves the earlier file as it was,
// with no temporary file beside it.
#include "app/ModZevo.h"
#include "attlink/AttLink.h"
#include "support/FileContent.h"
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/statvfs.h>
#include <unistd.h>

namespace {

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

}  // namespace

class FilesFullDisk : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString mount_;

    // Fills the tmpfs up to about `free` bytes left.
    void fillLeaving(qint64 free)
    {
        QFile::remove(mount_ + QStringLiteral("/filler"));
        struct statvfs s {};
        QVERIFY(::statvfs(QFile::encodeName(mount_).constData(), &s) == 0);
        const qint64 available = qint64(s.f_bavail) * qint64(s.f_frsize);
        QVERIFY(available > free);
        QVERIFY(writeFile(mount_ + QStringLiteral("/filler"), QByteArray(available - free, 'x')));
    }

    QString folderWithEarlierFiles(const QString &name)
    {
        const QString folder = mount_ + QLatin1Char('/') + name;
        QDir().mkpath(folder);
        writeFile(folder + QStringLiteral("/DataRecordSet_original.txt"), "1050079A785070927093628IN01\r\n");
        writeFile(folder + QStringLiteral("/DataRecordSet.txt"), "1050079A785070927093628\r\n");
        writeFile(folder + QStringLiteral("/NameList.txt"), "0079A785,00000012,earlier\r\n");
        return folder;
    }

    static void verifyEarlierFiles(const QString &folder)
    {
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet_original.txt")),
                 QByteArray("1050079A785070927093628IN01\r\n"));
        QCOMPARE(fileBytes(folder + QStringLiteral("/DataRecordSet.txt")), QByteArray("1050079A785070927093628\r\n"));
        QCOMPARE(fileBytes(folder + QStringLiteral("/NameList.txt")), QByteArray("0079A785,00000012,earlier\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3);  // nothing half written beside them
    }

private slots:
    void initTestCase()
    {
        if (::geteuid() != 0) QSKIP("full-disk tests mount a small tmpfs and need root; skipped as a normal user");
        QVERIFY(dir_.isValid());
        mount_ = dir_.filePath(QStringLiteral("small"));
        QDir().mkpath(mount_);
        QProcess m;
        m.start(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"), QStringLiteral("size=256k"),
                 QStringLiteral("tmpfs"), mount_});
        if (!m.waitForFinished(10000) || m.exitCode() != 0)
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here: ")
                             + QString::fromLocal8Bit(m.readAllStandardError())));
    }

    void init()
    {
        if (!mount_.isEmpty()) QFile::remove(mount_ + QStringLiteral("/filler"));
    }

    void cleanupTestCase()
    {
        if (!mount_.isEmpty()) QProcess::execute(QStringLiteral("umount"), {mount_});
    }

    void collectionThatDoesNotFitKeepsTheEarlierFile()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("500")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString folder = folderWithEarlierFiles(QStringLiteral("link"));
        fillLeaving(8 * 1024);
        AttLink link(dir_.path());
        link.Mode(1);
        QVERIFY(link.Connect_Net(sim.host(), sim.portText()).toBool());
        QString message;
        qint32 count = -1;
        bool fullYear = false;
        QVERIFY(!link.GatherData(QStringLiteral("105"), folder, QStringLiteral("DataRecordSet_original.txt"), message,
                                 count, QStringLiteral("0"), 0, fullYear)
                     .toBool());
        QCOMPARE(count, 0);
        QVERIFY2(message.endsWith(QStringLiteral("：磁盘已满")), qPrintable(message));
        QCOMPARE(link.lastFileError(), ENOSPC);
        verifyEarlierFiles(folder);
    }

    // attctl says which file and why, exits with its own status, and keeps both earlier files.
    void attctlReportsALocalWriteFailure_data()
    {
        QTest::addColumn<QStringList>("command");
        QTest::newRow("collect") << QStringList{QStringLiteral("collect")};
        QTest::newRow("roster") << QStringList{QStringLiteral("roster")};
    }
    void attctlReportsALocalWriteFailure()
    {
        QFETCH(QStringList, command);
        SimProcess sim(
            {QStringLiteral("--records"), QStringLiteral("500"), QStringLiteral("--roster"), QStringLiteral("1000")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QString folder = folderWithEarlierFiles(QStringLiteral("attctl-") + command[0]);
        fillLeaving(8 * 1024);
        QProcess p;
        p.start(attctlPath(),
                QStringList{QStringLiteral("--tcp"), sim.host() + QLatin1Char(':') + sim.portText()} + command
                    + QStringList{QStringLiteral("--dir"), folder});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 5);
        QVERIFY2(err.contains(QStringLiteral("cannot write")) && err.contains(QString::fromLocal8Bit(strerror(ENOSPC))),
                 qPrintable(err));
        QVERIFY(p.readAllStandardOutput().isEmpty());
        verifyEarlierFiles(folder);
    }

    // Public.Sys that no longer fits stays whole, every section of it, and the failure is said.
    void profileThatDoesNotFitStaysWhole()
    {
        const QString folder = mount_ + QStringLiteral("/profile");
        QDir().mkpath(folder);
        QByteArray earlier = "[730KZevo]\r\nIsCheck=0\r\n[Other]\r\n";
        for (int i = 0; i < 400; ++i) earlier += "Key" + QByteArray::number(i) + "=a value kept by another program\r\n";
        QVERIFY(writeFile(folder + QStringLiteral("/Public.Sys"), earlier));
        fillLeaving(8 * 1024);
        QString error;
        QVERIFY(!ModZevo::WriteIniValue(QStringLiteral("730KZevo"), QStringLiteral("IsCheck"), QStringLiteral("1"),
                                        QString(), folder, &error));
        QCOMPARE(error, QStringLiteral("无法保存 %1/Public.Sys：磁盘已满").arg(folder));
        QCOMPARE(fileBytes(folder + QStringLiteral("/Public.Sys")), earlier);
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
    }
};

QTEST_GUILESS_MAIN(FilesFullDisk)
#include "files_full_disk.moc"
