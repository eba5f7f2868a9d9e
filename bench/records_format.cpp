// `attctl format` on 1,000,000 raw record lines into the comma/dash/colon layout, against mawk doing
// the same substrings and cut cutting the same columns, on the same file in the same run.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

// Seconds for one run of a program, its standard output into `out` (best of the rounds kept by the
// caller); -1 when it failed.
double timed(const QString &program, const QStringList &args, const QString &out)
{
    QProcess p;
    if (!out.isEmpty()) p.setStandardOutputFile(out);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return -1;
    return t.nsecsElapsed() / 1e9;
}

QByteArray contentOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int lines = 1000000;
    QTemporaryDir dir;
    const QString raw = dir.filePath("raw.txt");
    {
        QByteArray content;
        content.reserve(qsizetype(lines) * 29);
        for (int i = 0; i < lines; ++i)
            content += QByteArray::number(100 + i % 900) + QByteArray::number(0x10000000 + i, 16).toUpper()
                + "0709270936" + QByteArray::number(10 + i % 50) + "0001\r\n";
        QFile f(raw);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) return 1;
    }
    const QString attctl = QCoreApplication::applicationDirPath() + QStringLiteral("/../tools/attctl");
    const QString layout = QStringLiteral("{机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}");
    const QString awk = QStringLiteral(
        "BEGIN{ORS=\"\\r\\n\"}{print substr($0,1,3) \",\" substr($0,4,8) \",\" substr($0,12,2) \"-\" "
        "substr($0,14,2) \"-\" substr($0,16,2) \" \" substr($0,18,2) \":\" substr($0,20,2) \":\" substr($0,22,2)}");

    // Best of several interleaved rounds for each: on a shared machine a single round mostly
    // measures whoever else was busy at that moment.
    const int rounds = 5;
    double ours = 1e9, mawk = 1e9, cut = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const double a = timed(
            attctl,
            {QStringLiteral("format"), raw, QStringLiteral("--dir"), dir.path(), QStringLiteral("--layout"), layout},
            {});
        const double b = timed(QStringLiteral("mawk"), {awk, raw}, dir.filePath("awk.txt"));
        const double c = timed(QStringLiteral("cut"),
                               {QStringLiteral("--output-delimiter=,"),
                                QStringLiteral("-c1-3,4-11,12-13,14-15,16-17,18-19,20-21,22-23"), raw},
                               dir.filePath("cut.txt"));
        if (a < 0 || b < 0 || c < 0) {
            std::fprintf(stderr, "a program failed (attctl %.3f, mawk %.3f, cut %.3f)\n", a, b, c);
            return 1;
        }
        ours = std::min(ours, a), mawk = std::min(mawk, b), cut = std::min(cut, c);
    }
    const bool same = contentOf(dir.filePath("awk.txt")) == contentOf(dir.filePath("DataRecordSet.txt"));
    std::printf("1,000,000 lines, best of %d:\n", rounds);
    std::printf("  attctl format: %.3f s (%.0f lines/s)\n  mawk:          %.3f s\n  cut:           %.3f s\n", ours,
                lines / ours, mawk, cut);
    std::printf("  mawk / attctl = %.2f (goal >= 6), cut / attctl = %.2f\n  same output as mawk: %s\n", mawk / ours,
                cut / ours, same ? "yes" : "no");
    return same ? 0 : 1;
}
