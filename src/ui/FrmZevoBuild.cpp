#include "ui/FrmZevoBuild.h"

#include "ui/FrmZevo.h"
#include "ui/RecordLineList.h"
#include "ui/StatusText.h"
#include "ui/SvgIcon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

// Colours of the design.
const QColor LightGreen(192, 255, 192);
const QColor Blue(0, 0, 255);
const QColor DarkBlue(0, 0, 128);
const QColor Grey(192, 192, 192);
const QColor LightGrey(224, 224, 224);
const QColor Green(0, 128, 0);
const QColor Magenta(255, 0, 255);
const QColor Red(255, 0, 0);
const QColor Lilac(224, 216, 248);

// The design's fonts, with a CJK face behind each so that Chinese captions render everywhere.
QFont face(const QString &family, double points)
{
    QFont f;
    f.setFamilies({family, QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    f.setPointSizeF(points);
    return f;
}

// A control's own colours: background (the box's base and the label's window) and text.
void colour(QWidget *w, const QColor &background, const QColor &text = QColor())
{
    QPalette p = w->palette();
    if (background.isValid()) {
        p.setColor(QPalette::Base, background);
        p.setColor(QPalette::Window, background);
        w->setAutoFillBackground(true);
    }
    if (text.isValid()) {
        p.setColor(QPalette::Text, text);
        p.setColor(QPalette::WindowText, text);
    }
    w->setPalette(p);
}

template <typename T>
T *make(QWidget *parent, const QString &name, int x, int y, int width, int height)
{
    auto *w = new T(parent);
    w->setObjectName(name);
    w->setGeometry(x, y, width, height);
    return w;
}

// A panel's background only: the boxes and lists inside keep their own base colour, so that they do
// not look disabled.
void panelBackground(QWidget *panel, const QColor &background)
{
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, background);
    panel->setPalette(p);
    panel->setAutoFillBackground(true);
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption, int x, int y, int width,
                    int height = 24)
{
    auto *b = make<QPushButton>(parent, name, x, y, width, height);
    b->setText(caption);
    b->setAutoDefault(false);
    return b;
}

QLabel *label(QWidget *parent, const QString &name, const QString &caption, int x, int y, int width, int height = 20)
{
    auto *l = make<QLabel>(parent, name, x, y, width, height);
    // Labels show text from terminals and files too: never read as markup.
    l->setTextFormat(Qt::PlainText);
    l->setText(caption);
    return l;
}

template <typename T = QLineEdit>
T *edit(QWidget *parent, const QString &name, const QString &text, int x, int y, int width, int maxLength = 0,
        int height = 22)
{
    auto *e = make<T>(parent, name, x, y, width, height);
    e->setText(text);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

QGroupBox *frame(QWidget *parent, const QString &name, const QString &caption, int x, int y, int width, int height)
{
    auto *g = make<QGroupBox>(parent, name, x, y, width, height);
    g->setTitle(caption);
    return g;
}

QFrame *line(QWidget *parent, const QString &name, int x, int y, int width, int height, const QColor &c)
{
    auto *f = make<QFrame>(parent, name, x, y, width, height);
    f->setFrameShape(QFrame::NoFrame);
    colour(f, c);
    return f;
}

QString indexed(const char *name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// The black cross of the close button, 10 x 9 pixels.
QPixmap crossGlyph()
{
    QPixmap pm(10, 9);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QPen(Qt::black, 1));
    for (int i = 0; i < 8; ++i) {
        p.drawPoint(1 + i, i);
        p.drawPoint(2 + i, i);
        p.drawPoint(8 - i, i);
        p.drawPoint(7 - i, i);
    }
    return pm;
}

// The small picture on Cmd_Delay: a clock face.
QIcon clockIcon()
{
    QPixmap pm(14, 14);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(DarkBlue, 1.2));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(1, 1, 12, 12));
    p.drawLine(QPointF(7, 7), QPointF(7, 3));
    p.drawLine(QPointF(7, 7), QPointF(10, 8));
    return QIcon(pm);
}

// The window icon: a card in front of a terminal (the desktop entry's icon too).
QIcon windowIcon() { return svgIcon(QStringLiteral(":/images/zevo.svg"), {16, 32, 48, 64, 128}); }

}  // namespace

void FrmZevoBuild::build(FrmZevo &w)
{
    w.setObjectName(QStringLiteral("FrmZevo"));
    w.setWindowTitle(QStringLiteral("考勤机VX730K 动态链接库使用演示程序 2009-07-04"));
    w.setWindowIcon(windowIcon());
    w.setFont(face(QStringLiteral("Arial"), 9));

    auto *client = new QWidget(&w);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(632, 536);
    w.setCentralWidget(client);

    // Title line.
    w.Label10 = label(client, QStringLiteral("Label10"), QStringLiteral("考勤机动态链接库使用实例"), 8, 2, 330, 26);
    w.Label10->setFont(face(QStringLiteral("Arial"), 15));
    w.Label17 = label(client, QStringLiteral("Label17"), QStringLiteral("动态库版本："), 424, 6, 76);
    w.lbl_DllVer = label(client, QStringLiteral("lbl_DllVer"), QString(), 500, 6, 128);

    // Frame6: connection.
    auto *f6 = w.Frame6 = frame(client, QStringLiteral("Frame6"), QStringLiteral("通讯基础设置"), 4, 28, 414, 112);
    w.optCom = make<QRadioButton>(f6, QStringLiteral("optCom"), 8, 18, 52, 20);
    w.optCom->setText(QStringLiteral("Com"));
    w.optCom->setChecked(true);
    w.optTcp = make<QRadioButton>(f6, QStringLiteral("optTcp"), 8, 38, 52, 20);
    w.optTcp->setText(QStringLiteral("TCP"));
    w.tbComPort = make<QToolBar>(f6, QStringLiteral("tbComPort"), 62, 14, 346, 42);
    w.tbComPort->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    w.tbComPort->setIconSize(QSize(16, 16));
    w.tbComPort->setMovable(false);
    // Eight buttons side by side at the design width: no gaps or margins, or the last port slips
    // behind the toolbar's overflow arrow.
    w.tbComPort->layout()->setSpacing(0);
    w.tbComPort->layout()->setContentsMargins(0, 0, 0, 0);
    const char *tips[9] = {"",
                           "Select Com1",
                           "Select Com2",
                           "Select Com3",
                           "Select  Com4",
                           "Select  Com5",
                           "Select  Com6",
                           "Select  Com7",
                           "select Com8"};
    for (int i = 1; i <= 8; ++i) {
        auto *b = new QToolButton(w.tbComPort);
        const QString key = QStringLiteral("Com%1").arg(i);
        b->setObjectName(key);
        b->setText(key);
        b->setProperty("key", key);
        b->setProperty("index", i);
        b->setToolTip(QString::fromLatin1(tips[i]));
        b->setCheckable(true);
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFixedWidth(42);
        w.tbComPort->addWidget(b);
        w.comButtons[i] = b;
        w.setComButtonImage(i, 2);
        QObject::connect(b, &QToolButton::clicked, &w, [&w, i] { emit w.comButtonClicked(i); });
    }
    w.lblIP = label(f6, QStringLiteral("lblIP"), QStringLiteral("IP："), 8, 60, 24);
    w.txtIP = edit(f6, QStringLiteral("txtIP"), QStringLiteral("192.168.1.222"), 32, 59, 112);
    w.txtIP->setEnabled(false);
    w.Label4 = label(f6, QStringLiteral("Label4"), QStringLiteral("端口号："), 154, 60, 54);
    w.txtTcpPort = edit(f6, QStringLiteral("txtTcpPort"), QStringLiteral("1001"), 208, 59, 52);
    w.txtTcpPort->setEnabled(false);
    w.cmdConnectNet = button(f6, QStringLiteral("cmdConnectNet"), QStringLiteral("连接考勤机"), 8, 84, 90);
    w.cmdConnectNet->setEnabled(false);
    w.lblTcpState = label(f6, QStringLiteral("lblTcpState"), QStringLiteral("TCP状态"), 104, 85, 132, 22);
    w.lblTcpState->setAlignment(Qt::AlignCenter);
    colour(w.lblTcpState, LightGreen, Blue);
    w.Label1_1 = label(f6, QStringLiteral("Label1(1)"), QStringLiteral("考勤机地址："), 270, 60, 76);
    w.TxtAddress = edit<ValidatedEdit>(f6, QStringLiteral("TxtAddress"), QStringLiteral("105"), 346, 59, 44, 3);
    colour(w.TxtAddress, LightGreen, Blue);
    w.TxtAddress->setCursor(Qt::IBeamCursor);

    // Frame7: the terminal's menu password (keyboard models only).
    auto *f7 = w.Frame7 = frame(client, QStringLiteral("Frame7"), QStringLiteral("进入机器菜单密码"), 422, 28, 206, 52);
    w.Command31 = button(f7, QStringLiteral("Command31"), QStringLiteral("读取密码"), 6, 20, 62);
    w.Text8 = edit(f7, QStringLiteral("Text8"), QString(), 72, 21, 62);
    w.Command30 = button(f7, QStringLiteral("Command30"), QStringLiteral("设置密码"), 138, 20, 62);
    for (QWidget *c : {static_cast<QWidget *>(f7), static_cast<QWidget *>(w.Command31), static_cast<QWidget *>(w.Text8),
                       static_cast<QWidget *>(w.Command30)})
        c->setToolTip(QStringLiteral("只适用於带键盘机型"));

    // Frame1: reserved functions.
    auto *f1 = w.Frame1 = frame(client, QStringLiteral("Frame1"), QStringLiteral("保留功能"), 422, 82, 206, 352);
    w.Command9 = button(f1, QStringLiteral("Command9"), QStringLiteral("读标志"), 6, 18, 62);
    w.Command8 = button(f1, QStringLiteral("Command8"), QStringLiteral("清卡标志"), 72, 18, 62);
    w.Command24 = button(f1, QStringLiteral("Command24"), QStringLiteral("读参数"), 138, 18, 62);
    w.cmdSendMsg = button(f1, QStringLiteral("cmdSendMsg"), QStringLiteral("发短信"), 6, 44, 62);
    w.SoundNum = edit(f1, QStringLiteral("SoundNum"), QStringLiteral("1"), 72, 45, 30);
    w.SoundNum->setToolTip(QStringLiteral("语音号"));
    w.cmdGetSounds = button(f1, QStringLiteral("cmdGetSounds"), QStringLiteral("语音功能"), 106, 44, 94);
    auto *f8 = w.Frame8 = frame(f1, QStringLiteral("Frame8"), QStringLiteral("开机画面"), 6, 70, 194, 50);
    w.DOWNLOG = button(f8, QStringLiteral("DOWNLOG"), QStringLiteral("下载"), 6, 20, 52);
    w.Clear_Logo = button(f8, QStringLiteral("Clear_Logo"), QStringLiteral("清除"), 62, 20, 52);
    w.SetKorvaneLogo = button(f8, QStringLiteral("SetKorvaneLogo"), QStringLiteral("恢复初始值"), 118, 20, 72);
    const QStringList prompts = {
        QStringLiteral("语音提示："),  QStringLiteral("1：无效卡"),   QStringLiteral("2："),
        QStringLiteral("3：欢迎你"),   QStringLiteral("4：你好"),     QStringLiteral("5：生日快乐"),
        QStringLiteral("6：你迟到了"), QStringLiteral("7：节日快乐"), QStringLiteral("8：注意安全")};
    w.Label18 = label(f1, QStringLiteral("Label18"), prompts.join(QLatin1Char('\n')), 10, 124, 188, 142);
    w.Label18->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    w.Command2 = button(f1, QStringLiteral("Command2"), QStringLiteral("采集数据_All"), 6, 270, 98);
    w.txtBeginPack = edit(f1, QStringLiteral("txtBeginPack"), QStringLiteral("1"), 110, 271, 42);
    w.txtEndPack = edit(f1, QStringLiteral("txtEndPack"), QStringLiteral("2"), 158, 271, 42);
    w.Cmd_GetNameList_All =
        button(f1, QStringLiteral("Cmd_GetNameList_All"), QStringLiteral("采集名单_All"), 6, 296, 98);
    w.cmdReadClearLog = button(f1, QStringLiteral("cmdReadClearLog"), QStringLiteral("采集清除日志"), 6, 322, 94);
    w.Command25 = button(f1, QStringLiteral("Command25"), QStringLiteral("采集校时日志"), 106, 322, 94);

    // Frame2: cards, addresses, modes, alarms, delays.
    auto *f2 = w.Frame2 = frame(client, QStringLiteral("Frame2"), QString(), 4, 142, 414, 186);
    w.Command7 = button(f2, QStringLiteral("Command7"), QStringLiteral("读卡号"), 6, 12, 58);
    w.Label2 = label(f2, QStringLiteral("Label2"), QStringLiteral("物理卡号："), 70, 14, 62);
    w.TxtCardNum = edit(f2, QStringLiteral("TxtCardNum"), QString(), 132, 13, 94, 10);
    w.TxtCardNum->setFont(face(QStringLiteral("Arial"), 10.5));
    w.lblPhyCard_Hex = label(f2, QStringLiteral("lblPhyCard_Hex"), QStringLiteral("0"), 230, 13, 84, 22);
    w.lblPhyCard_Hex->setAlignment(Qt::AlignCenter);
    colour(w.lblPhyCard_Hex, Grey, DarkBlue);
    w.Command14 = button(f2, QStringLiteral("Command14"), QStringLiteral("发卡"), 320, 12, 88);
    w.Label5 = label(f2, QStringLiteral("Label5"), QStringLiteral("工号："), 8, 40, 38);
    w.TxtNo = edit(f2, QStringLiteral("TxtNo"), QString(), 46, 39, 74, 8);
    w.TxtNo->setToolTip(QStringLiteral("请输入“0-9”，“a-f”之间的字符！"));
    w.Command15 = button(f2, QStringLiteral("Command15"), QStringLiteral("退卡"), 124, 38, 50);
    w.Label6 = label(f2, QStringLiteral("Label6"), QStringLiteral("新地址或姓名："), 180, 40, 86);
    w.TxtNewAddr = edit(f2, QStringLiteral("TxtNewAddr"), QString(), 266, 39, 56);
    colour(w.TxtNewAddr, Qt::white);
    w.Command22 = button(f2, QStringLiteral("Command22"), QStringLiteral("查找发卡记录"), 326, 38, 84);
    w.Label11 = label(f2, QStringLiteral("Label11"), QStringLiteral("打卡间隔分钟："), 8, 66, 86);
    w.Txt_Minute = edit(f2, QStringLiteral("Txt_Minute"), QStringLiteral("0000"), 94, 65, 40, 4);
    w.Cmd_Delay = button(f2, QStringLiteral("Cmd_Delay"), QStringLiteral("打卡延时"), 138, 64, 80);
    w.Cmd_Delay->setIcon(clockIcon());
    w.Label3 = label(f2, QStringLiteral("Label3"), QStringLiteral("继电器延时："), 224, 66, 74);
    w.TxtY = edit(f2, QStringLiteral("TxtY"), QStringLiteral("00"), 298, 65, 36, 4);
    w.CmdSetClock = button(f2, QStringLiteral("CmdSetClock"), QStringLiteral("设置闹钟"), 338, 64, 70);

    auto *f4 = w.Frame4 = frame(f2, QStringLiteral("Frame4"), QString(), 6, 90, 280, 58);
    const QFont gridFont = face(QStringLiteral("MS Sans Serif"), 8.25);
    w.Text2 = edit(f4, QStringLiteral("Text2"), QStringLiteral("小时"), 4, 6, 36, 0, 22);
    w.Text3 = edit(f4, QStringLiteral("Text3"), QStringLiteral("分钟"), 4, 30, 36, 0, 22);
    w.Text2->setEnabled(false);
    w.Text3->setEnabled(false);
    for (int i = 0; i < 10; ++i) {
        auto *h = w.TxtHour[i] =
            edit<ValidatedEdit>(f4, indexed("TxtHour", i), QStringLiteral("0"), 42 + i * 23, 6, 22, 2);
        auto *m = w.TxtMin[i] =
            edit<ValidatedEdit>(f4, indexed("TxtMin", i), QStringLiteral("0"), 42 + i * 23, 30, 22, 2);
        h->setToolTip(QStringLiteral("请输入“0-23”之间的数！"));
        m->setToolTip(QStringLiteral("请输入“0-59”之间的数！"));
        for (QLineEdit *e : {static_cast<QLineEdit *>(h), static_cast<QLineEdit *>(m)}) {
            e->setFont(gridFont);
            e->setAlignment(Qt::AlignCenter);
            e->setTextMargins(0, 0, 0, 0);
        }
    }
    w.Label21 = label(f2, QStringLiteral("Label21"), QStringLiteral("响铃时段"), 292, 96, 54);
    w.Text7 = edit(f2, QStringLiteral("Text7"), QStringLiteral("1"), 348, 95, 40);
    w.OpJT = make<QRadioButton>(f2, QStringLiteral("OpJT"), 292, 124, 56, 20);
    w.OpJT->setText(QStringLiteral("简体"));
    w.OpJT->setChecked(true);
    w.OpFT = make<QRadioButton>(f2, QStringLiteral("OpFT"), 350, 124, 56, 20);
    w.OpFT->setText(QStringLiteral("繁体"));
    w.Command12 = button(f2, QStringLiteral("Command12"), QStringLiteral("修改日期时间"), 6, 154, 82);
    w.Command16 = button(f2, QStringLiteral("Command16"), QStringLiteral("修改地址"), 90, 154, 62);
    w.Command17 = button(f2, QStringLiteral("Command17"), QStringLiteral("下传打卡数据"), 154, 154, 82);
    w.Command13 = button(f2, QStringLiteral("Command13"), QStringLiteral("设置考勤模式"), 238, 154, 84);
    w.Command23 = button(f2, QStringLiteral("Command23"), QStringLiteral("设置门禁模式"), 324, 154, 84);

    // Picture3: the short-message panel, hidden and parked left of the frame.
    auto *p3 = make<QFrame>(f2, QStringLiteral("Picture3"), -212, 10, 296, 170);
    p3->setFrameShape(QFrame::Box);
    panelBackground(p3, Grey);
    w.Picture3 = p3;
    w.Label12 = label(p3, QStringLiteral("Label12"),
                      QStringLiteral("请输入短信内容：\n请注意：\n短信内容不能超过16个汉字。"), 8, 6, 280, 50);
    w.Label12->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    colour(w.Label12, Grey, Red);
    w.TxtMsg = edit(p3, QStringLiteral("TxtMsg"), QString(), 8, 60, 280, 16);
    // Text6 sits in the run of blanks between the two words of its label, whatever the font's widths.
    const QString before = QStringLiteral("显示时长"), gap = QString(17, QLatin1Char(' '));
    w.Label16 = label(p3, QStringLiteral("Label16"), before + gap + QStringLiteral("分钟"), 8, 92, 200);
    const QFontMetrics labelFont = w.Label16->fontMetrics();
    const int gapStart = 8 + labelFont.horizontalAdvance(before), gapWidth = labelFont.horizontalAdvance(gap);
    w.Text6 = edit(p3, QStringLiteral("Text6"), QString(), gapStart + 3, 91, gapWidth - 6);
    w.Command26 = button(p3, QStringLiteral("Command26"), QStringLiteral("确定"), 60, 128, 76, 28);
    w.Command27 = button(p3, QStringLiteral("Command27"), QStringLiteral("取消"), 160, 128, 76, 28);
    p3->hide();

    // Frame5: record and roster collection.
    auto *f5 = w.Frame5 = frame(client, QStringLiteral("Frame5"), QString(), 4, 330, 318, 170);
    w.IsCheck = make<QCheckBox>(f5, QStringLiteral("IsCheck"), 8, 10, 172, 20);
    w.IsCheck->setText(QStringLiteral("采集时输出十进制物理卡号"));
    w.YearCheck = make<QCheckBox>(f5, QStringLiteral("YearCheck"), 182, 10, 134, 20);
    w.YearCheck->setText(QStringLiteral("采集时输出完整年份"));
    w.Command4 = button(f5, QStringLiteral("Command4"), QStringLiteral("采集数据"), 6, 34, 70);
    w.SleepDate = edit(f5, QStringLiteral("SleepDate"), QStringLiteral("2"), 80, 35, 26);
    w.Command11 = button(f5, QStringLiteral("Command11"), QStringLiteral("清除考勤记录"), 110, 34, 100);
    w.Cmd_GetNameList = button(f5, QStringLiteral("Cmd_GetNameList"), QStringLiteral("采集发卡名单"), 214, 34, 98);
    w.Command1_8 = button(f5, QStringLiteral("Command1(8)"), QStringLiteral("浏览采集数据"), 6, 60, 100);
    w.Command10 = button(f5, QStringLiteral("Command10"), QStringLiteral("清除发卡名单"), 110, 60, 100);
    w.Command3 = button(f5, QStringLiteral("Command3"), QStringLiteral("浏览发卡名单"), 214, 60, 98);
    w.Command5 = button(f5, QStringLiteral("Command5"), QStringLiteral("读打卡记录数"), 6, 86, 100);
    w.Label = label(f5, QStringLiteral("Label"), QStringLiteral("000"), 110, 87, 50, 22);
    w.Label->setFont(face(QStringLiteral("Tahoma"), 11.25));
    w.Label->setAlignment(Qt::AlignCenter);
    colour(w.Label, LightGreen, Green);
    w.Command6 = button(f5, QStringLiteral("Command6"), QStringLiteral("读发卡记录数"), 164, 86, 98);
    w.Label7 = label(f5, QStringLiteral("Label7"), QStringLiteral("000"), 266, 87, 46, 22);
    w.Label7->setFont(face(QStringLiteral("Arial"), 11.25));
    w.Label7->setAlignment(Qt::AlignCenter);
    colour(w.Label7, LightGreen, Magenta);
    w.Label19 = label(
        f5, QStringLiteral("Label19"),
        QStringLiteral(
            "以下是用户所需要的采集数据的格式：如果以下面的例子填写那么得出的格式是(机器地址物理卡号年月日时分秒),淡黄底为分隔符。"),
        8, 114, 304, 52);
    w.Label19->setWordWrap(true);
    w.Label19->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // Free controls right of Frame5 and at the bottom right.
    w.cmbStorageModel = make<QComboBox>(client, QStringLiteral("cmbStorageModel"), 326, 338, 92, 24);
    w.cmdSetStorage_1 = button(client, QStringLiteral("cmdSetStorage_1"), QStringLiteral("切换模式"), 326, 366, 92);
    w.cmdGetStorage = button(client, QStringLiteral("cmdGetStorage"), QStringLiteral("读存储模式"), 326, 394, 92);
    w.Label20 = label(client, QStringLiteral("Label20"), QStringLiteral("刷卡时间间隔："), 326, 424, 92);
    w.txtInterval = edit(client, QStringLiteral("txtInterval"), QStringLiteral("24"), 326, 446, 50);
    w.cmdCheckData = button(client, QStringLiteral("cmdCheckData"), QStringLiteral("校验数据"), 428, 452, 96, 30);
    w.Cmd_Exit = button(client, QStringLiteral("Cmd_Exit"), QStringLiteral("退出(&X)"), 530, 452, 96, 30);

    // Picture4: the record-format panel.
    auto *p4 = make<QFrame>(client, QStringLiteral("Picture4"), 4, 502, 624, 32);
    p4->setFrameShape(QFrame::StyledPanel);
    w.Picture4 = p4;
    const QStringList fields = {QStringLiteral("机号"), QStringLiteral("卡号"), QStringLiteral("年"),
                                QStringLiteral("月"),   QStringLiteral("日"),   QStringLiteral("时"),
                                QStringLiteral("分"),   QStringLiteral("秒")};
    const QColor separatorColour = w.palette().color(QPalette::ToolTipBase);
    int x = 8;
    for (int i = 0; i < 9; ++i) {
        auto *f = w.TxtF[i] = edit(p4, indexed("TxtF", i), QString(), x, 5, 24);
        f->setAlignment(Qt::AlignCenter);
        colour(f, separatorColour, w.palette().color(QPalette::ToolTipText));
        x += 27;
        if (i == 8) break;
        auto *t = w.TxtT[i] = edit(p4, indexed("TxtT", i), fields[i], x, 5, 40);
        t->setAlignment(Qt::AlignCenter);
        x += 43;
    }

    // Picture1: the send-records panel, hidden and parked left of the window.
    auto *p1 = make<QFrame>(client, QStringLiteral("Picture1"), -320, 28, 418, 360);
    p1->setFrameShape(QFrame::Box);
    panelBackground(p1, w.palette().color(QPalette::Window));
    w.Picture1 = p1;
    w.TitleBar = make<QWidget>(p1, QStringLiteral("TitleBar"), 1, 1, 416, 22);
    colour(w.TitleBar, Lilac);
    w.TitleBarCaption =
        label(w.TitleBar, QStringLiteral("TitleBarCaption"), QStringLiteral("下发打卡数据"), 6, 2, 100, 18);
    colour(w.TitleBarCaption, QColor(), Green);
    for (int i = 0; i < 3; ++i) {
        w.TitleDetail[i] = line(w.TitleBar, indexed("TitleDetail", i), 110, 6 + i * 4, 276, 1, QColor(128, 128, 160));
        w.TitleDetailHi[i] = line(w.TitleBar, indexed("TitleDetailHi", i), 110, 7 + i * 4, 276, 1, Qt::white);
    }
    w.Picture2 = make<QWidget>(w.TitleBar, QStringLiteral("Picture2"), 394, 2, 18, 17);
    w.Picture2->setMouseTracking(true);
    w.Image1 = make<QLabel>(w.Picture2, QStringLiteral("Image1"), 4, 4, 10, 9);
    w.Image1->setTextFormat(Qt::PlainText);
    w.Image1->setPixmap(crossGlyph());
    w.Image1->setMouseTracking(true);
    w.ButBorder[0] = line(w.Picture2, indexed("ButBorder", 0), 0, 0, 18, 1, DarkBlue);
    w.ButBorder[1] = line(w.Picture2, indexed("ButBorder", 1), 17, 0, 1, 17, DarkBlue);
    w.ButBorder[2] = line(w.Picture2, indexed("ButBorder", 2), 0, 16, 18, 1, DarkBlue);
    w.ButBorder[3] = line(w.Picture2, indexed("ButBorder", 3), 0, 0, 1, 17, DarkBlue);
    w.showCloseFrame(false);
    w.Line2_0 = line(p1, QStringLiteral("Line2(0)"), 1, 23, 416, 1, QColor(128, 128, 128));
    w.Label8 = label(p1, QStringLiteral("Label8"), QStringLiteral("数据列表："), 8, 28, 80, 18);
    w.List1 = make<RecordLineList>(p1, QStringLiteral("List1"), 8, 46, 240, 170);
    w.Label9 = label(p1, QStringLiteral("Label9"), QStringLiteral("全选"), 8, 220, 30, 18);
    w.Label13 = label(p1, QStringLiteral("Label13"), QStringLiteral("全清"), 42, 220, 30, 18);
    for (QLabel *l : {w.Label9, w.Label13}) {
        QFont f = l->font();
        f.setUnderline(true);
        l->setFont(f);
        colour(l, QColor(), Blue);
        l->setCursor(Qt::PointingHandCursor);
    }
    w.DataCount = label(p1, QStringLiteral("DataCount"), QString(), 80, 220, 100, 18);
    colour(w.DataCount, LightGrey);
    w.Label1_3 = label(p1, QStringLiteral("Label1(3)"), QStringLiteral("机器地址："), 256, 48, 64);
    w.Text4 = edit(p1, QStringLiteral("Text4"), QStringLiteral("105"), 322, 47, 44, 3);
    colour(w.Text4, LightGreen, Blue);
    w.Command18 = button(p1, QStringLiteral("Command18"), QStringLiteral("读入数据"), 256, 78, 110, 28);
    w.Command19 = button(p1, QStringLiteral("Command19"), QStringLiteral("发多条数据"), 256, 110, 110, 28);
    auto *f3 = w.Frame3 = frame(p1, QStringLiteral("Frame3"), QStringLiteral("单条数据发送"), 6, 242, 406, 112);
    w.Label14 = label(f3, QStringLiteral("Label14"), QStringLiteral("单条数据格式如下："), 8, 20, 116);
    w.Text5 = edit(f3, QStringLiteral("Text5"), QStringLiteral("0079A785070927093628"), 126, 19, 170, 22);
    colour(w.Text5, LightGreen, Blue);
    w.Label15 =
        label(f3, QStringLiteral("Label15"),
              QStringLiteral("说明：前八位（0079A785）为物理卡号;（070927）为日期（093628）为时间。"), 8, 44, 392, 34);
    w.Label15->setWordWrap(true);
    w.Text1 = edit(f3, QStringLiteral("Text1"), QString(), 8, 82, 170, 20);
    w.Command21 = button(f3, QStringLiteral("Command21"), QStringLiteral("发单条数据"), 190, 80, 100, 26);
    w.Command20 = button(f3, QStringLiteral("Command20"), QStringLiteral("返回"), 298, 80, 100, 26);
    p1->hide();
    p1->raise();

    // Status bar, timer.
    w.Sta_Info = new QStatusBar(&w);
    w.Sta_Info->setObjectName(QStringLiteral("Sta_Info"));
    w.Sta_Info->setSizeGripEnabled(false);
    w.statusLabel_ = new StatusText(w.Sta_Info);
    w.statusLabel_->setObjectName(QStringLiteral("Sta_InfoText"));
    w.Sta_Info->addWidget(w.statusLabel_, 1);
    w.StatusProgress = new QProgressBar(w.Sta_Info);
    w.StatusProgress->setObjectName(QStringLiteral("StatusProgress"));
    w.StatusProgress->setFixedWidth(180);
    w.StatusProgress->setMaximumHeight(16);
    w.Sta_Info->addPermanentWidget(w.StatusProgress);
    w.StatusProgress->hide();
    w.setStatusBar(w.Sta_Info);

    w.TimerState = new QTimer(&w);
    w.TimerState->setObjectName(QStringLiteral("TimerState"));
    w.TimerState->setInterval(2000);

    w.layout()->setSizeConstraint(QLayout::SetFixedSize);
}
