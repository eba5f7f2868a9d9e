// Text from a terminal, a file or the operator is shown as plain text everywhere: markup in a reply
// is shown as typed, never rendered, so it can neither load images nor pass for a result.
#include "app/DesktopOperator.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

class SpinePlainText : public QObject {
    Q_OBJECT
private slots:
    void everyLabelOfTheWindowIsPlainText()
    {
        WindowFixture f;
        QStringList rich;
        for (QLabel *l : f.w().findChildren<QLabel *>())
            if (l->textFormat() != Qt::PlainText) rich << l->objectName();
        QVERIFY2(rich.isEmpty(), qPrintable(rich.join(", ")));
    }

    void markupInRepliesIsShownAsTyped_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::newRow("heading") << "<h1>采集成功</h1>";
        QTest::newRow("huge image") << "<img src=\"nothere\" width=\"100000\" height=\"100000\">";
        QTest::newRow("entity") << "&lt;b&gt;";
    }
    void markupInRepliesIsShownAsTyped()
    {
        QFETCH(QString, reply);
        WindowFixture f;
        auto &w = f.w();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // 读参数 puts the terminal's text into the status bar; the version goes into lbl_DllVer.
        f.link->script("ReadSystemParameter", true, {{2, reply}});
        w.Command24->click();
        QCOMPARE(w.statusText(), "参数为：" + reply);
        w.lbl_DllVer->setText(reply);
        w.repaint();  // a label rendering markup would lay out and load the image here
        for (QLabel *shown : {w.statusLabel_, w.lbl_DllVer}) {
            QCOMPARE(shown->textFormat(), Qt::PlainText);
            QVERIFY(shown->sizeHint().height() < 100);
        }
    }

    // The desktop's message boxes: a reply or a file's content in a box is plain text too.
    void messageBoxesArePlainText()
    {
        DesktopOperator person;
        Qt::TextFormat format = Qt::RichText;
        QString shown;
        bool seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box) return;
            seen = true;
            format = box->textFormat();
            shown = box->text();
            box->accept();
        });
        poll.start(10);
        person.message("<h1>数据合法！</h1>", OperatorInterface::Buttons::Ok, OperatorInterface::Icon::None, QString());
        QVERIFY(seen);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(shown, QString("<h1>数据合法！</h1>"));
    }
};

QTEST_MAIN(SpinePlainText)
#include "spine_plain_text.moc"
