#include "records/WindowLayout.h"

#include "ui/FrmZevo.h"

#include <QCheckBox>
#include <QLineEdit>

RecordLayout layoutFromWindow(const FrmZevo &w)
{
    RecordLayout l;
    for (int i = 0; i < 9; ++i) l.separators[i] = w.TxtF[i]->text();
    for (int i = 0; i < 8; ++i) l.fieldNames[i] = w.TxtT[i]->text();
    l.decimalCards = w.IsCheck->isChecked();
    l.fullYear = w.YearCheck->isChecked();
    return l;
}
