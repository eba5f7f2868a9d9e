// Converts 1,000,000 raw record lines with the comma/dash/colon layout and compares the rate with
// mawk doing the same substring layout on the same file, in the same run.
#include "records/RecordLayout.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int lines = 1000000;
    QTemporaryDir dir;
    const QString raw = dir.filePath("raw.txt");
    {
        QByteArray content;
        content.reserve(qsizetype(lines) * 29);
        for (int i = 0; i < lines; ++i)
            content += QByteArray::number(100 + i % 900) + QByteArray::number(0x10000000 + i, 16).toUpper() +
                       "0709270936" + QByteArray::number(10 + i % 50) + "0001\r\n";
        QFile f(raw);
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }
    RecordLayout layout = RecordLayout::defaults();
    layout.separators = {"", ",", ",", "-", "-", " ", ":", ":", ""};

    const QString prog = QStringLiteral(
        "BEGIN{ORS=\"\\r\\n\"}{print substr($0,1,3) \",\" substr($0,4,8) \",\" substr($0,12,2) \"-\" "
        "substr($0,14,2) \"-\" substr($0,16,2) \" \" substr($0,18,2) \":\" substr($0,20,2) \":\" substr($0,22,2)}");

    // Best of several interleaved rounds for each side: on a shared machine a single round mostly
    // measures whoever else was busy at that moment.
    const int rounds = 5;
    double ours = 1e9, theirs = 1e9;
    QElapsedTimer t;
    for (int round = 0; round < rounds; ++round) {
        t.start();
        {
            QFile in(raw);
            in.open(QIODevice::ReadOnly);
            const QByteArray out = CompiledRecordLayout(layout).convertFile(in.readAll());
            QFile o(dir.filePath("ours.txt"));
            o.open(QIODevice::WriteOnly);
            o.write(out);
        }
        ours = std::min(ours, t.nsecsElapsed() / 1e9);

        QProcess awk;
        awk.setStandardOutputFile(dir.filePath("awk.txt"));
        t.restart();
        awk.start("mawk", {prog, raw});
        awk.waitForFinished(-1);
        theirs = std::min(theirs, t.nsecsElapsed() / 1e9);
    }

    QFile a(dir.filePath("awk.txt")), b(dir.filePath("ours.txt"));
    a.open(QIODevice::ReadOnly);
    b.open(QIODevice::ReadOnly);
    const bool same = a.readAll() == b.readAll();
    std::printf("DataBaseForm: %.0f lines/s\nmawk:         %.0f lines/s\nratio:        %.2f\nsame output:  %s\n",
                lines / ours, lines / theirs, theirs / ours, same ? "yes" : "no");
    return same ? 0 : 1;
}
