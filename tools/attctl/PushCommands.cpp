// Hands the stored punches on to an HTTP(S) endpoint.
#include "attctl/CommandTable.h"
#include "attctl/DatabaseOpen.h"

#include "push/PunchPush.h"
#include "push/PushClient.h"

#include <QThread>
#include <QUrl>

namespace {

QUrl endpointOf(const std::optional<QString> &text)
{
    if (!text) throw UsageError{QStringLiteral("push needs --to URL")};
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        || url.host().isEmpty())
        throw UsageError{QStringLiteral("--to wants an http:// or https:// URL, not \"%1\"").arg(*text)};
    return url;
}

void report(CliContext &c, const PushResult &r, const QString &destination)
{
    c.out << "pushed " << r.delivered << " punches in " << r.batches << " batches to " << destination;
    if (r.dead) c.out << ", " << r.dead << " batches refused (attctl push --retry-dead sends them again)";
    c.out << Qt::endl;
}

int pushCommand(CliContext &c, Args &a)
{
    const QUrl url = endpointOf(a.value(QStringLiteral("--to")));
    const std::optional<QString> dbText = a.value(QStringLiteral("--db"));
    PushOptions options;
    options.destination = url.toString(QUrl::RemoveUserInfo);
    options.batch =
        wholeNumber(a.value(QStringLiteral("--batch"), QStringLiteral("1000")), 1, 100000, QStringLiteral("--batch"));
    options.attempts =
        wholeNumber(a.value(QStringLiteral("--attempts"), QStringLiteral("6")), 1, 1000, QStringLiteral("--attempts"));
    const int timeout =
        wholeNumber(a.value(QStringLiteral("--timeout"), QStringLiteral("30")), 1, 3600, QStringLiteral("--timeout"));
    PushClient::Headers headers;
    while (const std::optional<QString> h = a.value(QStringLiteral("--header"))) {
        QString error;
        if (!PushClient::readHeader(*h, headers.emplace_back(), error)) throw UsageError{error};
    }
    const bool follow = a.flag(QStringLiteral("--follow"));
    const bool retryDead = a.flag(QStringLiteral("--retry-dead"));
    a.finish();
    if (follow && retryDead) throw UsageError{QStringLiteral("--follow and --retry-dead do not go together")};

    auto db = openStoredPunches(dbText, c.err);
    if (!db) return ExitCode::SomeFailed;
    PushClient client(url, headers, timeout * 1000);
    PunchPush push(*db, client, options);
    for (;;) {
        PushResult result;
        const bool done = retryDead ? push.retryDead(result) : push.run(result);
        if (!follow || result.databaseFailed) {
            report(c, result, options.destination);
            if (done) return result.dead ? ExitCode::Refused : ExitCode::Success;
            c.err << "attctl: " << result.error << Qt::endl;
            return result.databaseFailed ? ExitCode::SomeFailed : ExitCode::Communication;
        }
        if (result.batches) report(c, result, options.destination);
        if (!done) c.err << "attctl: " << result.error << Qt::endl;
        QThread::sleep(2);
    }
}

}  // namespace

void addPushCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("push"),
                 QStringLiteral("--to URL [--db URL] [--batch N] [--header 'NAME: VALUE']... [--timeout SECONDS] "
                                "[--attempts N] [--follow | --retry-dead]"),
                 QStringLiteral(
                     "post the punches not yet delivered to an HTTP(S) endpoint as JSON, in serial order per terminal; "
                     "exit 3 when it keeps failing"),
                 false, pushCommand});
}
