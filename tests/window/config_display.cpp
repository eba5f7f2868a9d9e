#include "support/WindowFixture.h"

#include <QPushButton>
#include <QTest>

namespace {
const QString VersionMessage = QStringLiteral("所使用的动态库版本不支持此功能，请使用V7.6.7及以上的版本！");
}

class ConfigDisplay : public QObject {
    Q_OBJECT
private slots:
    void bootPictureVersionGate_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("passes");
        QTest::newRow("V7.5.105") << "V7.5.105" << false;
        QTest::newRow("V7.6.7") << "V7.6.7" << true;
        QTest::newRow("V7.6.8") << "V7.6.8" << true;
        QTest::newRow("V8.0") << "V8.0" << true;
        QTest::newRow("V7.10.0") << "V7.10.0" << true;
    }
    void bootPictureVersionGate()
    {
        QFETCH(QString, version);
        QFETCH(bool, passes);
        WindowFixture f;
        f.link->setDefault("Ver", {version, {}, {}, {}});
        f.link->clearCalls();
        f.w().TxtAddress->setText(" 18 ");
        f.w().SetKorvaneLogo->click();
        f.w().Clear_Logo->click();
        if (!passes) {
            QCOMPARE(f.link->count("SetLogoMode"), 0);
            QCOMPARE(f.op.boxes.size(), 2);
            QCOMPARE(f.op.boxes[0].text, VersionMessage);
            QCOMPARE(f.op.boxes[0].icon, OperatorInterface::Icon::None);
            QCOMPARE(f.op.boxes[0].title, QString("Zevo"));
            return;
        }
        QVERIFY(f.op.boxes.isEmpty());
        const auto calls = f.link->callsOf("SetLogoMode");
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls[0].arg(1).toInt(), 18);
        QCOMPARE(calls[0].arg(2).toBool(), true);
        QCOMPARE(calls[1].arg(2).toBool(), false);
        QCOMPARE(f.w().statusText(), QString("清除开机画面成功!"));
    }

    void bootPictureTexts()
    {
        WindowFixture f;
        auto &w = f.w();
        w.SetKorvaneLogo->click();
        QCOMPARE(w.statusText(), QString("设置开机画面成功，已恢复成‘Korvane’了"));
        f.link->script("SetLogoMode", false);
        w.SetKorvaneLogo->click();
        QCOMPARE(w.statusText(), QString("恢复开机画面失败"));
        f.link->script("SetLogoMode", false);
        w.Clear_Logo->click();
        QCOMPARE(w.statusText(), QString("清除开机画面失败"));
    }

    void pictureFileIsKeptForTheLifeOfTheWindow()
    {
        WindowFixture f;
        auto &w = f.w();
        f.link->clearCalls();
        w.setStatusText("old");
        w.DOWNLOG->click();  // cancelled on first use
        QCOMPARE(f.op.fileDialogs, QList<QString>{"FileOpen|文本文件|*.txt"});
        QCOMPARE(f.link->count("SendPictureMach"), 0);
        QCOMPARE(w.statusText(), QString("old"));

        f.op.files.enqueue(QString("/tmp/logo one.txt"));
        w.TxtAddress->setText("18");
        w.DOWNLOG->click();
        QCOMPARE(f.link->count("SendPictureMach"), 1);
        QCOMPARE(f.link->callsOf("SendPictureMach").last().arg(1).toString(), QString("18"));
        QCOMPARE(f.link->callsOf("SendPictureMach").last().arg(2).toString(), QString("/tmp/logo one.txt"));
        QCOMPARE(w.statusText(), QString("下传图片成功!"));

        f.link->script("SendPictureMach", QVariant());  // null counts as false
        w.DOWNLOG->click();                             // cancelled after a choice: the earlier file again
        QCOMPARE(f.link->count("SendPictureMach"), 2);
        QCOMPARE(f.link->callsOf("SendPictureMach").last().arg(2).toString(), QString("/tmp/logo one.txt"));
        QCOMPARE(w.statusText(), QString("下传图片失败!"));

        f.op.files.enqueue(QString("a.txt"));  // 5 characters: too short to be a path
        w.DOWNLOG->click();
        QCOMPARE(f.link->count("SendPictureMach"), 2);
    }

    void shortMessagePanel()
    {
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(!w.Picture3->isVisible());
        w.cmdSendMsg->click();
        QVERIFY(w.Picture3->isVisible());
        w.setStatusText("old");
        w.Command27->click();
        QVERIFY(!w.Picture3->isVisible());
        QCOMPARE(f.link->count("SendShortMsg"), 0);
        QCOMPARE(w.statusText(), QString("old"));

        w.cmdSendMsg->click();
        w.Command26->click();  // empty texts are sent as they are
        auto call = f.link->callsOf("SendShortMsg").last();
        QCOMPARE(call.arg(2).toString(), QString());
        QCOMPARE(call.arg(3).toString(), QString());
        QCOMPARE(w.statusText(), QString(" 发送短信成功!"));
        QVERIFY(!w.Picture3->isVisible());

        w.cmdSendMsg->click();
        w.TxtMsg->setText("今天下午开会");
        w.Text6->setText("5");
        f.link->script("SendShortMsg", QVariant());
        w.Command26->click();
        call = f.link->callsOf("SendShortMsg").last();
        QCOMPARE(call.arg(2).toString(), QString("5"));
        QCOMPARE(call.arg(3).toString(), QString("今天下午开会"));
        QCOMPARE(w.statusText(), QString("发送短信失败!"));
        QVERIFY(!w.Picture3->isVisible());
        QCOMPARE(w.TxtMsg->text(), QString("今天下午开会"));

        w.cmdSendMsg->click();
        f.link->scriptError("SendShortMsg", 8002, "端口未打开");
        w.Command26->click();
        QCOMPARE(f.op.boxes.last().text, QString("8002:端口未打开"));
        QVERIFY(!w.Picture3->isVisible());
    }

    void voicePromptSentAsTyped()
    {
        WindowFixture f;
        auto &w = f.w();
        for (const char *number : {"2", "9"}) {
            w.SoundNum->setText(number);
            w.cmdGetSounds->click();
            QCOMPARE(f.link->callsOf("GetSounds").last().arg(2).toString(), QString(number));
            QCOMPARE(w.statusText(), QString("语音发送成功！"));
        }
        f.link->script("GetSounds", false);
        w.cmdGetSounds->click();
        QCOMPARE(w.statusText(), QString("语音发送失败！"));
    }
};

QTEST_MAIN(ConfigDisplay)
#include "config_display.moc"
