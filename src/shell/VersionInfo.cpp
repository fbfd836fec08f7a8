#include "shell/VersionInfo.h"

#include "core/Dialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <elf.h>

namespace {

constexpr char Magic[8] = {'V', 'O', 'X', 'V', 'I', 'N', 'F', '1'};
constexpr int HeaderSize = 12;
constexpr const char *SectionName = ".voxver";
// Larger sections are not version blocks.
constexpr quint64 MaxBlockSize = 1 << 20;

quint16 le16(const char *p)
{
    return quint16(quint8(p[0]) | quint8(p[1]) << 8);
}

quint32 le32(const char *p)
{
    return quint32(le16(p)) | quint32(le16(p + 2)) << 16;
}

QString runningProgram()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationFilePath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

bool readAt(QFile &f, quint64 offset, void *out, qint64 size)
{
    return f.seek(qint64(offset)) && f.read(static_cast<char *>(out), size) == size;
}

// Finds the version section of an ELF file: its offset and size.
int findSection(const QString &fileName, quint64 *offset, quint64 *size)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        const QFileInfo info(fileName);
        return !info.exists() ? ENOENT : info.isDir() ? EISDIR : EACCES;
    }
    const quint64 fileSize = quint64(f.size());
    Elf64_Ehdr eh{};
    if (!readAt(f, 0, &eh, sizeof eh) || std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0
        || eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB
        || eh.e_shentsize != sizeof(Elf64_Shdr))
        return ENOEXEC;
    if (eh.e_shoff == 0 || eh.e_shnum == 0 || eh.e_shstrndx >= eh.e_shnum
        || eh.e_shoff > fileSize || quint64(eh.e_shnum) * sizeof(Elf64_Shdr) > fileSize - eh.e_shoff)
        return ENODATA;

    auto header = [&](int i, Elf64_Shdr *sh) {
        return readAt(f, eh.e_shoff + quint64(i) * sizeof(Elf64_Shdr), sh, sizeof *sh);
    };
    Elf64_Shdr names{};
    if (!header(eh.e_shstrndx, &names) || names.sh_offset > fileSize
        || names.sh_size > fileSize - names.sh_offset)
        return ENODATA;
    const qsizetype wanted = qsizetype(std::strlen(SectionName)) + 1;
    for (int i = 0; i < eh.e_shnum; ++i) {
        Elf64_Shdr sh{};
        if (!header(i, &sh) || sh.sh_type == SHT_NOBITS || sh.sh_name >= names.sh_size)
            continue;
        char name[16] = {};
        const qint64 avail = qint64(qMin<quint64>(names.sh_size - sh.sh_name, quint64(wanted)));
        if (!readAt(f, names.sh_offset + sh.sh_name, name, avail) || avail < wanted
            || std::memcmp(name, SectionName, std::size_t(wanted)) != 0)
            continue;
        if (sh.sh_size == 0 || sh.sh_size > MaxBlockSize || sh.sh_offset > fileSize
            || sh.sh_size > fileSize - sh.sh_offset)
            return ENODATA;
        *offset = sh.sh_offset;
        *size = sh.sh_size;
        return 0;
    }
    return ENODATA;
}

} // namespace

quint32 TVersionInfo::versionInfoSize(const QString &fileName, int *error)
{
    quint64 offset = 0, size = 0;
    const int err = findSection(fileName, &offset, &size);
    if (error)
        *error = err;
    return err ? 0 : quint32(size);
}

bool TVersionInfo::readVersionInfo(const QString &fileName, QByteArray *block)
{
    quint64 offset = 0, size = 0;
    if (findSection(fileName, &offset, &size) != 0)
        return false;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(qint64(offset)))
        return false;
    *block = f.read(qint64(size));
    return block->size() == qsizetype(size);
}

TVersionInfo::TVersionInfo()
    : TVersionInfo(runningProgram())
{
}

TVersionInfo::TVersionInfo(const QString &fileName)
    : m_fileName(fileName)
{
    int error = 0;
    const quint32 size = versionInfoSize(fileName, &error);
    QByteArray block;
    if (size != 0 && !readVersionInfo(fileName, &block))
        block.clear();
    load(size, error, block);
}

TVersionInfo TVersionInfo::fromBlock(const QByteArray &block)
{
    TVersionInfo info{NoFile{}};
    info.load(quint32(block.size()), block.isEmpty() ? ENODATA : 0, block);
    return info;
}

void TVersionInfo::load(quint32 size, int error, const QByteArray &block)
{
    if (size == 0) {
        Dialogs::instance().information(QStringLiteral("GetFileVersionInfoSize error #:")
                                        + QString::number(error));
        return;
    }
    if (block.size() < HeaderSize || std::memcmp(block.constData(), Magic, sizeof Magic) != 0)
        return; // not read: every item is empty
    m_block = block;

    quint32 translation = 0;
    QByteArray entry;
    if (queryValue(QStringLiteral("\\VarFileInfo\\Translation"), &entry) && entry.size() >= 2) {
        const quint16 language = le16(entry.constData());
        const quint16 codePage = entry.size() >= 4 ? le16(entry.constData() + 2) : DefaultCodePage;
        translation = quint32(language) << 16 | codePage;
    }
    m_translationKey = QStringLiteral("%1").arg(translation, 8, 16, QLatin1Char('0')).toUpper();
    m_languageName = languageNameOf(quint16(translation >> 16)).left(255);
}

bool TVersionInfo::queryValue(const QString &path, QByteArray *value) const
{
    if (m_block.size() < HeaderSize)
        return false;
    const char *data = m_block.constData();
    const qsizetype end = qMin<qsizetype>(m_block.size(), HeaderSize + qsizetype(le32(data + 8)));
    const QByteArray wanted = path.toLatin1();
    qsizetype pos = HeaderSize;
    while (pos + 2 <= end) {
        const qsizetype nameLen = le16(data + pos);
        pos += 2;
        if (pos + nameLen + 2 > end)
            return false;
        const QByteArray name(data + pos, nameLen);
        pos += nameLen;
        const qsizetype valueLen = le16(data + pos);
        pos += 2;
        if (pos + valueLen > end)
            return false;
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) {
            *value = QByteArray(data + pos, valueLen);
            return true;
        }
        pos += valueLen;
    }
    return false;
}

QString TVersionInfo::GetFVerValue(const QString &name) const
{
    QByteArray value;
    if (m_block.isEmpty()
        || !queryValue(QStringLiteral("\\StringFileInfo\\") + m_translationKey + QLatin1Char('\\') + name,
                       &value))
        return {};
    // The length counts the terminating zero.
    qsizetype length = qMin<qsizetype>(value.size(), 255);
    if (length <= 1)
        return {};
    QByteArray text = value.left(length - 1);
    const qsizetype zero = text.indexOf('\0');
    if (zero >= 0)
        text.truncate(zero);
    return QString::fromLatin1(text);
}

QString TVersionInfo::GetVersionString(int item) const
{
    static const char *const Keys[] = {"CompanyName",     "FileDescription", "FileVersion",
                                       "InternalName",    "LegalCopyright",  "LegalTrademarks",
                                       "OriginalFilename", "ProductName",    "ProductVersion",
                                       "Comments"};
    if (item == 0)
        return m_languageName;
    if (item >= 1 && item <= 10)
        return GetFVerValue(QLatin1String(Keys[item - 1]));
    return {};
}

QString TVersionInfo::languageNameOf(quint16 language)
{
    static const struct {
        quint16 id;
        const char *name;
    } Names[] = {
        {0x0000, "Language Neutral"},
        {0x0404, "Chinese (Traditional)"},
        {0x0407, "German (Germany)"},
        {0x0409, "English (United States)"},
        {0x040C, "French (France)"},
        {0x0411, "Japanese"},
        {0x0412, "Korean"},
        {0x0804, "Chinese (Simplified)"},
        {0x0809, "English (United Kingdom)"},
        {0x0C04, "Chinese (Hong Kong S.A.R.)"},
        {0x1004, "Chinese (Singapore)"},
    };
    for (const auto &n : Names) {
        if (n.id == language)
            return QLatin1String(n.name);
    }
    return QStringLiteral("Language Neutral");
}
