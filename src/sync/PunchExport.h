#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class Database;
struct RecordLayout;

// One stored punch with its terminal, as exports read it.
struct ExportRow {
    QByteArray terminal;  // UTF-8: the terminal's name in the fleet file at its latest sync
    QByteArray identity;
    int address = 0;
    quint64 serial = 0;
    uint32_t card = 0;
    quint64 stamp = 0;  // yyyyMMddHHmmss (sync/Punch.h)
    QByteArray flag;
    QByteArray suspect;  // why its time is doubtful (reasons joined by "; "), empty when it is not
    int utcOffset = 0;   // seconds east of UTC where the terminal stood (sync/ZoneClock.h)
    bool dstGap = false;
};

// Which punches: times from `from` (inclusive) and before `until` (exclusive), both
// "yyyy-MM-dd HH:mm:ss" in the terminals' clock; one terminal by name.
struct ExportFilter {
    QString from, until;
    QString terminal;
    std::optional<uint32_t> card;  // one card only (the dashboard's punches)
};

// Turns rows into bytes of one export format.
class RowFormatter {
public:
    virtual ~RowFormatter() = default;
    virtual void begin(QByteArray &) {}
    virtual void row(const ExportRow &row, QByteArray &out) = 0;
};

namespace PunchExport {

struct FormatOptions {
    bool utc = false;  // times in UTC with a Z instead of the terminals' wall-clock time
    // A CSV cell starting with = + - @ gets an apostrophe before it, so that a spreadsheet shows it
    // as text instead of running it as a formula.
    bool spreadsheetSafe = false;
};

// "csv" (UTF-8, a header row, RFC 4180 quoting) or "jsonl" (one JSON object a line); null otherwise.
std::unique_ptr<RowFormatter> formatter(const QString &format, FormatOptions options = {});
// The console's record layout (GB18030, CR LF), as its formatted record files have it.
std::unique_ptr<RowFormatter> layoutFormatter(const RecordLayout &layout);

// A row's fields as one JSON object (the JSON lines' fields), with `id` IDENTITY:SERIAL when asked.
void appendJsonObject(const ExportRow &row, QByteArray &out, bool utc, bool withId);

// Reads a DATE (yyyy-MM-dd) or DATE TIME (yyyy-MM-ddTHH:mm:ss or with a blank) into the filter's
// text; a date alone as the end takes the whole day. False with `error` saying what the text should
// be ("wants a date ..."), for the caller to put after the name it knows the moment by.
bool readFrom(const QString &text, ExportFilter &filter, QString &error);
bool readTo(const QString &text, ExportFilter &filter, QString &error);

// A filter that can select nothing by mistake: an end before the start, a terminal name the
// database does not know.
enum class FilterProblem { None, EmptyRange, UnknownTerminal };
// Sets `problem`; false with `error` when the database cannot be read.
bool checkFilter(Database &db, const ExportFilter &filter, FilterProblem &problem, QString &error);

// Takes the export a piece at a time; false when the piece could not be written (the sink keeps
// its own reason).
using Sink = std::function<bool(const QByteArray &piece)>;

// Writes every punch the filter selects, ordered by time, terminal identity and serial, to `out`.
// False with `error` when the database or the output fails; `rows` counts the rows written.
bool write(Database &db, const ExportFilter &filter, RowFormatter &formatter, const Sink &out, qint64 &rows,
           QString &error);

}  // namespace PunchExport
