// The zevo program itself: copied into a fresh application folder, started offscreen with its own home
// and configuration folders, and ended by SIGTERM or SIGINT as a session logout or Ctrl+C would.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

QString binary() { return qEnvironmentVariable("ZEVO_BIN_DIR") + QStringLiteral("/zevo"); }

// True once the process has installed a handler for the signal (Linux: SigCgt of /proc/<pid>/status),
// that is once start-up is over and the window about to show.
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:")) continue;
        bool ok = false;
        const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signal - 1) & 1);
    }
    return false;
}

struct Run {
    QTemporaryDir dir;
    QString app() const { return dir.path() + "/app"; }
    QString config() const { return dir.path() + "/config"; }
    QProcess process;

    bool start()
    {
        if (!QFile::exists(binary())) return false;
        QDir().mkpath(app());
        QDir().mkpath(config());
        QDir().mkpath(dir.path() + "/home");
        if (!QFile::copy(binary(), app() + "/zevo")) return false;
        // No serial device behind Com2: start-up shows the yellow lamp and goes on.
        QFile ini(app() + "/AttLink.ini");
        if (!ini.open(QIODevice::WriteOnly)) return false;
        ini.write("[Ports]\nCom1=" + QFile::encodeName(dir.path()) + "/none1\nCom2=" + QFile::encodeName(dir.path())
                  + "/none2\n");
        ini.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", dir.path() + "/home");
        env.insert("XDG_CONFIG_HOME", config());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(dir.path());  // not the application folder
        process.start(app() + "/zevo", {});
        return process.waitForStarted(10000);
    }
    QString setting(const QString &section) const
    {
        QSettings s(config() + "/RERozo/Zevo.ini", QSettings::IniFormat);
        return s.value(section + "/Value", "(absent)").toString();
    }
};

}  // namespace

class SpineBinary : public QObject {
    Q_OBJECT
private slots:
    void signalSavesAndEndsCleanly_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }
    void signalSavesAndEndsCleanly()
    {
        QFETCH(int, signal);
        Run run;
        if (!QFile::exists(binary())) QSKIP("zevo has not been built");
        QVERIFY(run.start());
        QVERIFY2(QTest::qWaitFor([&] { return catches(run.process.processId(), signal); }, 20000),
                 run.process.readAllStandardError().constData());
        QVERIFY(!QFile::exists(run.app() + "/Public.Sys"));
        ::kill(pid_t(run.process.processId()), signal);
        QVERIFY(run.process.waitForFinished(20000));
        QCOMPARE(run.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.process.exitCode(), 0);

        QFile sys(run.app() + "/Public.Sys");
        QVERIFY(sys.open(QIODevice::ReadOnly));
        const QByteArray content = sys.readAll();
        QVERIFY(content.startsWith("[730KZevo]\r\n"));
        QVERIFY(content.contains("\r\nTxtF8={}\r\n"));
        QVERIFY(!QFile::exists(run.dir.path() + "/Public.Sys"));
        QCOMPARE(run.setting("KqIP"), QString("192.168.1.226"));
        QCOMPARE(run.setting("KqTcpPort"), QString("1001"));
        QCOMPARE(run.setting("Address"), QString("18"));
        QCOMPARE(run.setting("Com"), QString("1"));
        QVERIFY(!QFile::exists(run.dir.path() + "/home/.config"));  // the user's real folders untouched
    }

    // The settings of one run are those the next run starts with: a second start is ended as well.
    void secondRunStartsFromTheSavedSettings()
    {
        Run run;
        if (!QFile::exists(binary())) QSKIP("zevo has not been built");
        QVERIFY(run.start());
        QVERIFY(QTest::qWaitFor([&] { return catches(run.process.processId(), SIGTERM); }, 20000));
        ::kill(pid_t(run.process.processId()), SIGTERM);
        QVERIFY(run.process.waitForFinished(20000));
        {
            QSettings s(run.config() + "/RERozo/Zevo.ini", QSettings::IniFormat);
            s.setValue("Address/Value", "");
        }
        run.process.start(run.app() + "/zevo", {});
        QVERIFY(run.process.waitForStarted(10000));
        QVERIFY(QTest::qWaitFor([&] { return catches(run.process.processId(), SIGTERM); }, 20000));
        ::kill(pid_t(run.process.processId()), SIGTERM);
        QVERIFY(run.process.waitForFinished(20000));
        QCOMPARE(run.process.exitCode(), 0);
        QCOMPARE(run.setting("Address"), QString());  // restored empty, saved empty
    }
};

QTEST_GUILESS_MAIN(SpineBinary)
#include "spine_binary.moc"
