#pragma once

#include "customers/CustomerMaintenance.h"

#include <QPageSize>
#include <QString>
#include <QStringList>

// The customer information sheet of a new account: one page 210 mm wide
// and 148.5 mm long, portrait, 10 mm margins, printed at once through the
// printer factory.
class TFrmReport
{
public:
    explicit TFrmReport(const CustomerSheet &sheet);

    // The lines in print order: the title, the seven label and value rows
    // ("ACCOUNT NUMBER :" and the account, ...), and "*** END ***".
    QStringList lines() const;
    static QPageSize pageSize();

    // Prints the sheet; raises with the printer's message.
    void print() const;

    static const char *const Title;
    static const char *const End;

private:
    CustomerSheet m_sheet;
};
