#include "records/RecordSupport.h"

#include "common/DurableFile.h"
#include "common/NumberText.h"
#include "common/RaisedError.h"
#include "ui/FrmZevo.h"
#include "ui/OperatorInterface.h"

#include <QFile>

namespace RecordSupport {

namespace {
constexpr int FileNotFound = 53;
constexpr int FileAccessError = 75;
}  // namespace

std::optional<qint16> checkedAddress(const CommandContext &ctx)
{
    const auto address = NumberText::terminalAddress(ctx.window.TxtAddress->text());
    if (!address)
        ctx.op.message(QStringLiteral("请输入考勤机地址。"), OperatorInterface::Buttons::Ok,
                       OperatorInterface::Icon::Question);
    return address;
}

void reportError(const CommandContext &ctx, int number, const QString &description, const QString &title)
{
    ctx.op.message(QString::number(number) + QStringLiteral(":") + description, OperatorInterface::Buttons::Ok,
                   OperatorInterface::Icon::None, title);
}

QString filePath(const CommandContext &ctx, const QString &name) { return ctx.appFolder + QLatin1Char('/') + name; }

void guarded(const CommandContext &ctx, const std::function<void()> &command)
{
    try {
        command();
    } catch (const RaisedError &e) {
        reportError(ctx, e.number, e.description);
    } catch (const std::exception &e) {
        reportError(ctx, 0, QString::fromLocal8Bit(e.what()));
    }
}

void replaceFile(const QString &path, const QByteArray &content)
{
    int number = 0;
    if (!DurableFile::replace(path, content, nullptr, &number))
        throw RaisedError(FileAccessError,
                          QStringLiteral("路径/文件访问错误：%1（%2）").arg(path, DurableFile::reasonText(number)));
}

QByteArray readWholeFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) throw RaisedError(FileNotFound, QStringLiteral("文件未找到：") + path);
    return f.readAll();
}

}  // namespace RecordSupport
