#include "sim/Generate.h"

#include <QFile>
#include <QRegularExpression>
#include <random>

namespace Generate {

void records(Terminal &t, int count, quint64 seed)
{
    std::mt19937_64 rng(seed);
    QList<uint32_t> cards;
    for (const Terminal::Card &c : t.roster) cards << c.card;
    if (cards.isEmpty())
        for (int i = 0; i < 40; ++i) cards << uint32_t(rng());
    PackedTime when = PackedTime::fromCivil(2009, 3, 2, 7, 30, 0);
    static const char *const flags[] = {"0000", "0000", "0000", "0001"};
    t.records.reserve(qMin(t.records.size() + count, t.capacity));
    for (int i = 0; i < count; ++i) {
        when.secs += qint64(1 + rng() % 900);
        Terminal::Record r;
        r.card = cards[int(rng() % uint64_t(cards.size()))];
        r.when = when;
        const char *flag = flags[rng() % 4];
        std::copy(flag, flag + 4, r.flag.begin());
        t.append(r);
    }
}

void roster(Terminal &t, int count, quint64 seed)
{
    static const char16_t *const surnames[] = {u"王", u"李", u"张", u"刘", u"陈", u"杨", u"赵", u"黄", u"周", u"吴"};
    static const char16_t *const given[] = {u"伟", u"芳", u"娜", u"秀英", u"敏", u"静", u"丽", u"强",
                                            u"磊", u"军", u"洋", u"勇",   u"艳", u"杰", u"娟", u"涛"};
    std::mt19937_64 rng(seed ^ 0x5EEDu);
    for (int i = 0; i < count; ++i) {
        Terminal::Card c;
        do c.card = uint32_t(rng());
        while (c.card == 0);
        c.jobNo = QStringLiteral("%1").arg(i + 1, 8, 10, QLatin1Char('0'));
        c.name = QString::fromUtf16(surnames[rng() % 10]) + QString::fromUtf16(given[rng() % 16]);
        t.roster.append(c);
    }
}

bool loadRecords(Terminal &t, const QString &path, QString &error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    static const QRegularExpression form(
        QStringLiteral("^([0-9A-Fa-f]{8}) (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) ([\\x21-\\x7E]{4})$"));
    QList<Terminal::Record> loaded;
    int number = 0;
    while (!f.atEnd()) {
        ++number;
        const QString line = QString::fromLatin1(f.readLine()).trimmed();
        if (line.isEmpty()) continue;
        const QRegularExpressionMatch m = form.match(line);
        Terminal::Record r;
        bool valid = false;
        if (m.hasMatch()) {
            r.card = m.captured(1).toUInt(nullptr, 16);
            const QDate d = QDate::fromString(m.captured(2).left(10), QStringLiteral("yyyy-MM-dd"));
            const QTime tm = QTime::fromString(m.captured(2).mid(11), QStringLiteral("HH:mm:ss"));
            valid = d.isValid() && tm.isValid();
            if (valid) r.when = PackedTime::fromDateTime(QDateTime(d, tm, Qt::UTC));
            const QByteArray flag = m.captured(3).toLatin1();
            std::copy(flag.begin(), flag.end(), r.flag.begin());
        }
        if (!valid) {
            error = QStringLiteral("%1 line %2: expected CARD YYYY-MM-DD hh:mm:ss FLAG").arg(path).arg(number);
            return false;
        }
        loaded.append(r);
    }
    for (const Terminal::Record &r : loaded) t.append(r);
    return true;
}

}  // namespace Generate
