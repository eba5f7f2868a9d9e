#include "sim/Control.h"

#include "sim/SimState.h"

#include <QJsonDocument>

namespace Control {

bool run(const QString &line, const TerminalList &terminals, QString &output, QString &error)
{
    output.clear();
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) return true;
    const QString verb = words[0];
    if (verb == u"dump" && words.size() == 1) {
        output = QString::fromUtf8(QJsonDocument(SimState::dump(terminals)).toJson(QJsonDocument::Compact));
        return true;
    }
    if ((verb != u"present" && verb != u"punch" && verb != u"refuse-deletes" && verb != u"roster-capacity"
         && verb != u"push-fault")
        || words.size() < 2 || words.size() > 3) {
        error =
            QStringLiteral(
                "unknown control line (present CARD [ADDRESS], punch CARD [ADDRESS], refuse-deletes on|off [ADDRESS], "
                "roster-capacity N [ADDRESS], push-fault repeat|gap [ADDRESS], dump): ")
            + line;
        return false;
    }
    Terminal *t = terminals.empty() ? nullptr : terminals.front().get();
    if (words.size() == 3) {
        bool ok = false;
        const int a = words[2].toInt(&ok);
        t = nullptr;
        for (const auto &each : terminals)
            if (ok && each->address == a) t = each.get();
        if (!t) {
            error = QStringLiteral("no terminal at address ") + words[2];
            return false;
        }
    }
    if (!t) {
        error = QStringLiteral("no terminal");
        return false;
    }
    if (verb == u"refuse-deletes") {
        if (words[1] != u"on" && words[1] != u"off") {
            error = QStringLiteral("refuse-deletes wants on or off: ") + line;
            return false;
        }
        t->refuseDeletes = words[1] == u"on";
        return true;
    }
    if (verb == u"push-fault") {
        if (words[1] != u"repeat" && words[1] != u"gap") {
            error = QStringLiteral("push-fault wants repeat or gap: ") + line;
            return false;
        }
        t->pushFault = words[1] == u"repeat" ? Terminal::PushFault::Repeat : Terminal::PushFault::Gap;
        return true;
    }
    if (verb == u"roster-capacity") {
        bool ok = false;
        const int n = words[1].toInt(&ok);
        if (!ok || n < 0 || n > 30000) {
            error = QStringLiteral("roster-capacity wants 0..30000: ") + line;
            return false;
        }
        t->rosterCapacity = n;
        return true;
    }
    if (verb == u"present" && words[1] == u"none") {
        t->takeAway();
        return true;
    }
    uint32_t card = 0;
    if (!RecordWire::parseCard(words[1], card)) {
        error = QStringLiteral("a card is 8 hexadecimal or 10 decimal digits: ") + words[1];
        return false;
    }
    if (verb == u"present")
        t->present(card);
    else
        t->punch(card);
    return true;
}

}  // namespace Control
