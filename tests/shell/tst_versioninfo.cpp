#include "shell/VersionInfo.h"
#include "support/FakeDialogs.h"
#include "support/TestMain.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <elf.h>

namespace {

void put16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF)).append(char(v >> 8));
}

// Builds a version block as the build lays it out (see VersionInfo.h).
class BlockBuilder
{
public:
    BlockBuilder &raw(const QByteArray &name, const QByteArray &value)
    {
        put16(m_payload, quint16(name.size()));
        m_payload += name;
        put16(m_payload, quint16(value.size()));
        m_payload += value;
        return *this;
    }
    BlockBuilder &translation(const QByteArray &bytes)
    {
        return raw("\\VarFileInfo\\Translation", bytes);
    }
    BlockBuilder &english() { return translation(QByteArray::fromHex("0904e404")); }
    // A string value with its terminating zero.
    BlockBuilder &string(const QByteArray &key, const QByteArray &name, const QByteArray &value)
    {
        return raw("\\StringFileInfo\\" + key + "\\" + name, value + '\0');
    }
    QByteArray block() const
    {
        QByteArray out("VOXVINF1");
        put16(out, quint16(m_payload.size() & 0xFFFF));
        put16(out, quint16(m_payload.size() >> 16));
        return out + m_payload;
    }

private:
    QByteArray m_payload;
};

template <class T>
void append(QByteArray &out, const T &value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

// A minimal ELF64 file: header, the section names, optionally the version
// section, and the section header table.
QByteArray elfFile(const QByteArray *versionBlock)
{
    const QByteArray names = QByteArray("\0.shstrtab\0.voxver\0", 19);
    QByteArray body;
    const quint64 namesOffset = sizeof(Elf64_Ehdr);
    body += names;
    const quint64 blockOffset = namesOffset + quint64(body.size());
    if (versionBlock)
        body += *versionBlock;
    const quint64 shoff = sizeof(Elf64_Ehdr) + quint64(body.size());

    Elf64_Ehdr eh{};
    std::memcpy(eh.e_ident, ELFMAG, SELFMAG);
    eh.e_ident[EI_CLASS] = ELFCLASS64;
    eh.e_ident[EI_DATA] = ELFDATA2LSB;
    eh.e_ident[EI_VERSION] = EV_CURRENT;
    eh.e_type = ET_EXEC;
    eh.e_machine = EM_X86_64;
    eh.e_version = EV_CURRENT;
    eh.e_ehsize = sizeof(Elf64_Ehdr);
    eh.e_shoff = shoff;
    eh.e_shentsize = sizeof(Elf64_Shdr);
    eh.e_shnum = versionBlock ? 3 : 2;
    eh.e_shstrndx = 1;

    QByteArray out;
    append(out, eh);
    out += body;
    append(out, Elf64_Shdr{});
    Elf64_Shdr strtab{};
    strtab.sh_name = 1;
    strtab.sh_type = SHT_STRTAB;
    strtab.sh_offset = namesOffset;
    strtab.sh_size = quint64(names.size());
    append(out, strtab);
    if (versionBlock) {
        Elf64_Shdr ver{};
        ver.sh_name = 11;
        ver.sh_type = SHT_PROGBITS;
        ver.sh_flags = SHF_ALLOC;
        ver.sh_offset = blockOffset;
        ver.sh_size = quint64(versionBlock->size());
        append(out, ver);
    }
    return out;
}

} // namespace

class TestVersionInfo : public QObject
{
    Q_OBJECT
private slots:
    void runningProgramCarriesTheBuildVersion()
    {
        // This test program is linked with the same block as the console.
        FakeDialogs dialogs;
        const TVersionInfo info;
        QCOMPARE(info.fileName(), QCoreApplication::applicationFilePath());
        QCOMPARE(info.GetVersionString(3), QStringLiteral(VOX_TEST_PROJECT_VERSION));
        QCOMPARE(info.GetVersionString(9), QStringLiteral(VOX_TEST_PROJECT_VERSION));
        QCOMPARE(info.translationKey(), QStringLiteral("040904E4"));
        QCOMPARE(info.GetVersionString(0), QStringLiteral("English (United States)"));
        for (int item = 1; item <= 10; ++item)
            QVERIFY2(!info.GetVersionString(item).isEmpty(), qPrintable(QString::number(item)));
        QVERIFY(dialogs.entries.isEmpty());
    }

    void stringValueEdges()
    {
        FakeDialogs dialogs;
        const QByteArray key("040904E4");
        const TVersionInfo info = TVersionInfo::fromBlock(BlockBuilder()
                                                              .english()
                                                              .string(key, "CompanyName", "X")
                                                              .string(key, "FileVersion", "")
                                                              .string(key, "Comments", QByteArray(300, 'c'))
                                                              .string(key, "ProductName", QByteArray(254, 'p'))
                                                              .block());
        QCOMPARE(info.GetVersionString(1), QStringLiteral("X"));
        QCOMPARE(info.GetVersionString(3), QString()); // terminator only
        QCOMPARE(info.GetVersionString(10), QString(254, QLatin1Char('c')));
        QCOMPARE(info.GetVersionString(8), QString(254, QLatin1Char('p')));
        QCOMPARE(info.GetVersionString(4), QString()); // missing key
        QCOMPARE(info.GetFVerValue(QStringLiteral("companyname")), QStringLiteral("X"));
        QVERIFY(dialogs.entries.isEmpty());
    }

    void stringsOfAnotherTranslationAreNotSeen()
    {
        FakeDialogs dialogs;
        const TVersionInfo info = TVersionInfo::fromBlock(
            BlockBuilder().english().string("040404B0", "FileVersion", "2.0").block());
        QCOMPARE(info.GetVersionString(3), QString());
    }

    void itemNumbersOutsideTheTableAreEmpty()
    {
        FakeDialogs dialogs;
        const TVersionInfo info = TVersionInfo::fromBlock(
            BlockBuilder().english().string("040904E4", "CompanyName", "Varnel").block());
        QCOMPARE(info.GetVersionString(-1), QString());
        QCOMPARE(info.GetVersionString(11), QString());
        QCOMPARE(info.GetVersionString(1000), QString());
        QCOMPARE(info.GetVersionString(1), QStringLiteral("Varnel"));
    }

    void translationKey_data()
    {
        QTest::addColumn<QByteArray>("entry");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("language");
        QTest::newRow("us english, 1252") << QByteArray::fromHex("0904e404") << QStringLiteral("040904E4")
                                          << QStringLiteral("English (United States)");
        QTest::newRow("leading zeros") << QByteArray::fromHex("0000b004") << QStringLiteral("000004B0")
                                       << QStringLiteral("Language Neutral");
        QTest::newRow("upper case") << QByteArray::fromHex("040cabcd") << QStringLiteral("0C04CDAB")
                                    << QStringLiteral("Chinese (Hong Kong S.A.R.)");
        QTest::newRow("second translation ignored") << QByteArray::fromHex("0908e4040904b004")
                                                    << QStringLiteral("080904E4")
                                                    << QStringLiteral("English (United Kingdom)");
        // A language without a code page: 1252 is taken.
        QTest::newRow("two bytes") << QByteArray::fromHex("0404") << QStringLiteral("040404E4")
                                   << QStringLiteral("Chinese (Traditional)");
        QTest::newRow("three bytes") << QByteArray::fromHex("0904ff") << QStringLiteral("040904E4")
                                     << QStringLiteral("English (United States)");
        QTest::newRow("one byte") << QByteArray::fromHex("09") << QStringLiteral("00000000")
                                  << QStringLiteral("Language Neutral");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("00000000") << QStringLiteral("Language Neutral");
    }

    void translationKey()
    {
        QFETCH(QByteArray, entry);
        QFETCH(QString, key);
        QFETCH(QString, language);
        FakeDialogs dialogs;
        const TVersionInfo info = TVersionInfo::fromBlock(
            BlockBuilder().translation(entry).string(key.toLatin1(), "FileVersion", "9.8.7.6").block());
        QCOMPARE(info.translationKey(), key);
        QCOMPARE(info.GetVersionString(0), language);
        QCOMPARE(info.GetVersionString(3), QStringLiteral("9.8.7.6"));
    }

    void noTranslationEntryUsesKeyZero()
    {
        FakeDialogs dialogs;
        const TVersionInfo info =
            TVersionInfo::fromBlock(BlockBuilder().string("00000000", "FileVersion", "1.2").block());
        QCOMPARE(info.translationKey(), QStringLiteral("00000000"));
        QCOMPARE(info.GetVersionString(3), QStringLiteral("1.2"));
    }

    void truncatedEntriesAreNotReadPastTheBlock()
    {
        FakeDialogs dialogs;
        QByteArray block = BlockBuilder().english().string("040904E4", "FileVersion", "1.0.0.1").block();
        block.chop(3); // the value's length now reaches past the end
        const TVersionInfo info = TVersionInfo::fromBlock(block);
        QCOMPARE(info.translationKey(), QStringLiteral("040904E4"));
        QCOMPARE(info.GetVersionString(3), QString());

        const TVersionInfo garbage = TVersionInfo::fromBlock(QByteArray("not a version block"));
        QCOMPARE(garbage.GetVersionString(3), QString());
        QCOMPARE(garbage.translationKey(), QString());
        QVERIFY(dialogs.entries.isEmpty());
    }

    void programFileWithTheBlock()
    {
        FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("prog"));
        const QByteArray block =
            BlockBuilder().english().string("040904E4", "FileVersion", "3.1.4.1").block();
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(elfFile(&block));
        f.close();
        int error = -1;
        QCOMPARE(TVersionInfo::versionInfoSize(path, &error), quint32(block.size()));
        QCOMPARE(error, 0);
        const TVersionInfo info(path);
        QCOMPARE(info.GetVersionString(3), QStringLiteral("3.1.4.1"));
        QVERIFY(dialogs.entries.isEmpty());
    }

    void programFileWithoutTheBlock_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("error");
        QTest::newRow("elf without section") << elfFile(nullptr) << int(ENODATA);
        QTest::newRow("not a program") << QByteArray("plain text\n") << int(ENOEXEC);
        QTest::newRow("empty file") << QByteArray() << int(ENOEXEC);
    }

    void programFileWithoutTheBlock()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, error);
        FakeDialogs dialogs;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("prog"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(contents);
        f.close();
        const TVersionInfo info(path);
        QCOMPARE(dialogs.entries.size(), 1);
        QCOMPARE(dialogs.lastKind(), QStringLiteral("information"));
        QCOMPARE(dialogs.lastText(), QStringLiteral("GetFileVersionInfoSize error #:%1").arg(error));
        for (int item = 0; item <= 10; ++item)
            QCOMPARE(info.GetVersionString(item), QString());
    }

    void missingProgramFile()
    {
        FakeDialogs dialogs;
        const TVersionInfo info(QStringLiteral("/no/such/program"));
        QCOMPARE(dialogs.texts(QStringLiteral("information")),
                 QStringList{QStringLiteral("GetFileVersionInfoSize error #:%1").arg(ENOENT)});
        QCOMPARE(info.GetVersionString(3), QString());
    }
};

VOX_TEST_MAIN(TestVersionInfo)
#include "tst_versioninfo.moc"
