// The application folder: a portable copy keeps its files beside the executable; an installed program
// uses the user's XDG data and configuration folders.
#include "common/AppFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class CommonAppFolders : public QObject {
    Q_OBJECT
    QTemporaryDir home_;

private slots:
    void initTestCase()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home_.path() + "/config"));
    }

    void writableFolderIsAPortableCopy()
    {
        QTemporaryDir program;
        const AppFolders f = AppFolders::resolve(program.path());
        QVERIFY(f.portable);
        QCOMPARE(f.data, program.path());
        QCOMPARE(f.config, program.path());
    }

    void installedProgramUsesTheUsersFolders_data()
    {
        QTest::addColumn<QString>("programFolder");
        QTest::newRow("system folder") << "/usr/bin";
        QTest::newRow("local system folder") << "/usr/local/bin";
        QTest::newRow("missing folder") << "/nonexistent/zevo/bin";
    }
    void installedProgramUsesTheUsersFolders()
    {
        QFETCH(QString, programFolder);
        const AppFolders f = AppFolders::resolve(programFolder);
        QVERIFY(!f.portable);
        QCOMPARE(f.data, home_.path() + "/data/zevo");
        QCOMPARE(f.config, home_.path() + "/config/zevo");
        QVERIFY(QFileInfo(f.data).isDir());
        QVERIFY(AppFolders::writable(f.data));
    }

    // A usr tree staged for a package runs as the installed programs will; locating its folders
    // (attctl's case) creates none.
    void stagedUsrTreeIsInstalled()
    {
        QTemporaryDir stage;
        QVERIFY(QDir(stage.path()).mkpath(QStringLiteral("usr/local/bin")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path() + "/located"));
        const AppFolders f = AppFolders::locate(stage.filePath(QStringLiteral("usr/local/bin")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home_.path() + "/data"));
        QVERIFY(!f.portable);
        QCOMPARE(f.config, home_.path() + "/config/zevo");
        QCOMPARE(f.data, home_.path() + "/located/zevo");
        QVERIFY(!QFileInfo::exists(f.data));
        QVERIFY(AppFolders::resolve(stage.path()).portable);
    }

    void readOnlyFolderIsNotPortable()
    {
        QTemporaryDir program;
        QFile(program.path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        const bool ignored = AppFolders::writable(program.path());
        const AppFolders f = AppFolders::resolve(program.path());
        QFile(program.path()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (ignored) QSKIP("running with rights that ignore folder permissions");
        QVERIFY(!f.portable);
        QCOMPARE(f.data, home_.path() + "/data/zevo");
    }
};

QTEST_MAIN(CommonAppFolders)
#include "common_app_folders.moc"
