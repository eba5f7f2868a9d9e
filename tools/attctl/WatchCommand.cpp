// attctl watch: every punch of a fleet stored within moments, and handed on.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOption.h"
#include "attctl/ExitCode.h"
#include "attctl/StopSignal.h"

#include "common/AppFolders.h"
#include "sync/FleetFile.h"
#include "sync/LineLock.h"
#include "sync/LineRunner.h"
#include "watch/JsonlOutput.h"
#include "watch/MqttOutput.h"
#include "watch/WatchRun.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <unistd.h>

namespace {

const char WatchDetails[] = R"(Stores every new punch of a fleet's terminals as it is made, until SIGTERM or
Ctrl-C (then what is held is stored and it exits 0). Each terminal is caught
up from the last serial stored for it, then on TCP it pushes each punch,
acknowledged once committed; serial lines are polled in turn. A lost line is
tried again after a pause growing from 1 s to 30 s, logged once when lost and
once when back.

  --fleet FILE        the fleet file (as for sync)
  --db URL            sqlite:PATH or postgresql://... (as for sync); a SQLite
                      file takes one watch at a time
  --jsonl             each punch on standard output as export's JSON line,
                      after it is stored; resumes after a restart from where
                      the last run's lines were written
  --mqtt URL          mqtt://[USER[:PASSWORD]@]HOST[:PORT]/PREFIX: each punch
                      published with QoS 1 to PREFIX/TERMINAL-NAME/punch
                      (a password from ZEVO_MQTT_PASSWORD when the URL
                      has none)
  --jobs N            lines catching up at once (default 4)
  --lock-dir DIR, --link-settings FILE   as for sync

Each output resumes after a restart from its own mark in the database: a
punch may be handed on twice around a crash, never skipped. On PostgreSQL
each punch is also sent as NOTIFY zevo_punch with its JSON line, and several
watch processes may run one fleet as hot standbys (a terminal is collected by
one at a time).

Exit status: 0 stopped by a signal; 2 a usage error or a bad fleet file;
4 the database cannot be used or another watch writes the SQLite file.
)";

int watchCommand(CliContext &c, Args &a)
{
    const QString fleetPath = a.value(QStringLiteral("--fleet")).value_or(QString());
    if (fleetPath.isEmpty()) throw UsageError{QStringLiteral("watch needs --fleet FILE")};
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    WatchOptions options;
    options.database = DatabaseOption::urlOf(dbText);
    options.jobs = wholeNumber(a.value(QStringLiteral("--jobs"), QStringLiteral("4")), 1, 256, QStringLiteral("--jobs"));
    const bool jsonl = a.flag(QStringLiteral("--jsonl"));
    const std::optional<QString> mqttText = a.value(QStringLiteral("--mqtt"));
    options.lockFolder = a.value(QStringLiteral("--lock-dir")).value_or(LineLock::defaultFolder());
    const std::optional<QString> linkSettings = a.value(QStringLiteral("--link-settings"));
    if (linkSettings && !QFileInfo(*linkSettings).isFile())
        throw UsageError{QStringLiteral("--link-settings: no settings file ") + *linkSettings};
    a.finish();
    QString error;
    if (!LineLock::prepareFolder(options.lockFolder, error)) throw UsageError{QStringLiteral("--lock-dir: ") + error};
    const std::optional<QList<FleetTerminal>> fleet = FleetFile::load(fleetPath, error);
    if (!fleet) throw UsageError{error};
    std::unique_ptr<MqttOutput> mqtt;
    if (mqttText) {
        const std::optional<MqttUrl> url = MqttUrl::parse(*mqttText, error);
        if (!url) throw UsageError{QStringLiteral("--mqtt: ") + error};
        mqtt = std::make_unique<MqttOutput>(*url);
        // Every terminal's name must make one topic level, before anything is collected.
        for (const FleetTerminal &t : *fleet)
            if (mqtt->topicOf(t.name, error).isEmpty()) throw UsageError{QStringLiteral("--mqtt: ") + error};
    }
    if (!LineRunner::loadLinkSettings(
            linkSettings.value_or(AppFolders::locate(QCoreApplication::applicationDirPath()).config
                                  + QStringLiteral("/AttLink.ini")),
            options.link, error))
        throw UsageError{error};

    // The database made ready (its folder, its schema), then one writer per SQLite file.
    int lockFd = -1;
    if (!DatabaseOption::openForWriting(options.database, dbText.has_value(), error, 10)
        || !WatchRun::lockSqliteWriter(options.database, false, lockFd, error)) {
        c.err << "attctl: " << error << Qt::endl;
        return ExitCode::SomeFailed;
    }
    // A reader that went away must not end the watch: its output stops, the storing goes on.
    std::signal(SIGPIPE, SIG_IGN);
    c.out.flush();
    JsonlOutput standardOutput;
    if (jsonl) options.outputs.append(&standardOutput);
    if (mqtt) options.outputs.append(mqtt.get());
    options.stop = &StopSignal::install();
    const bool ran = WatchRun::run(*fleet, options, error);
    if (lockFd >= 0) ::close(lockFd);
    if (ran) return ExitCode::Success;
    c.err << "attctl: " << error << Qt::endl;
    return ExitCode::SomeFailed;
}

}  // namespace

void addWatchCommand(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("watch"),
                 QStringLiteral("--fleet FILE [--db URL] [--jsonl] [--mqtt URL] [--jobs N] [--lock-dir DIR] "
                                "[--link-settings FILE]"),
                 QStringLiteral("store every punch of a fleet as it is made, and hand it on (--jsonl), until stopped"),
                 false, watchCommand, true, QString::fromUtf8(WatchDetails)});
}
