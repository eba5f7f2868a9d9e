#include "app/SysProfile.h"

#include "app/ModZevo.h"
#include "common/NumberText.h"
#include "ui/FrmZevo.h"

#include <QCheckBox>
#include <QLineEdit>

namespace SysProfile {

namespace {

QString separatorKey(int n) { return QStringLiteral("TxtF") + QString::number(n); }

// A malformed value (not 0 or 1) leaves the box at its design state.
void restoreCheck(QCheckBox *box, const QString &key, const QString &appFolder)
{
    const QString v = ModZevo::ReadIniValue(Section, key, QString(), appFolder);
    if (v.isEmpty()) return;
    const auto n = NumberText::toInt16(v);
    if (n && (*n == 0 || *n == 1)) box->setChecked(*n == 1);
}

QString checkValue(const QCheckBox *box) { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); }

}  // namespace

void ReadSys(FrmZevo &window, const QString &appFolder)
{
    restoreCheck(window.IsCheck, QStringLiteral("IsCheck"), appFolder);
    restoreCheck(window.YearCheck, QStringLiteral("YearCheck"), appFolder);
    for (int n = 0; n <= 8; ++n) {
        const QString s = ModZevo::ReadIniValue(Section, separatorKey(n), QString(), appFolder);
        // Fewer than two characters cannot carry the braces: left unchanged like "{}".
        if (s.size() < 2 || s == QStringLiteral("{}")) continue;
        window.TxtF[n]->setText(s.mid(1, s.size() - 2));
    }
}

QString WriteSys(const FrmZevo &window, const QString &appFolder)
{
    QList<std::pair<QString, QString>> values{{QStringLiteral("IsCheck"), checkValue(window.IsCheck)},
                                              {QStringLiteral("YearCheck"), checkValue(window.YearCheck)}};
    for (int n = 0; n <= 8; ++n)
        values.append({separatorKey(n), QLatin1Char('{') + window.TxtF[n]->text() + QLatin1Char('}')});
    // All keys in one replacement of the file: one write at close, never a half-updated file.
    QString error;
    return ModZevo::WriteIniValues(Section, values, QString(), appFolder, &error) ? QString() : error;
}

}  // namespace SysProfile
