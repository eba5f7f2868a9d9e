#include "app/PortFailureText.h"

#include <QStringList>

QString portFailureText(const PortFailure &f)
{
    if (!f.any()) return {};
    const QString device = f.deviceText();
    if (f.busy()) {
        QStringList who;
        for (const PortHolder &h : f.holders)
            who << (h.program.isEmpty() ? QStringLiteral("进程 %1").arg(h.pid)
                                        : QStringLiteral("%1（进程 %2）").arg(h.program).arg(h.pid));
        return who.isEmpty() ? QStringLiteral(" %1 正被其他程序占用").arg(device)
                             : QStringLiteral(" %1 正被 %2 占用").arg(device, who.join(QStringLiteral("、")));
    }
    if (f.refused())
        return QStringLiteral(
                   " 无权访问 %1（%2）：请将当前用户加入 %3 组（sudo usermod -aG %3 用户名），重新登录后生效")
            .arg(device, f.reason, f.group.isEmpty() ? QStringLiteral("dialout") : f.group);
    if (f.missing()) return QStringLiteral(" 设备 %1 不存在（%2）").arg(device, f.reason);
    return QStringLiteral(" %1：%2").arg(device, f.reason);
}
