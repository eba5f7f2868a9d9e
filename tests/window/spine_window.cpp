// The window as built: every control's name, kind, caption, design state and limit; the two hidden
// panels; the close button of the send-records panel; and a layout in which nothing is hidden, cut
// off or covered at the design size.
#include "support/WindowFixture.h"
#include "ui/RecordLineList.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

QString captionOf(QWidget *c)
{
    if (auto *b = qobject_cast<QAbstractButton *>(c)) return b->text();
    if (auto *l = qobject_cast<QLabel *>(c)) return l->text();
    if (auto *e = qobject_cast<QLineEdit *>(c)) return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(c)) return g->title();
    return QString();
}

// The font a widget shows its caption in.
int captionWidth(QWidget *c, const QString &text)
{
    QString shown = text;
    shown.remove(QLatin1Char('&'));
    int widest = 0;
    for (const QString &line : shown.split(QLatin1Char('\n')))
        widest = qMax(widest, c->fontMetrics().horizontalAdvance(line));
    return widest;
}

// Controls in `root`'s subtree that leave their container, cut their caption or cover a sibling. A box
// may lie over a label only where the label's caption has blanks.
QStringList layoutFaults(QWidget *root)
{
    QStringList faults;
    for (QWidget *c : root->findChildren<QWidget *>()) {
        if (!c->isVisible() || c->objectName().isEmpty() || c->objectName().startsWith("qt_")) continue;
        QWidget *parent = c->parentWidget();
        if (qobject_cast<QToolBar *>(parent)) continue;  // the toolbar test covers its buttons
        if (!QRect(QPoint(0, 0), parent->size()).contains(c->geometry()))
            faults << c->objectName() + " leaves " + parent->objectName();
        const bool wraps = qobject_cast<QLabel *>(c) && static_cast<QLabel *>(c)->wordWrap();
        if (!wraps
            && (qobject_cast<QPushButton *>(c) || qobject_cast<QLabel *>(c) || qobject_cast<QCheckBox *>(c)
                || qobject_cast<QRadioButton *>(c))) {
            const int room = qobject_cast<QLabel *>(c) ? c->width() : c->width() - 8;
            int need = captionWidth(c, captionOf(c));
            if (auto *b = qobject_cast<QAbstractButton *>(c); b && !b->icon().isNull())
                need += b->iconSize().width() + 4;
            if (qobject_cast<QCheckBox *>(c) || qobject_cast<QRadioButton *>(c)) need += 18;
            if (need > room) faults << c->objectName() + " cuts its caption";
        }
        for (QWidget *other : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (other == c || !other->isVisible() || other->objectName().isEmpty()) continue;
            if (other->objectName() < c->objectName()) continue;  // each pair once
            if (!c->geometry().intersects(other->geometry())) continue;
            auto *label = qobject_cast<QLabel *>(c);
            QWidget *box = other;
            if (!label) {
                label = qobject_cast<QLabel *>(other);
                box = c;
            }
            if (label && !qobject_cast<QLabel *>(box) && !label->wordWrap() && !label->text().contains('\n')) {
                const QString text = label->text();
                const QFontMetrics fm = label->fontMetrics();
                for (int k = 0; k < text.size(); ++k) {
                    if (text[k].isSpace()) continue;
                    const int left = label->x() + fm.horizontalAdvance(text.left(k));
                    const int right = label->x() + fm.horizontalAdvance(text.left(k + 1));
                    if (left <= box->geometry().right() && right > box->x()) {
                        faults << box->objectName() + " covers \"" + text[k] + "\" of " + label->objectName();
                        break;
                    }
                }
                continue;
            }
            faults << c->objectName() + " overlaps " + other->objectName();
        }
    }
    return faults;
}

}  // namespace

class SpineWindow : public QObject {
    Q_OBJECT
private slots:
    void catalogue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("maxLength");  // 0: no limit of the design's own
        auto row = [](const char *name, const char *kind, const QString &caption, bool enabled = true, int limit = 0) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(kind) << caption << enabled
                                << limit;
        };
        // Frame6
        row("Frame6", "QGroupBox", "通讯基础设置");
        row("optCom", "QRadioButton", "Com");
        row("optTcp", "QRadioButton", "TCP");
        row("lblIP", "QLabel", "IP：");
        row("txtIP", "QLineEdit", "192.168.1.226", false);  // replaced by the first-run default
        row("Label4", "QLabel", "端口号：");
        row("txtTcpPort", "QLineEdit", "1001", false);
        row("cmdConnectNet", "QPushButton", "连接考勤机", false);
        row("lblTcpState", "QLabel", "TCP状态");
        row("Label1(1)", "QLabel", "考勤机地址：");
        row("TxtAddress", "QLineEdit", "18", true, 3);
        // Frame7
        row("Frame7", "QGroupBox", "进入机器菜单密码");
        row("Command31", "QPushButton", "读取密码");
        row("Text8", "QLineEdit", "");
        row("Command30", "QPushButton", "设置密码");
        // Frame1
        row("Frame1", "QGroupBox", "保留功能");
        row("Command9", "QPushButton", "读标志");
        row("Command8", "QPushButton", "清卡标志");
        row("Command24", "QPushButton", "读参数");
        row("cmdSendMsg", "QPushButton", "发短信");
        row("Frame8", "QGroupBox", "开机画面");
        row("DOWNLOG", "QPushButton", "下载");
        row("Clear_Logo", "QPushButton", "清除");
        row("SetKorvaneLogo", "QPushButton", "恢复初始值");
        row("SoundNum", "QLineEdit", "1");
        row("cmdGetSounds", "QPushButton", "语音功能");
        row("Command2", "QPushButton", "采集数据_All");
        row("txtBeginPack", "QLineEdit", "1");
        row("txtEndPack", "QLineEdit", "2");
        row("Cmd_GetNameList_All", "QPushButton", "采集名单_All");
        row("cmdReadClearLog", "QPushButton", "采集清除日志");
        row("Command25", "QPushButton", "采集校时日志");
        // Frame2
        row("Command7", "QPushButton", "读卡号");
        row("Label2", "QLabel", "物理卡号：");
        row("TxtCardNum", "QLineEdit", "", true, 10);
        row("lblPhyCard_Hex", "QLabel", "0");
        row("Command14", "QPushButton", "发卡");
        row("Label5", "QLabel", "工号：");
        row("TxtNo", "QLineEdit", "", true, 8);
        row("Command15", "QPushButton", "退卡");
        row("Label6", "QLabel", "新地址或姓名：");
        row("TxtNewAddr", "QLineEdit", "");
        row("Command22", "QPushButton", "查找发卡记录");
        row("Label11", "QLabel", "打卡间隔分钟：");
        row("Txt_Minute", "QLineEdit", "0000", true, 4);
        row("Cmd_Delay", "QPushButton", "打卡延时");
        row("Label3", "QLabel", "继电器延时：");
        row("TxtY", "QLineEdit", "00", true, 4);
        row("CmdSetClock", "QPushButton", "设置闹钟");
        row("OpJT", "QRadioButton", "简体");
        row("OpFT", "QRadioButton", "繁体");
        row("Command12", "QPushButton", "修改日期时间");
        row("Command16", "QPushButton", "修改地址");
        row("Command17", "QPushButton", "下传打卡数据");
        row("Command13", "QPushButton", "设置考勤模式");
        row("Command23", "QPushButton", "设置门禁模式");
        row("Label21", "QLabel", "响铃时段");
        row("Text7", "QLineEdit", "1");
        row("Text2", "QLineEdit", "小时", false);
        row("Text3", "QLineEdit", "分钟", false);
        row("TxtHour(0)", "QLineEdit", "0", true, 2);
        row("TxtHour(9)", "QLineEdit", "0", true, 2);
        row("TxtMin(0)", "QLineEdit", "0", true, 2);
        row("TxtMin(9)", "QLineEdit", "0", true, 2);
        // Picture3
        row("TxtMsg", "QLineEdit", "", true, 16);
        row("Text6", "QLineEdit", "");
        row("Command26", "QPushButton", "确定");
        row("Command27", "QPushButton", "取消");
        // Frame5
        row("IsCheck", "QCheckBox", "采集时输出十进制物理卡号");
        row("YearCheck", "QCheckBox", "采集时输出完整年份");
        row("Command4", "QPushButton", "采集数据");
        row("SleepDate", "QLineEdit", "2");
        row("Command11", "QPushButton", "清除考勤记录");
        row("Cmd_GetNameList", "QPushButton", "采集发卡名单");
        row("Command1(8)", "QPushButton", "浏览采集数据");
        row("Command10", "QPushButton", "清除发卡名单");
        row("Command3", "QPushButton", "浏览发卡名单");
        row("Command5", "QPushButton", "读打卡记录数");
        row("Label", "QLabel", "000");
        row("Label7", "QLabel", "000");
        row("Command6", "QPushButton", "读发卡记录数");
        row("Label19", "QLabel",
            "以下是用户所需要的采集数据的格式：如果以下面的例子填写那么得出的格式是(机器地址物理卡号年月日时分秒),淡黄底为分隔符。");
        // Free controls
        row("cmdSetStorage_1", "QPushButton", "切换模式");
        row("cmdGetStorage", "QPushButton", "读存储模式");
        row("Label20", "QLabel", "刷卡时间间隔：");
        row("txtInterval", "QLineEdit", "24");
        row("cmdCheckData", "QPushButton", "校验数据");
        row("Cmd_Exit", "QPushButton", "退出(&X)");
        // Picture4
        row("TxtF(0)", "QLineEdit", "");
        row("TxtF(8)", "QLineEdit", "");
        row("TxtT(0)", "QLineEdit", "机号");
        row("TxtT(7)", "QLineEdit", "秒");
        // Picture1
        row("TitleBarCaption", "QLabel", "下发打卡数据");
        row("Label8", "QLabel", "数据列表：");
        row("Label9", "QLabel", "全选");
        row("Label13", "QLabel", "全清");
        row("DataCount", "QLabel", "");
        row("Label1(3)", "QLabel", "机器地址：");
        row("Text4", "QLineEdit", "105", true, 3);
        row("Command18", "QPushButton", "读入数据");
        row("Command19", "QPushButton", "发多条数据");
        row("Frame3", "QGroupBox", "单条数据发送");
        row("Label14", "QLabel", "单条数据格式如下：");
        row("Label15", "QLabel", "说明：前八位（0079A785）为物理卡号;（070927）为日期（093628）为时间。");
        row("Text5", "QLineEdit", "0079A785070927093628", true, 22);
        row("Text1", "QLineEdit", "", true, 20);
        row("Command21", "QPushButton", "发单条数据");
        row("Command20", "QPushButton", "返回");
    }
    void catalogue()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        QFETCH(int, maxLength);
        WindowFixture f;
        const QList<QWidget *> found = f.w().findChildren<QWidget *>(name);
        QCOMPARE(found.size(), 1);
        QWidget *c = found.first();
        QVERIFY2(c->inherits(kind.toLatin1()), qPrintable(QString::fromLatin1(c->metaObject()->className())));
        QCOMPARE(captionOf(c), caption);
        QCOMPARE(c->isEnabled(), enabled);
        if (auto *e = qobject_cast<QLineEdit *>(c)) QCOMPARE(e->maxLength(), maxLength ? maxLength : 32767);
    }

    void designStates()
    {
        WindowFixture f;
        auto &w = f.w();
        QCOMPARE(w.windowTitle(), QString("考勤机VX730K 动态链接库使用演示程序 2009-07-04"));
        QCOMPARE(w.objectName(), QString("FrmZevo"));
        QVERIFY(w.optCom->isChecked());
        QVERIFY(!w.optTcp->isChecked());
        QVERIFY(w.OpJT->isChecked());
        QVERIFY(!w.IsCheck->isChecked());
        QVERIFY(!w.YearCheck->isChecked());
        QVERIFY(!w.TimerState->isActive());
        QCOMPARE(w.TimerState->interval(), 2000);
        QVERIFY(!w.Picture1->isVisibleTo(&w));
        QVERIFY(!w.Picture3->isVisibleTo(&w));
        QCOMPARE(w.Picture1->x(), -320);  // -4800 twips
        QVERIFY(w.Label18->text().startsWith("语音提示："));
        for (const char *prompt :
             {"1：无效卡", "3：欢迎你", "4：你好", "5：生日快乐", "6：你迟到了", "7：节日快乐", "8：注意安全"})
            QVERIFY2(w.Label18->text().contains(QString::fromUtf8(prompt)), prompt);
        QVERIFY(w.List1->selectionMode() == QAbstractItemView::MultiSelection);
        QCOMPARE(w.Cmd_Exit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    }

    void tooltips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tip");
        for (const char *n : {"Frame7", "Command30", "Command31", "Text8"})
            QTest::newRow(n) << n << "只适用於带键盘机型";
        QTest::newRow("SoundNum") << "SoundNum"
                                  << "语音号";
        QTest::newRow("TxtNo") << "TxtNo"
                               << "请输入“0-9”，“a-f”之间的字符！";
        QTest::newRow("TxtHour(4)") << "TxtHour(4)"
                                    << "请输入“0-23”之间的数！";
        QTest::newRow("TxtMin(7)") << "TxtMin(7)"
                                   << "请输入“0-59”之间的数！";
        const char *tips[] = {"Select Com1",  "Select Com2",  "Select Com3",  "Select  Com4",
                              "Select  Com5", "Select  Com6", "Select  Com7", "select Com8"};
        for (int i = 0; i < 8; ++i) {
            const QByteArray n = "Com" + QByteArray::number(i + 1);
            QTest::newRow(n) << QString::fromLatin1(n) << tips[i];
        }
    }
    void tooltips()
    {
        QFETCH(QString, name);
        QFETCH(QString, tip);
        WindowFixture f;
        auto *c = f.w().findChild<QWidget *>(name);
        QVERIFY(c);
        QCOMPARE(c->toolTip(), tip);
    }

    void separatorsLookDifferentFromFields()
    {
        WindowFixture f;
        auto &w = f.w();
        for (int i = 0; i < 9; ++i) {
            const QColor sep = w.TxtF[i]->palette().color(QPalette::Base);
            QCOMPARE(sep, w.palette().color(QPalette::ToolTipBase));
            if (i < 8) QVERIFY(sep != w.TxtT[i]->palette().color(QPalette::Base));
        }
        // Left to right: TxtF(0), TxtT(0), TxtF(1), ... TxtT(7), TxtF(8).
        for (int i = 0; i < 8; ++i) {
            QVERIFY(w.TxtF[i]->x() < w.TxtT[i]->x());
            QVERIFY(w.TxtT[i]->x() < w.TxtF[i + 1]->x());
        }
    }

    // Hover shows the frame and leaving keeps it; a click on the cross or on the rest of the button hides
    // panel and frame; the panel reopens without the frame.
    void closeButton_data()
    {
        QTest::addColumn<bool>("onCross");
        QTest::newRow("cross glyph") << true;
        QTest::newRow("rest of the button") << false;
    }
    void closeButton()
    {
        QFETCH(bool, onCross);
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Picture1->move(0, w.Picture1->y());
        w.Picture1->show();
        for (QFrame *side : w.ButBorder) QVERIFY(!side->isVisible());

        QTest::mouseMove(w.Picture2, QPoint(1, 1));
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), w.Picture2->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w.Picture2, &move);
        for (QFrame *side : w.ButBorder) QVERIFY(side->isVisible());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w.Picture2, &leave);
        QTest::mouseMove(w.List1, QPoint(5, 5));
        for (QFrame *side : w.ButBorder) QVERIFY(side->isVisible());

        const QPoint xy = w.Picture1->pos();
        if (onCross)
            QTest::mouseClick(w.Image1, Qt::LeftButton, {}, QPoint(5, 4));
        else
            QTest::mouseClick(w.Picture2, Qt::LeftButton, {}, QPoint(1, 15));
        QVERIFY(!w.Picture1->isVisible());
        for (QFrame *side : w.ButBorder) QVERIFY(!side->isVisibleTo(w.Picture2));
        QCOMPARE(w.Picture1->pos(), xy);

        w.Picture1->show();
        for (QFrame *side : w.ButBorder) QVERIFY(!side->isVisible());
    }

    // All eight port buttons sit on the toolbar itself, none behind an overflow arrow.
    void toolbarShowsEveryPort()
    {
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto *overflow = w.tbComPort->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"));
        QVERIFY(!overflow || !overflow->isVisible());
        const QRect bar = w.tbComPort->rect();
        for (int i = 1; i <= 8; ++i) {
            QToolButton *b = w.comButtons[i];
            QVERIFY2(b->isVisible(), qPrintable(b->text()));
            QVERIFY2(bar.contains(b->geometry()), qPrintable(b->text()));
            QVERIFY2(captionWidth(b, b->text()) <= b->width(), qPrintable(b->text()));
            QCOMPARE(b->property("key").toString(), QString("Com%1").arg(i));
            QCOMPARE(b->text(), QString("Com%1").arg(i));
            if (i == 2) continue;  // the saved port, marked by start-up
            QCOMPARE(w.comButtonImage(i), 2);
            QVERIFY(!w.comButtonPressed(i));
        }
        QVERIFY(QRect(QPoint(0, 0), w.Frame6->size()).contains(w.tbComPort->geometry()));
    }

    // Every visible control lies inside its container, shows its whole caption, and covers no sibling:
    // with the panels hidden, and inside each panel as it is shown.
    void layoutAtDesignSize()
    {
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QStringList faults = layoutFaults(w.centralWidget());
        w.Command17->click();
        w.cmdSendMsg->click();
        QVERIFY(w.Picture1->isVisible());
        QVERIFY(w.Picture3->isVisible());
        QCOMPARE(w.Picture3->x(), 109);  // 1635 twips
        for (QWidget *panel : {w.Picture1, w.Picture3}) {
            if (!QRect(QPoint(0, 0), panel->parentWidget()->size()).contains(panel->geometry()))
                faults << panel->objectName() + " leaves " + panel->parentWidget()->objectName();
            faults << layoutFaults(panel);
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join("; ")));
    }

    // The short-message panel's label keeps a run of 17 blanks between its words, and Text6 sits in it
    // without covering either word.
    void displayTimeBoxSitsBetweenItsWords()
    {
        WindowFixture f;
        auto &w = f.w();
        QCOMPARE(w.Label16->text(), QString("显示时长") + QString(17, ' ') + QString("分钟"));
        const QFontMetrics fm = w.Label16->fontMetrics();
        const int first = w.Label16->x() + fm.horizontalAdvance("显示时长");
        const int second = w.Label16->x() + fm.horizontalAdvance("显示时长" + QString(17, ' '));
        QVERIFY2(w.Text6->x() >= first, qPrintable(QString("%1 < %2").arg(w.Text6->x()).arg(first)));
        QVERIFY2(w.Text6->geometry().right() < second,
                 qPrintable(QString("%1 >= %2").arg(w.Text6->geometry().right()).arg(second)));
        QVERIFY(w.Text6->width() >= 20);
    }

    // Only the panels' own background changes: their text boxes and list keep the colour of a box that
    // can be typed into.
    void panelBoxesLookEnabled()
    {
        WindowFixture f;
        auto &w = f.w();
        const QColor base = QApplication::palette().color(QPalette::Active, QPalette::Base);
        for (QWidget *box : std::initializer_list<QWidget *>{w.List1, w.Text1, w.TxtMsg, w.Text6})
            QVERIFY2(box->palette().color(QPalette::Active, QPalette::Base) == base, qPrintable(box->objectName()));
        QCOMPARE(w.Picture3->palette().color(QPalette::Window), QColor(192, 192, 192));
        QVERIFY(w.Picture3->autoFillBackground());
    }

    // About 9315 x 7305 twips of client area (621 x 487 pixels), scaled for the fonts of this desktop;
    // it must fit a 1024 x 768 screen with its title bar. A status text longer than the bar keeps that
    // size: it is cut with an ellipsis and shown whole in the tooltip; a short one is shown as it is.
    void windowSize()
    {
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.width() >= 621 && w.width() <= 1024);
        QVERIFY(w.height() >= 487 && w.height() <= 700);
        QVERIFY(w.Sta_Info->isVisible());
        QVERIFY(w.Sta_Info->geometry().top() >= w.centralWidget()->geometry().bottom());

        const QSize designed = w.size();
        const QString reply =
            QStringLiteral("采集不成功  ") + QStringLiteral("终端没有回答，请检查线路。").repeated(10) + "\nEND";
        w.setStatusText(reply);
        QCoreApplication::processEvents();
        w.layout()->activate();
        QCOMPARE(w.size(), designed);
        QCOMPARE(w.statusText(), reply);
        const QString shown = w.statusLabel_->text();
        QVERIFY2(shown.startsWith("采集不成功  终端没有回答") && shown.endsWith(QChar(0x2026)), qPrintable(shown));
        QVERIFY(w.statusLabel_->fontMetrics().horizontalAdvance(shown) <= w.statusLabel_->width());
        QVERIFY(QRect(QPoint(0, 0), w.Sta_Info->size()).contains(w.statusLabel_->geometry()));
        QCOMPARE(w.statusLabel_->toolTip(), reply);

        w.setStatusText("数据合法！");
        QCOMPARE(w.statusLabel_->text(), QString("数据合法！"));
        QVERIFY(w.statusLabel_->toolTip().isEmpty());
        QCOMPARE(w.size(), designed);
    }
};

QTEST_MAIN(SpineWindow)
#include "spine_window.moc"
