#pragma once

#include <QByteArray>
#include <QString>

// The version information that the program file carries.
//
// The build places one version block in the ELF section ".voxver" of the
// executable (generated from VersionBlock.cpp.in). Its layout, all integers
// little-endian:
//
//   offset 0   8 bytes   magic "VOXVINF1"
//   offset 8   uint32    payload size N
//   offset 12  N bytes   entries, one after another, each:
//                          uint16 name length L, L bytes of name,
//                          uint16 value length V, V bytes of value
//
// A name is a query path of the same form as in a Windows version resource
// (compared without regard to letter case):
//   "\VarFileInfo\Translation"            value: translations, each a 16-bit
//                                         language followed by a 16-bit code page
//   "\StringFileInfo\<key>\<string name>" value: 8-bit characters followed by
//                                         a terminating zero; its length in
//                                         characters counts the zero
// where <key> is the translation as 8 upper-case hexadecimal digits.
//
// Reading errors are errno numbers: the file's own error when it cannot be
// read, ENOEXEC when it is not an ELF file, ENODATA when it has no block.
class TVersionInfo
{
public:
    // The running program's file.
    TVersionInfo();
    // Any program file.
    explicit TVersionInfo(const QString &fileName);
    // A block as found in the section (for checking blocks without a file).
    static TVersionInfo fromBlock(const QByteArray &block);

    // Item 0: language name; 1 to 10: CompanyName, FileDescription,
    // FileVersion, InternalName, LegalCopyright, LegalTrademarks,
    // OriginalFilename, ProductName, ProductVersion, Comments; any other
    // item: empty.
    QString GetVersionString(int item) const;
    // A string value of the first translation; empty when missing or empty.
    // At most 254 characters.
    QString GetFVerValue(const QString &name) const;

    QString fileName() const { return m_fileName; }
    QString translationKey() const { return m_translationKey; }
    QString languageName() const { return m_languageName; }

    // Code page assumed when the translation entry holds a language only.
    static constexpr quint16 DefaultCodePage = 1252;
    // The name of a Windows language identifier.
    static QString languageNameOf(quint16 language);

    // The size of a file's version block, 0 (and errno in *error) if none.
    static quint32 versionInfoSize(const QString &fileName, int *error);
    // Reads that block; false if it cannot be read.
    static bool readVersionInfo(const QString &fileName, QByteArray *block);

private:
    struct NoFile {};
    explicit TVersionInfo(NoFile) {}
    void load(quint32 size, int error, const QByteArray &block);
    // The value stored under path, like the platform's query: false if none.
    bool queryValue(const QString &path, QByteArray *value) const;

    QString m_fileName;
    QByteArray m_block;
    QString m_translationKey;
    QString m_languageName;
};
