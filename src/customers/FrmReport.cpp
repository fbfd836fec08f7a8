#include "customers/FrmReport.h"

#include "widgets/PrinterFactory.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <utility>

const char *const TFrmReport::Title = "CUSTOMER BASIC INFORMATION";
const char *const TFrmReport::End = "*** END ***";

namespace {
constexpr double MarginMm = 10.0;

QList<std::pair<QString, QString>> rows(const CustomerSheet &s)
{
    return {
        {QStringLiteral("ACCOUNT NUMBER :"), s.account}, {QStringLiteral("AE CODE :"), s.userNo},
        {QStringLiteral("CUSTOMER NAME :"), s.accountName}, {QStringLiteral("CHINESE NAME:"), s.chineseName},
        {QStringLiteral("EMAIL :"), s.email},               {QStringLiteral("TEL :"), s.homeTel},
        {QStringLiteral("MOBILE :"), s.mobile},
    };
}
} // namespace

TFrmReport::TFrmReport(const CustomerSheet &sheet)
    : m_sheet(sheet)
{
}

QPageSize TFrmReport::pageSize()
{
    return QPageSize(QSizeF(210.0, 148.5), QPageSize::Millimeter, QStringLiteral("Customer sheet"),
                     QPageSize::ExactMatch);
}

QStringList TFrmReport::lines() const
{
    QStringList out{QString::fromLatin1(Title)};
    for (const auto &row : rows(m_sheet))
        out << row.first + QLatin1Char(' ') + row.second;
    out << QString::fromLatin1(End);
    return out;
}

void TFrmReport::print() const
{
    PrintJob job(QStringLiteral("Customer Information %1").arg(m_sheet.account), pageSize(), QPageLayout::Portrait);
    QPainter &p = job.painter();
    const double dotsPerMm = job.resolution() / 25.4;
    const double left = MarginMm * dotsPerMm;
    const double width = (210.0 - 2 * MarginMm) * dotsPerMm;
    double y = MarginMm * dotsPerMm;

    QFont title(QStringLiteral("DejaVu Sans"));
    title.setPointSizeF(16);
    title.setItalic(true);
    title.setUnderline(true);
    p.setFont(title);
    QFontMetricsF titleMetrics(title, p.device());
    y += titleMetrics.ascent();
    p.drawText(QPointF(left + (width - titleMetrics.horizontalAdvance(QString::fromLatin1(Title))) / 2, y),
               QString::fromLatin1(Title));
    y += titleMetrics.descent() + 8 * dotsPerMm;

    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(11);
    p.setFont(body);
    QFontMetricsF bodyMetrics(body, p.device());
    const double valueColumn = left + 55 * dotsPerMm;
    const double step = bodyMetrics.height() * 1.6;
    for (const auto &row : rows(m_sheet)) {
        y += step;
        p.drawText(QPointF(left, y), row.first);
        p.drawText(QPointF(valueColumn, y), row.second);
    }
    y += step * 2;
    p.drawText(QPointF(left + (width - bodyMetrics.horizontalAdvance(QString::fromLatin1(End))) / 2, y),
               QString::fromLatin1(End));
    job.finish();
}
