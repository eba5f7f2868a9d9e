// attctl serve under the dashboard's goals: / over 1,000 terminals with a year of hourly samples each,
// the first page of one day's 115,200 punches out of two history sizes, 200 clients at once on
// /api/status, and the server's peak memory. Times are taken at the client over the loopback, so they
// include the connection; the baseline is / over a database of one terminal in the same run.
#include "sync/Database.h"
#include "sync/Schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <sqlite3.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

QString attctl() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/attctl"); }

// Terminals synced every hour for `hours`, and `days` days of punches, 115 a terminal and day
// (115,200 a day for 1,000 terminals, the last day one of them), through SQL alone.
bool makeDatabase(const QString &path, int terminals, int hours, int days)
{
    QString error;
    {
        DatabaseUrl url;
        url.path = path;
        auto db = Database::open(url, error);
        if (!db || !Schema::migrate(*db, error)) return std::fprintf(stderr, "%s\n", qPrintable(error)), false;
    }
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toLocal8Bit().constData(), &db) != SQLITE_OK) return false;
    const QByteArray sql =
        QStringLiteral(
            "PRAGMA synchronous=OFF; BEGIN;"
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < @T) "
            "INSERT INTO terminals (id, identity, name, last_serial, last_sync, clock_drift, capacity, held, last_error) "
            "SELECT i, printf('%016X', i), printf('door %04d', i), 0, datetime('now', 'localtime'), 1, 100000, 5000, '' FROM n;"
            "WITH RECURSIVE h(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM h WHERE k < @H) "
            "INSERT INTO samples (terminal_id, at, held, capacity, last_serial, drift, lost) "
            "SELECT t.id, datetime('now', 'localtime', printf('-%d hours', k)), (@H - k) * 5 % 100000, 100000, (@H - k) * 5, k % 7 - 3, 0 "
            "FROM terminals t, h;"
            "WITH RECURSIVE d(day) AS (SELECT 0 UNION ALL SELECT day + 1 FROM d WHERE day < @D - 1), "
            "p(s) AS (SELECT 1 UNION ALL SELECT s + 1 FROM p WHERE s < 115) "
            "INSERT INTO punches (terminal_id, serial, card, at, flag, suspect) "
            "SELECT t.id, day * 115 + s, 1000 + (t.id * 7 + s) % 5000, datetime('2026-01-01', printf('+%d days', day), printf('+%d seconds', 25200 + s * 300 + t.id % 300)), "
            "'0000', '' FROM terminals t, d, p;"
            "COMMIT; ANALYZE;")
            .replace(QStringLiteral("@T"), QString::number(terminals))
            .replace(QStringLiteral("@H"), QString::number(hours))
            .replace(QStringLiteral("@D"), QString::number(days))
            .toUtf8();
    char *message = nullptr;
    const bool ok = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) std::fprintf(stderr, "sqlite: %s\n", message);
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

struct Served {
    QProcess process;
    quint16 port = 0;
    explicit Served(const QString &db)
    {
        process.start(attctl(),
                      {QStringLiteral("serve"), QStringLiteral("--db"), QStringLiteral("sqlite:") + db,
                       QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
        QByteArray line;
        while (!line.contains('\n') && process.waitForReadyRead(20000)) line += process.readAllStandardOutput();
        port =
            quint16(QRegularExpression(QStringLiteral(":(\\d+)/")).match(QString::fromUtf8(line)).captured(1).toUInt());
    }
    ~Served()
    {
        process.terminate();
        process.waitForFinished(10000);
    }
    // Peak resident memory so far, in MB.
    double peakMb() const
    {
        QFile f(QStringLiteral("/proc/%1/status").arg(process.processId()));
        if (!f.open(QIODevice::ReadOnly)) return -1;
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+)")).match(QString::fromLatin1(f.readAll()));
        return m.captured(1).toDouble() / 1024.0;
    }
};

// Milliseconds of one GET, answer read whole; negative when it failed.
double get(quint16 port, const QByteArray &path)
{
    QElapsedTimer t;
    t.start();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(30000)) return -1;
    s.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
    QByteArray all;
    while (s.state() == QAbstractSocket::ConnectedState && s.waitForReadyRead(60000)) all += s.readAll();
    all += s.readAll();
    return all.startsWith("HTTP/1.1 200") ? double(t.nsecsElapsed()) / 1e6 : -1;
}

// The fleet-wide pages are kept for a second: `pauseMs` past that measures a page made afresh.
double median(quint16 port, const QByteArray &path, int rounds = 7, int pauseMs = 0)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        if (pauseMs) QThread::msleep(pauseMs);
        ms.push_back(get(port, path));
    }
    std::sort(ms.begin(), ms.end());
    return ms.front() < 0 ? -1 : ms[ms.size() / 2];
}

// 200 clients at once; the 99th percentile of their times, or negative when one was not answered.
double concurrentP99(quint16 port, int clients)
{
    std::vector<std::unique_ptr<QTcpSocket>> all;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < clients; ++i) {
        all.push_back(std::make_unique<QTcpSocket>());
        all.back()->connectToHost(QStringLiteral("127.0.0.1"), port);
    }
    // Each request goes out at once (flush), not when the loop below comes to read its answer.
    for (auto &s : all) {
        s->waitForConnected(30000);
        s->write("GET /api/status HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\n\r\n");
        s->flush();
    }
    std::vector<double> ms;
    for (auto &s : all) {
        QByteArray got;
        while (s->state() == QAbstractSocket::ConnectedState && s->waitForReadyRead(60000)) got += s->readAll();
        got += s->readAll();
        if (!got.startsWith("HTTP/1.1 200")) return -1;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);  // a client's time: from the burst to its whole answer
    }
    std::sort(ms.begin(), ms.end());
    return ms[size_t(double(ms.size()) * 0.99) - 1];
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString fleet = dir.filePath(QStringLiteral("fleet.sqlite")),
                  one = dir.filePath(QStringLiteral("one.sqlite"));
    const QString small = dir.filePath(QStringLiteral("small.sqlite")),
                  large = dir.filePath(QStringLiteral("large.sqlite"));
    QElapsedTimer t;
    t.start();
    if (!makeDatabase(fleet, 1000, 365 * 24, 1) || !makeDatabase(one, 1, 24, 1) || !makeDatabase(small, 1000, 1, 2)
        || !makeDatabase(large, 1000, 1, 20))
        return 1;
    std::printf("made the databases in %.1f s\n", double(t.elapsed()) / 1000.0);
    double peak = 0;
    {
        Served base(one), served(fleet);
        const double b = median(base.port, "/", 7, 1100), f = median(served.port, "/", 7, 1100),
                     api = median(served.port, "/api/status", 7, 1100);
        const double terminal = median(served.port, "/terminal/00000000000001F4");
        const double p99 = concurrentP99(served.port, 200);
        std::printf(
            "/ 1 terminal (baseline): %.1f ms; / 1,000 terminals, a year of samples: %.1f ms (goal <= 100); /api/status %.1f ms; "
            "/terminal/ID %.1f ms\n",
            b, f, api, terminal);
        std::printf("200 clients at once on /api/status: p99 %.1f ms (goal <= 500; negative: one not answered)\n", p99);
        peak = served.peakMb();
        std::printf("peak RSS of serve after the fleet's pages: %.1f MB\n", peak);
    }
    for (const auto &[name, path] :
         {std::pair{"2 days (230,400 punches)", small}, std::pair{"20 days (2,304,000 punches)", large}}) {
        Served served(path);
        const double first = median(served.port, "/punches?date=2026-01-01", 5),
                     api = median(served.port, "/api/punches?date=2026-01-01", 5);
        std::printf(
            "/punches of one day (115,200, first page of 500) out of %s: %.1f ms, /api/punches %.1f ms (goal <= 200)\n",
            name, first, api);
        std::printf("peak RSS of serve after the punches out of %s: %.1f MB\n", name, served.peakMb());
        peak = qMax(peak, served.peakMb());
    }
    std::printf("peak RSS of serve: %.1f MB (goal <= 40)\n", peak);
    return 0;
}
