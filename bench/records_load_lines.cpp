// Loads 3,500,000 record lines into the send-records panel's list and compares, in the same run, the
// time with reading the same file whole into memory and with the way of loading it replaced (the whole
// file decoded and split, one list-widget item a line); reports the memory each list holds per byte of
// file (growth of the resident set while it holds the lines).
#include "common/TextCodec.h"
#include "records/RecordLineFile.h"
#include "ui/RecordLineList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {
qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}
}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = 3500000;
    QTemporaryDir dir;
    const QString path = dir.filePath("lines.txt");
    qint64 fileSize = 0;
    {
        QByteArray content;
        content.reserve(qsizetype(lines) * 25);
        for (int i = 0; i < lines; ++i)
            content += "105" + QByteArray::number(0x10000000 + i, 16).toUpper() + "0709270936"
                + QByteArray::number(10 + i % 50) + "\r\n";
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        fileSize = content.size();
    }

    const qint64 before = residentBytes();
    RecordLineList list;
    list.resize(240, 170);
    list.show();
    qint64 ourGrowth = 0;

    // Best of interleaved rounds: on a shared machine a single round mostly measures the neighbours.
    const int rounds = 3;
    double ours = 1e9, baseline = 1e9;
    qint64 held = 0;
    int shown = 0;
    QElapsedTimer t;
    for (int round = 0; round < rounds; ++round) {
        t.start();
        RecordLineFile::Result r = RecordLineFile::read(path);
        list.setLines(std::move(r.lines));
        list.selectAll();
        QApplication::processEvents();
        ours = std::min(ours, t.nsecsElapsed() / 1e9);
        const auto *model = static_cast<const RecordLineModel *>(list.model());
        held = model->lines().text.capacity() + model->lines().starts.capacity() * qint64(sizeof(quint32));
        shown = list.count();
        if (round == 0) ourGrowth = residentBytes() - before;

        t.restart();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        const QByteArray whole = f.readAll();
        baseline = std::min(baseline, t.nsecsElapsed() / 1e9);
        if (whole.size() != fileSize) return 1;
    }
    // The replaced way, once: it takes long enough to measure on its own.
    double replaced = 0;
    qint64 replacedGrowth = 0;
    {
        list.clear();
        const qint64 start = residentBytes();
        QListWidget widget;
        widget.resize(240, 170);
        widget.setSelectionMode(QAbstractItemView::MultiSelection);
        widget.show();
        t.restart();
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        QStringList split = TextCodec::splitLines(TextCodec::decode(f.readAll()));
        split.removeIf([](const QString &line) { return line.trimmed().isEmpty(); });
        widget.addItems(split);
        widget.selectAll();
        QApplication::processEvents();
        replaced = t.nsecsElapsed() / 1e9;
        split.clear();
        replacedGrowth = residentBytes() - start;
    }
    std::printf("lines loaded:                   %d\n"
                "load into the list:             %.2f s\n"
                "read the whole file (baseline): %.2f s   ratio %.1f\n"
                "replaced way (baseline):        %.2f s   ratio %.2f\n"
                "held by the list / file bytes:  %.2f\n"
                "resident growth / file bytes:   %.2f (replaced way: %.2f)\n",
                shown, ours, baseline, ours / baseline, replaced, ours / replaced, double(held) / double(fileSize),
                double(ourGrowth) / double(fileSize), double(replacedGrowth) / double(fileSize));
    return shown == lines ? 0 : 1;
}
