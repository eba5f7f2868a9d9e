#pragma once

#include <QString>

class FrmZevo;

// ReadSys / WriteSys of FrmZevo: the collection options IsCheck, YearCheck and the nine separators
// TxtF(0..8) restored from and saved to Public.Sys, section "730KZevo".
namespace SysProfile {

inline const QString Section = QStringLiteral("730KZevo");

void ReadSys(FrmZevo &window, const QString &appFolder);
// The empty text when saved; else what went wrong, naming the file and the reason.
QString WriteSys(const FrmZevo &window, const QString &appFolder);

}  // namespace SysProfile
