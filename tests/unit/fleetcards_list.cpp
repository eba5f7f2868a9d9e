// The list of cards and the plan made from it: every card notation read into one number, byte-order
// mark and line ends of every kind, groups from the fleet file, every mistake named with its file and
// line, and the plan's counts against a terminal's roster.
#include "common/TextCodec.h"
#include "fleetcards/CardList.h"
#include "fleetcards/RosterPlan.h"
#include "sync/FleetFile.h"

#include <QTest>

namespace {

const QByteArray GoodList = "card,job_number,name,groups\n"
                            "0079A785,00000012,王芳,office\n"
                            "0007967109, 00000013 ,\"Li, Ming\",plant; office\n"
                            "12:34567,A-7,张伟,\n"
                            "00ffffff,99,\"Say \"\"hi\"\"\",\n"
                            "\n";

QList<FleetTerminal> fleetOf(const QByteArray &text)
{
    QString error;
    const auto fleet = FleetFile::parse(text, QStringLiteral("site.ini"), error);
    if (!fleet) qWarning("%s", qPrintable(error));
    return fleet.value_or(QList<FleetTerminal>());
}

}  // namespace

class FleetCardsList : public QObject {
    Q_OBJECT

private slots:
    void readsEveryNotationAndLineEnd()
    {
        QStringList errors;
        const auto lf = CardList::parse(GoodList, QStringLiteral("cards.csv"), errors);
        QVERIFY2(lf, qPrintable(errors.join(u'\n')));
        QByteArray crlf = "\xEF\xBB\xBF" + GoodList;
        crlf.replace("\n", "\r\n");
        const auto bom = CardList::parse(crlf, QStringLiteral("cards.csv"), errors);
        QVERIFY2(bom, qPrintable(errors.join(u'\n')));
        for (const auto &list : {*lf, *bom}) {
            QCOMPARE(list.size(), 4);
            QCOMPARE(list[0].card, 0x0079A785u);
            QCOMPARE(list[0].name, TextCodec::encode(QStringLiteral("王芳")));
            QCOMPARE(list[0].groups, QStringList{QStringLiteral("office")});
            QCOMPARE(list[0].line, 2);
            QCOMPARE(list[1].card, 7967109u);
            QCOMPARE(list[1].jobNo, QByteArray("00000013"));
            QCOMPARE(list[1].name, QByteArray("Li, Ming"));
            QCOMPARE(list[1].groups, (QStringList{QStringLiteral("plant"), QStringLiteral("office")}));
            QCOMPARE(list[2].card, (12u << 16) + 34567u);  // Wiegand-26
            QVERIFY(list[2].groups.isEmpty());
            QCOMPARE(list[3].card, 0x00FFFFFFu);
            QCOMPARE(list[3].name, QByteArray("Say \"hi\""));
        }
        // The columns in another order, without groups.
        const auto reordered =
            CardList::parse("name,card,job_number\r\n王芳,0079A785,12\r\n", QStringLiteral("b.csv"), errors);
        QVERIFY(reordered && reordered->at(0).card == 0x0079A785u && reordered->at(0).jobNo == "12");
    }

    void namesEveryMistakeWithItsLine()
    {
        const QByteArray bad = "card,job_number,name\n"
                               "0079A785,1,王芳\n"
                               "0007972741,1,李四\n"               // the same card in decimal, another name
                               "0079A785,1,王芳\n"                 // the same card again
                               "123456789,1,x\n"                   // nine digits
                               "256:1,1,x\n"                       // facility beyond 8 bits
                               "1:65536,1,x\n"                     // number beyond 16 bits
                               "00000001,123456789,x\n"            // job number too long
                               "00000002,1\\,2,x\n"                // a comma: three fields become four
                               "00000003,1,一二三四五六七八九\n"   // 18 bytes of GB18030
                               "00000004,1,evil\xE2\x80\xAEtxt\n"  // a right-to-left override
                               "\"00000005,1,x\n";                 // a quote left open
        QStringList errors;
        QVERIFY(!CardList::parse(bad, QStringLiteral("bad.csv"), errors));
        const QStringList expected = {
            QStringLiteral(
                "bad.csv:3: card 0079A785 is listed again with another name or job number (first at line 2)"),
            QStringLiteral("bad.csv:4: card 0079A785 is listed twice (first at line 2)"),
            QStringLiteral("bad.csv:5: the card \"123456789\" is not 8 hexadecimal digits"),
            QStringLiteral("bad.csv:6: the Wiegand-26 card \"256:1\""),
            QStringLiteral("bad.csv:7: the Wiegand-26 card \"1:65536\""),
            QStringLiteral("bad.csv:8: the job number \"123456789\""),
            QStringLiteral("bad.csv:9: 4 fields where the header has 3"),
            QStringLiteral(
                "bad.csv:10: the name \"一二三四五六七八九\" takes 18 bytes in GB18030; a terminal holds 16"),
            QStringLiteral("bad.csv:11: the name"),
            QStringLiteral("bad.csv:12: a quoted field is not closed"),
        };
        QCOMPARE(errors.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) QVERIFY2(errors[i].startsWith(expected[i]), qPrintable(errors[i]));

        for (const auto &[content, message] : std::initializer_list<std::pair<QByteArray, QString>>{
                 {"card,job,name\n", QStringLiteral("x.csv:1: unknown column \"job\"")},
                 {"card,name\n", QStringLiteral("x.csv:1: the header has no job_number column")},
                 {"", QStringLiteral("x.csv: the list is empty")},
                 {"card,job_number,name\n\xFF\n", QStringLiteral("x.csv: not UTF-8 text")}}) {
            errors.clear();
            QVERIFY(!CardList::parse(content, QStringLiteral("x.csv"), errors));
            QVERIFY2(errors.value(0).startsWith(message), qPrintable(errors.value(0)));
        }
    }

    void groupsChooseTheTerminals()
    {
        const QList<FleetTerminal> fleet = fleetOf("[front]\nline = tcp:h:1\naddress = 1\ngroups = office, lobby\n"
                                                   "[plant]\nline = tcp:h:2\naddress = 1\ngroups=plant\n"
                                                   "[gate]\nline = tcp:h:3\naddress = 1\n");
        QCOMPARE(fleet.size(), 3);
        QCOMPARE(fleet[0].groups, (QStringList{QStringLiteral("office"), QStringLiteral("lobby")}));
        QStringList errors;
        const auto list = CardList::parse(GoodList, QStringLiteral("cards.csv"), errors);
        QVERIFY(list);
        QVERIFY(CardList::checkGroups(*list, fleet, QStringLiteral("cards.csv"), errors));
        auto to = [&](const FleetTerminal &t) {
            QList<uint32_t> cards;
            for (const ListedCard &c : *list)
                if (CardList::goesTo(c, t)) cards << c.card;
            return cards;
        };
        QCOMPARE(to(fleet[0]), (QList<uint32_t>{0x0079A785u, 7967109u, (12u << 16) + 34567u, 0x00FFFFFFu}));
        QCOMPARE(to(fleet[1]), (QList<uint32_t>{7967109u, (12u << 16) + 34567u, 0x00FFFFFFu}));
        QCOMPARE(to(fleet[2]), (QList<uint32_t>{(12u << 16) + 34567u, 0x00FFFFFFu}));

        const auto unknown = CardList::parse("card,job_number,name,groups\n00000001,1,a,office;annex\n",
                                             QStringLiteral("u.csv"), errors);
        QVERIFY(unknown);
        QVERIFY(!CardList::checkGroups(*unknown, fleet, QStringLiteral("u.csv"), errors));
        QCOMPARE(errors, QStringList{QStringLiteral("u.csv:2: no terminal of the fleet has the group \"annex\"")});

        QString error;
        QVERIFY(!FleetFile::parse("[a]\nline = tcp:h:1\naddress = 1\ngroups = a,,b\n", QStringLiteral("f.ini"), error));
        QVERIFY2(error.startsWith(QStringLiteral("f.ini:4: groups must be names")), qPrintable(error));
    }

    void plansOnlyTheDifference()
    {
        QStringList errors;
        const auto list = CardList::parse(GoodList, QStringLiteral("cards.csv"), errors);
        QVERIFY(list);
        const FleetTerminal gate = fleetOf("[gate]\nline = tcp:h:3\naddress = 1\n").value(0);
        // The terminal holds one listed card as listed, one with another name, and one unlisted card.
        const std::vector<PackedRosterEntry> held = {
            {0x00FFFFFFu, "99", "Say \"hi\""}, {(12u << 16) + 34567u, "A-7", "Zhang"}, {0x12345678u, "5", "gone"}};
        const RosterPlan keepUnlisted = RosterPlan::make(*list, gate, held, false);
        QCOMPARE(keepUnlisted.add.size(), size_t(0));
        QCOMPARE(keepUnlisted.change.size(), size_t(1));
        QCOMPARE(keepUnlisted.change[0].name, TextCodec::encode(QStringLiteral("张伟")));
        QCOMPARE(keepUnlisted.changeLines, std::vector<int>{4});
        QCOMPARE(keepUnlisted.keep, qint64(1));
        QVERIFY(keepUnlisted.remove.empty());
        const RosterPlan removing = RosterPlan::make(*list, gate, held, true);
        QCOMPARE(removing.remove.size(), size_t(1));
        QCOMPARE(removing.remove[0].card, 0x12345678u);
        const RosterPlan empty = RosterPlan::make(*list, gate, {}, true);
        QCOMPARE(empty.add.size(), size_t(2));
        QVERIFY(!empty.empty() && RosterPlan::make(*list, gate, {}, true).remove.empty());
    }
};

QTEST_GUILESS_MAIN(FleetCardsList)
#include "fleetcards_list.moc"
