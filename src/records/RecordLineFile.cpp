#include "records/RecordLineFile.h"

#include "common/TextCodec.h"

#include <QFile>

#include <limits>
#include <sys/stat.h>

namespace RecordLineFile {

namespace {

constexpr qint64 BlockBytes = 1 << 20;

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// Tab, vertical tab and form feed occur in text; every other control byte means a binary file.
bool isControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\v' && c != '\f') || c == 0x7F; }

bool isBlank(const char *data, qsizetype length)
{
    bool ascii = true;
    for (qsizetype i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(data[i]);
        if (c >= 0x80)
            ascii = false;
        else if (c != ' ' && c != '\t' && c != '\v' && c != '\f')
            return false;
    }
    // A line of wide blanks is blank too.
    return ascii || TextCodec::decode(QByteArray::fromRawData(data, length)).trimmed().isEmpty();
}

}  // namespace

QString Result::message(const QString &path) const
{
    switch (verdict) {
    case Verdict::Loaded:
        return QString();
    case Verdict::CannotOpen:
        return QStringLiteral("53:文件未找到：") + path;
    case Verdict::CannotRead:
        return QStringLiteral("75:路径/文件访问错误：") + path;
    case Verdict::LineTooLong:
        return QStringLiteral("文件第%1行超过%2个字节，不是打卡数据，未读入：").arg(lineNumber).arg(MaxLineBytes)
            + path;
    case Verdict::NotText:
        return QStringLiteral("文件第%1行含有控制字符，不是文本文件，未读入：").arg(lineNumber) + path;
    case Verdict::TooLarge:
        return QStringLiteral("文件太大，未读入：") + path;
    case Verdict::NotAFile:
        return QStringLiteral("不是普通文件，未读入：") + path;
    }
    return QString();
}

Result read(const QString &path, const Progress &progress)
{
    Result r;
    // A device (a terminal, /dev/zero) or a socket is no file of lines and could be read for ever;
    // a pipe ends when its writer closes it.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        r.verdict = Result::Verdict::NotAFile;
        return r;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        r.verdict = Result::Verdict::CannotOpen;
        return r;
    }
    const qint64 size = f.size();

    QByteArray line;  // the line being read, which may run over blocks
    qint64 lineNumber = 1, done = 0;
    auto finishLine = [&] {
        if (!line.isEmpty() && !isBlank(line.constData(), line.size())
            && !r.lines.append(line.constData(), line.size()))
            r.verdict = Result::Verdict::TooLarge;
        line.clear();
    };

    QByteArray block;
    char previous = 0;
    for (;;) {
        block.resize(BlockBytes);
        const qint64 n = f.read(block.data(), BlockBytes);
        if (n < 0) {
            r.verdict = Result::Verdict::CannotRead;
            break;
        }
        if (n == 0) break;
        const char *data = block.constData();
        for (qint64 i = 0; i < n && r.verdict == Result::Verdict::Loaded;) {
            if (isLineEnd(data[i])) {
                if (!(data[i] == '\n' && previous == '\r')) ++lineNumber;
                previous = data[i++];
                finishLine();
                continue;
            }
            // The run of text up to the next line end (or the end of the block) joins the line.
            qint64 end = i;
            while (end < n && !isLineEnd(data[end])) {
                if (isControl(static_cast<unsigned char>(data[end]))) {
                    r.verdict = Result::Verdict::NotText;
                    break;
                }
                ++end;
            }
            if (r.verdict != Result::Verdict::Loaded) break;
            if (line.size() + (end - i) > MaxLineBytes) {
                r.verdict = Result::Verdict::LineTooLong;
                break;
            }
            line.append(data + i, end - i);
            previous = data[end - 1];
            i = end;
        }
        if (r.verdict != Result::Verdict::Loaded) break;
        // Room for the whole text once the file has shown itself to be text.
        if (done == 0 && size > n)
            r.lines.text.reserve(qsizetype(qMin<qint64>(size, std::numeric_limits<quint32>::max())));
        done += n;
        if (progress) progress(done, size);
    }
    if (r.verdict == Result::Verdict::Loaded) finishLine();
    if (r.verdict != Result::Verdict::Loaded) {
        r.lineNumber = lineNumber;
        r.lines = RecordLines();
    }
    return r;
}

}  // namespace RecordLineFile
