// Collections into the two record files (plain, or only the records after a serial), clearing the
// records (all, or up to a serial), and the terminal's identity.
#include "attctl/CommandTable.h"
#include "attctl/FormattedStream.h"
#include "attctl/RecordFiles.h"
#include "attctl/RecordOptions.h"
#include "attctl/TransferProgress.h"

#include "attlink/AttLink.h"
#include "attlink/protocol/RawLineWriter.h"
#include "common/DurableFile.h"
#include "common/VisibleText.h"
#include "link/LinkResult.h"

#include <QDir>

namespace {

const QString RawName = QString::fromLatin1(RecordFiles::RawName);
const QString FormattedName = QString::fromLatin1(RecordFiles::FormattedName);

// A file here could not be written (disk full, folder not writable): its own exit status.
int writeFailure(CliContext &c, const QString &error)
{
    c.err << "attctl: " << error << Qt::endl;
    return ExitCode::LocalWrite;
}

QString rawFailure(const DurableFile &raw)
{
    return QStringLiteral("cannot write ") + raw.path() + QStringLiteral(": ") + raw.errorString()
        + QStringLiteral(" (the earlier file is kept)");
}

// attctl speaks English; the console keeps the link's Chinese message.
QString collectedText(qint64 count) { return QStringLiteral("%1 records collected").arg(count); }

// GatherData or GatherData_All, the formatted file written alongside the raw one.
int collectAll(CliContext &c, TransferProgress &progress, const QString &folder, bool toStdout, bool decimal,
               bool fullYear, const QString &sleep, const RecordLayout &layout, const QString &from, const QString &to)
{
    c.out.flush();
    FormattedStream formatted(toStdout ? QString() : QDir(folder).filePath(FormattedName), layout);
    if (!formatted.open()) return writeFailure(c, formatted.error());
    c.link->setRawLinesObserver([&](const QByteArray &lines) { return formatted.add(lines); });
    QString message;
    qint32 count = 0;
    const QVariant r = from.isEmpty()
        ? c.link->GatherData(c.addressText(), folder, RawName, message, count, sleep, decimal, fullYear)
        : c.link->GatherData_All(c.addressText(), folder, RawName, message, count, sleep, decimal, fullYear, from, to);
    c.link->setRawLinesObserver({});
    progress.clear();
    if (!formatted.error().isEmpty()) return writeFailure(c, formatted.error());
    if (!LinkResult::toBool(r)) return c.failed(QStringLiteral("collect"), message);
    // The formatted file follows the raw one; both stay as they were when the collection fails.
    if (!formatted.commit()) return writeFailure(c, formatted.error());
    // Standard output carries the records themselves then; the summary goes beside them.
    (toStdout ? c.err : c.out) << count << '\t' << collectedText(count) << Qt::endl;
    return ExitCode::Success;
}

// The records after serial `since` into the same two files.
int collectSince(CliContext &c, TransferProgress &progress, const QString &folder, bool toStdout, bool decimal,
                 bool fullYear, const RecordLayout &layout, quint64 since)
{
    c.out.flush();
    DurableFile raw(QDir(folder).filePath(RawName));
    if (!raw.open()) return writeFailure(c, rawFailure(raw));
    FormattedStream formatted(toStdout ? QString() : QDir(folder).filePath(FormattedName), layout);
    if (!formatted.open()) return writeFailure(c, formatted.error());
    RawLineWriter writer(c.address, decimal, fullYear);
    QByteArray lines;
    qint64 count = 0;
    bool rawFailed = false;
    quint64 last = since;
    const ClientResult result = c.link->client().recordsSince(
        c.address, since,
        [&](const std::vector<PackedRecord> &batch) {
            lines.resize(qsizetype(batch.size()) * RawLineWriter::MaxLineBytes);
            char *w = lines.data();
            for (const PackedRecord &r : batch) w += writer.write(r, w);
            lines.resize(w - lines.constData());
            rawFailed = !raw.write(lines);
            count += qint64(batch.size());
            return !rawFailed && formatted.add(lines);
        },
        last);
    progress.clear();
    if (rawFailed) return writeFailure(c, rawFailure(raw));
    if (!formatted.error().isEmpty()) return writeFailure(c, formatted.error());
    if (!result.ok()) return c.failed(QStringLiteral("collect"), result, result.errorString());
    if (!raw.commit()) return writeFailure(c, rawFailure(raw));
    if (!formatted.commit()) return writeFailure(c, formatted.error());
    QTextStream &summary = toStdout ? c.err : c.out;
    summary << count << '\t' << collectedText(count) << Qt::endl;
    summary << "last-serial " << last << Qt::endl;
    if (const SinceReplyCheck::Gap gap = c.link->client().skippedSerials(); gap.count > 0)
        c.err << "attctl: serials " << gap.first << " to " << gap.last
              << " were deleted on the terminal before they were collected (" << gap.count << " records)" << Qt::endl;
    return ExitCode::Success;
}

int collect(CliContext &c, Args &a)
{
    const RecordOptions::Destination target = RecordOptions::destination(a);
    const bool decimal = a.flag(QStringLiteral("--decimal"));
    const bool fullYear = a.flag(QStringLiteral("--full-year"));
    const QString sleep = a.value(QStringLiteral("--sleep"), QStringLiteral("2"));
    const RecordLayout layout = RecordOptions::layout(a.value(QStringLiteral("--layout")), decimal, fullYear);
    const std::optional<QString> since = a.value(QStringLiteral("--since"));
    const auto [from, to] = RecordOptions::packetRange(a);
    a.finish();
    if (since && !from.isEmpty()) throw UsageError{QStringLiteral("--since does not go with --from and --to")};
    const quint64 serial = since ? RecordOptions::serial(*since, QStringLiteral("--since")) : 0;
    const QString folder = RecordOptions::folder(target.folder);
    // On a terminal, standard error shows the records received and the time left.
    TransferProgress progress(c.err);
    if (progress.active())
        c.link->setProgressHandler([&](qint64 done, qint64 expected) { progress.update(QString(), done, expected); });
    const int status = since
        ? collectSince(c, progress, folder, target.toStdout, decimal, fullYear, layout, serial)
        : collectAll(c, progress, folder, target.toStdout, decimal, fullYear, sleep, layout, from, to);
    c.link->setProgressHandler({});
    return status;
}

int clearRecords(CliContext &c, Args &a)
{
    const bool yes = a.flag(QStringLiteral("--yes"));
    const std::optional<QString> upTo = a.value(QStringLiteral("--up-to"));
    a.finish();
    if (!yes) throw UsageError{QStringLiteral("clear-records erases data on the terminal: add --yes")};
    if (upTo) {
        const quint64 serial = RecordOptions::serial(*upTo, QStringLiteral("--up-to"));
        qint64 deleted = 0;
        const ClientResult result = c.link->client().deleteRecordsUpTo(c.address, serial, deleted);
        if (!result.ok()) return c.failed(QStringLiteral("clear-records"), result, result.errorString());
        c.out << deleted << Qt::endl;
        return ExitCode::Success;
    }
    return c.answered(QStringLiteral("clear-records"), c.link->ClearRecord(c.address16()));
}

int identify(CliContext &c, Args &a)
{
    a.finish();
    TerminalIdentity id;
    const ClientResult result = c.link->client().identify(c.address, id);
    if (!result.ok()) return c.failed(QStringLiteral("identify"), result, result.errorString());
    c.out << "identity " << visibleText(id.identity) << '\n'
          << "model " << visibleText(id.model) << '\n'
          << "firmware " << visibleText(id.firmware) << '\n'
          << "address " << id.address << '\n'
          << "clock " << id.clock.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << '\n'
          << "last-serial " << id.lastSerial << Qt::endl;
    return ExitCode::Success;
}

}  // namespace

void addCollectCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("collect"),
                 QStringLiteral("[--dir D|-] [--stdout] [--decimal] [--full-year] [--from P --to P | --since S] "
                                "[--layout TEXT] [--sleep S]"),
                 QStringLiteral("collect the records into D/DataRecordSet_original.txt and, in the layout, "
                                "D/DataRecordSet.txt (only packets P to P with --from and --to); "
                                "--stdout writes the formatted records to standard output instead, --dir - "
                                "keeps no file at all; with --since S only the records after serial S, the last "
                                "line of the summary then `last-serial N`"),
                 true, collect});
    t.push_back({QStringLiteral("clear-records"), QStringLiteral("[--up-to S] --yes"),
                 QStringLiteral("erase the terminal's records; with --up-to S only those with serial "
                                "up to S, printing how many went"),
                 true, clearRecords});
    t.push_back({QStringLiteral("identify"), QString(),
                 QStringLiteral("the terminal's identity, model, firmware date, address, clock and last serial"), true,
                 identify});
}
