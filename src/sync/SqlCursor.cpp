#include "sync/SqlCursor.h"

#include "sync/Database.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

#include <sqlite3.h>
#include <optional>

sqlite3 *sqliteHandleOf(Database &db)
{
    const QVariant v = db.sql().driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0) return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

namespace {

bool isWholeNumber(const QVariant &v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

// The statement with each ? outside quotes replaced by its value, when every value is a whole number;
// nothing otherwise.
std::optional<QString> withWholeNumbers(const QString &sql, const QVariantList &binds)
{
    for (const QVariant &b : binds)
        if (!isWholeNumber(b)) return std::nullopt;
    QString out;
    out.reserve(sql.size() + binds.size() * 12);
    qsizetype next = 0;
    QChar quote;  // the quote we are inside ('' and "" inside toggle twice), or none
    for (const QChar c : sql) {
        if (quote.isNull() && (c == u'\'' || c == u'"'))
            quote = c;
        else if (c == quote)
            quote = QChar();
        if (c != u'?' || !quote.isNull()) {
            out += c;
            continue;
        }
        if (next == binds.size()) return std::nullopt;
        const QVariant &b = binds[next++];
        const bool unsignedType = b.typeId() == QMetaType::ULongLong || b.typeId() == QMetaType::UInt;
        out += unsignedType ? QString::number(b.toULongLong()) : QString::number(b.toLongLong());
    }
    if (next != binds.size() || binds.isEmpty()) return std::nullopt;
    return out;
}

}  // namespace

SqlCursor::SqlCursor(Database &db) : db_(db) {}

SqlCursor::~SqlCursor() { sqlite3_finalize(statement_); }

bool SqlCursor::exec(const QString &sql, const QVariantList &binds, QString &error)
{
    if (!db_.postgres()) {
        sqlite3 *h = sqliteHandleOf(db_);
        if (!h || sqlite3_prepare_v2(h, sql.toUtf8().constData(), -1, &statement_, nullptr) != SQLITE_OK) {
            error = db_.failure(QStringLiteral("query"),
                                h ? QString::fromUtf8(sqlite3_errmsg(h)) : QStringLiteral("no SQLite handle"));
            return false;
        }
        for (int i = 0; i < binds.size(); ++i) {
            if (isWholeNumber(binds[i]))
                sqlite3_bind_int64(statement_, i + 1, binds[i].toLongLong());
            else {
                const QByteArray text = binds[i].toString().toUtf8();
                sqlite3_bind_text(statement_, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
        }
        return true;
    }
    query_ = std::make_unique<QSqlQuery>(db_.sql());
    query_->setForwardOnly(true);
    // Qt's driver prepares a statement with values on the server (prepare, run, deallocate: three
    // round trips). Whole numbers written into the text need one, which a live output that reads each
    // terminal a few times a second feels; text values keep the placeholders.
    if (const std::optional<QString> literal = withWholeNumbers(sql, binds)) {
        if (!query_->exec(*literal)) return db_.failed(*query_, QStringLiteral("query"), error);
        return true;
    }
    if (!query_->prepare(sql)) return db_.failed(*query_, QStringLiteral("query"), error);
    for (const QVariant &b : binds) query_->addBindValue(b);
    return db_.exec(*query_, error);
}

bool SqlCursor::next()
{
    if (statement_) {
        stepResult_ = sqlite3_step(statement_);
        return stepResult_ == SQLITE_ROW;
    }
    if (!query_ || !query_->next()) return false;
    if (row_.isEmpty()) {
        row_.resize(query_->record().count());
        nulls_.resize(row_.size());
    }
    const int columns = int(row_.size());
    for (int i = 0; i < columns; ++i) {
        const QVariant v = query_->value(i);
        nulls_[i] = v.isNull();
        row_[i] = v.toString().toUtf8();
    }
    return true;
}

bool SqlCursor::finish(QString &error)
{
    if (statement_) {
        if (stepResult_ == SQLITE_DONE || stepResult_ == SQLITE_ROW) return true;
        error = db_.failure(QStringLiteral("read"), QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement_))));
        return false;
    }
    if (query_ && query_->lastError().isValid()) return db_.failed(*query_, QStringLiteral("read"), error);
    return true;
}

qint64 SqlCursor::integer(int column) const
{
    if (statement_) return sqlite3_column_int64(statement_, column);
    return row_[column].toLongLong();
}

bool SqlCursor::isNull(int column) const
{
    if (statement_) return sqlite3_column_type(statement_, column) == SQLITE_NULL;
    return nulls_[column];
}

QByteArrayView SqlCursor::text(int column) const
{
    if (statement_) {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(statement_, column));
        return QByteArrayView(data, sqlite3_column_bytes(statement_, column));
    }
    return row_[column];
}
