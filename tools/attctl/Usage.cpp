#include "attctl/Usage.h"

#include "attctl/CommandLine.h"
#include "attctl/LayoutText.h"

QString commandUsage(const CommandEntry &c)
{
    return QStringLiteral("attctl [OPTIONS] %1 %2").arg(c.name, c.synopsis).trimmed();
}

QString usageText(const std::vector<CommandEntry> &table)
{
    QString s = CommandLine::optionsHelp();
    s += QStringLiteral("\ncommands:\n");
    for (const CommandEntry &c : table) {
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
             "  4 sync: a terminal failed or the database cannot be used (status: no terminal to tell of),\n"
             "  5 a file could not be written (disk full, folder not writable; the earlier file is kept),\n"
             "  6 status: a terminal is not ok\n")
             .arg(LayoutText::fieldNames().join(QStringLiteral("} {")), LayoutText::toText(RecordLayout::defaults()));
    return s;
}
