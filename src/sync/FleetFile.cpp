#include "sync/FleetFile.h"

#include "attlink/transport/SerialChannel.h"
#include "sync/ZoneClock.h"
#include "common/NumberText.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QStringList>

namespace {

const QStringList Keys = {QStringLiteral("line"),
                          QStringLiteral("address"),
                          QStringLiteral("clear-after-sync"),
                          QStringLiteral("clock-tolerance"),
                          QStringLiteral("timezone"),
                          QStringLiteral("groups")};

bool wholeNumber(const QString &text, qint64 low, qint64 high, qint64 &out)
{
    const std::optional<qint64> n = NumberText::wholeNumber(text, low, high);
    if (n) out = *n;
    return n.has_value();
}

bool hasControl(const QString &text)
{
    for (QChar c : text)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format) return true;
    return false;
}

// Sets a terminal's key from its text; false with `why`.
bool applyKey(FleetTerminal &t, const QString &key, const QString &value, QString &why)
{
    qint64 n = 0;
    if (key == QLatin1String("line")) {
        const std::optional<LineTarget> target = LineTarget::parse(value, why);
        if (!target) return false;
        t.line = *target;
    } else if (key == QLatin1String("address")) {
        if (!wholeNumber(value, 0, 255, n)) why = QStringLiteral("address must be 0 to 255, not \"%1\"").arg(value);
        t.address = int(n);
    } else if (key == QLatin1String("clear-after-sync")) {
        if (value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            t.clearAfterSync = true;
        else if (value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            t.clearAfterSync = false;
        else
            why = QStringLiteral("clear-after-sync must be true or false, not \"%1\"").arg(value);
    } else if (key == QLatin1String("timezone")) {
        if (!ZoneClock::known(value))
            why = QStringLiteral("unknown time zone \"%1\" (an Area/City name such as Europe/Berlin)").arg(value);
        t.timezone = value;
    } else if (key == QLatin1String("groups")) {
        for (const QString &group : value.split(u',')) {
            const QString name = group.trimmed();
            if (name.isEmpty() || hasControl(name) || name.contains(u';')) {
                why = QStringLiteral("groups must be names separated by commas, not \"%1\"").arg(value);
                break;
            }
            if (!t.groups.contains(name)) t.groups << name;
        }
    } else {
        if (!wholeNumber(value, 0, 366LL * 86400, n))
            why = QStringLiteral("clock-tolerance must be whole seconds, 0 to 31622400, not \"%1\"").arg(value);
        t.clockTolerance = n;
    }
    return why.isEmpty();
}

}  // namespace

QString LineTarget::text() const
{
    const QString rate = baud ? QStringLiteral(",%1").arg(baud) : QString();
    if (kind == Serial) return QStringLiteral("serial:") + device + rate;
    return QStringLiteral("tcp:%1:%2").arg(host.contains(u':') ? u'[' + host + u']' : host).arg(port) + rate;
}

QString LineTarget::key() const
{
    if (kind == Serial) {
        const QString resolved = QFileInfo(device).canonicalFilePath();
        return QStringLiteral("serial:") + (resolved.isEmpty() ? device : resolved);
    }
    const QString lower = host.toLower();
    return QStringLiteral("tcp:%1:%2").arg(lower.contains(u':') ? u'[' + lower + u']' : lower).arg(port);
}

std::optional<LineTarget> LineTarget::parse(const QString &text, QString &error)
{
    LineTarget line;
    qint64 n = 0;
    if (text.startsWith(QLatin1String("tcp:"))) {
        QString rest = text.mid(4);
        // A terminal behind a network-to-serial converter: the converter's serial rate after a comma.
        const qsizetype comma = rest.lastIndexOf(u',');
        if (comma >= 0) {
            if (!wholeNumber(rest.mid(comma + 1), 1200, 4000000, n)) {
                error = QStringLiteral("line \"%1\": the converter's baud rate %2 is not a rate from 1200 to 4000000")
                            .arg(text, rest.mid(comma + 1));
                return std::nullopt;
            }
            line.baud = int(n);
            rest = rest.left(comma);
        }
        const qsizetype colon = rest.lastIndexOf(u':');
        line.host = colon > 0 ? rest.left(colon) : QString();
        if (line.host.startsWith(u'[') && line.host.endsWith(u']')) line.host = line.host.mid(1, line.host.size() - 2);
        if (line.host.isEmpty() || line.host.contains(u' ') || !wholeNumber(rest.mid(colon + 1), 1, 65535, n)) {
            error = QStringLiteral("line \"%1\" is not tcp:HOST:PORT[,BAUD] (port 1 to 65535)").arg(text);
            return std::nullopt;
        }
        line.port = int(n);
        return line;
    }
    if (text.startsWith(QLatin1String("serial:"))) {
        line.kind = Serial;
        line.device = text.mid(7);
        const qsizetype comma = line.device.lastIndexOf(u',');
        if (comma >= 0) {
            const QString rate = line.device.mid(comma + 1);
            line.device = line.device.left(comma);
            if (!wholeNumber(rate, 1, 10000000, n) || !SerialChannel::supportedRates().contains(int(n))) {
                error = QStringLiteral("line \"%1\": the baud rate %2 is not one of %3")
                            .arg(text, rate, SerialChannel::supportedRatesText());
                return std::nullopt;
            }
            line.baud = int(n);
        }
        if (line.device.isEmpty()) {
            error = QStringLiteral("line \"%1\" names no device (serial:DEVICE or serial:DEVICE,BAUD)").arg(text);
            return std::nullopt;
        }
        return line;
    }
    error =
        QStringLiteral("line \"%1\" is of an unknown kind: use tcp:HOST:PORT[,BAUD] or serial:DEVICE[,BAUD]").arg(text);
    return std::nullopt;
}

namespace FleetFile {

std::optional<QList<FleetTerminal>> load(const QString &path, QString &error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("%1: cannot read the fleet file: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    // A fleet file is a few lines per terminal; anything huge is not one.
    if (f.size() > 16 * 1024 * 1024) {
        error = QStringLiteral("%1: too large for a fleet file").arg(path);
        return std::nullopt;
    }
    const QByteArray content = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        error = QStringLiteral("%1: cannot read the fleet file: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    return parse(content, path, error);
}

std::optional<QList<FleetTerminal>> parse(const QByteArray &content, const QString &path, QString &error)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(content);
    if (utf8.hasError()) {
        error = QStringLiteral("%1: not UTF-8 text").arg(path);
        return std::nullopt;
    }
    if (text.startsWith(QChar(0xFEFF))) text.remove(0, 1);

    QList<FleetTerminal> fleet;
    QHash<QString, int> sectionLines;  // name -> line
    QHash<QString, int> keyLines;      // key of the current section -> line
    auto fail = [&](int lineNo, const QString &why) {
        error = QStringLiteral("%1:%2: %3").arg(path).arg(lineNo).arg(why);
        return std::nullopt;
    };
    auto finishSection = [&]() -> bool {
        if (fleet.isEmpty()) return true;
        const FleetTerminal &t = fleet.last();
        for (const QString &required : {QStringLiteral("line"), QStringLiteral("address")})
            if (!keyLines.contains(required)) {
                error =
                    QStringLiteral("%1:%2: terminal \"%3\" has no %4").arg(path).arg(t.fileLine).arg(t.name, required);
                return false;
            }
        return true;
    };

    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#') || line.startsWith(u';')) continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']')) return fail(lineNo, QStringLiteral("a section needs a closing ]"));
            const QString name = line.mid(1, line.size() - 2).trimmed();
            if (name.isEmpty()) return fail(lineNo, QStringLiteral("a terminal needs a name between [ and ]"));
            if (hasControl(name)) return fail(lineNo, QStringLiteral("the terminal's name holds control characters"));
            if (sectionLines.contains(name))
                return fail(
                    lineNo,
                    QStringLiteral("terminal \"%1\" is already defined at line %2").arg(name).arg(sectionLines[name]));
            if (!finishSection()) return std::nullopt;
            sectionLines.insert(name, lineNo);
            keyLines.clear();
            FleetTerminal t;
            t.name = name;
            t.fileLine = lineNo;
            fleet.append(t);
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) return fail(lineNo, QStringLiteral("expected [name] or key = value, not \"%1\"").arg(line));
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        if (fleet.isEmpty())
            return fail(lineNo, QStringLiteral("\"%1\" stands before the first [terminal] section").arg(key));
        if (!Keys.contains(key))
            return fail(
                lineNo,
                QStringLiteral("unknown key \"%1\" (the keys are %2)").arg(key, Keys.join(QStringLiteral(", "))));
        if (keyLines.contains(key))
            return fail(lineNo, QStringLiteral("%1 is already given at line %2").arg(key).arg(keyLines[key]));
        keyLines.insert(key, lineNo);
        QString why;
        if (!applyKey(fleet.last(), key, value, why)) return fail(lineNo, why);
    }
    if (!finishSection()) return std::nullopt;
    if (fleet.isEmpty()) {
        error = QStringLiteral("%1: no terminal in the fleet file (one [name] section per terminal)").arg(path);
        return std::nullopt;
    }
    for (int i = 0; i < fleet.size(); ++i)
        for (int j = 0; j < i; ++j)
            if (fleet[i].line.key() == fleet[j].line.key() && fleet[i].address == fleet[j].address)
                return fail(fleet[i].fileLine,
                            QStringLiteral("terminal \"%1\" has the line and address of \"%2\" (line %3)")
                                .arg(fleet[i].name, fleet[j].name)
                                .arg(fleet[j].fileLine));
    return fleet;
}

}  // namespace FleetFile
