// Start-up and the two shut-down paths across runs: first-run defaults, what the close box saves and
// the next start restores, what the Exit button leaves behind, and start-up on a failing device link.
#include "app/SettingsStore.h"
#include "app/SysProfile.h"
#include "common/TextCodec.h"
#include "support/WindowFixture.h"
#include "ui/LinkCallRunner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

// A later run of the program on the application folder and the settings of an earlier one.
struct NextRun {
    explicit NextRun(const QString &appFolder)
    {
        DeviceLinkFactory factory;
        factory.registerComponent(DeviceLinkFactory::ProgId, [this] {
            auto fake = std::make_unique<FakeDeviceLink>();
            link = fake.get();
            return fake;
        });
        console = std::make_unique<Console>(factory, op, appFolder, std::make_unique<DirectLinkCallRunner>());
        console->setExitHandler([] {});
        console->load();
    }
    FrmZevo &w() { return console->window(); }

    ScriptedOperator op;
    FakeDeviceLink *link = nullptr;
    std::unique_ptr<Console> console;
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class SpineStartup : public QObject {
    Q_OBJECT
private slots:
    void firstRun_data()
    {
        QTest::addColumn<QVariant>("setPort");
        QTest::addColumn<bool>("pressed");
        QTest::addColumn<int>("image");
        QTest::newRow("port usable") << QVariant(true) << true << 1;
        QTest::newRow("port not usable") << QVariant(false) << false << 3;
        QTest::newRow("no answer") << QVariant() << false << 3;
    }
    void firstRun()
    {
        QFETCH(QVariant, setPort);
        QFETCH(bool, pressed);
        QFETCH(int, image);
        WindowFixture f(false);
        FakeDeviceLink::Answer a;
        a.result = setPort;
        f.link->script("SetPort", a);
        f.link->script("Ver", QVariant(QString("V7.6.8 test")));
        f.load();
        auto &w = f.w();
        QCOMPARE(w.txtIP->text(), QString("192.168.1.226"));
        QCOMPARE(w.txtTcpPort->text(), QString("1001"));
        QCOMPARE(w.TxtAddress->text(), QString("18"));

        // SetPort gets the saved port as text, before Ver; Mode is left alone.
        QStringList order;
        for (const auto &c : f.link->calls) order << c.op;
        QCOMPARE(order, QStringList({"SetPort", "Ver"}));
        const QVariant port = f.link->calls[0].arg(1);
        QCOMPARE(port.metaType().id(), QMetaType::QString);
        QCOMPARE(port.toString(), QString("2"));

        QCOMPARE(w.comButtonPressed(2), pressed);
        QCOMPARE(w.comButtonImage(2), image);
        for (int i : {1, 3, 4, 5, 6, 7, 8}) {
            QVERIFY(!w.comButtonPressed(i));
            QCOMPARE(w.comButtonImage(i), 2);
        }
        QCOMPARE(w.statusText(), QString());
        QVERIFY(f.op.boxes.isEmpty());

        QVERIFY(!w.IsCheck->isChecked());
        QVERIFY(!w.YearCheck->isChecked());
        for (auto *box : w.TxtF) QCOMPARE(box->text(), QString());
        QCOMPARE(w.lbl_DllVer->text(), QString("V7.6.8 test"));
        QCOMPARE(w.cmbStorageModel->count(), 2);
        QCOMPARE(w.cmbStorageModel->itemText(0), QString("实时"));
        QCOMPARE(w.cmbStorageModel->itemText(1), QString("脱机"));
        QCOMPARE(w.cmbStorageModel->currentText(), QString("实时"));
        QCOMPARE(w.Picture3->x(), 109);  // 1635 twips inside Frame2
        QVERIFY(!w.Picture3->isVisibleTo(&w));
        QVERIFY(w.optCom->isChecked());
        QVERIFY(!w.txtIP->isEnabled());
        QVERIFY(!w.TimerState->isActive());
        // Reading settings creates nothing.
        QVERIFY(!QFile::exists(f.appFile("Public.Sys")));
        QVERIFY(!f.console->settings().contains("Com"));
    }

    // The close box saves Com = "1", the address, IP, port and Public.Sys; the next start shows them.
    void closeSavesAndNextStartRestores()
    {
        WindowFixture f;
        auto &w = f.w();
        w.comButtons[6]->click();
        w.TxtAddress->setText("7");
        w.txtIP->setText("10.0.0.9");
        w.txtTcpPort->setText("5005");
        w.IsCheck->setChecked(true);
        w.YearCheck->setChecked(false);
        w.TxtF[0]->setText(" ");
        w.TxtF[3]->setText("--");
        w.TxtF[8]->setText("年");
        QVERIFY(w.close());

        const QByteArray sys = fileBytes(f.appFile("Public.Sys"));
        QVERIFY(sys.startsWith("[730KZevo]\r\n"));
        QVERIFY(sys.contains("\r\nIsCheck=1\r\n"));
        QVERIFY(sys.contains("\r\nYearCheck=0\r\n"));
        QVERIFY(sys.contains("\r\nTxtF0={ }\r\n"));
        QVERIFY(sys.contains("\r\nTxtF1={}\r\n"));
        QVERIFY(sys.contains("\r\nTxtF3={--}\r\n"));
        QVERIFY(sys.contains("\r\nTxtF8={" + TextCodec::encode("年") + "}\r\n"));
        QVERIFY(sys.contains("\xc4\xea"));  // 年 in GB18030, not UTF-8

        NextRun next(f.appFolder());
        QCOMPARE(next.link->calls[0].arg(1).toString(), QString("1"));
        QCOMPARE(next.w().comButtonImage(1), 1);
        QVERIFY(next.w().comButtonPressed(1));
        QCOMPARE(next.w().comButtonImage(6), 2);
        QCOMPARE(next.w().TxtAddress->text(), QString("7"));
        QCOMPARE(next.w().txtIP->text(), QString("10.0.0.9"));
        QCOMPARE(next.w().txtTcpPort->text(), QString("5005"));
        QVERIFY(next.w().IsCheck->isChecked());
        QVERIFY(!next.w().YearCheck->isChecked());
        QCOMPARE(next.w().TxtF[0]->text(), QString(" "));
        QCOMPARE(next.w().TxtF[1]->text(), QString());
        QCOMPARE(next.w().TxtF[3]->text(), QString("--"));
        QCOMPARE(next.w().TxtF[8]->text(), QString("年"));
    }

    // Texts that a settings file could take for something else come back as typed; an empty one stays
    // empty instead of falling back to the default.
    void settingsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("comma") << "1,2";
        QTest::newRow("blanks") << "  9 ";
        QTest::newRow("at sign") << "@Variant(x)";
        QTest::newRow("quotes and semicolon") << "\"a\";b";
        QTest::newRow("chinese") << "考勤";
        QTest::newRow("backslash") << "a\\b";
        QTest::newRow("equals and brackets") << "[x]=y";
    }
    void settingsRoundTrip()
    {
        QFETCH(QString, text);
        WindowFixture f;
        f.w().TxtAddress->setText(text.left(3));
        f.w().txtIP->setText(text);
        f.w().txtTcpPort->setText(text);
        f.w().close();
        NextRun next(f.appFolder());
        QCOMPARE(next.w().TxtAddress->text(), text.left(3));
        QCOMPARE(next.w().txtIP->text(), text);
        QCOMPARE(next.w().txtTcpPort->text(), text);
    }

    // Exit saves nothing: the next start selects the port of the last toolbar click and shows the address
    // of that click; IP, port, options and separators are those of the last close.
    void exitSavesNothing()
    {
        QString folder;
        WindowFixture f;
        folder = f.appFolder();
        f.w().txtIP->setText("10.1.1.1");
        f.w().txtTcpPort->setText("4000");
        f.w().YearCheck->setChecked(true);
        f.w().TxtF[2]->setText("/");
        f.w().close();
        {
            NextRun second(folder);
            auto &w = second.w();
            w.TxtAddress->setText("77");
            w.comButtons[4]->click();
            w.TxtAddress->setText("99");
            w.txtIP->setText("10.2.2.2");
            w.txtTcpPort->setText("6000");
            w.YearCheck->setChecked(false);
            w.TxtF[2]->setText(":");
            const QByteArray sysBefore = fileBytes(f.appFile("Public.Sys"));
            w.Cmd_Exit->click();
            QVERIFY(second.console->exited());
            QVERIFY(second.console->linkReleased());
            QVERIFY(!w.isVisible());
            QVERIFY(!w.TimerState->isActive());
            w.close();  // whatever follows, nothing more is saved
            QCOMPARE(fileBytes(f.appFile("Public.Sys")), sysBefore);
        }
        NextRun third(folder);
        QCOMPARE(third.link->calls[0].arg(1).toString(), QString("4"));
        QCOMPARE(third.w().TxtAddress->text(), QString("77"));
        QCOMPARE(third.w().txtIP->text(), QString("10.1.1.1"));
        QCOMPARE(third.w().txtTcpPort->text(), QString("4000"));
        QVERIFY(third.w().YearCheck->isChecked());
        QCOMPARE(third.w().TxtF[2]->text(), QString("/"));
    }

    void exitOnFirstRunLeavesNoFiles()
    {
        WindowFixture f;
        f.w().Cmd_Exit->click();
        QVERIFY(!QFile::exists(f.appFile("Public.Sys")));
        QVERIFY(!f.console->settings().contains("KqIP"));
        QVERIFY(!f.console->settings().contains("Com"));
    }

    void profileFollowsTheApplicationFolderNotTheCurrentOne()
    {
        QTemporaryDir elsewhere;
        const QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        WindowFixture f;
        f.w().TxtF[1]->setText("-");
        f.w().close();
        QDir::setCurrent(before);
        QVERIFY(QFile::exists(f.appFile("Public.Sys")));
        QVERIFY(!QFile::exists(elsewhere.filePath("Public.Sys")));
    }

    // An application folder that cannot be written is named in the status text at start-up.
    void unwritableFolderIsSaid()
    {
        WindowFixture f(false);
        QVERIFY(QDir(f.appFolder()).removeRecursively());
        f.load();
        QCOMPARE(f.w().statusText(), "无法写入文件夹，记录文件和设置不能保存：" + f.appFolder());
    }

    // Both said when the start also failed: the link's error first, the folder after it.
    void unwritableFolderAfterAStartError()
    {
        WindowFixture f(false);
        QVERIFY(QDir(f.appFolder()).removeRecursively());
        f.link->scriptError("Ver", 5, "端口不存在");
        f.load();
        QCOMPARE(f.w().statusText(), "5:端口不存在  无法写入文件夹，记录文件和设置不能保存：" + f.appFolder());
    }

    // Hand-edited or damaged stores: the program keeps running and leaves the controls at design state.
    void malformedStoredValues_data()
    {
        QTest::addColumn<QString>("com");
        QTest::addColumn<QByteArray>("sys");
        QTest::addColumn<int>("marked");  // the toolbar button start-up marks, 0 for none
        QTest::newRow("port 9") << "9" << QByteArray() << 0;
        QTest::newRow("port 0") << "0" << QByteArray() << 0;
        QTest::newRow("port text") << "abc" << QByteArray() << 0;
        QTest::newRow("port with blanks") << " 3" << QByteArray() << 3;
        QTest::newRow("check 2") << "2" << QByteArray("[730KZevo]\r\nIsCheck=2\r\nYearCheck=x\r\n") << 2;
        QTest::newRow("check huge") << "2" << QByteArray("[730KZevo]\r\nIsCheck=99999999\r\n") << 2;
        QTest::newRow("separator too short") << "2" << QByteArray("[730KZevo]\r\nTxtF0=x\r\nTxtF1={\r\n") << 2;
        QTest::newRow("binary junk") << "2"
                                     << (QByteArray("\xff\xfe") + QByteArray(1, '\0') + "[730KZevo\r\n=\r\n\x81\r\n")
                                     << 2;
    }
    void malformedStoredValues()
    {
        QFETCH(QString, com);
        QFETCH(QByteArray, sys);
        QFETCH(int, marked);
        WindowFixture f(false);
        f.console->settings().write("Com", com);
        if (!sys.isEmpty()) {
            QFile file(f.appFile("Public.Sys"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(sys);
        }
        f.load();
        auto &w = f.w();
        QCOMPARE(f.link->calls[0].arg(1).toString(), com);
        for (int i = 1; i <= 8; ++i) QCOMPARE(w.comButtonImage(i), i == marked ? 1 : 2);
        QVERIFY(!w.IsCheck->isChecked());
        QVERIFY(!w.YearCheck->isChecked());
        QCOMPARE(w.TxtF[0]->text(), QString());
        QCOMPARE(w.TxtF[1]->text(), QString());
        QCOMPARE(w.cmbStorageModel->count(), 2);
    }

    // An error raised by the device link during start-up leaves a usable window; the steps after it run.
    void startUpSurvivesLinkErrors_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("SetPort") << "SetPort";
        QTest::newRow("Ver") << "Ver";
    }
    void startUpSurvivesLinkErrors()
    {
        QFETCH(QString, failing);
        WindowFixture f(false);
        f.link->scriptError(failing, 5, "端口不存在");
        f.load();
        auto &w = f.w();
        QCOMPARE(w.cmbStorageModel->count(), 2);
        QCOMPARE(w.Picture3->x(), 109);
        QCOMPARE(f.link->count("Ver"), 1);
        QCOMPARE(w.statusText(), QString("5:端口不存在"));
        if (failing == "SetPort") {
            QCOMPARE(w.comButtonImage(2), 3);
            QCOMPARE(w.lbl_DllVer->text(), QString("V7.6.8"));
        } else {
            QCOMPARE(w.comButtonImage(2), 1);
            QCOMPARE(w.lbl_DllVer->text(), QString());
        }
        w.comButtons[3]->click();  // and the toolbar still works
        QCOMPARE(w.comButtonImage(3), 1);
    }

    // ReadSys leaves a box alone when its separator is missing, empty or "{}".
    void readSysLeavesBoxesWithoutAValue()
    {
        WindowFixture f;
        auto &w = f.w();
        QFile file(f.appFile("Public.Sys"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[730KZevo]\r\nTxtF0={}\r\nTxtF1=\r\nTxtF2={{}}\r\nTxtF3={a=b}\r\n");
        file.close();
        for (auto *box : w.TxtF) box->setText("keep");
        SysProfile::ReadSys(w, f.appFolder());
        QCOMPARE(w.TxtF[0]->text(), QString("keep"));
        QCOMPARE(w.TxtF[1]->text(), QString("keep"));
        QCOMPARE(w.TxtF[2]->text(), QString("{}"));
        QCOMPARE(w.TxtF[3]->text(), QString("a=b"));
        QCOMPARE(w.TxtF[4]->text(), QString("keep"));
    }
};

QTEST_MAIN(SpineStartup)
#include "spine_startup.moc"
