#include "attctl/CommandLine.h"

#include "attctl/Args.h"
#include "attctl/ExitCode.h"
#include "attlink/transport/SerialChannel.h"

#include <QCommandLineParser>

namespace {

struct Parser {
    QCommandLineParser p;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("This text; COMMAND --help shows one command.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("attctl's version.")};
    QCommandLineOption tcp{QStringLiteral("tcp"), QStringLiteral("Reach the terminal over TCP."),
                           QStringLiteral("HOST:PORT")};
    QCommandLineOption com{
        QStringLiteral("com"),
        QStringLiteral("Reach it over serial port COMn (mapped by AttLink.ini, else /dev/ttyS<N-1>)."),
        QStringLiteral("N")};
    QCommandLineOption device{QStringLiteral("device"),
                              QStringLiteral("Reach it over the serial device PATH (e.g. a /dev/serial/by-id name)."),
                              QStringLiteral("PATH")};
    QCommandLineOption baud{QStringLiteral("baud"),
                            QStringLiteral("Serial line rate, one of %1 (default: AttLink.ini, else 9600).")
                                .arg(SerialChannel::supportedRatesText()),
                            QStringLiteral("B")};
    QCommandLineOption address{QStringLiteral("address"),
                               QStringLiteral("Terminal address 0..255 (default %1).").arg(DefaultTerminalAddress),
                               QStringLiteral("A")};
    QCommandLineOption settings{
        QStringLiteral("settings"),
        QStringLiteral("The device link's settings (AttLink.ini) to use instead of the usual one."),
        QStringLiteral("FILE")};

    QCommandLineOption trace{
        QStringLiteral("trace"),
        QStringLiteral("Print every frame sent and received (hexadecimal, with time, direction, address, "
                       "command, sequence) and every retry with its cause on standard error.")};

    QCommandLineOption verbose{
        QStringLiteral("verbose"),
        QStringLiteral("Say on standard error what the link and the sync do: lines opened, retries "
                       "and their causes, each terminal's steps with their times.")};

    Parser()
    {
        p.setApplicationDescription(QStringLiteral("Drives an attendance terminal through the device link."));
        p.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
        p.addOptions({help, version, tcp, com, device, baud, address, settings, trace, verbose});
        p.addPositionalArgument(QStringLiteral("command"), QStringLiteral("The command and its arguments (below)."),
                                QStringLiteral("COMMAND [ARGS]"));
    }
};

}  // namespace

namespace CommandLine {

Invocation parse(const QStringList &arguments)
{
    Parser parser;
    QCommandLineParser &p = parser.p;
    if (!p.parse(QStringList{QStringLiteral("attctl")} + arguments))
        throw UsageError{p.errorText() + QStringLiteral(" (attctl --help lists the options)")};
    Invocation in;
    in.help = p.isSet(parser.help);
    in.version = p.isSet(parser.version);
    in.trace = p.isSet(parser.trace);
    in.verbose = p.isSet(parser.verbose);
    in.connection.tcp = p.value(parser.tcp);
    in.connection.device = p.value(parser.device);
    in.connection.settingsFile = p.value(parser.settings);
    if (p.isSet(parser.com)) in.connection.com = wholeNumber(p.value(parser.com), 1, 255, QStringLiteral("--com"));
    if (p.isSet(parser.address)) in.address = wholeNumber(p.value(parser.address), 0, 255, QStringLiteral("--address"));
    if (p.isSet(parser.baud)) {
        const QString text = p.value(parser.baud);
        bool ok = false;
        in.connection.baud = text.trimmed().toInt(&ok);
        if (!ok || !SerialChannel::supportedRates().contains(in.connection.baud))
            throw UsageError{
                QStringLiteral("--baud must be one of %1, not \"%2\"").arg(SerialChannel::supportedRatesText(), text)};
    }
    const QStringList rest = p.positionalArguments();
    if (!rest.isEmpty()) {
        in.command = rest.first();
        in.args = rest.mid(1);
    }
    // The roster commands over a fleet are two words; `roster` alone collects one terminal's roster.
    static const QStringList FleetRoster = {QStringLiteral("plan"), QStringLiteral("apply"), QStringLiteral("pull")};
    if (in.command == QLatin1String("roster") && !in.args.isEmpty() && FleetRoster.contains(in.args.first()))
        in.command += u' ' + in.args.takeFirst();
    return in;
}

QString optionsHelp()
{
    Parser parser;
    // The parser names the program as it was started (a path, perhaps); the help names it plainly.
    QString text = parser.p.helpText();
    const qsizetype lineEnd = text.indexOf(u'\n');
    const qsizetype options = text.indexOf(QStringLiteral(" [options]"));
    if (options >= 0 && options < lineEnd) text.replace(0, options, QStringLiteral("usage: attctl"));
    return text;
}

}  // namespace CommandLine
