// The validation event of TxtAddress and the alarm grid as the desktop raises it: a click that would
// take the focus to another control, or Tab, runs the box's check; a refusal keeps the focus and
// swallows the click. Clicks go into the window at the control's place, as the desktop sends them.
#include "app/SettingsStore.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

namespace {

void desktopClick(FrmZevo &w, QWidget *control)
{
    QTest::mouseClick(w.windowHandle(), Qt::LeftButton, {}, control->mapTo(&w, control->rect().center()));
}

void showActive(FrmZevo &w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

}  // namespace

class SpineFocus : public QObject {
    Q_OBJECT
private slots:
    void refusals_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("address 256") << "TxtAddress"
                                     << "256"
                                     << "请输入‘1 → 255  之间的数字字符！";
        QTest::newRow("hour 24") << "TxtHour(3)"
                                 << "24"
                                 << "请输入‘０ → ２３  之间的数字！";
        QTest::newRow("hour ab") << "TxtHour(0)"
                                 << "ab"
                                 << "请输入数字！";
        QTest::newRow("minute 60") << "TxtMin(9)"
                                   << "60"
                                   << "请输入０ → ５９之间的数字！";
        QTest::newRow("minute -1") << "TxtMin(1)"
                                   << "-1"
                                   << "请输入０ → ５９之间的数字！";
    }
    // A refused box keeps the focus, and the button that was clicked does not run.
    void refusals()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        WindowFixture f;
        auto &w = f.w();
        showActive(w);
        auto *edit = w.findChild<ValidatedEdit *>(box);
        QVERIFY(edit);
        edit->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), edit);
        edit->setText(text);
        f.link->clearCalls();
        desktopClick(w, w.Command24);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, message);
        QCOMPARE(QApplication::focusWidget(), edit);
        QVERIFY(f.link->calls.isEmpty());

        f.op.boxes.clear();
        edit->setText("1");
        desktopClick(w, w.Command24);
        QVERIFY(f.op.boxes.isEmpty());
        QCOMPARE(QApplication::focusWidget(), w.Command24);
        QVERIFY(!f.link->calls.isEmpty());
    }

    // Only a move of the focus asks for validation: not a click into the box itself, on a label, on a
    // disabled button, or on another window's control.
    void noValidationWithoutAFocusMove_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("the box itself") << "TxtAddress";
        QTest::newRow("a label") << "Label18";
        QTest::newRow("a disabled button") << "cmdConnectNet";
        QTest::newRow("a frame") << "Frame1";
    }
    void noValidationWithoutAFocusMove()
    {
        QFETCH(QString, target);
        WindowFixture f;
        auto &w = f.w();
        showActive(w);
        w.TxtAddress->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w.TxtAddress);
        w.TxtAddress->setText("999");
        desktopClick(w, w.findChild<QWidget *>(target));
        QVERIFY(f.op.boxes.isEmpty());
        QCOMPARE(w.TxtAddress->text(), QString("999"));
        QCOMPARE(QApplication::focusWidget(), w.TxtAddress);
    }

    // A bad address cannot reach the settings through a toolbar click: the box is checked first.
    void toolbarClickChecksTheAddressFirst()
    {
        WindowFixture f;
        auto &w = f.w();
        showActive(w);
        w.TxtAddress->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w.TxtAddress);
        w.TxtAddress->setText("300");
        f.link->clearCalls();
        desktopClick(w, w.comButtons[3]);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.link->count("SetPort"), 0);
        QVERIFY(!f.console->settings().contains("Address"));
        desktopClick(w, w.comButtons[3]);  // the box is empty now and lets the click through
        QCOMPARE(f.link->count("SetPort"), 1);
        QCOMPARE(f.console->settings().read("Address", "none"), QString());
    }

    void tabKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Tab") << int(Qt::Key_Tab);
        QTest::newRow("Shift+Tab") << int(Qt::Key_Backtab);
    }
    void tabKey()
    {
        QFETCH(int, key);
        WindowFixture f;
        auto &w = f.w();
        showActive(w);
        w.TxtHour[5]->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), w.TxtHour[5]);
        w.TxtHour[5]->setText("99");
        QTest::keyClick(w.TxtHour[5], Qt::Key(key));
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(QApplication::focusWidget(), w.TxtHour[5]);
        QCOMPARE(w.TxtHour[5]->text(), QString("99"));  // the grid's check never changes the text
        w.TxtHour[5]->setText("9");
        QTest::keyClick(w.TxtHour[5], Qt::Key(key));
        QCOMPARE(f.op.boxes.size(), 1);
        QVERIFY(QApplication::focusWidget() != w.TxtHour[5]);
    }
};

QTEST_MAIN(SpineFocus)
#include "spine_focus.moc"
