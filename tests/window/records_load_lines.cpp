// Loading record lines into the send-records panel: overlong lines and binary files are refused with a
// message and leave the list as it was; a large file loads while the window goes on with its events,
// into memory a little above the file's own size.
#include "common/TextCodec.h"
#include "records/RecordLineFile.h"
#include "support/WindowFixture.h"
#include "ui/RecordLineList.h"
#include "ui/ThreadedLinkCallRunner.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace {

QString writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(content);
    return path;
}

QByteArray recordLines(int first, int count)
{
    QByteArray out;
    for (int i = first; i < first + count; ++i)
        out += "105" + QByteArray::number(0x79A785 + i, 16).toUpper().rightJustified(8, '0') + "070927093628\r\n";
    return out;
}

}  // namespace

class RecordsLoadLines : public QObject {
    Q_OBJECT
private slots:
    void refusedFilesLeaveTheList_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");  // before the path
        const QByteArray longLine(RecordLineFile::MaxLineBytes + 1, '1');
        QTest::newRow("overlong third line") << recordLines(0, 2) + longLine + "\r\n"
                                             << "文件第3行超过256个字节，不是打卡数据，未读入：";
        QTest::newRow("a megabyte without line ends")
            << QByteArray(1 << 20, 'A') << "文件第1行超过256个字节，不是打卡数据，未读入：";
        QTest::newRow("overlong last line without line end")
            << recordLines(0, 1) + longLine << "文件第2行超过256个字节，不是打卡数据，未读入：";
        QTest::newRow("NUL in the second line") << recordLines(0, 1)
                + QByteArray("105\0"
                             "0079A785",
                             12)
                + "\r\n"
                                                << "文件第2行含有控制字符，不是文本文件，未读入：";
        QTest::newRow("escape sequence") << QByteArray("\x1b[2J105\r\n")
                                         << "文件第1行含有控制字符，不是文本文件，未读入：";
        QTest::newRow("program file") << QByteArray("\x7f"
                                                    "ELF\x02\x01\x01",
                                                    7)
                                      << "文件第1行含有控制字符，不是文本文件，未读入：";
        QTest::newRow("device") << QByteArray() << "不是普通文件，未读入：";
    }
    void refusedFilesLeaveTheList()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        WindowFixture f;
        auto &w = f.w();
        f.op.files.enqueue(writeFile(f.dir.path() + "/earlier.txt", recordLines(0, 3)));
        w.Command18->click();
        QCOMPARE(w.List1->count(), 3);
        w.List1->setSelected(1, false);

        const QString path = content.isEmpty() ? QString("/dev/zero") : writeFile(f.dir.path() + "/bad.txt", content);
        f.op.files.enqueue(path);
        w.Command18->click();
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, message + path);
        QCOMPARE(w.List1->count(), 3);
        QCOMPARE(w.List1->text(2), QString::fromLatin1(recordLines(2, 1).trimmed()));
        QVERIFY(!w.List1->isSelected(1));
        QCOMPARE(w.DataCount->text(), QString("3"));
    }

    void acceptedLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("loaded");
        QTest::newRow("longest line") << QByteArray(RecordLineFile::MaxLineBytes, '1') + "\n"
                                      << QStringList{QString(RecordLineFile::MaxLineBytes, '1')};
        QTest::newRow("CR line ends") << QByteArray("1050079A785070927093628\r1050079A786070927093629\r")
                                      << QStringList{"1050079A785070927093628", "1050079A786070927093629"};
        QTest::newRow("tabs and wide blanks") << QByteArray("105\t0079A785\r\n") + TextCodec::encode("　\r\n") + "x\n"
                                              << QStringList{"105\t0079A785", "x"};
        QTest::newRow("GB18030 name") << TextCodec::encode("105张三\r\n") << QStringList{"105张三"};
    }
    void acceptedLines()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, loaded);
        WindowFixture f;
        auto &w = f.w();
        f.op.files.enqueue(writeFile(f.dir.path() + "/lines.txt", content));
        w.Command18->click();
        QVERIFY(f.op.boxes.isEmpty());
        QStringList shown;
        for (int i = 0; i < w.List1->count(); ++i) shown << w.List1->text(i);
        QCOMPARE(shown, loaded);
        QCOMPARE(w.List1->selectedCount(), loaded.size());
    }

    // 300,000 lines: held in one block of text and one offset a line, not an object a line, so within a
    // quarter of the file's size.
    void largeFileIsHeldCompactly()
    {
        WindowFixture f;
        auto &w = f.w();
        const int n = 300000;
        const QByteArray content = recordLines(0, n);
        f.op.files.enqueue(writeFile(f.dir.path() + "/large.txt", content));
        w.Command18->click();
        QCOMPARE(w.List1->count(), n);
        QCOMPARE(w.DataCount->text(), QString::number(n));
        QCOMPARE(w.List1->selectedCount(), n);
        QCOMPARE(w.List1->text(n - 1), QString::fromLatin1(recordLines(n - 1, 1).trimmed()));
        const auto *model = static_cast<const RecordLineModel *>(w.List1->model());
        const qint64 held = model->lines().text.capacity() + model->lines().starts.capacity() * qint64(sizeof(quint32));
        QVERIFY2(held < content.size() * 5 / 4,
                 qPrintable(QString("%1 bytes for a file of %2").arg(held).arg(content.size())));
    }

    // The file arrives through a pipe in two halves; the second is written only once the window has
    // handled an event after the first, which it can only do if the load leaves it free.
    void windowGoesOnWhileLoading()
    {
        ScriptedOperator person;
        WindowFixture f(person, std::make_unique<ThreadedLinkCallRunner>());
        auto &w = f.w();
        const QString pipe = f.dir.path() + "/lines.pipe";
        QVERIFY(::mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
        person.files.enqueue(pipe);

        std::mutex m;
        std::condition_variable cv;
        bool firstHalfWritten = false, windowAnswered = false;
        std::thread writer([&] {
            QFile out(pipe);
            if (!out.open(QIODevice::WriteOnly)) return;
            out.write(recordLines(0, 1000));
            out.flush();
            std::unique_lock lock(m);
            firstHalfWritten = true;
            // Bounded, so that a window that never answers fails the test instead of hanging it.
            cv.wait_for(lock, std::chrono::seconds(30), [&] { return windowAnswered; });
            lock.unlock();
            out.write(recordLines(1000, 1000));
        });
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            std::lock_guard lock(m);
            if (firstHalfWritten && !windowAnswered) {
                windowAnswered = true;
                cv.notify_all();
            }
        });
        tick.start(5);
        w.Command18->click();
        tick.stop();
        writer.join();
        QVERIFY(windowAnswered);
        QCOMPARE(w.List1->count(), 2000);
        QVERIFY(person.boxes.isEmpty());
        QVERIFY(!w.StatusProgress->isVisible());
    }
};

QTEST_MAIN(RecordsLoadLines)
#include "records_load_lines.moc"
