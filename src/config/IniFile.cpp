#include "config/IniFile.h"

#include <QFile>

IniFile::IniFile(const QString &path)
    : m_path(path)
{
    QFile file(path);
    // A configuration file is small; a huge one is read only in part.
    if (file.open(QIODevice::ReadOnly))
        parse(file.read(MaxFileSize));
}

IniFile IniFile::fromBytes(const QByteArray &content, const QString &path)
{
    IniFile ini;
    ini.m_path = path;
    ini.parse(content);
    return ini;
}

namespace {
// One matching pair of enclosing double or single quotes is dropped, as the
// platform's reader does, so "  a b  " keeps its inner blanks.
QString unquoted(const QByteArray &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        return QString::fromLatin1(value.mid(1, value.size() - 2));
    return QString::fromLatin1(value);
}
} // namespace

void IniFile::parse(const QByteArray &content)
{
    // Blanks are trimmed on the raw bytes: only ASCII white space counts, so
    // 8-bit characters such as 0xA0 stay part of a name or value.
    const auto text = [](const QByteArray &bytes) { return QString::fromLatin1(bytes.trimmed()); };
    Section *current = nullptr;
    const QList<QByteArray> lines = content.split('\n');
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const int close = line.indexOf(']');
            if (close < 0)
                continue; // not a header: a garbage line
            const QString name = text(line.mid(1, close - 1));
            if (findSection(name)) {
                // A repeated section is ignored; the first one wins.
                current = nullptr;
                continue;
            }
            m_index.insert(name.toLower(), m_sections.size());
            m_sections.append(Section{name, {}, {}});
            current = &m_sections.last();
            continue;
        }
        if (!current)
            continue;
        const int eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QString key = text(line.left(eq));
        if (key.isEmpty())
            continue;
        const QString lower = key.toLower();
        if (!current->keys.contains(lower)) {
            current->keys.insert(lower);
            current->entries.append(Entry{key, unquoted(line.mid(eq + 1).trimmed())});
        }
    }
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    const auto it = m_index.constFind(name.toLower());
    return it == m_index.constEnd() ? nullptr : &m_sections.at(it.value());
}

bool IniFile::sectionExists(const QString &section) const
{
    return findSection(section) != nullptr;
}

QString IniFile::readString(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    if (const Section *s = findSection(section)) {
        for (const Entry &e : s->entries) {
            if (e.key.compare(key, Qt::CaseInsensitive) == 0)
                return e.value;
        }
    }
    return defaultValue;
}

QStringList IniFile::readSectionValues(const QString &section) const
{
    QStringList out;
    if (const Section *s = findSection(section)) {
        for (const Entry &e : s->entries) {
            if (!e.value.isEmpty())
                out << e.key + QLatin1Char('=') + e.value;
        }
    }
    return out;
}

QStringList IniFile::sections() const
{
    QStringList out;
    for (const Section &s : m_sections)
        out << s.name;
    return out;
}

QString valueFromList(const QStringList &lines, const QString &name)
{
    for (const QString &line : lines) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq >= 0 && line.left(eq).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1);
    }
    return {};
}
