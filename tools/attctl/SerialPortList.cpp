#include "attctl/SerialPortList.h"

#include "attlink/transport/PortHolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SerialPortList {

namespace {

QString stateOf(const QString &device)
{
    const QList<PortHolder> holders = PortHolders::of(device);
    if (!holders.isEmpty()) {
        QStringList who;
        for (const PortHolder &h : holders)
            who << (h.program.isEmpty() ? QStringLiteral("process %1").arg(h.pid)
                                        : QStringLiteral("%1 (process %2)").arg(h.program).arg(h.pid));
        return QStringLiteral("in use by ") + who.join(QStringLiteral(", "));
    }
    if (::access(device.toLocal8Bit().constData(), R_OK | W_OK) != 0) {
        struct stat s {};
        const group *g = ::stat(device.toLocal8Bit().constData(), &s) == 0 ? ::getgrgid(s.st_gid) : nullptr;
        return g ? QStringLiteral("no access (group %1)").arg(QString::fromLocal8Bit(g->gr_name))
                 : QStringLiteral("no access");
    }
    return {};
}

}  // namespace

QList<SerialPortEntry> list(const QString &byIdFolder, const QList<QPair<int, QString>> &comMap)
{
    QList<SerialPortEntry> entries;
    auto entryFor = [&](const QString &device) -> SerialPortEntry & {
        for (SerialPortEntry &e : entries)
            if (e.device == device) return e;
        entries.append(SerialPortEntry{device, {}, {}, {}, {}});
        return entries.last();
    };
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        SerialPortEntry &e = entryFor(QFileInfo(info.systemLocation()).canonicalFilePath());
        QStringList about;
        if (!info.description().isEmpty()) about << info.description();
        if (!info.manufacturer().isEmpty()) about << info.manufacturer();
        if (!info.serialNumber().isEmpty()) about << QStringLiteral("serial ") + info.serialNumber();
        e.description = about.join(QStringLiteral(", "));
    }
    const QDir byId(byIdFolder);
    for (const QFileInfo &link : byId.entryInfoList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        const QString target = link.canonicalFilePath();
        if (target.isEmpty()) continue;  // a link to nothing
        entryFor(target).stableNames << link.absoluteFilePath();
    }
    for (const auto &[com, path] : comMap) {
        const QString target = QFileInfo(path).canonicalFilePath();
        for (SerialPortEntry &e : entries)
            if (e.device == target) e.comNames << QStringLiteral("COM%1").arg(com);
    }
    for (SerialPortEntry &e : entries) e.state = stateOf(e.device);
    std::sort(entries.begin(), entries.end(),
              [](const SerialPortEntry &a, const SerialPortEntry &b) { return a.device < b.device; });
    return entries;
}

QString line(const SerialPortEntry &e)
{
    return QStringList{e.stableNames.isEmpty() ? e.device : e.stableNames.first(), e.device, e.comNames.join(u','),
                       e.description, e.state}
        .join(u'\t');
}

}  // namespace SerialPortList
