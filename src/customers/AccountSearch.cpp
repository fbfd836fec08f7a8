#include "customers/AccountSearch.h"

#include "core/Guard.h"
#include "customers/UpperCaseEdit.h"
#include "db/AdminData.h"
#include "widgets/DBGrid.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScopeGuard>
#include <QVBoxLayout>

QString AccountSearch::firstMatch(DbConnection &connection, By by, const QString &prefix)
{
    // LIKE sees the typed text only with its pattern characters escaped.
    QString pattern;
    for (const QChar c : prefix.toUpper()) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('!'))
            pattern += QLatin1Char('!');
        pattern += c;
    }
    pattern += QLatin1Char('%');
    const QString column = by == By::Number ? QStringLiteral("account") : QStringLiteral("account_name");
    Query q(QStringLiteral("Cust_search_match"), &connection);
    q.setCatalogTable(QStringLiteral("dbo.Customer_File"));
    q.setSql(QStringLiteral("select min(account) as account from dbo.Customer_File where upper(%1) like :pattern "
                            "escape '!'")
                 .arg(column));
    q.setParam(QStringLiteral("pattern"), pattern);
    q.open();
    const QString found = q.isEmpty() ? QString() : q.fieldByName(QStringLiteral("account"))->asString();
    q.close();
    return found;
}

TAccountSearch::TAccountSearch(TAdminData &data, QWidget *parent)
    : QDialog(parent)
    , m_data(data)
{
    setObjectName(QStringLiteral("TAccountSearch"));
    setWindowTitle(QStringLiteral("Search Account"));
    RadioButton1 = new QRadioButton(QStringLiteral("Account Number"), this);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("Account Name"), this);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    forceUpperCase(Edit1);
    auto *searchBy = new QLabel(QStringLiteral("Search By "), this);
    searchBy->setBuddy(Edit1);
    DBGrid1 = new DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataset(data.Cust_search);
    for (const char *column : {"Account", "Account_Name", "Chn_Name", "User_No"})
        DBGrid1->addColumn(QString::fromLatin1(column));

    auto *radios = new QHBoxLayout;
    radios->addWidget(RadioButton1);
    radios->addWidget(RadioButton2);
    radios->addStretch();
    auto *search = new QHBoxLayout;
    search->addWidget(searchBy);
    search->addWidget(Edit1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(radios);
    layout->addLayout(search);
    layout->addWidget(DBGrid1, 1);
    resize(640, 440);

    vox::connect(Edit1, &QLineEdit::returnPressed, this, &TAccountSearch::Edit1KeyDown);
    vox::connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            DBGrid1DblClick();
    });
}

TAccountSearch::~TAccountSearch() = default;

void TAccountSearch::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    vox::guard([&] { FormShow(); });
}

void TAccountSearch::done(int result)
{
    vox::guard([&] { FormClose(); });
    QDialog::done(result);
}

void TAccountSearch::FormShow()
{
    if (!m_data.Cust_search->isActive())
        m_data.Cust_search->open();
    Edit1->setFocus();
}

void TAccountSearch::FormClose()
{
    m_data.Cust_search->close();
}

void TAccountSearch::Edit1KeyDown()
{
    Dataset *customers = m_data.Cust_search;
    if (!customers->isActive())
        customers->open();
    const QString account = AccountSearch::firstMatch(
        *m_data.Database1, RadioButton2->isChecked() ? AccountSearch::By::Name : AccountSearch::By::Number,
        Edit1->text());
    // Nothing begins with the text: the grid stays where it is.
    if (!account.isEmpty())
        customers->locate(QStringLiteral("Account"), account);
}

void TAccountSearch::DBGrid1DblClick()
{
    Dataset *customers = m_data.Cust_search;
    if (!customers->isActive() || customers->isEmpty())
        return;
    const QString account = customers->fieldByName(QStringLiteral("Account"))->asString();
    hide();
    // The window ends however the lookup goes; its message is still shown.
    const auto end = qScopeGuard([this] { done(Accepted); });
    if (m_picked)
        m_picked(account);
}
