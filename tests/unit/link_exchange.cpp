// Request and reply over a socket pair, with the far end played by a thread that answers each
// request as the test scripts it.
#include "attlink/Exchange.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>
#include <functional>
#include <thread>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A reply payload: the status byte 0 (ok) and the text.
QByteArray ok(const char *text) { return QByteArray(1, '\0') + text; }

class PairChannel : public FdChannel {
public:
    void take(int fd) { adopt(fd); }
};

void writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::send(fd, bytes.constData() + done, size_t(bytes.size() - done), MSG_NOSIGNAL);
        if (w <= 0) return;
        done += w;
    }
}

QByteArray reply(const Frame::Message &request, const QByteArray &payload)
{
    return Frame::encode({request.address, uint8_t(request.command | Frame::ReplyBit), request.sequence, payload});
}

// The terminal end: for the n-th request (0-based) the script returns the bytes to send back
// (empty: stay silent) and may ask to close the line.
struct Peer {
    using Script = std::function<QByteArray(const Frame::Message &request, int n, bool &close)>;

    explicit Peer(Script s) : script(std::move(s))
    {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) qFatal("socketpair");
        channel.take(fds[0]);
        far = fds[1];
        worker = std::thread([this] { run(); });
    }
    ~Peer()
    {
        channel.close();  // the far end sees end of file and stops
        worker.join();
        if (far >= 0) ::close(far);
    }

    void run()
    {
        Frame::Decoder d;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(far, buf, sizeof buf);
            if (n <= 0) return;
            d.feed(QByteArray(buf, int(n)));
            Frame::Message m;
            while (d.next(m)) {
                bool close = false;
                const QByteArray out = script(m, requests++, close);
                if (!out.isEmpty()) writeAll(far, out);
                if (close) {
                    ::close(far);
                    far = -1;
                    return;
                }
            }
        }
    }

    Script script;
    PairChannel channel;
    int far = -1;
    std::atomic<int> requests{0};
    std::thread worker;
};

LinkSettings quick(int retries = 2)
{
    LinkSettings s;
    s.responseTimeoutMs = 150;
    s.interByteTimeoutMs = 50;
    s.retries = retries;
    return s;
}

}  // namespace

class LinkExchange : public QObject {
    Q_OBJECT

private slots:
    void goodReply()
    {
        Peer peer(
            [](const Frame::Message &r, int, bool &) { return reply(r, QByteArray("\x00", 1) + r.payload + "!"); });
        const LinkSettings s = quick();
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, "ask");
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("ask!"));
        QCOMPARE(x.retriesUsed(), 0);
        QVERIFY(x.bytesSent() > 0 && x.bytesReceived() > 0);
    }

    void refusalIsAnAnswerNotARetry()
    {
        Peer peer([](const Frame::Message &r, int, bool &) { return reply(r, QByteArray("\x01", 1)); });
        const LinkSettings s = quick();
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::ClearRecords, {});
        QVERIFY(r.answered);
        QVERIFY(!r.ok());
        QCOMPARE(r.status, ReplyStatus::Refused);
        QCOMPARE(peer.requests.load(), 1);
    }

    // A damaged reply is asked for again at once: with timeouts far longer than the test, a wait
    // for either of them would show.
    void badCrcRetriesAtOnce_data()
    {
        QTest::addColumn<int>("damageAt");  // offset from the frame's end
        QTest::newRow("CRC byte") << 1;
        QTest::newRow("payload byte") << 4;
        QTest::newRow("length field made shorter") << -6;
    }
    void badCrcRetriesAtOnce()
    {
        QFETCH(int, damageAt);
        Peer peer([damageAt](const Frame::Message &r, int n, bool &) {
            QByteArray out = reply(r, QByteArray("\x00", 1) + "payload-bytes");
            if (n == 0) {
                if (damageAt > 0)
                    out[out.size() - damageAt] = char(out[out.size() - damageAt] ^ 0x55);
                else
                    out[9] = char(out[9] - 3);
            }
            return out;
        });
        LinkSettings s = quick(3);
        s.responseTimeoutMs = 20000;
        s.interByteTimeoutMs = 20000;
        Exchange x(peer.channel, s);
        QElapsedTimer t;
        t.start();
        const Exchange::Reply r = x.request(105, Command::RecordPacket, "p");
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("payload-bytes"));
        QVERIFY2(t.elapsed() < 10000, "waited for a timeout instead of asking again");
        QCOMPARE(x.retriesUsed(), 1);
        QVERIFY(x.badFrames() >= 1);
    }

    void foreignFramesAreDiscarded()
    {
        Peer peer([](const Frame::Message &r, int, bool &) {
            Frame::Message other = r;
            other.command |= Frame::ReplyBit;
            QByteArray out;
            other.address = uint8_t(r.address + 1);  // another terminal on the line
            out += Frame::encode({other.address, other.command, other.sequence, ok("wrong address")});
            out += Frame::encode({r.address, other.command, uint8_t(r.sequence - 1), ok("late reply")});
            out += Frame::encode(
                {r.address, uint8_t(Command::Identify | Frame::ReplyBit), r.sequence, ok("other command")});
            out += "\x13\x37 line noise ";
            out += reply(r, QByteArray("\x00", 1) + "mine");
            return out;
        });
        const LinkSettings s = quick();
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("mine"));
        QCOMPARE(x.retriesUsed(), 0);
    }

    void staleBytesAreFlushedBeforeTheRequest()
    {
        Peer peer([](const Frame::Message &r, int, bool &) { return reply(r, QByteArray("\x00", 1) + "fresh"); });
        // A reply that would match the coming request exactly, already waiting on the line.
        writeAll(peer.far, Frame::encode({105, uint8_t(Command::RecordCount | Frame::ReplyBit), 1, ok("stale")}));
        QTest::qWait(50);
        const LinkSettings s = quick();
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("fresh"));
    }

    void bytesArrivingOneAtATime()
    {
        Peer peer([](const Frame::Message &, int, bool &) { return QByteArray(); });
        const LinkSettings s = quick(0);
        Exchange x(peer.channel, s);
        std::thread slow;
        peer.script = [&slow, fd = peer.far](const Frame::Message &r, int, bool &) {
            const QByteArray out = reply(r, QByteArray("\x00", 1) + QByteArray(40, 'b'));
            slow = std::thread([out, fd] {
                for (char c : out) {
                    writeAll(fd, QByteArray(1, c));
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            });
            return QByteArray();
        };
        const Exchange::Reply r = x.request(105, Command::RecordPacket, {});
        slow.join();
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray(40, 'b'));
    }

    void silentTerminalIsTriedABoundedNumberOfTimes()
    {
        Peer peer([](const Frame::Message &, int, bool &) { return QByteArray(); });
        const LinkSettings s = quick(2);
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(!r.answered);
        QVERIFY(r.failure != LinkFailure::None);
        QCOMPARE(peer.requests.load(), 3);
        QCOMPARE(x.retriesUsed(), 2);
    }

    void replyCutShortIsRetried()
    {
        Peer peer([](const Frame::Message &r, int n, bool &) {
            const QByteArray out = reply(r, QByteArray("\x00", 1) + "whole");
            return n == 0 ? out.left(out.size() - 4) : out;
        });
        const LinkSettings s = quick(1);
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("whole"));
    }

    void replyWithoutStatusByteIsRetried()
    {
        Peer peer([](const Frame::Message &r, int n, bool &) {
            return reply(r,
                         n == 0 ? QByteArray()
                                : QByteArray("\x00"
                                             "ok",
                                             3));
        });
        const LinkSettings s = quick(1);
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(r.ok());
        QCOMPARE(r.data, QByteArray("ok"));
    }

    void closedLineFailsWithoutRetrying()
    {
        Peer peer([](const Frame::Message &, int, bool &close) {
            close = true;
            return QByteArray();
        });
        const LinkSettings s = quick(3);
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(!r.answered);
        QCOMPARE(r.lineError, QStringLiteral("连接已断开"));
        QCOMPARE(peer.requests.load(), 1);
        // Writing to the closed line again must fail as a result, not end the process.
        QTest::qWait(20);
        QVERIFY(!x.request(105, Command::RecordCount, {}).answered);
    }

    void endlessGarbageEnds()
    {
        Peer peer([](const Frame::Message &, int, bool &) {
            QByteArray junk;
            for (int i = 0; i < 4000; ++i)
                junk += QByteArray("\xA5\x5A\x00\x00\x00\x00\x00\x00\x00\x05", 10);  // headers that never finish
            return junk + junk;
        });
        const LinkSettings s = quick(0);
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(!r.answered);
        QVERIFY(r.failure != LinkFailure::None);
    }

    void oversizedRequestIsRefusedBeforeSending()
    {
        Peer peer([](const Frame::Message &r, int, bool &) { return reply(r, QByteArray("\x00", 1)); });
        const LinkSettings s = quick();
        Exchange x(peer.channel, s);
        const Exchange::Reply r = x.request(105, Command::PicturePacket, QByteArray(Frame::MaxPayload + 1, '1'));
        QVERIFY(!r.answered);
        QCOMPARE(x.bytesSent(), 0);
    }

    void closedChannelFailsAtOnce()
    {
        PairChannel none;
        const LinkSettings s = quick();
        Exchange x(none, s);
        const Exchange::Reply r = x.request(105, Command::RecordCount, {});
        QVERIFY(!r.answered);
        QVERIFY(r.failure != LinkFailure::None);
    }
};

QTEST_GUILESS_MAIN(LinkExchange)
#include "link_exchange.moc"
