#include "config/IniFile.h"

#include <QFile>

IniFile::IniFile(const QString &path)
    : m_path(path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        parse(file.readAll());
}

IniFile IniFile::fromBytes(const QByteArray &content, const QString &path)
{
    IniFile ini;
    ini.m_path = path;
    ini.parse(content);
    return ini;
}

void IniFile::parse(const QByteArray &content)
{
    Section *current = nullptr;
    bool currentIsDuplicate = false;
    const QList<QByteArray> lines = content.split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromLatin1(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                continue;
            const QString name = line.mid(1, close - 1).trimmed();
            currentIsDuplicate = findSection(name) != nullptr;
            if (currentIsDuplicate) {
                current = nullptr;
                continue;
            }
            m_sections.append(Section{name, {}});
            current = &m_sections.last();
            continue;
        }
        if (!current || currentIsDuplicate)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        if (key.isEmpty())
            continue;
        bool seen = false;
        for (const Entry &e : current->entries) {
            if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
                seen = true;
                break;
            }
        }
        if (!seen)
            current->entries.append(Entry{key, line.mid(eq + 1).trimmed()});
    }
}

const IniFile::Section *IniFile::findSection(const QString &name) const
{
    for (const Section &s : m_sections) {
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    }
    return nullptr;
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
