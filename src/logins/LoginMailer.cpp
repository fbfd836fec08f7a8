#include "logins/LoginMailer.h"

#include "config/VoxIniFile.h"
#include "core/VoxError.h"
#include "db/AdminData.h"
#include "widgets/PrinterFactory.h"

#include <QDate>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <cmath>

namespace {
const QString Section = QStringLiteral("TAMSEL_PRINT");

double decimal(const IniFile &ini, const char *key, const char *defaultValue)
{
    const QString text = ini.readString(Section, QString::fromLatin1(key), QString::fromLatin1(defaultValue));
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        throw VoxError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
    return value;
}

int whole(const IniFile &ini, const char *key, const char *defaultValue)
{
    const QString text = ini.readString(Section, QString::fromLatin1(key), QString::fromLatin1(defaultValue));
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw VoxError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}
} // namespace

MailerLayout MailerLayout::read(const IniFile &ini)
{
    MailerLayout l;
    l.passwordx = decimal(ini, "passwordx", "3");
    l.passwordy = decimal(ini, "passwordy", "2");
    l.datex = decimal(ini, "datex", "15");
    l.datey = decimal(ini, "datey", "3");
    l.acctnamex = decimal(ini, "acctnamex", "2");
    l.acctnamey = decimal(ini, "acctnamey", "5");
    l.add1x = decimal(ini, "add1x", "2");
    l.add1y = decimal(ini, "add1y", "7");
    l.add2x = decimal(ini, "add2x", "2");
    l.add2y = decimal(ini, "add2y", "7.8");
    l.add3x = decimal(ini, "add3x", "2");
    l.add3y = decimal(ini, "add3y", "8.6");
    l.height = decimal(ini, "height", "11");
    l.width = decimal(ini, "width", "21");
    l.fontsize = whole(ini, "fontsize", "10");
    l.printlabel = ini.readString(Section, QStringLiteral("printlabel"));
    l.labelcontent = ini.readString(Section, QStringLiteral("labelcontent"));
    return l;
}

TLoginMailer::TLoginMailer(TAdminData &data)
    : m_data(data)
{
}

void TLoginMailer::initreport()
{
    initreport(*voxIniFile());
}

void TLoginMailer::initreport(const IniFile &ini)
{
    m_layout = MailerLayout::read(ini);
}

MailerPage TLoginMailer::formatreport(const MailerContent &c) const
{
    const MailerLayout &l = m_layout;
    // Centimetres of the layout are applied as millimetres, measured from
    // the printable area, which starts at the 10 mm margins.
    auto at = [](double x, double y) { return QPointF(MarginMm + x * 10.0, MarginMm + y * 10.0); };
    MailerPage page;
    page.pageSize = QPageSize(QSizeF(l.width * 10.0, l.height * 10.0), QPageSize::Millimeter,
                              QStringLiteral("Login mailer"), QPageSize::ExactMatch);
    page.fontSize = l.fontsize;
    page.items = {
        {c.password, at(l.passwordx, l.passwordy)},
        {c.date, at(l.datex, l.datey)},
        {c.name, at(l.acctnamex, l.acctnamey)},
        {c.address1, at(l.add1x, l.add1y)},
        {c.address2, at(l.add2x, l.add2y)},
        {c.address3, at(l.add3x, l.add3y)},
        {l.labelOn() ? l.labelcontent : QString(), at(l.passwordx, l.passwordy) - QPointF(LabelOffsetMm, 0)},
    };
    return page;
}

MailerContent TLoginMailer::contentFor(const QString &password, const QString &loginNumber) const
{
    MailerContent c;
    c.password = password;
    c.date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    Query &info = *m_data.Acct_info;
    try {
        info.close();
        info.setParam(QStringLiteral("maccount"), loginNumber);
        info.open();
        if (!info.isEmpty()) {
            info.first();
            auto text = [&](const char *name) {
                Field *f = info.findField(QString::fromLatin1(name));
                return f ? f->asString() : QString();
            };
            c.name = text("Eng_Name");
            c.address1 = text("Address1");
            c.address2 = text("Address2");
            c.address3 = text("Address3");
        }
        info.close();
    } catch (const VoxError &) {
        // A mailer without the holder's address still carries the password.
        info.close();
    }
    return c;
}

void TLoginMailer::print(const QString &password, const QString &loginNumber) const
{
    printPage(formatreport(contentFor(password, loginNumber)), QStringLiteral("Login mailer %1").arg(loginNumber));
}

void TLoginMailer::printPage(const MailerPage &page, const QString &title)
{
    PrintJob job(title, page.pageSize, QPageLayout::Portrait);
    QPainter &p = job.painter();
    const double dotsPerMm = job.resolution() / 25.4;
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(page.fontSize > 0 ? page.fontSize : 1);
    p.setFont(font);
    const QFontMetricsF metrics(font, p.device());
    for (const MailerItem &item : page.items) {
        if (item.text.isEmpty())
            continue;
        const QPointF topLeft = item.topLeftMm * dotsPerMm;
        p.drawText(QPointF(topLeft.x(), topLeft.y() + metrics.ascent()), item.text);
    }
    job.finish();
}
