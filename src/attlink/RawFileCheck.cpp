#include "attlink/RawFileCheck.h"

namespace RawFileCheck {

namespace {

bool digitsAt(const QString &s, int from, int len)
{
    for (int i = from; i < from + len; ++i)
        if (s[i] < u'0' || s[i] > u'9') return false;
    return true;
}

// The reason a line is bad, or the empty text; `code` gets 2 or 3.
QString lineFault(const QString &line, const Options &o, int &code, QDateTime &when)
{
    const int c = o.decimalCards ? 10 : 8, y = o.fullYear ? 4 : 2;
    if (line.size() != 17 + c + y) {
        code = 2;
        return QStringLiteral("长度为 %1，应为 %2").arg(line.size()).arg(17 + c + y);
    }
    code = 3;
    if (!digitsAt(line, 0, 3) || line.left(3).toInt() != o.machine)
        return QStringLiteral("机号不是 %1").arg(o.machine, 3, 10, QLatin1Char('0'));
    const QString card = line.mid(3, c);
    bool cardOk = true;
    if (o.decimalCards)
        cardOk = digitsAt(line, 3, 10) && card.toULongLong() <= 0xFFFFFFFFull;
    else
        for (QChar ch : card) cardOk = cardOk && ((ch >= u'0' && ch <= u'9') || (ch >= u'A' && ch <= u'F'));
    if (!cardOk) return QStringLiteral("卡号无效");
    const int p = 3 + c;
    if (!digitsAt(line, p, y + 10)) return QStringLiteral("日期时间无效");
    const int year = o.fullYear ? line.mid(p, 4).toInt() : o.century * 100 + line.mid(p, 2).toInt();
    const QDate d(year, line.mid(p + y, 2).toInt(), line.mid(p + y + 2, 2).toInt());
    const QTime t(line.mid(p + y + 4, 2).toInt(), line.mid(p + y + 6, 2).toInt(), line.mid(p + y + 8, 2).toInt());
    if (!d.isValid() || !t.isValid()) return QStringLiteral("日期时间无效");
    for (int i = p + y + 10; i < line.size(); ++i)
        if (line[i].unicode() < 0x21 || line[i].unicode() > 0x7E) return QStringLiteral("标志无效");
    code = 0;
    when = QDateTime(d, t, Qt::UTC);
    return {};
}

}  // namespace

Result check(const QStringList &lines, const Options &o)
{
    Result r;
    QStringList named;
    int bad = 0;
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].isEmpty()) continue;  // blank lines are skipped, as the console does
        ++r.records;
        int code = 0;
        QDateTime when;
        const QString fault = lineFault(lines[i], o, code, when);
        if (fault.isEmpty()) {
            if (!r.first.isValid() || when < r.first) r.first = when;
            if (!r.last.isValid() || when > r.last) r.last = when;
            continue;
        }
        if (!r.code) r.code = code;
        if (++bad <= o.named) named << QStringLiteral("第 %1 行%2").arg(i + 1).arg(fault);
    }
    if (bad) {
        r.message = named.join(QStringLiteral("；")) + QStringLiteral("（共 %1 行有误）").arg(bad);
        r.first = r.last = QDateTime();
    }
    return r;
}

QString timeLayout(const QString &sample)
{
    const QString t = sample.trimmed();
    for (const char *layout : {"yyyy/M/d H:mm", "yyyy/M/d H:mm:ss", "yyyy-MM-dd HH:mm", "yyyy-MM-dd HH:mm:ss"}) {
        const QString form = QString::fromLatin1(layout);
        const QDateTime d = QDateTime::fromString(t, form);
        if (d.isValid() && d.toString(form) == t) return form;
    }
    return {};
}

}  // namespace RawFileCheck
