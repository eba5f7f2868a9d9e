#include "sync/PunchExport.h"

#include "common/TextCodec.h"
#include "layout/RecordLayout.h"
#include "sync/FieldText.h"
#include "sync/Punch.h"

#include <vector>

namespace {

using FieldText::appendCardDecimal;
using FieldText::appendCardHex;

// The console's record layout for consumers of its formatted files: each field written from the
// stored punch as a raw record line would hold it (the machine number being the terminal's address),
// the separators in GB18030, lines ended by CR LF.
class LayoutFormatter : public RowFormatter {
public:
    explicit LayoutFormatter(const RecordLayout &layout)
        : decimalCards_(layout.decimalCards), fullYear_(layout.fullYear)
    {
        for (const LayoutPiece &p : layoutPieces(layout)) {
            if (p.field == RecordField::None)
                pieces_.push_back({p.field, TextCodec::encode(p.literal)});
            else
                pieces_.push_back({p.field, {}});
        }
    }
    void row(const ExportRow &r, QByteArray &out) override
    {
        char time[19];  // yyyy-MM-dd HH:mm:ss
        PunchTime::writeText(r.stamp, time, false);
        for (const Piece &p : pieces_) {
            switch (p.field) {
            case RecordField::None:
                out.append(p.literal);
                break;
            case RecordField::Machine: {
                const char machine[3] = {char('0' + r.address / 100 % 10), char('0' + r.address / 10 % 10),
                                         char('0' + r.address % 10)};
                out.append(machine, 3);
                break;
            }
            case RecordField::Card:
                decimalCards_ ? appendCardDecimal(out, r.card) : appendCardHex(out, r.card);
                break;
            case RecordField::Year:
                out.append(fullYear_ ? time : time + 2, fullYear_ ? 4 : 2);
                break;
            case RecordField::Month:
                out.append(time + 5, 2);
                break;
            case RecordField::Day:
                out.append(time + 8, 2);
                break;
            case RecordField::Hour:
                out.append(time + 11, 2);
                break;
            case RecordField::Minute:
                out.append(time + 14, 2);
                break;
            case RecordField::Second:
                out.append(time + 17, 2);
                break;
            case RecordField::Flag:
                appendFlag(out, r.flag.left(4));
                break;
            }
        }
        out.append("\r\n");
    }

private:
    // A flag is printable ASCII as the terminals send it; other stored bytes are read one a character.
    static void appendFlag(QByteArray &out, const QByteArray &flag)
    {
        for (char c : flag)
            if (uchar(c) >= 0x80) return void(out.append(TextCodec::encode(QString::fromLatin1(flag))));
        out.append(flag);
    }

    struct Piece {
        RecordField field;
        QByteArray literal;
    };
    std::vector<Piece> pieces_;
    bool decimalCards_, fullYear_;
};

}  // namespace

namespace PunchExport {

std::unique_ptr<RowFormatter> layoutFormatter(const RecordLayout &layout)
{
    return std::make_unique<LayoutFormatter>(layout);
}

}  // namespace PunchExport
