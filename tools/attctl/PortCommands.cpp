// The serial ports of this machine.
#include "attctl/CommandTable.h"
#include "attctl/SerialPortList.h"

#include "attlink/AttLink.h"

namespace {

int ports(CliContext &c, Args &a)
{
    const QString byId = a.value(QStringLiteral("--by-id"), QStringLiteral("/dev/serial/by-id"));
    a.finish();
    QList<QPair<int, QString>> comMap;
    for (int n = 1; n <= 255; ++n) comMap.append({n, c.link->linkSettings().devicePathFor(n)});
    const QList<SerialPortEntry> entries = SerialPortList::list(byId, comMap);
    for (const SerialPortEntry &e : entries) c.out << SerialPortList::line(e) << '\n';
    c.out.flush();
    if (entries.isEmpty()) c.err << "attctl: no serial ports found" << Qt::endl;
    return ExitCode::Success;
}

}  // namespace

void addPortCommands(std::vector<CommandEntry> &t)
{
    t.push_back({QStringLiteral("ports"), QStringLiteral("[--by-id DIR]"),
                 QStringLiteral("list the serial ports, one a line: stable name (from DIR, default /dev/serial/by-id; "
                                "usable in AttLink.ini and --device), device, COM numbers AttLink.ini maps to it, "
                                "description, and whether it is in use or not accessible; tab-separated"),
                 false, ports});
}
