#include "app/ModZevo.h"

#include "common/DurableFile.h"
#include "common/TextCodec.h"

#include <QFile>
#include <QList>

namespace ModZevo {

namespace {

constexpr int BufferCharacters = 2000;

QString pathOf(const QString &file, const QString &appFolder)
{
    return file.isEmpty() ? defaultProfilePath(appFolder) : file;
}

// The file as byte lines, each without its line end. Working on bytes keeps lines we do not touch
// exactly as they were, whatever their encoding. Lines end in CR LF, LF or a lone CR (files from
// old editors); *ending receives the one a rewrite keeps (CR LF for a new file).
QList<QByteArray> readLines(const QString &path, QByteArray *ending = nullptr)
{
    if (ending) *ending = "\r\n";
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray all = f.readAll();
    if (ending)
        *ending = all.contains("\r\n") || (!all.contains('\n') && !all.contains('\r')) ? QByteArray("\r\n")
            : all.contains('\n')                                                       ? QByteArray("\n")
                                                                                       : QByteArray("\r");
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < all.size(); ++i) {
        if (all[i] != '\n' && all[i] != '\r') continue;
        lines.append(all.mid(start, i - start));
        if (all[i] == '\r' && i + 1 < all.size() && all[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < all.size()) lines.append(all.mid(start));
    return lines;
}

// "[name]" with blanks around allowed; the name in *name.
bool sectionHeader(const QByteArray &line, QByteArray *name)
{
    const QByteArray t = line.trimmed();
    if (t.size() < 2 || t.front() != '[') return false;
    const qsizetype close = t.indexOf(']');
    if (close < 0) return false;
    *name = t.mid(1, close - 1).trimmed();
    return true;
}

// "key=value": the key (trimmed) and the value (trimmed) of a line, false for other lines.
bool keyLine(const QByteArray &line, QByteArray *key, QByteArray *value)
{
    const qsizetype eq = line.indexOf('=');
    if (eq <= 0) return false;
    const QByteArray k = line.left(eq).trimmed();
    if (k.isEmpty() || k.startsWith(';')) return false;
    *key = k;
    *value = line.mid(eq + 1).trimmed();
    return true;
}

bool same(const QByteArray &a, const QByteArray &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

QString defaultProfilePath(const QString &appFolder) { return appFolder + QStringLiteral("/Public.Sys"); }

QString ReadIniValue(const QString &section, const QString &key, const QString &file, const QString &appFolder)
{
    const QByteArray wantSection = TextCodec::encode(section).trimmed();
    const QByteArray wantKey = TextCodec::encode(key).trimmed();
    bool inSection = false;
    for (const QByteArray &line : readLines(pathOf(file, appFolder))) {
        QByteArray name, k, v;
        if (sectionHeader(line, &name)) {
            if (inSection) break;  // only the first copy of a section counts, as for writing
            inSection = same(name, wantSection);
        } else if (inSection && keyLine(line, &k, &v) && same(k, wantKey)) {
            const qsizetype nul = v.indexOf('\0');
            if (nul >= 0) v.truncate(nul);
            return TextCodec::decode(v).left(BufferCharacters - 1);
        }
    }
    return QString();
}

bool WriteIniValues(const QString &section, const QList<std::pair<QString, QString>> &values, const QString &file,
                    const QString &appFolder, QString *error)
{
    const QString path = pathOf(file, appFolder);
    const QByteArray wantSection = TextCodec::encode(section).trimmed();
    QByteArray end;
    QList<QByteArray> lines = readLines(path, &end);
    for (const auto &[key, value] : values) {
        const QByteArray wantKey = TextCodec::encode(key).trimmed();
        const QByteArray newLine = wantKey + '=' + TextCodec::encode(value);
        qsizetype sectionAt = -1, lastInSection = -1, keyAt = -1;
        bool inSection = false;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QByteArray name, k, v;
            if (sectionHeader(lines[i], &name)) {
                if (inSection) break;  // the first matching section is the one read and written
                inSection = same(name, wantSection);
                if (inSection) sectionAt = lastInSection = i;
            } else if (inSection) {
                if (!lines[i].trimmed().isEmpty()) lastInSection = i;
                if (keyLine(lines[i], &k, &v) && same(k, wantKey)) {
                    keyAt = i;
                    break;
                }
            }
        }
        if (keyAt >= 0) {
            lines[keyAt] = newLine;
        } else if (sectionAt >= 0) {
            lines.insert(lastInSection + 1, newLine);
        } else {
            lines.append('[' + wantSection + ']');
            lines.append(newLine);
        }
    }

    QByteArray out;
    for (const QByteArray &l : lines) out += l + end;
    int number = 0;
    if (DurableFile::replace(path, out, nullptr, &number)) return true;
    if (error) *error = QStringLiteral("无法保存 %1：%2").arg(path, DurableFile::reasonText(number));
    return false;
}

bool WriteIniValue(const QString &section, const QString &key, const QString &value, const QString &file,
                   const QString &appFolder, QString *error)
{
    return WriteIniValues(section, {{key, value}}, file, appFolder, error);
}

}  // namespace ModZevo
