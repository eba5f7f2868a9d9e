// attctl: every device-link operation as a command line.
#include "attctl/CommandLine.h"
#include "attctl/CommandTable.h"
#include "attctl/Connection.h"
#include "attctl/ExitCode.h"
#include "attctl/Usage.h"

#include "common/RaisedError.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

int run(QTextStream &out, QTextStream &err)
{
    const std::vector<CommandEntry> table = commandTable();
    const Invocation in = CommandLine::parse(QCoreApplication::arguments().mid(1));
    if (in.version) {
        out << "attctl " << QCoreApplication::applicationVersion() << Qt::endl;
        return ExitCode::Success;
    }
    if (in.command.isEmpty()) {
        if (in.help) {
            out << usageText(table);
            return ExitCode::Success;
        }
        throw UsageError{QStringLiteral("no command given (attctl --help lists them)")};
    }
    const CommandEntry *command = findCommand(table, in.command);
    if (!command)
        throw UsageError{QStringLiteral("unknown command ") + in.command
                         + QStringLiteral(" (attctl --help lists them)")};
    if (in.help || in.args.contains(QStringLiteral("--help"))) {
        out << commandUsage(*command) << Qt::flush;
        return ExitCode::Success;
    }
    QStringList rules;
    if (in.trace) rules << QStringLiteral("zevo.link.wire.debug=true");
    if (in.verbose) rules << QStringLiteral("zevo.link.info=true") << QStringLiteral("zevo.sync.info=true");
    if (!rules.isEmpty()) QLoggingCategory::setFilterRules(rules.join(u'\n'));
    if (command->needsTerminal && !in.connection.any())
        throw UsageError{in.command + QStringLiteral(" needs one of --tcp, --com or --device")};

    Connection connection(in.connection);
    if (command->needsTerminal) {
        QString reason;
        if (!connection.open(reason)) {
            err << "attctl: " << reason << Qt::endl;
            return ExitCode::Communication;
        }
    }
    // Long transfers show how far they are, on a terminal only.
    if (isatty(STDERR_FILENO))
        connection.link().setProgressHandler(
            [&err](qint64 done, qint64 expected) { err << "\r" << done << " / " << expected << Qt::flush; });
    CliContext context{&connection.link(), in.address, out, err};
    Args args(in.args);
    const int code = command->run(context, args);
    if (isatty(STDERR_FILENO)) err << "\r\033[K" << Qt::flush;
    return code;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("attctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEVO_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    try {
        const int code = run(out, err);
        out.flush();
        return code;
    } catch (const UsageError &e) {
        out.flush();
        err << "attctl: " << e.reason << Qt::endl;
        return ExitCode::Usage;
    } catch (const RaisedError &e) {
        out.flush();
        err << "attctl: device link error " << e.number << ": " << e.description << Qt::endl;
        return ExitCode::Communication;
    }
}
