#pragma once

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// Reader for Windows-style INI files.
//  - section and key names match without regard to letter case;
//  - values (and names) are trimmed of surrounding blanks, then one matching
//    pair of enclosing double or single quotes is dropped from a value;
//  - the first occurrence of a section, and of a key within it, wins;
//  - backslashes are literal and there are no inline comments;
//  - lines starting with ';' are comments, lines before any section and
//    lines without '=' are ignored;
//  - a file that does not exist reads as empty.
// Text is 8-bit: bytes map one to one onto characters (Latin-1).
class IniFile
{
public:
    explicit IniFile(const QString &path);
    static IniFile fromBytes(const QByteArray &content, const QString &path = {});

    const QString &fileName() const { return m_path; }

    bool sectionExists(const QString &section) const;
    // Key read: the value, or defaultValue when the section or key is absent.
    QString readString(const QString &section, const QString &key,
                       const QString &defaultValue = {}) const;
    // Section read: "name=value" lines, keys with an empty value left out.
    QStringList readSectionValues(const QString &section) const;
    QStringList sections() const;

    // Bytes read from a file at most.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

private:
    IniFile() = default;
    void parse(const QByteArray &content);

    struct Entry { QString key; QString value; };
    struct Section {
        QString name;
        QVector<Entry> entries;
        QSet<QString> keys; // lower-case names, to keep the first of each
    };
    const Section *findSection(const QString &name) const;

    QString m_path;
    QVector<Section> m_sections;
    QHash<QString, int> m_index; // lower-case section name -> place
};

// Value of "name=value" in a list of such lines, name matched without regard
// to case; empty when absent (like the Values property of a string list).
QString valueFromList(const QStringList &lines, const QString &name);
