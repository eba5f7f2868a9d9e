// attctl: every device-link operation as a command line.
#include "attctl/CommandTable.h"
#include "attctl/Connection.h"
#include "attctl/ExitCode.h"
#include "attctl/Usage.h"

#include "common/RaisedError.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace {

const QList<int> SerialRates = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

struct Invocation {
    ConnectionOptions connection;
    int address = 105;
    bool help = false;
    QString command;
    QStringList args;
};

Invocation parse(QStringList argv)
{
    Invocation in;
    auto value = [&](const QString &option) {
        if (argv.isEmpty()) throw UsageError{option + QStringLiteral(" needs a value")};
        return argv.takeFirst();
    };
    while (!argv.isEmpty()) {
        const QString a = argv.takeFirst();
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) in.help = true;
        else if (a == QLatin1String("--tcp")) in.connection.tcp = value(a);
        else if (a == QLatin1String("--com")) in.connection.com = wholeNumber(value(a), 1, 255, a);
        else if (a == QLatin1String("--device")) in.connection.device = value(a);
        else if (a == QLatin1String("--settings")) in.connection.settingsFile = value(a);
        else if (a == QLatin1String("--address")) in.address = wholeNumber(value(a), 0, 255, a);
        else if (a == QLatin1String("--baud")) {
            in.connection.baud = wholeNumber(value(a), 1, 10000000, a);
            if (!SerialRates.contains(in.connection.baud)) throw UsageError{QStringLiteral("unsupported --baud ") + QString::number(in.connection.baud)};
        } else if (a.startsWith(QLatin1String("-"))) throw UsageError{QStringLiteral("unknown option ") + a};
        else {
            in.command = a;
            in.args = argv;
            break;
        }
    }
    return in;
}

int run(QTextStream &out, QTextStream &err)
{
    const std::vector<CommandSpec> table = commandTable();
    const Invocation in = parse(QCoreApplication::arguments().mid(1));
    if (in.command.isEmpty()) {
        if (in.help) {
            out << usageText(table);
            return ExitCode::Success;
        }
        throw UsageError{QStringLiteral("no command given (attctl --help lists them)")};
    }
    const CommandSpec *command = findCommand(table, in.command);
    if (!command) throw UsageError{QStringLiteral("unknown command ") + in.command + QStringLiteral(" (attctl --help lists them)")};
    if (in.help || in.args.contains(QStringLiteral("--help"))) {
        out << commandUsage(*command) << "\n    " << command->summary << Qt::endl;
        return ExitCode::Success;
    }
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
        connection.link().setProgressHandler([&err](qint64 done, qint64 expected) {
            err << "\r" << done << " / " << expected << Qt::flush;
        });
    CommandContext context{&connection.link(), in.address, out, err};
    Args args(in.args);
    const int code = command->run(context, args);
    if (isatty(STDERR_FILENO)) err << "\r\033[K" << Qt::flush;
    return code;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
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
