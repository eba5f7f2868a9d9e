#include "sim/Fleet.h"

#include "sim/Control.h"
#include "sim/Generate.h"
#include "sim/SimServer.h"
#include "sim/StdinLines.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>
#include <list>

namespace {

void say(const QString &line)
{
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int fail(const QString &why)
{
    std::fprintf(stderr, "attsim: %s\n", why.toLocal8Bit().constData());
    return 2;
}

}  // namespace

namespace SimFleet {

int run(QCoreApplication &app, const Settings &settings, const FaultSettings &faults)
{
    TerminalList all;
    std::list<SimServer> servers;  // one a terminal, each reaching only its own
    QStringList ports;
    QString error;
    for (int i = 0; i < settings.count; ++i) {
        auto t = std::make_unique<Terminal>(i + 1);
        if (settings.firmware.isValid()) t->firmware = settings.firmware;
        t->setCapacity(settings.capacity);
        Generate::records(*t, settings.records, faults.seed + quint64(i));
        FaultSettings own = faults;
        own.seed = faults.seed + quint64(i);
        servers.emplace_back(QList<Terminal *>{t.get()}, own);
        all.push_back(std::move(t));
        const int port = settings.basePort ? settings.basePort + i : 0;
        if (!servers.back().listenTcp(QStringLiteral("%1:%2").arg(settings.host).arg(port), error)) return fail(error);
        ports << servers.back().listening();
    }

    QRandomGenerator random(quint32(faults.seed));
    QTimer punches;
    if (settings.punchEveryMs > 0) {
        QObject::connect(&punches, &QTimer::timeout, &app, [&] {
            // Cards of a small staff, so that exports show the same people at several doors.
            for (const auto &t : all) t->punch(0x00A00000u + random.bounded(200u));
        });
        punches.start(settings.punchEveryMs);
    }

    StdinLines input;
    QObject::connect(&input, &StdinLines::line, &app, [&](const QString &line) {
        QString out, why;
        if (!Control::run(line, all, out, why))
            std::fprintf(stderr, "attsim: %s\n", why.toLocal8Bit().constData());
        else if (!out.isEmpty())
            say(out);
    });
    StopSignals stop;
    QObject::connect(&stop, &StopSignals::stopped, &app, &QCoreApplication::quit);
    say(QStringLiteral("ready fleet ") + ports.join(u' '));
    say(QStringLiteral("ready tcp ") + ports.first());
    return app.exec();
}

}  // namespace SimFleet
