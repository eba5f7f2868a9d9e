#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <array>
#include <vector>

// The layout of a formatted record line: nine separators around eight field names, in output order,
// and the two widths that move the fields of a raw line (decimal card numbers: 10 characters instead
// of 8; full year: 4 digits instead of 2).
struct RecordLayout {
    std::array<QString, 9> separators;
    std::array<QString, 8> fieldNames;
    bool decimalCards = false;
    bool fullYear = false;

    // The field names a fresh window shows, no separators, both widths narrow.
    static RecordLayout defaults();
};

// What a field name selects (compared after trimming its blanks): a part of a record, or nothing for
// an unknown or empty name.
enum class RecordField { None, Machine, Card, Year, Month, Day, Hour, Minute, Second, Flag };
RecordField recordFieldOf(QStringView name);

// The layout as what it writes, in order: a literal text (the separators between two fields that
// select something, merged; never empty) or a field (never None).
struct LayoutPiece {
    RecordField field = RecordField::None;  // None for a literal
    QString literal;
};
std::vector<LayoutPiece> layoutPieces(const RecordLayout &layout);

// One raw record line in the layout. A field name is compared after trimming its blanks; an unknown
// or empty name contributes nothing, but the separators around it are still written. A field that
// reaches past the end of the raw line yields the characters that exist, possibly none.
QString DataBaseForm(QStringView raw, const RecordLayout &layout);

// The layout resolved once into literal pieces and raw-line slices, for converting whole files.
class CompiledRecordLayout {
public:
    explicit CompiledRecordLayout(const RecordLayout &layout);

    void appendTo(QStringView raw, QString &out) const;
    QString format(QStringView raw) const;

    // Converts the content of a raw record file (8-bit text, lines ended by CR LF or LF) into the
    // content of the formatted file: one line per non-empty raw line, each ended by CR LF. Empty lines
    // are skipped. lineCount receives the number of lines written.
    QByteArray convertFile(const QByteArray &rawContent, qint64 *lineCount = nullptr) const;
    // The same conversion of [data, data + size) appended to `out`, for a file read or received in
    // pieces: the bytes end at a line end or at the end of the file; lineCount is added to. With a
    // requiredWidth (> 0), stops at the first non-empty line of another width and returns false, the
    // lines before it converted and counted.
    bool appendConverted(const char *data, qsizetype size, QByteArray &out, qint64 *lineCount = nullptr,
                         qsizetype requiredWidth = -1) const;

private:
    struct Piece {
        int start;   // 0-based slice start in the raw line; -1 for a literal
        int length;  // slice length, or index into the literals
    };
    std::vector<Piece> pieces_;
    std::vector<QString> literals_;
    std::vector<QByteArray> encodedLiterals_;
    // The literals padded to 16 bytes, so that they too move in one piece, and the most an ASCII line
    // can take converted (with 16 bytes of room for those moves).
    std::vector<std::array<char, 16>> paddedLiterals_;
    qsizetype asciiLineBound_ = 0;
};
