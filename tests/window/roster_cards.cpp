// One card at a time, on the scripted device link: reading the card number, issuing with the job
// number and the name, withdrawing and looking up, with their refusals and error reports.
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {
const QString CardLength = QStringLiteral("物理卡号要是10 位");
const QString AddressPrompt = QStringLiteral("请输入考勤机地址。");

// A window holding a card number read before, the job number and the name of its holder.
void prepareCard(FrmZevo &w, const QString &card = "0008036229", const QString &job = "123",
                 const QString &name = QStringLiteral("张三"))
{
    w.TxtAddress->setText("105");
    w.TxtCardNum->setText(card);
    w.TxtNo->setText(job);
    w.TxtNewAddr->setText(name);
}
}  // namespace

class RosterCards : public QObject {
    Q_OBJECT
private slots:
    void readCard_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("card");  // TxtCardNum afterwards
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("hex");  // lblPhyCard_Hex afterwards ("0" is its default)
        QTest::addColumn<QString>("box");  // the error report, if any
        QTest::newRow("69 answers 105") << "105"
                                        << "690000007A9F85" << QVariant("8036229") << "0008036229"
                                        << "物理卡号:0008036229"
                                        << "7A9F85"
                                        << "";
        QTest::newRow("lower-case hex") << "171"
                                        << "ab" << QVariant("255") << "0000000255"
                                        << "物理卡号:0000000255"
                                        << "FF"
                                        << "";
        QTest::newRow("blank before the address") << " 6"
                                                  << "06" << QVariant("8036229") << "0008036229"
                                                  << "物理卡号:0008036229"
                                                  << "7A9F85"
                                                  << "";
        QTest::newRow("68 is another terminal") << "105"
                                                << "68000000" << QVariant("8036229") << ""
                                                << "读取物理卡号不成功"
                                                << "7A9F85"
                                                << "";
        QTest::newRow("empty reply reads as 0") << "105"
                                                << "" << QVariant("8036229") << ""
                                                << "读取物理卡号不成功"
                                                << "7A9F85"
                                                << "";
        QTest::newRow("one hex digit") << "6"
                                       << "6G" << QVariant("1") << "0000000001"
                                       << "物理卡号:0000000001"
                                       << "1"
                                       << "";
        QTest::newRow("no hex digit is terminal 0") << "0"
                                                    << "zz" << QVariant("10") << "0000000010"
                                                    << "物理卡号:0000000010"
                                                    << "A"
                                                    << "";
        QTest::newRow("longer than 10 keeps the last 10") << "105"
                                                          << "69" << QVariant("000008036229") << "0008036229"
                                                          << "物理卡号:0008036229"
                                                          << "7A9F85"
                                                          << "";
        QTest::newRow("a number result") << "105"
                                         << "69" << QVariant(8036229) << "0008036229"
                                         << "物理卡号:0008036229"
                                         << "7A9F85"
                                         << "";
        QTest::newRow("largest 32-bit value") << "105"
                                              << "69" << QVariant("2147483647") << "2147483647"
                                              << "物理卡号:2147483647"
                                              << "7FFFFFFF"
                                              << "";
        // What the command set before the conversion failed stays set.
        QTest::newRow("beyond 32 bits") << "105"
                                        << "69" << QVariant("123456789012") << "3456789012"
                                        << "物理卡号:3456789012"
                                        << "0"
                                        << "6:溢出";
        QTest::newRow("not numeric") << "105"
                                     << "69" << QVariant("12AB") << "00000012AB"
                                     << "物理卡号:00000012AB"
                                     << "0"
                                     << "13:类型不匹配";
        // No number back is a failed read, also at address 0 where the empty reply reads as 0.
        QTest::newRow("null at address 0") << "0"
                                           << "" << QVariant() << ""
                                           << "读取物理卡号不成功"
                                           << "0"
                                           << "13:类型不匹配";
    }
    void readCard()
    {
        QFETCH(QString, address);
        QFETCH(QString, reply);
        QFETCH(QVariant, value);
        QFETCH(QString, card);
        QFETCH(QString, status);
        QFETCH(QString, hex);
        QFETCH(QString, box);
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText(address);
        w.TxtCardNum->setText("9999999999");
        f.link->script("ReadCardNum", value, {{2, reply}});
        w.Command7->click();
        const auto call = f.link->callsOf("ReadCardNum").last();
        QCOMPARE(call.arg(1).toInt(), address.trimmed().toInt());
        QCOMPARE(call.arg(2).toString(), QString());
        QCOMPARE(w.TxtCardNum->text(), card);
        QCOMPARE(w.statusText(), status);
        QCOMPARE(w.lblPhyCard_Hex->text(), hex);
        QCOMPARE(f.op.boxes.size(), box.isEmpty() ? 0 : 1);
        if (!box.isEmpty()) {
            QCOMPARE(f.op.boxes[0].text, box);
            QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
            QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
        }
    }

    void readCardErrors()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtCardNum->setText("0008036229");
        w.setStatusText("old");
        f.link->scriptError("ReadCardNum", 5, "端口未打开");
        w.Command7->click();
        QCOMPARE(f.op.boxes.last().text, QString("5:端口未打开"));
        QCOMPARE(w.TxtCardNum->text(), QString());  // emptied before the call
        QCOMPARE(w.statusText(), QString("old"));

        // An address that is no number is reported by the same handler, before any call.
        for (const char *bad : {"", "x", "1-"}) {
            f.link->clearCalls();
            w.TxtAddress->setText(bad);
            w.Command7->click();
            QCOMPARE(f.link->count("ReadCardNum"), 0);
            QCOMPARE(f.op.boxes.last().text, QString("13:类型不匹配"));
        }
    }

    void issueJobNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("123") << "123"
                             << "00000123";
        QTest::newRow("three blanks") << "   "
                                      << "00000000";
        QTest::newRow("blanks around") << " 42 "
                                       << "00000042";
        QTest::newRow("eight already") << "12345678"
                                       << "12345678";
        QTest::newRow("blank inside") << "1 2"
                                      << "000001 2";
        QTest::newRow("letters kept") << "a1f"
                                      << "00000a1f";
    }
    void issueJobNumbers()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        WindowFixture f;
        auto &w = f.w();
        prepareCard(w, "0008036229", typed);
        w.setStatusText("old");
        w.Command14->click();
        QCOMPARE(w.TxtNo->text(), sent);
        const auto call = f.link->callsOf("CardSendToMachine").last();
        QCOMPARE(call.arg(1).toInt(), 105);
        QCOMPARE(call.arg(2).toString(), QString("0008036229"));
        QCOMPARE(call.arg(3).toString(), sent);
        QCOMPARE(call.arg(4).toString(), QString("张三"));
        QCOMPARE(call.arg(5).toString(), QString("00"));
        QCOMPARE(call.arg(6).toString(), QString("00000000"));
        QCOMPARE(w.statusText(), "卡号:" + sent + "发送成功!");
        QCOMPARE(f.op.boxes.size(), 0);
    }

    void issueOutcomes()
    {
        WindowFixture f;
        auto &w = f.w();
        prepareCard(w);
        for (const QVariant &r : {QVariant(false), QVariant()}) {
            f.link->script("CardSendToMachine", r);
            w.Command14->click();
            QCOMPARE(w.statusText(), QString("卡号:00000123发送不成功"));
        }
        f.link->scriptError("CardSendToMachine", 5, "x");
        w.setStatusText("old");
        w.Command14->click();
        QCOMPARE(f.op.boxes.last().text, QString("5:x"));
        QCOMPARE(w.statusText(), QString());
    }

    void issueWithoutJobNumber()
    {
        WindowFixture f;
        auto &w = f.w();
        prepareCard(w, "0008036229", "");
        w.setStatusText("old");
        w.Command14->click();
        QCOMPARE(f.link->count("CardSendToMachine"), 0);
        QCOMPARE(f.op.boxes.size(), 1);
        QCOMPARE(f.op.boxes[0].text, QString("请输入该卡的工号！"));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
        QCOMPARE(w.statusText(), QString());
        QCOMPARE(w.TxtNo->text(), QString());
    }

    void incompleteCardNumberMakesNoCall_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QString>("status");  // afterwards, from "old"
        QTest::addColumn<QString>("box");
        QTest::newRow("issue") << "Command14"
                               << "CardSendToMachine"
                               << "请先读取物理卡号!"
                               << "";
        QTest::newRow("withdraw") << "Command15"
                                  << "ClearName"
                                  << "" << CardLength;
        QTest::newRow("find") << "Command22"
                              << "FindCard"
                              << "old" << CardLength;
    }
    void incompleteCardNumberMakesNoCall()
    {
        QFETCH(QString, button);
        QFETCH(QString, op);
        QFETCH(QString, status);
        QFETCH(QString, box);
        WindowFixture f;
        auto &w = f.w();
        for (const char *card : {"000803622", ""}) {
            prepareCard(w, card);
            w.setStatusText("old");
            f.op.boxes.clear();
            w.findChild<QPushButton *>(button)->click();
            QCOMPARE(f.link->count(op), 0);
            QCOMPARE(w.statusText(), status);
            QCOMPARE(w.TxtNo->text(), QString("123"));  // no job number normalised either
            QCOMPARE(f.op.boxes.size(), box.isEmpty() ? 0 : 1);
            if (!box.isEmpty()) {
                QCOMPARE(f.op.boxes[0].text, box);
                QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
                QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
            }
        }
    }

    void nameField_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fits");
        QTest::newRow("empty") << "" << true;
        QTest::newRow("three characters") << QStringLiteral("张三丰") << true;
        QTest::newRow("eight characters, 16 bytes") << QStringLiteral("一二三四五六七八") << true;
        QTest::newRow("nine characters, 18 bytes") << QStringLiteral("一二三四五六七八九") << false;
        QTest::newRow("16 letters") << "ABCDEFGHIJKLMNOP" << true;
        QTest::newRow("17 letters") << "ABCDEFGHIJKLMNOPQ" << false;
        QTest::newRow("seven characters and two letters") << QStringLiteral("Li一二三四五六七") << true;
        QTest::newRow("seven characters and three letters") << QStringLiteral("Liu一二三四五六七") << false;
        // Characters beyond the two-byte range take four bytes each.
        QTest::newRow("four 4-byte characters") << QStringLiteral("𠀀𠀁𠀂𠀃") << true;
        QTest::newRow("five 4-byte characters") << QStringLiteral("𠀀𠀁𠀂𠀃𠀄") << false;
    }
    void nameField()
    {
        QFETCH(QString, name);
        QFETCH(bool, fits);
        WindowFixture f;
        auto &w = f.w();
        prepareCard(w, "0008036229", "123", name);
        w.Command14->click();
        QCOMPARE(f.link->count("CardSendToMachine"), fits ? 1 : 0);
        if (fits) {
            QCOMPARE(f.link->callsOf("CardSendToMachine").last().arg(4).toString(), name);  // never cut
            QCOMPARE(f.op.boxes.size(), 0);
            return;
        }
        QCOMPARE(f.op.boxes.size(), 1);
        QVERIFY(f.op.boxes[0].text.startsWith(QStringLiteral("姓名太长：考勤机最多保存16个字节（8个汉字）")));
        QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::Question);
        QCOMPARE(w.TxtNewAddr->text(), name);
        QCOMPARE(w.statusText(), QString());
    }

    void withdraw()
    {
        WindowFixture f;
        auto &w = f.w();
        prepareCard(w, " 8036229  ", "00000123");
        w.setStatusText("old");
        w.Command15->click();
        auto call = f.link->callsOf("ClearName").last();
        QCOMPARE(call.arg(1).toInt(), 105);
        QCOMPARE(call.arg(2).toString(), QString("8036229"));  // trimmed
        QCOMPARE(w.statusText(), QString("卡号:00000123清除成功"));
        // The job number shown is the box's text as it stands: withdraw does not normalise it.
        w.TxtNo->setText("7");
        f.link->script("ClearName", false);
        w.Command15->click();
        QCOMPARE(w.statusText(), QString("卡号:7清除不成功"));
        f.link->scriptError("ClearName", 5, "x");
        w.Command15->click();
        QCOMPARE(f.op.boxes.last().text, QString("5:x"));
        QCOMPARE(w.statusText(), QString());
    }

    void find_data()
    {
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("status");
        QTest::newRow("present") << QVariant(true) << true << "卡号:0008036229存在";
        QTest::newRow("absent") << QVariant(1) << false << "卡号:0008036229不存在";
        QTest::newRow("no answer, found set") << QVariant(false) << true << "通讯失败!";
        QTest::newRow("null result") << QVariant() << false << "通讯失败!";
    }
    void find()
    {
        QFETCH(QVariant, result);
        QFETCH(bool, found);
        QFETCH(QString, status);
        WindowFixture f;
        auto &w = f.w();
        prepareCard(w);
        f.link->script("FindCard", result, {{3, found}});
        w.Command22->click();
        const auto call = f.link->callsOf("FindCard").last();
        QCOMPARE(call.arg(1).toInt(), 105);
        QCOMPARE(call.arg(2).toString(), QString("0008036229"));
        QCOMPARE(call.arg(3).toBool(), false);
        QCOMPARE(w.statusText(), status);
    }

    void cardCommandsRefuseAnAddressThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("op");
        QTest::newRow("issue") << "Command14"
                               << "CardSendToMachine";
        QTest::newRow("withdraw") << "Command15"
                                  << "ClearName";
        QTest::newRow("find") << "Command22"
                              << "FindCard";
    }
    void cardCommandsRefuseAnAddressThatIsNoNumber()
    {
        QFETCH(QString, button);
        QFETCH(QString, op);
        WindowFixture f;
        auto &w = f.w();
        for (const char *bad : {"", "a1", "--"}) {
            prepareCard(w);
            w.TxtAddress->setText(bad);
            f.op.boxes.clear();
            w.findChild<QPushButton *>(button)->click();
            QCOMPARE(f.link->count(op), 0);
            QCOMPARE(f.op.boxes.size(), 1);
            QCOMPARE(f.op.boxes[0].text, AddressPrompt);
        }
    }

    // The card read is the card issued, found and withdrawn: the controls carry it between commands.
    void cardTravelsFromReadToTheOtherCommands()
    {
        WindowFixture f;
        auto &w = f.w();
        w.TxtAddress->setText("105");
        w.TxtNo->setText("77");
        w.TxtNewAddr->setText(QStringLiteral("李四"));
        f.link->script("ReadCardNum", "8036229", {{2, "69000000"}});
        w.Command7->click();
        w.Command14->click();
        w.Command22->click();
        w.Command15->click();
        QCOMPARE(f.link->callsOf("CardSendToMachine").last().arg(2).toString(), QString("0008036229"));
        QCOMPARE(f.link->callsOf("FindCard").last().arg(2).toString(), QString("0008036229"));
        QCOMPARE(f.link->callsOf("ClearName").last().arg(2).toString(), QString("0008036229"));
        QCOMPARE(w.statusText(), QString("卡号:00000077清除成功"));
    }
};

QTEST_MAIN(RosterCards)
#include "roster_cards.moc"
