// The wire trace against the simulator: every frame in hexadecimal with its direction, address,
// command and sequence, every retry with its cause; on with attctl --trace or the logging category
// for any program of the link, off otherwise.
#include "support/AttctlProcess.h"
#include "support/SimProcess.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The frame bytes of a trace line: "... | A5 5A 69 10 ...".
QByteArray frameOf(const QString &line)
{
    return QByteArray::fromHex(line.section(QStringLiteral(" | "), 1).toLatin1());
}

}  // namespace

class LinkWireTrace : public QObject {
    Q_OBJECT

    QTemporaryDir work_;

    QString settings(int retries)
    {
        const QString path = work_.filePath(QStringLiteral("AttLink-%1.ini").arg(retries));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(QStringLiteral("[Link]\nResponseTimeout=300\nInterByteTimeout=100\nRetries=%1\n")
                        .arg(retries)
                        .toLatin1());
        return path;
    }

private slots:
    void framesBothWays()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("12")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const QStringList args{QStringLiteral("--settings"), settings(1), QStringLiteral("--tcp"),
                               sim.host() + u':' + sim.portText(), QStringLiteral("count")};
        const AttctlRun quiet = attctl(args);
        QCOMPARE(quiet.code, 0);
        QVERIFY(quiet.err.isEmpty());

        const AttctlRun r = attctl(QStringList{QStringLiteral("--trace")} + args);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("12\n"));  // the trace stays off standard output
        const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QRegularExpression sent(
            QStringLiteral("^zevo\\.link\\.wire: \\d\\d:\\d\\d:\\d\\d\\.\\d{3} -> address 105 command 0x10 RecordCount "
                           "sequence (\\d+) length 0 \\| A5 5A( [0-9A-F]{2})+$"));
        const QRegularExpressionMatch s = sent.match(lines[0]);
        QVERIFY2(s.hasMatch(), qPrintable(lines[0]));
        const QRegularExpression received(
            QStringLiteral(
                "^zevo\\.link\\.wire: \\d\\d:\\d\\d:\\d\\d\\.\\d{3} <- address 105 command 0x90 RecordCount reply "
                "sequence %1 length \\d+ status Ok \\(ours\\) \\| A5 5A( [0-9A-F]{2})+$")
                .arg(s.captured(1)));
        QVERIFY2(received.match(lines[1]).hasMatch(), qPrintable(lines[1]));
        // The bytes are the frames themselves: address and command where the protocol puts them.
        const QByteArray request = frameOf(lines[0]), reply = frameOf(lines[1]);
        QCOMPARE(uint8_t(request[2]), uint8_t(105));
        QCOMPARE(uint8_t(request[3]), uint8_t(0x10));
        QCOMPARE(uint8_t(reply[3]), uint8_t(0x90));
    }

    // Every reply damaged: each attempt, each retry with its cause, the bytes that came, and the end.
    void retriesWithTheirCause()
    {
        SimProcess sim({QStringLiteral("--corrupt"), QStringLiteral("1")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        const AttctlRun r =
            attctl({QStringLiteral("--trace"), QStringLiteral("--settings"), settings(2), QStringLiteral("--tcp"),
                    sim.host() + u':' + sim.portText(), QStringLiteral("count")});
        QCOMPARE(r.code, 3);
        const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.filter(QStringLiteral(" -> address 105 command 0x10 RecordCount")).size(), 3);
        QCOMPARE(lines.filter(QStringLiteral(" attempt 2 |")).size(), 1);
        QCOMPARE(lines.filter(QStringLiteral(" attempt 3 |")).size(), 1);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("retry: attempt [23] of 3 after \\S"))).size(), 2);
        QCOMPARE(
            lines.filter(QRegularExpression(QStringLiteral("<- \\d+ bytes, no reply of ours: \\S.* \\| A5 "))).size(),
            3);
        QCOMPARE(lines.filter(QStringLiteral("request failed: ")).size(), 1);
        QVERIFY(lines.last().startsWith(QStringLiteral("attctl: count failed")));
    }

    // The logging category alone turns the trace on, as it does for the console.
    void loggingRulesTurnItOn()
    {
        SimProcess sim({QStringLiteral("--records"), QStringLiteral("3")});
        if (!sim.start()) QFAIL(qPrintable(sim.errorText()));
        AttctlOptions o;
        o.environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("zevo.link.wire.debug=true"));
        const AttctlRun r = attctl({QStringLiteral("--settings"), settings(1), QStringLiteral("--tcp"),
                                    sim.host() + u':' + sim.portText(), QStringLiteral("roster-count")},
                                   o);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains(QStringLiteral("-> address 105 command 0x30 RosterCount")), qPrintable(r.err));
        QVERIFY(r.err.contains(QStringLiteral("<- address 105 command 0xb0 RosterCount reply")));
    }
};

QTEST_GUILESS_MAIN(LinkWireTrace)
#include "link_wire_trace.moc"
