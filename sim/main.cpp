// attsim: plays one or more attendance terminals on TCP and on a pseudo-terminal, for the console,
// attctl, the tests and the demo. Usage in docs/protocol.md and `attsim --help`.

#include "sim/Control.h"
#include "sim/Fleet.h"
#include "sim/Generate.h"
#include "sim/SimServer.h"
#include "sim/SimState.h"
#include "sim/StdinLines.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>
#include <cstdio>

namespace {

// Where the simulator listens when told nothing: above 1024, so any user may start it; the demo
// (scripts/demo-sim) uses the same port.
const QString DefaultListen = QStringLiteral("127.0.0.1:11001");

int fail(const QString &why)
{
    std::fprintf(stderr, "attsim: %s\n", why.toLocal8Bit().constData());
    return 2;
}

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool fraction(const QString &text, double &out)
{
    bool ok = false;
    out = text.toDouble(&ok);
    return ok && out >= 0.0 && out <= 1.0;
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("attsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZEVO_VERSION));
    std::signal(SIGPIPE, SIG_IGN);

    QCommandLineParser p;
    p.setApplicationDescription(
        QStringLiteral("Terminal simulator: answers the console's device link over TCP and a pty."));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption tcp(
        QStringLiteral("tcp"),
        QStringLiteral("Listen on HOST:PORT (default %1 when no --pty; a port above 1024 needs no rights).")
            .arg(DefaultListen),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption pty(QStringLiteral("pty"), QStringLiteral("Create a pseudo-terminal, linked at PATH."),
                                 QStringLiteral("PATH"));
    const QCommandLineOption terminal(
        QStringLiteral("terminal"),
        QStringLiteral("A terminal at ADDRESS (repeatable; default %1).").arg(DefaultTerminalAddress),
        QStringLiteral("ADDRESS"));
    const QCommandLineOption records(QStringLiteral("records"),
                                     QStringLiteral("N generated records on the first terminal."), QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the generated data and of the faults (default 1)."),
                                  QStringLiteral("S"), QStringLiteral("1"));
    const QCommandLineOption loadRecords(
        QStringLiteral("load-records"),
        QStringLiteral("Records for the first terminal, one a line: CARD YYYY-MM-DD hh:mm:ss FLAG."),
        QStringLiteral("FILE"));
    const QCommandLineOption roster(QStringLiteral("roster"),
                                    QStringLiteral("N generated roster entries on the first terminal."),
                                    QStringLiteral("N"));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral("Load the terminals from FILE at start when it exists, save them there at exit."),
        QStringLiteral("FILE"));
    const QCommandLineOption firmware(
        QStringLiteral("firmware"),
        QStringLiteral("Firmware date of every terminal (logs need 2008-07-22 and 2008-07-28)."),
        QStringLiteral("YYYY-MM-DD"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Pace replies as a line of B baud (10 bits a byte)."),
                                  QStringLiteral("B"));
    const QCommandLineOption corrupt(QStringLiteral("corrupt"),
                                     QStringLiteral("Fraction of replies with a changed byte."),
                                     QStringLiteral("FRACTION"));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Fraction of replies never sent."),
                                  QStringLiteral("FRACTION"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Milliseconds before each reply."),
                                   QStringLiteral("MS"));
    const QCommandLineOption cutAfter(QStringLiteral("disconnect-after"),
                                      QStringLiteral("Cut each connection after BYTES sent."), QStringLiteral("BYTES"));
    p.addOptions({tcp, pty, terminal, records, seed, loadRecords, roster, state, firmware, baud, corrupt, drop, delay,
                  cutAfter});
    const QCommandLineOption fleet(
        QStringLiteral("fleet"), QStringLiteral("Play N terminals, each alone on its own TCP port, at addresses 1..N."),
        QStringLiteral("N"));
    const QCommandLineOption tcpBase(QStringLiteral("tcp-base"),
                                     QStringLiteral("With --fleet: the first terminal's port (default 0: free ports)."),
                                     QStringLiteral("PORT"));
    const QCommandLineOption punchEvery(
        QStringLiteral("punch-every"), QStringLiteral("With --fleet: a punch on every terminal every MS milliseconds."),
        QStringLiteral("MS"));
    p.addOptions({fleet, tcpBase, punchEvery});
    const QCommandLineOption capacity(
        QStringLiteral("capacity"),
        QStringLiteral("Records each terminal's memory holds; when full the oldest is overwritten (default 100000)."),
        QStringLiteral("N"));
    p.addOption(capacity);
    p.process(app);
    if (!p.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument ") + p.positionalArguments().first());

    auto number = [&](const QCommandLineOption &o, qint64 low, qint64 high, qint64 fallback, qint64 &out) {
        if (!p.isSet(o)) {
            out = fallback;
            return true;
        }
        bool ok = false;
        out = p.value(o).toLongLong(&ok);
        return ok && out >= low && out <= high;
    };
    FaultSettings faults;
    qint64 v = 0;
    if (!number(seed, 0, LLONG_MAX, 1, v)) return fail(QStringLiteral("--seed wants a whole number"));
    faults.seed = quint64(v);
    if (!number(baud, 0, 4000000, 0, v)) return fail(QStringLiteral("--baud wants a rate in bits per second"));
    faults.baud = int(v);
    if (!number(delay, 0, 600000, 0, v)) return fail(QStringLiteral("--delay wants milliseconds"));
    faults.delayMs = int(v);
    if (!number(cutAfter, 0, LLONG_MAX, -1, faults.disconnectAfter))
        return fail(QStringLiteral("--disconnect-after wants a byte count"));
    qint64 recordCapacity = 0;
    if (!number(capacity, 1, 100000000, Terminal::DefaultCapacity, recordCapacity))
        return fail(QStringLiteral("--capacity wants a count 1..100000000"));
    if (p.isSet(corrupt) && !fraction(p.value(corrupt), faults.corrupt))
        return fail(QStringLiteral("--corrupt wants a fraction 0..1"));
    if (p.isSet(drop) && !fraction(p.value(drop), faults.drop))
        return fail(QStringLiteral("--drop wants a fraction 0..1"));

    if (p.isSet(fleet)) {
        SimFleet::Settings f;
        if (!number(fleet, 1, 255, 0, v)) return fail(QStringLiteral("--fleet wants a count 1..255"));
        f.count = int(v);
        if (!number(tcpBase, 0, 65535, 0, v) || (v > 0 && v + f.count - 1 > 65535))
            return fail(QStringLiteral("--tcp-base wants a port that leaves room for the fleet"));
        f.basePort = int(v);
        if (!number(punchEvery, 0, 3600000, 0, v)) return fail(QStringLiteral("--punch-every wants milliseconds"));
        f.punchEveryMs = int(v);
        if (!number(records, 0, 10000000, 0, v)) return fail(QStringLiteral("--records wants a count"));
        f.records = int(v);
        f.capacity = recordCapacity;
        // The host as given, brackets of an IPv6 address kept (the listener takes them off).
        if (p.isSet(tcp)) f.host = p.value(tcp).left(p.value(tcp).lastIndexOf(u':'));
        if (p.isSet(firmware)) f.firmware = QDate::fromString(p.value(firmware), Qt::ISODate);
        if (p.isSet(firmware) && !f.firmware.isValid()) return fail(QStringLiteral("--firmware wants YYYY-MM-DD"));
        if (p.isSet(pty) || p.isSet(state) || p.isSet(terminal) || p.isSet(roster) || p.isSet(loadRecords))
            return fail(QStringLiteral("--fleet goes without --pty, --state, --terminal, --roster and --load-records"));
        return SimFleet::run(app, f, faults);
    }

    TerminalList terminals;
    const QStringList addresses =
        p.isSet(terminal) ? p.values(terminal) : QStringList{QString::number(DefaultTerminalAddress)};
    for (const QString &a : addresses) {
        bool ok = false;
        const int n = a.toInt(&ok);
        if (!ok || n < 0 || n > 255) return fail(QStringLiteral("--terminal wants an address 0..255, got ") + a);
        for (const auto &t : terminals)
            if (t->address == n) return fail(QStringLiteral("two terminals at address ") + a);
        terminals.push_back(std::make_unique<Terminal>(n));
    }
    const QString statePath = p.value(state);
    QString error;
    if (!statePath.isEmpty() && QFileInfo::exists(statePath)) {
        if (!SimState::load(statePath, terminals, error)) return fail(error);
    } else {
        for (const auto &t : terminals) t->setCapacity(recordCapacity);
        Terminal &first = *terminals.front();
        qint64 n = 0;
        if (!number(roster, 0, 30000, 0, n)) return fail(QStringLiteral("--roster wants a count 0..30000"));
        Generate::roster(first, int(n), faults.seed);
        if (!number(records, 0, 10000000, 0, n)) return fail(QStringLiteral("--records wants a count"));
        Generate::records(first, int(n), faults.seed);
        if (p.isSet(loadRecords) && !Generate::loadRecords(first, p.value(loadRecords), error)) return fail(error);
    }
    if (p.isSet(capacity))
        for (const auto &t : terminals) t->setCapacity(recordCapacity);
    if (p.isSet(firmware)) {
        const QDate d = QDate::fromString(p.value(firmware), Qt::ISODate);
        if (!d.isValid()) return fail(QStringLiteral("--firmware wants YYYY-MM-DD"));
        for (const auto &t : terminals) t->firmware = d;
    }

    QList<Terminal *> lineTerminals;
    for (const auto &t : terminals) lineTerminals.append(t.get());
    SimServer server(lineTerminals, faults);
    const bool wantTcp = p.isSet(tcp) || !p.isSet(pty);
    if (wantTcp && !server.listenTcp(p.isSet(tcp) ? p.value(tcp) : DefaultListen, error)) return fail(error);
    if (p.isSet(pty) && !server.openPty(p.value(pty), error)) return fail(error);

    StdinLines input;
    QObject::connect(&input, &StdinLines::line, &app, [&](const QString &line) {
        QString out, why;
        if (!Control::run(line, terminals, out, why))
            std::fprintf(stderr, "attsim: %s\n", why.toLocal8Bit().constData());
        else if (!out.isEmpty())
            say(out);
    });
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopped, &app, &QCoreApplication::quit);

    if (wantTcp) say(QStringLiteral("ready tcp ") + server.listening());
    if (p.isSet(pty)) say(QStringLiteral("ready pty ") + p.value(pty));
    const int rc = app.exec();
    if (!statePath.isEmpty() && !SimState::save(statePath, terminals, error)) return fail(error);
    return rc;
}
