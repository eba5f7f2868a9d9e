#include "attctl/Usage.h"

#include "attctl/CommandLine.h"
#include "layout/LayoutText.h"

namespace {

constexpr int Columns = 79;
constexpr int NameColumn = 20;  // where a command's line starts in attctl --help

int columnsOf(const QString &text)
{
    int n = 0;
    for (const QChar c : text) n += c.unicode() >= 0x1100 ? 2 : 1;  // CJK and other wide characters
    return n;
}

// The words of a synopsis, a bracketed group or an option with its value kept together, so that a
// wrapped usage never breaks inside one.
QStringList synopsisGroups(const QString &synopsis)
{
    QStringList groups;
    QString group;
    int depth = 0;
    for (const QString &word : synopsis.split(u' ', Qt::SkipEmptyParts)) {
        const bool value = !word.startsWith(u'-') && !word.startsWith(u'[') && word != QStringLiteral("|");
        const bool joinsOption = depth == 0 && value && !groups.isEmpty() && group.isEmpty()
            && groups.last().startsWith(QStringLiteral("--")) && !groups.last().contains(u' ');
        if (joinsOption) {
            groups.last() += u' ' + word;
            continue;
        }
        group += (group.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        depth += int(word.count(u'[')) - int(word.count(u']'));
        if (depth <= 0) {
            groups << group;
            group.clear();
            depth = 0;
        }
    }
    if (!group.isEmpty()) groups << group;
    return groups;
}

QString section(const QString &title, const std::vector<const CommandEntry *> &commands)
{
    QString s = QStringLiteral("\n") + title + QStringLiteral("\n");
    for (const CommandEntry *c : commands) {
        QString line = QStringLiteral("  ") + c->name;
        line += line.size() < NameColumn ? QString(NameColumn - line.size(), u' ')
                                         : QStringLiteral("\n") + QString(NameColumn, u' ');
        s += line + wrapped(c->summary, NameColumn, NameColumn) + u'\n';
    }
    return s;
}

}  // namespace

QString wrapped(const QString &text, int indent, int first)
{
    QString out;
    int column = first < 0 ? indent : first;
    bool lineEmpty = true;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        const int width = columnsOf(word);
        if (!lineEmpty && column + 1 + width > Columns) {
            out += u'\n' + QString(indent, u' ');
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += u' ';
            ++column;
        }
        out += word;
        column += width;
        lineEmpty = false;
    }
    return out;
}

QString commandUsage(const CommandEntry &c)
{
    const QString head = QStringLiteral("usage: attctl [OPTIONS] ") + c.name;
    QString s = head;
    int column = head.size();
    for (const QString &group : synopsisGroups(c.synopsis)) {
        if (column + 1 + columnsOf(group) > Columns) {
            s += u'\n' + QString(head.size(), u' ');
            column = head.size();
        }
        s += u' ' + group;
        column += 1 + columnsOf(group);
    }
    QString summary = c.summary;
    if (!summary.isEmpty()) summary[0] = summary[0].toUpper();
    s += QStringLiteral("\n\n") + wrapped(summary + u'.', 0) + u'\n';
    if (!c.details.isEmpty()) s += u'\n' + c.details;
    if (c.needsTerminal)
        s += QStringLiteral("\nThe terminal: --tcp HOST:PORT, --com N or --device PATH, and --address A\n"
                            "(default 105); attctl --help lists them.\n");
    return s;
}

QString usageText(const std::vector<CommandEntry> &table)
{
    std::vector<const CommandEntry *> fleet, others;
    for (const CommandEntry &c : table) (c.fleet ? fleet : others).push_back(&c);
    QString s = CommandLine::optionsHelp();
    s += section(QStringLiteral("fleet commands (a fleet file and a database; attctl COMMAND --help):"), fleet);
    s += section(QStringLiteral("commands (attctl COMMAND --help shows the arguments of one):"), others);
    s += QStringLiteral("\n")
        + wrapped(QStringLiteral("--layout TEXT names fields in braces; everything else is written as it stands, e.g."),
                  0)
        + QStringLiteral("\n  {机号},{卡号},{年}-{月}-{日} {时}:{分}:{秒}\n")
        + wrapped(QStringLiteral("Fields: {%1}. At most 8 fields; {{ and }} stand for braces.")
                      .arg(LayoutText::fieldNames().join(QStringLiteral("} {"))),
                  0)
        + QStringLiteral("\nDefault: %1\n").arg(LayoutText::toText(RecordLayout::defaults()));
    s += QStringLiteral("\n"
                        "exit status:\n"
                        "  0  success\n"
                        "  1  the terminal reported failure\n"
                        "  2  usage error (nothing was sent)\n"
                        "  3  communication failure\n"
                        "  4  sync: a terminal failed, or the database cannot be used (status: no\n"
                        "     terminal to tell of)\n"
                        "  5  a file could not be written (disk full, folder not writable; the earlier\n"
                        "     file is kept)\n"
                        "  6  status: a terminal is not ok\n");
    return s;
}
