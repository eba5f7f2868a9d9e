#include "attctl/Usage.h"

#include "attctl/LayoutText.h"

QString commandUsage(const CommandSpec &c)
{
    return QStringLiteral("attctl [OPTIONS] %1 %2").arg(c.name, c.synopsis).trimmed();
}

QString usageText(const std::vector<CommandSpec> &table)
{
    QString s = QStringLiteral(
        "usage: attctl (--tcp HOST:PORT | --com N | --device PATH) [--baud B] [--address A] COMMAND [ARGS]\n"
        "\n"
        "Drives an attendance terminal through the device link.\n"
        "\n"
        "options:\n"
        "  --tcp HOST:PORT   reach the terminal over TCP\n"
        "  --com N           reach it over serial port COMn (mapped by AttLink.ini, else /dev/ttyS<N-1>)\n"
        "  --device PATH     reach it over the serial device PATH\n"
        "  --baud B          serial line rate (default: AttLink.ini, else 9600)\n"
        "  --address A       terminal address 0..255 (default 105)\n"
        "  --settings FILE   the device link's settings (AttLink.ini) to use instead of the one beside attctl\n"
        "  --help            this text; COMMAND --help shows one command\n"
        "\n"
        "commands:\n");
    for (const CommandSpec &c : table) {
        s += QStringLiteral("  %1 %2\n").arg(c.name, c.synopsis);
        s += QStringLiteral("      %1\n").arg(c.summary);
    }
    s += QStringLiteral(
             "\n"
             "--layout TEXT names fields in braces, everything else is written as it stands, e.g.\n"
             "  {机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}\n"
             "Fields: {%1}. At most 8 fields; {{ and }} stand for braces. Default: %2\n"
             "\n"
             "exit status: 0 success, 1 the terminal reported failure, 2 usage error, 3 communication failure,\n"
             "  4 a file could not be written (disk full, folder not writable; the earlier file is kept)\n")
             .arg(LayoutText::fieldNames().join(QStringLiteral("} {")), LayoutText::toText(RecordLayout::defaults()));
    return s;
}
