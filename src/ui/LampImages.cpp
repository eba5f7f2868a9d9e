#include "ui/FrmZevo.h"
#include "ui/SvgIcon.h"

// ImageList1: a 16 x 16 traffic light, one lamp lit (1 green bottom, 2 red top, 3 yellow middle).
QIcon FrmZevo::lampImage(int index)
{
    const char *lamp = index == 1 ? "green" : index == 2 ? "red" : index == 3 ? "yellow" : "dark";
    return svgIcon(QStringLiteral(":/images/lamp-%1.svg").arg(QLatin1String(lamp)), {16, 32});
}
