#pragma once

#include <QPageSize>
#include <QPointF>
#include <QString>
#include <QVector>

class IniFile;
class TAdminData;

// Where the login mailer puts its texts, read from section TAMSEL_PRINT.
// Positions and paper sizes are in centimetres as the file gives them.
struct MailerLayout {
    double passwordx = 3, passwordy = 2;
    double datex = 15, datey = 3;
    double acctnamex = 2, acctnamey = 5;
    double add1x = 2, add1y = 7;
    double add2x = 2, add2y = 7.8;
    double add3x = 2, add3y = 8.6;
    double height = 11, width = 21;
    int fontsize = 10;
    QString printlabel;
    QString labelcontent;

    // Exactly "y" turns the caption label on.
    bool labelOn() const { return printlabel == QLatin1String("y"); }

    // Reads the seventeen keys, each with its default when missing. A value
    // that is not a number raises the conversion error.
    static MailerLayout read(const IniFile &ini);
};

// The texts of one mailer.
struct MailerContent {
    QString password;
    QString date;
    QString name;
    QString address1, address2, address3;
};

// One text placed on the page: its left and top edges in millimetres from
// the paper's top-left corner.
struct MailerItem {
    QString text;
    QPointF topLeftMm;
};

struct MailerPage {
    QPageSize pageSize;
    int fontSize = 10;
    QVector<MailerItem> items; // password, date, name, three address lines, label
};

// The login mailer: the one-page letter carrying a new channel password or
// code with the holder's name and address, printed through the printer
// factory.
class TLoginMailer
{
public:
    explicit TLoginMailer(TAdminData &data);

    // Reads the layout from the configuration file (again at each call).
    void initreport();
    void initreport(const IniFile &ini);
    const MailerLayout &layout() const { return m_layout; }

    // Places the texts as the last layout read says.
    MailerPage formatreport(const MailerContent &content) const;

    // Name and address of the login number from customer_info; empty texts
    // when there is no row or it cannot be read.
    MailerContent contentFor(const QString &password, const QString &loginNumber) const;

    // Prints one mailer; raises with the printer's message.
    void print(const QString &password, const QString &loginNumber) const;
    static void printPage(const MailerPage &page, const QString &title);

    static constexpr double MarginMm = 10.0;
    static constexpr double LabelOffsetMm = 25.0;

private:
    TAdminData &m_data;
    MailerLayout m_layout;
};
