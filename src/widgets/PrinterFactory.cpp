#include "widgets/PrinterFactory.h"

#include "core/VoxError.h"

#include <QDateTime>
#include <QDir>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <utility>

namespace {
QString &outputDirOverride()
{
    static QString dir;
    return dir;
}

QStringList &written()
{
    static QStringList files;
    return files;
}

QString nextPdfName(const QString &dir, const QString &title)
{
    static int serial = 0;
    QString base = title;
    for (QChar &c : base) {
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    }
    return QDir(dir).filePath(
        QStringLiteral("%1-%2-%3.pdf")
            .arg(base, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")))
            .arg(++serial, 4, 10, QLatin1Char('0')));
}
} // namespace

QString PrintJob::setOutputDir(const QString &dir)
{
    return std::exchange(outputDirOverride(), dir);
}

QString PrintJob::outputDir()
{
    if (!outputDirOverride().isEmpty())
        return outputDirOverride();
    return QString::fromLocal8Bit(qgetenv("VOX_PRINT_DIR"));
}

QStringList PrintJob::writtenFiles()
{
    return written();
}

PrintJob::PrintJob(const QString &title, const QPageSize &pageSize,
                   QPageLayout::Orientation orientation)
    : m_title(title)
    , m_pageSize(pageSize)
    , m_orientation(orientation)
{
    m_toPdf = !outputDir().isEmpty();
    if (!m_toPdf && QPrinterInfo::defaultPrinter().isNull())
        throw VoxError(QStringLiteral("There is no default printer."));
    beginDevice();
}

PrintJob::~PrintJob()
{
    if (!m_finished && m_painter.isActive())
        m_painter.end();
}

void PrintJob::beginDevice()
{
    if (m_toPdf) {
        QDir().mkpath(outputDir());
        const QString file = nextPdfName(outputDir(), m_title);
        auto pdf = std::make_unique<QPdfWriter>(file);
        pdf->setTitle(m_title);
        pdf->setResolution(300);
        pdf->setPageSize(m_pageSize);
        pdf->setPageOrientation(m_orientation);
        pdf->setPageMargins(QMarginsF(0, 0, 0, 0));
        m_device = std::move(pdf);
        written().append(file);
    } else {
        auto printer = std::make_unique<QPrinter>(QPrinterInfo::defaultPrinter(),
                                                  QPrinter::HighResolution);
        printer->setDocName(m_title);
        printer->setPageSize(m_pageSize);
        printer->setPageOrientation(m_orientation);
        printer->setFullPage(true);
        m_device = std::move(printer);
    }
    if (!m_painter.begin(m_device.get()))
        throw VoxError(QStringLiteral("The printer cannot start the print job \"%1\".").arg(m_title));
}

int PrintJob::resolution() const
{
    return m_device ? m_device->logicalDpiX() : 72;
}

void PrintJob::newPage()
{
    if (m_toPdf) {
        m_painter.end();
        beginDevice();
    } else if (!m_device->newPage()) {
        throw VoxError(QStringLiteral("The printer cannot start a new page."));
    }
}

void PrintJob::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    if (!m_painter.end())
        throw VoxError(QStringLiteral("The print job \"%1\" could not be completed.").arg(m_title));
}
