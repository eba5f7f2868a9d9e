#include "fleetcards/CardList.h"

#include "attlink/OperationArgs.h"
#include "attlink/protocol/RecordWire.h"
#include "attlink/protocol/RosterBlock.h"
#include "common/CsvText.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {

// Beyond this many mistakes a list is plainly not the expected file; the rest are not listed.
constexpr int MaxErrors = 100;

const QStringList Required = {QStringLiteral("card"), QStringLiteral("job_number"), QStringLiteral("name")};
const QString GroupsColumn = QStringLiteral("groups");

bool wholeNumber(const QString &text, uint32_t high, uint32_t &out)
{
    if (text.isEmpty() || text.size() > 10) return false;
    quint64 v = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + (c.unicode() - '0');
    }
    out = uint32_t(v);
    return v <= high;
}

// The terminals' text encoding, one converter each way for a whole list.
struct Gb18030 {
    QStringEncoder encoder{"GB18030"};
    QStringDecoder decoder{"GB18030"};
};

// Why a name cannot go to a terminal, or the empty text.
QString nameFault(const QString &name, QByteArray &bytes, Gb18030 &codec)
{
    for (QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format
            || c == QChar::ReplacementCharacter)
            return QStringLiteral("the name \"%1\" holds a control or invisible format character").arg(name);
    codec.encoder.resetState();
    codec.decoder.resetState();
    bytes = codec.encoder.encode(name);
    if (codec.encoder.hasError() || QString(codec.decoder.decode(bytes)) != name)
        return QStringLiteral("the name \"%1\" holds characters GB18030 lacks").arg(name);
    if (bytes.size() > RosterBlock::MaxNameBytes)
        return QStringLiteral("the name \"%1\" takes %2 bytes in GB18030; a terminal holds %3")
            .arg(name)
            .arg(bytes.size())
            .arg(RosterBlock::MaxNameBytes);
    return {};
}

struct Columns {
    int card = -1, jobNo = -1, name = -1, groups = -1, count = 0;
};

bool readHeader(const QStringList &fields, Columns &c, QString &why)
{
    QHash<QString, int> at;
    for (int i = 0; i < fields.size(); ++i) {
        const QString name = fields[i].trimmed().toLower();
        if (!Required.contains(name) && name != GroupsColumn) {
            why = QStringLiteral("unknown column \"%1\" (the header is card,job_number,name with an optional groups)")
                      .arg(fields[i]);
            return false;
        }
        if (at.contains(name)) {
            why = QStringLiteral("the column %1 is given twice").arg(name);
            return false;
        }
        at.insert(name, i);
    }
    for (const QString &name : Required)
        if (!at.contains(name)) {
            why = QStringLiteral("the header has no %1 column (it is card,job_number,name with an optional groups)")
                      .arg(name);
            return false;
        }
    c = {at[Required[0]], at[Required[1]], at[Required[2]], at.value(GroupsColumn, -1), int(fields.size())};
    return true;
}

// One row into a card, or the row's mistakes.
bool readRow(const QStringList &fields, const Columns &c, ListedCard &out, QStringList &why, Gb18030 &codec)
{
    QString fault;
    const QString cardText = fields[c.card].trimmed();
    if (!CardList::parseCard(cardText, out.card, fault)) why << fault;
    const QString job = fields[c.jobNo].trimmed();
    if (!OperationArgs::jobNumber(job))
        why << QStringLiteral("the job number \"%1\" is not 1 to 8 printable ASCII characters without a comma")
                   .arg(job);
    out.jobNo = job.toLatin1();
    fault = nameFault(fields[c.name].trimmed(), out.name, codec);
    if (!fault.isEmpty()) why << fault;
    if (c.groups >= 0)
        for (const QString &g : fields[c.groups].split(u';'))
            if (!g.trimmed().isEmpty() && !out.groups.contains(g.trimmed())) out.groups << g.trimmed();
    return why.isEmpty();
}

}  // namespace

namespace CardList {

bool parseCard(const QString &text, uint32_t &card, QString &why)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon >= 0) {
        uint32_t facility = 0, number = 0;
        if (wholeNumber(text.left(colon), 255, facility) && wholeNumber(text.mid(colon + 1), 65535, number)) {
            card = facility << 16 | number;
            return true;
        }
        why = QStringLiteral("the Wiegand-26 card \"%1\" is not FACILITY:NUMBER (0..255, 0..65535)").arg(text);
        return false;
    }
    if (RecordWire::parseCard(text, card)) return true;
    why = QStringLiteral("the card \"%1\" is not 8 hexadecimal digits, 10 decimal digits or FACILITY:NUMBER").arg(text);
    return false;
}

std::optional<QList<ListedCard>> load(const QString &path, QStringList &errors)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        errors << QStringLiteral("%1: cannot read the list of cards: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    const QByteArray content = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        errors << QStringLiteral("%1: cannot read the list of cards: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    return parse(content, path, errors);
}

std::optional<QList<ListedCard>> parse(const QByteArray &content, const QString &path, QStringList &errors)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(content);
    if (utf8.hasError()) {
        errors << QStringLiteral("%1: not UTF-8 text").arg(path);
        return std::nullopt;
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);
    auto mistake = [&](int line, const QString &why) {
        if (errors.size() < MaxErrors) errors << QStringLiteral("%1:%2: %3").arg(path).arg(line).arg(why);
    };
    const qsizetype before = errors.size();
    QList<ListedCard> cards;
    QHash<uint32_t, qsizetype> byCard;
    Columns columns;
    Gb18030 codec;
    bool header = false;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        if (line.trimmed().isEmpty()) continue;
        QStringList fields;
        QString why;
        if (!CsvText::splitLine(line, fields, why)) {
            mistake(i + 1, why);
            if (!header) return std::nullopt;
            continue;
        }
        if (!header) {
            if (!readHeader(fields, columns, why)) {
                mistake(i + 1, why);
                return std::nullopt;
            }
            header = true;
            continue;
        }
        if (fields.size() != columns.count) {
            mistake(i + 1, QStringLiteral("%1 fields where the header has %2").arg(fields.size()).arg(columns.count));
            continue;
        }
        ListedCard card;
        card.line = i + 1;
        QStringList faults;
        if (!readRow(fields, columns, card, faults, codec)) {
            for (const QString &f : faults) mistake(i + 1, f);
            continue;
        }
        const auto seen = byCard.constFind(card.card);
        if (seen != byCard.cend()) {
            const ListedCard &first = cards[*seen];
            const QString hex = RecordWire::cardHex(card.card);
            mistake(i + 1,
                    first.name != card.name || first.jobNo != card.jobNo
                        ? QStringLiteral("card %1 is listed again with another name or job number (first at line %2)")
                              .arg(hex)
                              .arg(first.line)
                        : QStringLiteral("card %1 is listed twice (first at line %2)").arg(hex).arg(first.line));
            continue;
        }
        byCard.insert(card.card, cards.size());
        cards.append(card);
    }
    if (!header) errors << QStringLiteral("%1: the list is empty (it needs the header card,job_number,name)").arg(path);
    if (errors.size() > before) return std::nullopt;
    return cards;
}

bool checkGroups(const QList<ListedCard> &cards, const QList<FleetTerminal> &fleet, const QString &path,
                 QStringList &errors)
{
    QSet<QString> known;
    for (const FleetTerminal &t : fleet)
        for (const QString &g : t.groups) known.insert(g);
    const qsizetype before = errors.size();
    for (const ListedCard &c : cards)
        for (const QString &g : c.groups)
            if (!known.contains(g) && errors.size() < MaxErrors)
                errors << QStringLiteral("%1:%2: no terminal of the fleet has the group \"%3\"")
                              .arg(path)
                              .arg(c.line)
                              .arg(g);
    return errors.size() == before;
}

bool goesTo(const ListedCard &card, const FleetTerminal &terminal)
{
    if (card.groups.isEmpty()) return true;
    for (const QString &g : card.groups)
        if (terminal.groups.contains(g)) return true;
    return false;
}

}  // namespace CardList
