// Any bytes as a configuration file: the reader never fails, every name and
// value it returns is as the rules of IniFile say, and what it read, written
// out again, reads back the same.
#include "FuzzCheck.h"
#include "config/IniFile.h"

#include <QSet>

namespace {
bool latin1Only(const QString &text)
{
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

bool hasOuterBlank(const QString &text)
{
    const auto blank = [](QChar c) {
        return c.unicode() == ' ' || (c.unicode() >= '\t' && c.unicode() <= '\r');
    };
    return !text.isEmpty() && (blank(text.front()) || blank(text.back()));
}

// Names are matched without regard to the case of their ASCII letters.
QString swappedCase(QString text)
{
    for (QChar &c : text) {
        const ushort u = c.unicode();
        if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
            c = QChar(u ^ 0x20);
    }
    return text;
}

// A file holding exactly what ini read: every value is quoted, so quotes a
// value kept stay part of it.
QByteArray written(const IniFile &ini)
{
    QByteArray out;
    for (const QString &section : ini.sections()) {
        out += '[' + section.toLatin1() + "]\r\n";
        for (const QString &line : ini.readSectionValues(section)) {
            const qsizetype eq = line.indexOf('=');
            out += line.left(eq).toLatin1() + "=\"" + line.mid(eq + 1).toLatin1() + "\"\r\n";
        }
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const IniFile ini = IniFile::fromBytes(content);

    QSet<QString> seen;
    for (const QString &section : ini.sections()) {
        FUZZ_CHECK(latin1Only(section));
        FUZZ_CHECK(!section.contains('\n') && !section.contains(']'));
        FUZZ_CHECK(!hasOuterBlank(section));
        // The first of sections that differ only in case is the one kept.
        FUZZ_CHECK(!seen.contains(section.toLower()));
        seen.insert(section.toLower());
        FUZZ_CHECK(ini.sectionExists(section));
        FUZZ_CHECK(ini.sectionExists(swappedCase(section)));

        const QStringList values = ini.readSectionValues(section);
        QSet<QString> keys;
        for (const QString &line : values) {
            const qsizetype eq = line.indexOf('=');
            FUZZ_CHECK(eq > 0);
            const QString key = line.left(eq);
            const QString value = line.mid(eq + 1);
            FUZZ_CHECK(latin1Only(line));
            FUZZ_CHECK(!line.contains('\n'));
            FUZZ_CHECK(!hasOuterBlank(key));
            // A key line never starts like a comment or a section header.
            FUZZ_CHECK(!key.startsWith(';') && !key.startsWith('['));
            FUZZ_CHECK(!value.isEmpty());
            FUZZ_CHECK(!keys.contains(key.toLower()));
            keys.insert(key.toLower());
            FUZZ_CHECK(ini.readString(section, key, "default") == value);
            FUZZ_CHECK(ini.readString(swappedCase(section), swappedCase(key), "default") == value);
            FUZZ_CHECK(valueFromList(values, key) == value);
        }
    }

    const IniFile again = IniFile::fromBytes(written(ini));
    FUZZ_CHECK(again.sections() == ini.sections());
    for (const QString &section : ini.sections())
        FUZZ_CHECK(again.readSectionValues(section) == ini.readSectionValues(section));
    return 0;
}
