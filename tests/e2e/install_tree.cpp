// What `cmake --install` puts into a clean folder and what the Debian package holds: the programs run
// from there, the desktop entry, icon, manual pages and completion are in place and current, and the
// package depends on every library its programs load.
#include "attlink/transport/SerialChannel.h"
#include "ui/FrmZevo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Ran {
    int code = -1;
    QString out, err;
};

Ran run(const QString &program, const QStringList &args,
        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(), int timeoutMs = 300000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Ran r;
    if (!p.waitForStarted(10000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.err = program + QStringLiteral(" did not run: ") + p.errorString();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString buildDir() { return qEnvironmentVariable("ZEVO_BIN_DIR"); }

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The text of an installed manual page, which is compressed.
QString manPage(const QString &usr, const QString &program)
{
    return run(QStringLiteral("gzip"),
               {QStringLiteral("-dc"), usr + QStringLiteral("/share/man/man1/%1.1.gz").arg(program)})
        .out;
}

const QStringList Programs{QStringLiteral("zevo"), QStringLiteral("attctl"), QStringLiteral("attsim")};

// The commands attctl --help lists, in its sections of commands.
QStringList attctlCommands(const QString &attctl)
{
    const QString help = run(attctl, {QStringLiteral("--help")}).out;
    QStringList commands;
    bool on = false;
    for (const QString &line : help.split(u'\n')) {
        if (QRegularExpression(QStringLiteral("^([a-z]+ )?commands.*:$")).match(line).hasMatch())
            on = true;
        else if (line.isEmpty())
            on = false;
        else if (on && QRegularExpression(QStringLiteral("^  [a-z]")).match(line).hasMatch())
            commands << line.split(u' ', Qt::SkipEmptyParts).first();
    }
    return commands;
}

}  // namespace

class InstallTree : public QObject {
    Q_OBJECT

    QTemporaryDir root_;
    QString usr_;

private slots:
    void initTestCase()
    {
        QVERIFY2(!buildDir().isEmpty(), "ZEVO_BIN_DIR is not set");
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), root_.path());
        const Ran r =
            run(QStringLiteral("cmake"),
                {QStringLiteral("--install"), buildDir(), QStringLiteral("--prefix"), QStringLiteral("/usr")}, env);
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        usr_ = root_.filePath(QStringLiteral("usr"));
    }

    void everyFileInPlace()
    {
        for (const QString &p : Programs) {
            QVERIFY2(QFileInfo(usr_ + QStringLiteral("/bin/") + p).isExecutable(), qPrintable(p));
            QVERIFY2(QFileInfo::exists(usr_ + QStringLiteral("/share/man/man1/%1.1.gz").arg(p)), qPrintable(p));
        }
        for (const char *f :
             {"share/applications/zevo.desktop", "share/icons/hicolor/scalable/apps/zevo.svg",
              "share/bash-completion/completions/attctl", "share/zevo/systemd/zevo-sync.service",
              "share/zevo/systemd/zevo-sync.timer", "share/zevo/systemd/zevo-watch.service", "share/doc/zevo/README.md",
              "share/doc/zevo/sync.md", "share/doc/zevo/user-guide.md", "share/doc/zevo/protocol.md",
              "share/doc/zevo/examples/fleet.ini", "share/doc/zevo/copyright", "share/doc/zevo/changelog.Debian.gz"})
            QVERIFY2(QFileInfo::exists(usr_ + u'/' + QLatin1String(f)), f);
        // The service names attctl where it was installed, not where the build was configured to go.
        QVERIFY(readAll(usr_ + QStringLiteral("/share/zevo/systemd/zevo-sync.service"))
                    .contains(QStringLiteral("ExecStart=/usr/bin/attctl ")));
        // Nothing of the build tree leaks in: only the folders a Debian system expects.
        QCOMPARE(QDir(usr_).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("bin"), QStringLiteral("share")}));
    }

    // systemd itself reads the service and the timer as valid units (with ExecStart pointed at the
    // attctl of this tree, since /usr/bin/attctl need not exist here), and rates every service 4.0
    // or less exposed, while it keeps the serial lines, the network and its database folder.
    void systemdAcceptsTheUnits()
    {
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty()) QSKIP("systemd-analyze is not installed");
        QTemporaryDir units;
        for (const QString unit : {QStringLiteral("zevo-sync.service"), QStringLiteral("zevo-watch.service")}) {
            const QString service = readAll(usr_ + QStringLiteral("/share/zevo/systemd/") + unit);
            QVERIFY(!service.isEmpty());
            for (const char *kept : {"SupplementaryGroups=dialout", "DeviceAllow=char-ttyS rw",
                                     "DeviceAllow=char-ttyUSB rw", "StateDirectory=zevo", "AF_INET AF_INET6"})
                QVERIFY2(service.contains(QLatin1String(kept)), qPrintable(unit + u' ' + QLatin1String(kept)));
            QFile s(units.filePath(unit));
            QVERIFY(s.open(QIODevice::WriteOnly));
            s.write(QString(service)
                        .replace(QStringLiteral("ExecStart=/usr/bin/attctl "),
                                 QStringLiteral("ExecStart=%1/bin/attctl ").arg(usr_))
                        .toUtf8());
        }
        QVERIFY(QFile::copy(usr_ + QStringLiteral("/share/zevo/systemd/zevo-sync.timer"),
                            units.filePath(QStringLiteral("zevo-sync.timer"))));
        const Ran r = run(analyze,
                          {QStringLiteral("verify"), units.filePath(QStringLiteral("zevo-sync.service")),
                           units.filePath(QStringLiteral("zevo-sync.timer")),
                           units.filePath(QStringLiteral("zevo-watch.service"))});
        QVERIFY2(r.code == 0 && r.err.trimmed().isEmpty(), qPrintable(r.out + r.err));

        const QDir shipped(usr_ + QStringLiteral("/share/zevo/systemd"));
        for (const QString &unit : shipped.entryList({QStringLiteral("*.service")})) {
            const Ran rated =
                run(analyze, {QStringLiteral("security"), QStringLiteral("--offline=true"), shipped.filePath(unit)});
            if (rated.out.isEmpty() && rated.err.contains(QStringLiteral("offline")))
                QSKIP("this systemd-analyze rates no unit files offline");
            const QRegularExpressionMatch level =
                QRegularExpression(QStringLiteral("Overall exposure level for \\S+: (\\d+\\.\\d)")).match(rated.out);
            QVERIFY2(level.hasMatch(), qPrintable(rated.out + rated.err));
            QVERIFY2(level.captured(1).toDouble() <= 4.0, qPrintable(unit + QStringLiteral(": ") + level.captured(0)));
        }
    }

    // Each program answers --help and --version on standard output without a display (the console
    // opens no window for them).
    void installedProgramsRun()
    {
        QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
        for (const char *display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            headless.remove(QLatin1String(display));
        const QString version =
            run(usr_ + QStringLiteral("/bin/attctl"), {QStringLiteral("--version")}, headless).out.section(u' ', 1);
        QVERIFY(!version.trimmed().isEmpty());
        for (const QString &p : Programs) {
            const Ran v = run(usr_ + QStringLiteral("/bin/") + p, {QStringLiteral("--version")}, headless, 20000);
            QVERIFY2(v.code == 0 && v.out == p + u' ' + version, qPrintable(p + v.out + v.err));
            const Ran h = run(usr_ + QStringLiteral("/bin/") + p, {QStringLiteral("--help")}, headless, 20000);
            QVERIFY2(h.code == 0 && h.out.contains(QRegularExpression(QStringLiteral("^[Uu]sage: \\S*%1 ").arg(p)))
                         && h.err.isEmpty(),
                     qPrintable(p + h.out + h.err));
        }
        // The installed attctl maps ports by the user's AttLink.ini, the one the console reads.
        QTemporaryDir home;
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral("config/zevo")));
        QFile ini(home.filePath(QStringLiteral("config/zevo/AttLink.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Ports]\nCom4=/nonexistent/ttyCONFIGURED\n");
        ini.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        const Ran com = run(usr_ + QStringLiteral("/bin/attctl"),
                            {QStringLiteral("--com"), QStringLiteral("4"), QStringLiteral("count")}, env);
        QCOMPARE(com.code, 3);
        QVERIFY2(com.err.contains(QStringLiteral("COM4 /nonexistent/ttyCONFIGURED: ")), qPrintable(com.err));
        QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("data"))));
        for (const QString &p : Programs) {
            const Ran l = run(QStringLiteral("ldd"), {usr_ + QStringLiteral("/bin/") + p});
            QVERIFY2(l.code == 0 && !l.out.contains(QStringLiteral("not found")), qPrintable(p + l.out));
        }
    }

    void desktopEntryAndIcons()
    {
        const QString entry = readAll(usr_ + QStringLiteral("/share/applications/zevo.desktop"));
        QVERIFY(entry.contains(QStringLiteral("\nExec=zevo\n")));
        QVERIFY(entry.contains(QStringLiteral("\nIcon=zevo\n")));
        const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validate.isEmpty()) {
            const Ran r = run(validate, {usr_ + QStringLiteral("/share/applications/zevo.desktop")});
            QVERIFY2(r.code == 0 && r.out.isEmpty(), qPrintable(r.out + r.err));
        }
        // The lamps come from resources: each lights its own lamp, in its own colour.
        const auto pixel = [](int image, int y) {
            return FrmZevo::lampImage(image).pixmap(16, 16).toImage().pixelColor(8, y);
        };
        QVERIFY(!FrmZevo::lampImage(1).isNull());
        QVERIFY(pixel(1, 13).green() > 150 && pixel(1, 13).red() < 100);  // green, bottom
        QVERIFY(pixel(2, 4).red() > 150 && pixel(2, 4).green() < 100);    // red, top
        QVERIFY(pixel(3, 8).red() > 150 && pixel(3, 8).green() > 150);    // yellow, middle
        QVERIFY(pixel(2, 13).green() < 100);                              // green dark when red is lit
    }

    // The manual pages are well-formed and name every command and option the programs have.
    void manualPagesAreCurrent()
    {
        const QString groff = QStandardPaths::findExecutable(QStringLiteral("groff"));
        // The version attctl prints, e.g. "attctl 0.1", is the one each page carries.
        const QString version =
            run(usr_ + QStringLiteral("/bin/attctl"), {QStringLiteral("--version")}).out.trimmed().section(u' ', 1);
        QVERIFY(!version.isEmpty());
        for (const QString &p : Programs) {
            const QString text = manPage(usr_, p);
            QVERIFY2(text.section(u'\n', 0, 0).contains(QStringLiteral("\"Zevo %1\"").arg(version)), qPrintable(p));
            if (groff.isEmpty()) continue;
            QTemporaryDir plain;
            const QString page = plain.filePath(p + QStringLiteral(".1"));
            QFile f(page);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) > 0);
            f.close();
            const Ran r = run(groff,
                              {QStringLiteral("-k"), QStringLiteral("-man"), QStringLiteral("-Tutf8"),
                               QStringLiteral("-ww"), QStringLiteral("-z"), page});
            QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(p + QStringLiteral(": ") + r.err));
        }
        const QString attctlPage = manPage(usr_, QStringLiteral("attctl"));
        // The fleet commands: the keys of the fleet file, the default database, where the documents are.
        for (const char *text :
             {"\n.B line\n", "\n.B address\n", "\n.B clear\\-after\\-sync\n", "\n.B clock\\-tolerance\n",
              "zevo/punches.sqlite", "/usr/share/doc/zevo", "attctl sync \\-\\-fleet"})
            QVERIFY2(attctlPage.contains(QLatin1String(text)), text);
        const QStringList commands = attctlCommands(usr_ + QStringLiteral("/bin/attctl"));
        QVERIFY(commands.size() > 30);
        for (const QString &c : commands) {
            const QString escaped = QString(c).replace(u'-', QStringLiteral("\\-"));
            QVERIFY2(attctlPage.contains(QStringLiteral("\n.B ") + escaped + u' ')
                         || attctlPage.contains(QStringLiteral("\n.B ") + escaped + u'\n'),
                     qPrintable(QStringLiteral("share/man/attctl.1 does not describe the command ") + c));
        }
        const QString simPage = manPage(usr_, QStringLiteral("attsim"));
        const QString simHelp = run(usr_ + QStringLiteral("/bin/attsim"), {QStringLiteral("--help")}).out;
        const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
        for (auto m = option.globalMatch(simHelp); m.hasNext();) {
            const QString name = m.next().captured(1);
            QVERIFY2(simPage.contains(QStringLiteral("\\-\\-") + QString(name).replace(u'-', QStringLiteral("\\-"))),
                     qPrintable(QStringLiteral("share/man/attsim.1 does not describe --") + name));
        }
    }

    // The completion offers the installed attctl's commands and each command's options.
    void bashCompletion()
    {
        const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
        if (bash.isEmpty()) QSKIP("no bash");
        const auto complete = [&](const QString &words, int index) {
            const QString script =
                QStringLiteral(
                    "source '%1/share/bash-completion/completions/attctl'; COMP_WORDS=(%2); COMP_CWORD=%3; _attctl; "
                    "printf '%s\\n' \"${COMPREPLY[@]}\"")
                    .arg(usr_, words)
                    .arg(index);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("PATH"), usr_ + QStringLiteral("/bin:") + env.value(QStringLiteral("PATH")));
            const Ran r = run(bash, {QStringLiteral("--norc"), QStringLiteral("-c"), script}, env);
            return r.out.split(u'\n', Qt::SkipEmptyParts);
        };
        QCOMPARE(complete(QStringLiteral("attctl --tcp h:1 cl"), 3),
                 (QStringList{QStringLiteral("clear-records"), QStringLiteral("clear-flags"),
                              QStringLiteral("clear-roster")}));
        QVERIFY(complete(QStringLiteral("attctl ''"), 1).size()
                == attctlCommands(usr_ + QStringLiteral("/bin/attctl")).size());
        const QStringList collect = complete(QStringLiteral("attctl --com 2 collect --s"), 4);
        QVERIFY2(collect.contains(QStringLiteral("--stdout")) && collect.contains(QStringLiteral("--since")),
                 qPrintable(collect.join(u' ')));
        QVERIFY(complete(QStringLiteral("attctl --v"), 1).contains(QStringLiteral("--version")));
        const QStringList global = complete(QStringLiteral("attctl --"), 1);
        QCOMPARE(global.count(QStringLiteral("--help")), 1);
        QCOMPARE(global.size(), QSet<QString>(global.begin(), global.end()).size());
        QVERIFY(!global.contains(QStringLiteral("--fleet")));
        // The rates are those attctl takes, as its help lists them.
        QCOMPARE(complete(QStringLiteral("attctl --baud 1152"), 2), QStringList{QStringLiteral("115200")});
        QStringList rates;
        for (int r : SerialChannel::supportedRates()) rates << QString::number(r);
        QCOMPARE(complete(QStringLiteral("attctl --baud ''"), 2), rates);
        QCOMPARE(complete(QStringLiteral("attctl export --format ''"), 3),
                 (QStringList{QStringLiteral("csv"), QStringLiteral("jsonl"), QStringLiteral("layout"),
                              QStringLiteral("roster-csv")}));
        const QStringList sync = complete(QStringLiteral("attctl sync --"), 2);
        QCOMPARE(sync.count(QStringLiteral("--help")), 1);
        for (const char *o : {"--fleet", "--db", "--dry-run", "--lock-dir", "--link-settings"})
            QVERIFY2(sync.contains(QLatin1String(o)), o);
        QCOMPARE(complete(QStringLiteral("attctl roster plan --f"), 3),
                 (QStringList{QStringLiteral("--fleet"), QStringLiteral("--from")}));
    }

    // The Debian package: its files, and a dependency on the package of every library its programs
    // load, so that it installs and runs on a clean machine.
    void debianPackage()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("cpack")).isEmpty())
            QSKIP("no dpkg-deb or cpack here");
        QTemporaryDir out;
        const Ran pack = run(QStringLiteral("cpack"),
                             {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), out.path(),
                              QStringLiteral("--config"), buildDir() + QStringLiteral("/CPackConfig.cmake")});
        QVERIFY2(pack.code == 0, qPrintable(pack.out + pack.err));
        const QStringList debs = QDir(out.path()).entryList({QStringLiteral("zevo_*.deb")});
        QCOMPARE(debs.size(), 1);
        const QString deb = out.filePath(debs.first());

        const QString contents = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-c"), deb}).out;
        for (const char *f :
             {"./usr/bin/zevo", "./usr/bin/attctl", "./usr/bin/attsim", "./usr/share/applications/zevo.desktop",
              "./usr/share/icons/hicolor/scalable/apps/zevo.svg", "./usr/share/man/man1/attctl.1.gz",
              "./usr/share/doc/zevo/copyright", "./usr/share/doc/zevo/changelog.Debian.gz",
              "./usr/share/doc/zevo/examples/fleet.ini", "./usr/share/doc/zevo/sync.md",
              "./usr/share/bash-completion/completions/attctl", "./usr/share/zevo/systemd/zevo-sync.service"})
            QVERIFY2(contents.contains(QLatin1String(f) + QLatin1Char('\n')), f);
        QVERIFY(!contents.contains(QStringLiteral("/usr/local")));
        QVERIFY(!contents.contains(QStringLiteral("_CPack_Packages")));

        const QString depends =
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QStringLiteral("Depends")}).out;
        QVERIFY2(depends.contains(QStringLiteral("fonts-wqy-microhei")), qPrintable(depends));
        // Every shared library the programs load belongs to a package the package depends on.
        QTemporaryDir unpacked;
        QCOMPARE(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, unpacked.path()}).code, 0);
        int libraries = 0;
        for (const QString &p : Programs) {
            const QString binary = unpacked.filePath(QStringLiteral("usr/bin/") + p);
            // The libraries it names itself (the loader finds the rest through them).
            const QString dynamic = run(QStringLiteral("readelf"), {QStringLiteral("-d"), binary}).out;
            QStringList needed;
            for (auto n = QRegularExpression(QStringLiteral("\\(NEEDED\\)\\s+Shared library: \\[([^\\]]+)\\]"))
                              .globalMatch(dynamic);
                 n.hasNext();)
                needed << n.next().captured(1);
            QVERIFY2(!needed.isEmpty(), qPrintable(dynamic));
            const Ran ldd = run(QStringLiteral("ldd"), {binary});
            for (const QString &line : ldd.out.split(u'\n')) {
                const QRegularExpressionMatch m =
                    QRegularExpression(QStringLiteral("^\\s*(\\S+) => (/\\S+)")).match(line);
                if (!m.hasMatch() || !needed.contains(m.captured(1))) continue;
                // The path as the loader found it, or under /usr where a merged /usr keeps it.
                Ran owner = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), m.captured(2)});
                if (owner.code != 0)
                    owner = run(QStringLiteral("dpkg"), {QStringLiteral("-S"), QStringLiteral("/usr") + m.captured(2)});
                QVERIFY2(owner.code == 0,
                         qPrintable(p + QStringLiteral(" loads a library of no package: ") + m.captured(2)));
                ++libraries;
                const QString package = owner.out.section(u':', 0, 0).trimmed();
                const bool essential = package == QLatin1String("libc6") || package == QLatin1String("libgcc-s1");
                QVERIFY2(essential || depends.contains(package),
                         qPrintable(QStringLiteral("%1 loads %2 of %3, which Depends lacks: %4")
                                        .arg(p, m.captured(2), package, depends)));
            }
        }
        QVERIFY(libraries >= 10);
        // The packed programs run.
        const Ran v = run(unpacked.filePath(QStringLiteral("usr/bin/attctl")), {QStringLiteral("--version")});
        QCOMPARE(v.code, 0);
    }
};

QTEST_MAIN(InstallTree)
#include "install_tree.moc"
