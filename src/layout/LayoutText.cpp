#include "layout/LayoutText.h"

namespace LayoutText {

QStringList fieldNames()
{
    return {QStringLiteral("机号"), QStringLiteral("卡号"), QStringLiteral("年"),
            QStringLiteral("月"),   QStringLiteral("日"),   QStringLiteral("时"),
            QStringLiteral("分"),   QStringLiteral("秒"),   QStringLiteral("标志")};
}

std::optional<RecordLayout> parse(const QString &text, bool decimalCards, bool fullYear, QString &error)
{
    RecordLayout layout;
    layout.decimalCards = decimalCards;
    layout.fullYear = fullYear;
    const QStringList known = fieldNames();
    int fields = 0;
    QString separator;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'}') {
            if (i + 1 < text.size() && text[i + 1] == u'}') {
                separator += c;
                ++i;
                continue;
            }
            error = QStringLiteral("a \"}\" at position %1 closes no field (write \"}}\" for a brace)").arg(i + 1);
            return std::nullopt;
        }
        if (c != u'{') {
            separator += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'{') {
            separator += c;
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', i + 1);
        if (close < 0) {
            error = QStringLiteral("the field opened at position %1 is not closed").arg(i + 1);
            return std::nullopt;
        }
        const QString name = text.mid(i + 1, close - i - 1).trimmed();
        if (name.contains(u'{')) {
            error = QStringLiteral("a \"{\" inside the field at position %1").arg(i + 1);
            return std::nullopt;
        }
        if (!known.contains(name)) {
            error =
                QStringLiteral("unknown field {%1}; the fields are {%2}").arg(name, known.join(QStringLiteral("} {")));
            return std::nullopt;
        }
        if (fields == 8) {
            error = QStringLiteral("more than 8 fields");
            return std::nullopt;
        }
        layout.separators[fields] = separator;
        layout.fieldNames[fields] = name;
        separator.clear();
        ++fields;
        i = close;
    }
    // Unused boxes stay empty: they contribute nothing, and the trailing text is the last separator.
    layout.separators[fields] = separator;
    return layout;
}

QString toText(const RecordLayout &layout)
{
    auto escaped = [](QString s) {
        return s.replace(QLatin1Char('{'), QStringLiteral("{{")).replace(QLatin1Char('}'), QStringLiteral("}}"));
    };
    QString out;
    for (int i = 0; i < 8; ++i) {
        out += escaped(layout.separators[i]);
        if (!layout.fieldNames[i].trimmed().isEmpty())
            out += QLatin1Char('{') + layout.fieldNames[i].trimmed() + QLatin1Char('}');
    }
    return out + escaped(layout.separators[8]);
}

}  // namespace LayoutText
