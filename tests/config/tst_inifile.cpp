#include "config/IniFile.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray lines(std::initializer_list<const char *> items)
{
    QByteArray out;
    for (const char *line : items)
        out += QByteArray(line) + "\r\n";
    return out;
}
} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT
private slots:
    // ---- structure of the file -------------------------------------------

    void garbageLinesAreSkippedAndTheRestStillReads()
    {
        const QByteArray content = lines({
            "[VOX_SVR]",
            "this line has no equals sign",
            "=value without a name",
            "   ",
            "[unterminated section",
            "]]]",
            "; host=commented",
            "host=10.1.2.3",
            "port = 7001",
        });
        const IniFile ini = IniFile::fromBytes(content);
        QCOMPARE(ini.readString("VOX_SVR", "host"), QStringLiteral("10.1.2.3"));
        QCOMPARE(ini.readString("VOX_SVR", "port"), QStringLiteral("7001"));
        QCOMPARE(ini.readSectionValues("VOX_SVR"),
                 (QStringList{"host=10.1.2.3", "port=7001"}));
        QCOMPARE(ini.sections(), QStringList{"VOX_SVR"});
    }

    void keysBeforeAnySectionBelongToNoSection()
    {
        const IniFile ini = IniFile::fromBytes(lines({"host=stray", "[VOX_SVR]", "port=1"}));
        QCOMPARE(ini.readString("VOX_SVR", "host", "none"), QStringLiteral("none"));
        QCOMPARE(ini.readString("", "host", "none"), QStringLiteral("none"));
        QCOMPARE(ini.readSectionValues("VOX_SVR"), QStringList{"port=1"});
    }

    void firstOfDuplicateSectionsAndKeysWins()
    {
        const IniFile ini = IniFile::fromBytes(lines({
            "[VOX_DATABASE]",
            "DSN_source=first",
            "dsn_SOURCE=second",
            "[vox_database]",
            "DSN_source=third",
            "DSN_user=onlyInSecondCopy",
        }));
        QCOMPARE(ini.readString("VOX_DATABASE", "DSN_source"), QStringLiteral("first"));
        // The second copy of the section is ignored as a whole.
        QCOMPARE(ini.readString("VOX_DATABASE", "DSN_user", "absent"), QStringLiteral("absent"));
        QCOMPARE(ini.readSectionValues("Vox_Database"), QStringList{"DSN_source=first"});
        QCOMPARE(ini.sections(), QStringList{"VOX_DATABASE"});
    }

    void sectionAndKeyNamesIgnoreLetterCase()
    {
        const IniFile ini = IniFile::fromBytes(lines({"[Vox_Database]", "dsn_source=ADMIN", "[vox_riskman]", "HOST=rm1"}));
        QCOMPARE(ini.readString("VOX_DATABASE", "DSN_source"), QStringLiteral("ADMIN"));
        QCOMPARE(ini.readString("VOX_RISKMAN", "host"), QStringLiteral("rm1"));
        QVERIFY(ini.sectionExists("VOX_RISKMAN"));
        QVERIFY(!ini.sectionExists("VOX_SVR"));
        QCOMPARE(valueFromList(ini.readSectionValues("VOX_RISKMAN"), "host"), QStringLiteral("rm1"));
        QCOMPARE(valueFromList(ini.readSectionValues("VOX_DATABASE"), "DSN_SOURCE"),
                 QStringLiteral("ADMIN"));
    }

    // ---- values ---------------------------------------------------------

    void valuesAreTrimmedButOtherwiseLiteral()
    {
        const IniFile ini = IniFile::fromBytes(
            "[ TAMSEL_PRINT ]\n"
            "  port  =  \t 7001 \t \r\n"
            "path=C:\\vox\\data\\n\\t\n"
            "labelcontent=Dear customer; keep this safe ; really\n"
            "expr=a=b=c\n"
            "inner=two  words\n");
        QCOMPARE(ini.readString("TAMSEL_PRINT", "port"), QStringLiteral("7001"));
        QCOMPARE(ini.readString("TAMSEL_PRINT", "path"), QStringLiteral("C:\\vox\\data\\n\\t"));
        QCOMPARE(ini.readString("TAMSEL_PRINT", "labelcontent"),
                 QStringLiteral("Dear customer; keep this safe ; really"));
        QCOMPARE(ini.readString("TAMSEL_PRINT", "expr"), QStringLiteral("a=b=c"));
        QCOMPARE(ini.readString("TAMSEL_PRINT", "inner"), QStringLiteral("two  words"));
        QCOMPARE(valueFromList(ini.readSectionValues("TAMSEL_PRINT"), "expr"), QStringLiteral("a=b=c"));
    }

    void enclosingQuotesKeptAroundAValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("value");
        QTest::newRow("double") << QByteArray("v=\"  spaced  \"") << "  spaced  ";
        QTest::newRow("single") << QByteArray("v= 'pass;word' ") << "pass;word";
        QTest::newRow("one pair only") << QByteArray("v=\"\"x\"\"") << "\"x\"";
        QTest::newRow("inner quotes") << QByteArray("v=\"a\" and \"b\"") << "a\" and \"b";
        QTest::newRow("mixed pair kept") << QByteArray("v=\"x'") << "\"x'";
        QTest::newRow("opening only") << QByteArray("v=\"x") << "\"x";
        QTest::newRow("closing only") << QByteArray("v=x'") << "x'";
        QTest::newRow("lone quote") << QByteArray("v=\"") << "\"";
        QTest::newRow("empty pair") << QByteArray("v=''") << "";
    }

    void enclosingQuotesKeptAroundAValue()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, value);
        const IniFile ini = IniFile::fromBytes("[S]\r\n" + line + "\r\n");
        QCOMPARE(ini.readString("S", "v"), value);
        // Both reading styles see the same value; an empty pair counts as
        // no value.
        QCOMPARE(valueFromList(ini.readSectionValues("S"), "v"), value);
        QCOMPARE(ini.readSectionValues("S").isEmpty(), value.isEmpty());
    }

    void bytesAboveSevenBitReadAsLatin1AndAreNeverTrimmed()
    {
        // 0xA0 and 0x85 are white space in Unicode but ordinary characters
        // of an 8-bit value; they must survive at either end of a value.
        QByteArray content = "[TAMSEL]\r\n";
        content += "name=\xC7" "a\xE9\xFF\r\n";
        content += "nbsp=\xA0x\xA0\r\n";
        content += "nel=\x85\r\n";
        content += "\xA0key\xA0=v\r\n";
        const IniFile ini = IniFile::fromBytes(content);
        QCOMPARE(ini.readString("TAMSEL", "name"), QString::fromLatin1("\xC7" "a\xE9\xFF"));
        QCOMPARE(ini.readString("TAMSEL", "nbsp"), QString::fromLatin1("\xA0x\xA0"));
        QCOMPARE(ini.readString("TAMSEL", "nel"), QString::fromLatin1("\x85"));
        QCOMPARE(ini.readString("TAMSEL", "key", "absent"), QStringLiteral("absent"));
        QCOMPARE(ini.readString("TAMSEL", QString::fromLatin1("\xA0key\xA0")), QStringLiteral("v"));
        QCOMPARE(ini.readSectionValues("TAMSEL").size(), 4);
    }

    void binaryBytesDoNotStopTheReader()
    {
        QByteArray content("[VOX_SVR]\r\n", 11);
        content += QByteArray("junk\0\x01\x02\x7f\xfe=\0\0\r\n", 14);
        content += QByteArray("\0\0\0\0\r\n", 6);
        content += QByteArray("host=a\0b\r\n", 10);
        content += "port=7001\r\n";
        const IniFile ini = IniFile::fromBytes(content);
        QCOMPARE(ini.readString("VOX_SVR", "port"), QStringLiteral("7001"));
        QCOMPARE(ini.readString("VOX_SVR", "host"), QString::fromLatin1("a\0b", 3));
    }

    void veryLongLinesAreReadWhole()
    {
        const QByteArray big(1 << 20, 'x');
        QByteArray content = "[TAMSEL]\r\n";
        content += "garbage" + big + "\r\n";
        content += "devicelist=" + big + "\r\n";
        content += "after=ok\r\n";
        const IniFile ini = IniFile::fromBytes(content);
        QCOMPARE(ini.readString("TAMSEL", "devicelist").size(), big.size());
        QCOMPARE(ini.readString("TAMSEL", "after"), QStringLiteral("ok"));
    }

    void lineEndingsOfEveryKindAreAccepted()
    {
        const IniFile ini = IniFile::fromBytes("[A]\nx=1\r\ny=2\n\r\nz=3");
        QCOMPARE(ini.readSectionValues("A"), (QStringList{"x=1", "y=2", "z=3"}));
    }

    // ---- the two reading styles -----------------------------------------

    void emptyValuesAreLeftOutOfASectionReadOnly()
    {
        const IniFile ini = IniFile::fromBytes(lines({
            "[VOX_DATABASE]",
            "DSN_source=VOXDB",
            "DSN_user=",
            "DSN_password=   ",
            "[VOX_RISKMAN]",
            "host=",
            "port=",
        }));
        QCOMPARE(ini.readSectionValues("VOX_DATABASE"), QStringList{"DSN_source=VOXDB"});
        QCOMPARE(valueFromList(ini.readSectionValues("VOX_DATABASE"), "DSN_user"), QString());
        // A key read of a present but empty key gives the empty text, not
        // the default.
        QCOMPARE(ini.readString("VOX_DATABASE", "DSN_user", "dflt"), QString());
        QCOMPARE(ini.readString("VOX_DATABASE", "DSN_password", "dflt"), QString());
        QCOMPARE(ini.readString("VOX_DATABASE", "missing", "dflt"), QStringLiteral("dflt"));
        // A section whose keys are all empty reads like an absent one.
        QVERIFY(ini.sectionExists("VOX_RISKMAN"));
        QVERIFY(ini.readSectionValues("VOX_RISKMAN").isEmpty());
        QVERIFY(ini.readSectionValues("VOX_SVR").isEmpty());
        QCOMPARE(ini.readString("TAMSEL_PRINT", "height", "11"), QStringLiteral("11"));
    }

    // ---- files ----------------------------------------------------------

    void aFileOnDiskIsReadAndAMissingOneReadsAsEmpty()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath("vox.ini");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(lines({"[TAMSEL]", "devicelist=Phone,Kiosk"}));
        }
        const IniFile present(path);
        QCOMPARE(present.fileName(), path);
        QCOMPARE(present.readString("TAMSEL", "devicelist"), QStringLiteral("Phone,Kiosk"));

        const IniFile missing(dir.filePath("nothere.ini"));
        QVERIFY(missing.sections().isEmpty());
        QCOMPARE(missing.readString("TAMSEL_PRINT", "fontsize", "10"), QStringLiteral("10"));
        QVERIFY(missing.readSectionValues("VOX_DATABASE").isEmpty());

        // A directory in place of the file reads as empty too.
        const IniFile directory(dir.path());
        QVERIFY(directory.sections().isEmpty());
    }
};

VOX_TEST_MAIN(TestIniFile)
#include "tst_inifile.moc"
