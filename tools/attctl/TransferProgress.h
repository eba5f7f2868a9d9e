#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>

// The progress of long transfers on standard error, only when it is a terminal: one status line,
// redrawn a few times a second, with each transfer in progress (a line of a sync, or the terminal of
// a collection): the records received of those expected and an estimate of the time left. The
// workers of a sync report through it at once.
class TransferProgress {
public:
    explicit TransferProgress(QTextStream &err);
    bool active() const { return active_; }

    void setHeading(const QString &heading);  // e.g. "3 / 10 terminals"
    void update(const QString &transfer, qint64 received, qint64 expected);
    void finish(const QString &transfer);
    // Runs `write` (which prints lines of its own) with the status line erased, then draws it again.
    void around(const std::function<void()> &write);
    void clear();

    // "1200 / 5000 records, about 12 s left"; without an estimate before the first records.
    static QString text(qint64 received, qint64 expected, qint64 elapsedMs);

private:
    struct Transfer {
        QElapsedTimer clock;
        qint64 received = 0, expected = 0;
    };
    void draw();

    QTextStream &err_;
    bool active_;
    QMutex mutex_;
    QString heading_;
    QHash<QString, Transfer> transfers_;
    QStringList order_;
    QElapsedTimer sinceDrawn_;
};
