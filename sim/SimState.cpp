#include "sim/SimState.h"

#include "sim/FieldRules.h"

#include <QFile>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QSaveFile>

namespace SimState {

namespace {

const QString Time = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString text(const QDateTime &t) { return t.isValid() ? t.toString(Time) : QString(); }
QDateTime time(const QJsonValue &v)
{
    const QString s = v.toString();
    const QDate d = QDate::fromString(s.left(10), QStringLiteral("yyyy-MM-dd"));
    const QTime t = QTime::fromString(s.mid(11), QStringLiteral("HH:mm:ss"));
    return s.size() == 19 && d.isValid() && t.isValid() ? QDateTime(d, t, Qt::UTC) : QDateTime();
}

QJsonArray strings(const QStringList &list)
{
    QJsonArray a;
    for (const QString &s : list) a.append(s);
    return a;
}
QStringList strings(const QJsonValue &v)
{
    QStringList out;
    for (const QJsonValue &e : v.toArray()) out << e.toString();
    return out;
}

bool card(const QJsonValue &v, uint32_t &out)
{
    const QString s = v.toString();
    return s.size() == 8 && RecordWire::parseCard(s, out);
}

}  // namespace

QJsonObject toJson(const Terminal &t)
{
    QJsonObject o;
    o[QStringLiteral("address")] = t.address;
    o[QStringLiteral("identity")] = t.identity;
    // Serials as text: JSON numbers are doubles and lose digits past 2^53.
    o[QStringLiteral("lastSerial")] = QString::number(t.lastSerial);
    o[QStringLiteral("capacity")] = double(t.capacity);
    o[QStringLiteral("oldestSerial")] = QString::number(t.records.isEmpty() ? 0 : t.firstSerial());
    QJsonArray records;
    quint64 serial = t.firstSerial();
    for (const Terminal::Record &r : t.records)
        records.append(QJsonObject{{QStringLiteral("serial"), QString::number(serial++)},
                                   {QStringLiteral("card"), RecordWire::cardHex(r.card)},
                                   {QStringLiteral("time"), text(r.when.toDateTime())},
                                   {QStringLiteral("flag"), QString::fromLatin1(r.flag.data(), 4)}});
    o[QStringLiteral("records")] = records;
    QJsonObject flags;
    for (auto it = t.cardFlags.cbegin(); it != t.cardFlags.cend(); ++it)
        flags[RecordWire::cardHex(it.key())] = QString::fromLatin1(it.value());
    o[QStringLiteral("cardFlags")] = flags;
    QJsonArray roster;
    for (const Terminal::Card &c : t.roster)
        roster.append(QJsonObject{{QStringLiteral("card"), RecordWire::cardHex(c.card)},
                                  {QStringLiteral("jobNo"), c.jobNo},
                                  {QStringLiteral("name"), c.name},
                                  {QStringLiteral("level"), c.level},
                                  {QStringLiteral("expires"), c.expires}});
    o[QStringLiteral("roster")] = roster;
    o[QStringLiteral("clock")] = text(t.now());
    o[QStringLiteral("alarms")] = strings(t.alarms);
    o[QStringLiteral("ringPeriod")] = t.ringPeriod;
    o[QStringLiteral("parameters")] = QJsonObject{
        {QStringLiteral("relay"), t.relay}, {QStringLiteral("interval"), t.interval}, {QStringLiteral("mode"), t.mode}};
    o[QStringLiteral("password")] = t.password;
    o[QStringLiteral("storage")] = t.storage;
    QJsonArray clearLog;
    for (const Terminal::ClearEntry &e : t.clearLog)
        clearLog.append(QJsonObject{{QStringLiteral("count"), e.count}, {QStringLiteral("time"), text(e.when)}});
    o[QStringLiteral("clearLog")] = clearLog;
    QJsonArray timeLog;
    for (const Terminal::TimeChange &e : t.timeChangeLog)
        timeLog.append(
            QJsonObject{{QStringLiteral("before"), text(e.before)}, {QStringLiteral("after"), text(e.after)}});
    o[QStringLiteral("timeChangeLog")] = timeLog;
    o[QStringLiteral("firmware")] = t.firmware.toString(Qt::ISODate);
    o[QStringLiteral("logo")] = t.logo;
    o[QStringLiteral("picture")] = strings(t.picture);
    o[QStringLiteral("message")] = QJsonObject{{QStringLiteral("text"), t.message},
                                               {QStringLiteral("minutes"), t.messageMinutes},
                                               {QStringLiteral("at"), text(t.messageAt)}};
    o[QStringLiteral("voice")] = t.voice;
    o[QStringLiteral("presented")] = t.hasPresented() ? RecordWire::cardHex(t.presented()) : QString();
    return o;
}

bool fromJson(const QJsonObject &o, Terminal &t, QString &error)
{
    auto fail = [&](const QString &what) {
        error = QStringLiteral("terminal state: bad %1").arg(what);
        return false;
    };
    if (o.contains(QStringLiteral("address"))) {
        const int a = o[QStringLiteral("address")].toInt(-1);
        if (a < 0 || a > 255) return fail(QStringLiteral("address"));
        t.address = a;
    }
    if (o.contains(QStringLiteral("identity"))) {
        const QString id = o[QStringLiteral("identity")].toString();
        if (id.isEmpty() || id.size() > 32 || id.contains(QRegularExpression(QStringLiteral("[^0-9A-Fa-f]"))))
            return fail(QStringLiteral("identity"));
        t.identity = id.toUpper();
    }
    if (o.contains(QStringLiteral("capacity"))) {
        const qint64 c = o[QStringLiteral("capacity")].toInteger(-1);
        if (c < 1 || c > 100000000) return fail(QStringLiteral("capacity"));
        t.capacity = c;
    }
    if (o.contains(QStringLiteral("records"))) {
        QList<Terminal::Record> records;
        for (const QJsonValue &v : o[QStringLiteral("records")].toArray()) {
            const QJsonObject r = v.toObject();
            Terminal::Record w;
            const QDateTime when = time(r[QStringLiteral("time")]);
            const QByteArray flag = r[QStringLiteral("flag")].toString().toLatin1();
            bool flagOk = flag.size() == 4;
            for (char c : flag) flagOk = flagOk && c >= 0x21 && c <= 0x7E;
            if (!card(r[QStringLiteral("card")], w.card) || !when.isValid() || !flagOk)
                return fail(QStringLiteral("record"));
            w.when = PackedTime::fromDateTime(when);
            std::copy(flag.begin(), flag.end(), w.flag.begin());
            records.append(w);
        }
        t.records = records;
        t.lastSerial = quint64(records.size());
        // A file written before terminals had a capacity may hold more than the default: all are kept.
        if (!o.contains(QStringLiteral("capacity"))) t.capacity = qMax(t.capacity, records.size());
    }
    if (t.records.size() > t.capacity) return fail(QStringLiteral("capacity (below the records held)"));
    // The newest serial is at least the one of the last record held (files without serials: their
    // records are numbered from 1).
    if (o.contains(QStringLiteral("lastSerial"))) {
        bool ok = false;
        const quint64 last = o[QStringLiteral("lastSerial")].toString().toULongLong(&ok);
        if (!ok || last < quint64(t.records.size())) return fail(QStringLiteral("lastSerial"));
        t.lastSerial = last;
    }
    if (o.contains(QStringLiteral("cardFlags"))) {
        QMap<uint32_t, QByteArray> flags;
        const QJsonObject f = o[QStringLiteral("cardFlags")].toObject();
        for (auto it = f.begin(); it != f.end(); ++it) {
            uint32_t c = 0;
            if (!card(it.key(), c) || it.value().toString().size() != 2) return fail(QStringLiteral("card flag"));
            flags[c] = it.value().toString().toLatin1();
        }
        t.cardFlags = flags;
    }
    if (o.contains(QStringLiteral("roster"))) {
        QList<Terminal::Card> roster;
        for (const QJsonValue &v : o[QStringLiteral("roster")].toArray()) {
            const QJsonObject r = v.toObject();
            Terminal::Card c;
            c.jobNo = r[QStringLiteral("jobNo")].toString();
            c.name = r[QStringLiteral("name")].toString();
            // The terminal's own field rules: anything else could not travel in a roster block.
            if (!card(r[QStringLiteral("card")], c.card) || !FieldRules::jobNumber(c.jobNo)
                || !FieldRules::name(c.name))
                return fail(QStringLiteral("roster entry"));
            c.level = r[QStringLiteral("level")].toString(QStringLiteral("00"));
            c.expires = r[QStringLiteral("expires")].toString(QStringLiteral("00000000"));
            roster.append(c);
        }
        t.roster = roster;
    }
    if (o.contains(QStringLiteral("clock"))) {
        const QDateTime c = time(o[QStringLiteral("clock")]);
        if (!c.isValid()) return fail(QStringLiteral("clock"));
        t.setClock(c);
    }
    if (o.contains(QStringLiteral("alarms"))) t.alarms = strings(o[QStringLiteral("alarms")]);
    if (o.contains(QStringLiteral("ringPeriod"))) t.ringPeriod = o[QStringLiteral("ringPeriod")].toString();
    const QJsonObject p = o[QStringLiteral("parameters")].toObject();
    t.relay = p[QStringLiteral("relay")].toString(t.relay);
    t.interval = p[QStringLiteral("interval")].toString(t.interval);
    t.mode = p[QStringLiteral("mode")].toString(t.mode);
    t.password = o[QStringLiteral("password")].toString(t.password);
    t.storage = o[QStringLiteral("storage")].toInt(t.storage);
    if (o.contains(QStringLiteral("clearLog"))) {
        t.clearLog.clear();
        for (const QJsonValue &v : o[QStringLiteral("clearLog")].toArray())
            t.clearLog.append({v[QStringLiteral("count")].toInt(), time(v[QStringLiteral("time")])});
    }
    if (o.contains(QStringLiteral("timeChangeLog"))) {
        t.timeChangeLog.clear();
        for (const QJsonValue &v : o[QStringLiteral("timeChangeLog")].toArray())
            t.timeChangeLog.append({time(v[QStringLiteral("before")]), time(v[QStringLiteral("after")])});
    }
    if (o.contains(QStringLiteral("firmware"))) {
        const QDate d = QDate::fromString(o[QStringLiteral("firmware")].toString(), Qt::ISODate);
        if (!d.isValid()) return fail(QStringLiteral("firmware"));
        t.firmware = d;
    }
    t.logo = o[QStringLiteral("logo")].toString(t.logo);
    if (o.contains(QStringLiteral("picture"))) t.picture = strings(o[QStringLiteral("picture")]);
    const QJsonObject m = o[QStringLiteral("message")].toObject();
    t.message = m[QStringLiteral("text")].toString(t.message);
    t.messageMinutes = m[QStringLiteral("minutes")].toInt(t.messageMinutes);
    if (m.contains(QStringLiteral("at"))) t.messageAt = time(m[QStringLiteral("at")]);
    t.voice = o[QStringLiteral("voice")].toInt(t.voice);
    uint32_t presented = 0;
    if (card(o[QStringLiteral("presented")], presented)) t.present(presented);
    return true;
}

QJsonObject dump(const TerminalList &terminals)
{
    QJsonArray a;
    for (const auto &t : terminals) a.append(toJson(*t));
    return QJsonObject{{QStringLiteral("terminals"), a}};
}

bool load(const QString &path, TerminalList &terminals, QString &error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
    if (!doc.isObject()) {
        error = QStringLiteral("%1: not a state file (%2)").arg(path, pe.errorString());
        return false;
    }
    TerminalList loaded;
    for (const QJsonValue &v : doc.object()[QStringLiteral("terminals")].toArray()) {
        auto t = std::make_unique<Terminal>();
        if (!fromJson(v.toObject(), *t, error)) {
            error = path + QStringLiteral(": ") + error;
            return false;
        }
        loaded.push_back(std::move(t));
    }
    if (loaded.empty()) {
        error = QStringLiteral("%1: no terminals").arg(path);
        return false;
    }
    terminals = std::move(loaded);
    return true;
}

bool save(const QString &path, const TerminalList &terminals, QString &error)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    f.write(QJsonDocument(dump(terminals)).toJson(QJsonDocument::Indented));
    if (!f.commit()) {
        error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

}  // namespace SimState
