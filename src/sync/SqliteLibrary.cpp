#include "sync/SqliteLibrary.h"

#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

namespace SqliteLibrary {

bool sameAsDriver(QSqlDatabase &db, QString &error)
{
    static QMutex mutex;
    static int verdict = -1;  // -1 not checked yet, 0 different, 1 the same
    static QString why;
    QMutexLocker hold(&mutex);
    if (verdict < 0) {
        QSqlQuery q(db);
        const QString linked =
            QString::fromLatin1(sqlite3_libversion()) + u' ' + QString::fromLatin1(sqlite3_sourceid());
        QString driver = QStringLiteral("(unknown)");
        if (q.exec(QStringLiteral("SELECT sqlite_version() || ' ' || sqlite_source_id()")) && q.next())
            driver = q.value(0).toString();
        verdict = driver == linked ? 1 : 0;
        why =
            QStringLiteral("Qt's SQLite driver runs SQLite %1 but this program links SQLite %2: the punch store needs "
                           "them to be one library (a Qt built against the system's SQLite)")
                .arg(driver, linked);
    }
    if (verdict == 0) error = why;
    return verdict == 1;
}

}  // namespace SqliteLibrary
