// The profile-file routines on their own: one key read or written, everything else in the file kept
// byte for byte, sections and keys matched without regard to case, the file replaced atomically.
#include "app/ModZevo.h"
#include "common/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray bytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void put(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

}  // namespace

class SpineProfile : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString folder() const { return dir_.path(); }
    QString sys() const { return folder() + QStringLiteral("/Public.Sys"); }

private slots:
    void cleanup()
    {
        // The folder gets its write permission back first: without it the file cannot be removed.
        QFile(folder()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::remove(sys());
    }

    void readsWhatIsThere_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const QByteArray file = "; comment\r\n[Other]\r\nIsCheck=9\r\n[730KZevo]\r\nIsCheck=1\r\n  TxtF0 = {-} \r\n"
                                "Empty=\r\nTxtF1={a=b}\r\n[730KZevo]\r\nYearCheck=1\r\n";
        QTest::newRow("plain") << file << "730KZevo"
                               << "IsCheck"
                               << "1";
        QTest::newRow("section other case") << file << "730kzevo"
                                            << "IsCheck"
                                            << "1";
        QTest::newRow("key other case") << file << "730KZevo"
                                        << "ISCHECK"
                                        << "1";
        QTest::newRow("blanks around key and value") << file << "730KZevo"
                                                     << "TxtF0"
                                                     << "{-}";
        QTest::newRow("equals in the value") << file << "730KZevo"
                                             << "TxtF1"
                                             << "{a=b}";
        QTest::newRow("other section") << file << "Other"
                                       << "IsCheck"
                                       << "9";
        QTest::newRow("empty value") << file << "730KZevo"
                                     << "Empty"
                                     << "";
        QTest::newRow("missing key") << file << "730KZevo"
                                     << "TxtF5"
                                     << "";
        QTest::newRow("missing section") << file << "Nowhere"
                                         << "IsCheck"
                                         << "";
        QTest::newRow("second copy of the section is not read") << file << "730KZevo"
                                                                << "YearCheck"
                                                                << "";
        QTest::newRow("comment is not a key") << file << "730KZevo"
                                              << "; comment"
                                              << "";
        QTest::newRow("LF lines") << QByteArray("[S]\nk=v\n") << "S"
                                  << "k"
                                  << "v";
        QTest::newRow("CR-only lines") << QByteArray("[T]\rk=w\r[S]\rk=v\r") << "S"
                                       << "k"
                                       << "v";
        QTest::newRow("no final line end") << QByteArray("[S]\r\nk=v") << "S"
                                           << "k"
                                           << "v";
        QTest::newRow("GB18030") << ("[S]\r\nk={" + TextCodec::encode("年月日") + "}\r\n") << "S"
                                 << "k"
                                 << "{年月日}";
        QTest::newRow("NUL in value") << QByteArray("[S]\r\nk=ab\0cd\r\n", 14) << "S"
                                      << "k"
                                      << "ab";
    }
    void readsWhatIsThere()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        put(sys(), content);
        QCOMPARE(ModZevo::ReadIniValue(section, key, QString(), folder()), value);
        QCOMPARE(ModZevo::ReadIniValue(section, key, sys(), QStringLiteral("/nonexistent")), value);
    }

    void missingFileReadsEmpty()
    {
        QCOMPARE(ModZevo::ReadIniValue("730KZevo", "IsCheck", QString(), folder()), QString());
        QVERIFY(!QFile::exists(sys()));
    }

    void longValuesAreCutToTheBuffer()
    {
        put(sys(), "[S]\r\nk=" + QByteArray(2500, 'x') + "\r\n");
        QCOMPARE(ModZevo::ReadIniValue("S", "k", QString(), folder()).size(), 1999);
    }

    void firstWriteCreatesFileAndSection()
    {
        ModZevo::WriteIniValue("730KZevo", "IsCheck", "1", QString(), folder());
        QCOMPARE(bytes(sys()), QByteArray("[730KZevo]\r\nIsCheck=1\r\n"));
        ModZevo::WriteIniValue("730KZevo", "TxtF0", "{ }", QString(), folder());
        QCOMPARE(bytes(sys()), QByteArray("[730KZevo]\r\nIsCheck=1\r\nTxtF0={ }\r\n"));
        ModZevo::WriteIniValue("730KZevo", "IsCheck", "0", QString(), folder());
        QCOMPARE(bytes(sys()), QByteArray("[730KZevo]\r\nIsCheck=0\r\nTxtF0={ }\r\n"));
    }

    // Comments, other sections, blank lines and bytes that are not text survive; a new key goes to the end
    // of its own section, an existing one is replaced where it stands whatever its case.
    void writeKeepsEverythingElse_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("after");
        const QByteArray head = "; kept\r\n[First]\r\nIsCheck=5\r\n\r\n";
        const QByteArray tail = "\r\n[Last]\r\nodd \xff\x80 bytes\r\n";
        QTest::newRow("replace in place") << head + "[730kzevo]\r\nISCHECK=0\r\nTxtF0={}\r\n" + tail << "IsCheck"
                                          << head + "[730kzevo]\r\nIsCheck=1\r\nTxtF0={}\r\n" + tail;
        QTest::newRow("add at the end of the section") << head + "[730KZevo]\r\nTxtF0={}\r\n" + tail << "YearCheck"
                                                       << head + "[730KZevo]\r\nTxtF0={}\r\nYearCheck=1\r\n" + tail;
        QTest::newRow("add to an empty section") << QByteArray("[730KZevo]\r\n[Last]\r\nx=1\r\n") << "IsCheck"
                                                 << QByteArray("[730KZevo]\r\nIsCheck=1\r\n[Last]\r\nx=1\r\n");
        QTest::newRow("new section at the end")
            << head + tail << "IsCheck" << head + tail + "[730KZevo]\r\nIsCheck=1\r\n";
        QTest::newRow("LF file stays LF") << QByteArray("[730KZevo]\nIsCheck=0\n[B]\nk=v\n") << "IsCheck"
                                          << QByteArray("[730KZevo]\nIsCheck=1\n[B]\nk=v\n");
        QTest::newRow("no final line end")
            << QByteArray("[A]\r\nk=v") << "IsCheck" << QByteArray("[A]\r\nk=v\r\n[730KZevo]\r\nIsCheck=1\r\n");
        QTest::newRow("only the first copy of the section")
            << QByteArray("[730KZevo]\r\na=1\r\n[730KZevo]\r\nIsCheck=0\r\n") << "IsCheck"
            << QByteArray("[730KZevo]\r\na=1\r\nIsCheck=1\r\n[730KZevo]\r\nIsCheck=0\r\n");
    }
    void writeKeepsEverythingElse()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QByteArray, after);
        put(sys(), before);
        ModZevo::WriteIniValue("730KZevo", key, "1", QString(), folder());
        QCOMPARE(bytes(sys()), after);
    }

    void valuesRoundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("blank in braces") << "{ }";
        QTest::newRow("blanks inside") << "{  a  }";
        QTest::newRow("chinese") << "{机号：}";
        QTest::newRow("equals and brackets") << "{=[x]=}";
        QTest::newRow("semicolon") << "{;}";
        QTest::newRow("empty") << "";
    }
    void valuesRoundTrip()
    {
        QFETCH(QString, value);
        ModZevo::WriteIniValue("730KZevo", "TxtF4", value, QString(), folder());
        ModZevo::WriteIniValue("730KZevo", "TxtF5", "{x}", QString(), folder());
        QCOMPARE(ModZevo::ReadIniValue("730KZevo", "TxtF4", QString(), folder()), value);
        QCOMPARE(ModZevo::ReadIniValue("730KZevo", "TxtF5", QString(), folder()), QString("{x}"));
        if (value.contains(QChar(0x673A))) QVERIFY(bytes(sys()).contains(TextCodec::encode(value)));
    }

    // The file is replaced in one step: no stray temporary file, and a folder that cannot be written leaves
    // the old file as it was, silently.
    void writesAreAtomicAndSilentOnFailure()
    {
        put(sys(), "[730KZevo]\r\nIsCheck=0\r\n");
        ModZevo::WriteIniValue("730KZevo", "IsCheck", "1", QString(), folder());
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList({"Public.Sys"}));

        QFile(folder()).setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        if (QFileInfo(folder()).isWritable()) QSKIP("running with rights that ignore folder permissions");
        ModZevo::WriteIniValue("730KZevo", "IsCheck", "0", QString(), folder());
        QCOMPARE(bytes(sys()), QByteArray("[730KZevo]\r\nIsCheck=1\r\n"));
    }

    void writeOverSomethingThatIsNotAFileIsSilent()
    {
        QVERIFY(QDir(folder()).mkdir("Public.Sys"));
        ModZevo::WriteIniValue("730KZevo", "IsCheck", "1", QString(), folder());
        QCOMPARE(ModZevo::ReadIniValue("730KZevo", "IsCheck", QString(), folder()), QString());
        QVERIFY(QFileInfo(sys()).isDir());
        QCOMPARE(QDir(folder()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QDir(folder()).rmdir("Public.Sys");
    }

    void writeIntoAMissingFolderIsSilent()
    {
        ModZevo::WriteIniValue("730KZevo", "IsCheck", "1", QString(), folder() + "/missing/sub");
        QVERIFY(!QFile::exists(folder() + "/missing"));
    }
};

QTEST_MAIN(SpineProfile)
#include "spine_profile.moc"
