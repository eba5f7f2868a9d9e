#include "ui/FrmZevo.h"

#include <QIcon>
#include <QPainter>
#include <QPixmap>

// ImageList1: a 16 x 16 traffic light, one lamp lit (1 green bottom, 2 red top, 3 yellow middle).
QIcon FrmZevo::lampImage(int index) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(40, 40, 40));
    p.setBrush(QColor(60, 60, 60));
    p.drawRoundedRect(QRectF(4.5, 0.5, 7, 15), 2, 2);
    const QColor lit[3] = {QColor(230, 30, 30), QColor(250, 210, 0), QColor(20, 200, 40)};
    const QColor dark[3] = {QColor(90, 30, 30), QColor(90, 80, 20), QColor(20, 80, 30)};
    const int litLamp = index == 2 ? 0 : index == 3 ? 1 : index == 1 ? 2 : -1;
    for (int i = 0; i < 3; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(i == litLamp ? lit[i] : dark[i]);
        p.drawEllipse(QRectF(5.5, 1.5 + i * 4.6, 5, 4.2));
    }
    return QIcon(pm);
}
