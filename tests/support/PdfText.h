#pragma once

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QString>

// What a printed PDF says, read back with pdftotext.
namespace PdfText {

// pdftotext hands back letter pairs the font drew as one glyph ("ff",
// "fi", ...) as the Unicode ligature; they are spelled out again, so that
// a printed password reads as it was typed.
inline QString spelledOut(QString text)
{
    static const char *const ligatures[] = {"ff", "fi", "fl", "ffi", "ffl", "st", "st"};
    for (int i = 0; i < 7; ++i)
        text.replace(QChar(0xFB00 + i), QLatin1String(ligatures[i]));
    return text;
}

// The text of every page laid out as printed; empty when it cannot be read.
inline QString layout(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), file, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    return spelledOut(QString::fromUtf8(p.readAllStandardOutput()));
}

struct Word {
    QString text;
    double xMm, yMm, bottomMm;
};

// The words of the first page with their boxes in millimetres from the
// page's top-left corner.
inline QList<Word> words(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), file, QStringLiteral("-")});
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        return {};
    const QString html = spelledOut(QString::fromUtf8(p.readAllStandardOutput()));
    static const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    QList<Word> out;
    constexpr double mmPerPt = 25.4 / 72.0;
    for (auto it = re.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.append({m.captured(5), m.captured(1).toDouble() * mmPerPt, m.captured(2).toDouble() * mmPerPt,
                    m.captured(4).toDouble() * mmPerPt});
    }
    return out;
}

// The first page's size in millimetres as it is shown, read with pdfinfo:
// a page wider than high that a printer put on upright paper turned a
// quarter comes back wider than high. Empty when it cannot be read.
inline QSizeF pageSizeMm(const QString &file)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {file});
    if (!p.waitForFinished(30000))
        return {};
    const QString info = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression re(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts"));
    static const QRegularExpression turned(QStringLiteral("Page rot:\\s+(90|270)\\b"));
    const auto m = re.match(info);
    if (!m.hasMatch())
        return {};
    constexpr double mmPerPt = 25.4 / 72.0;
    const QSizeF size(m.captured(1).toDouble() * mmPerPt, m.captured(2).toDouble() * mmPerPt);
    return turned.match(info).hasMatch() ? size.transposed() : size;
}

} // namespace PdfText
