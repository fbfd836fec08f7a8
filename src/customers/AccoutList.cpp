#include "customers/AccoutList.h"

#include "core/Guard.h"
#include "db/AdminData.h"
#include "widgets/DBGrid.h"
#include "widgets/DBNavigator.h"

#include <QToolButton>
#include <QVBoxLayout>

TAccoutList::TAccoutList(TAdminData &data, bool listUsers, QWidget *parent)
    : QDialog(parent)
    , m_listUsers(listUsers)
{
    setObjectName(QStringLiteral("TAccoutList"));
    setWindowTitle(QStringLiteral("Login List"));
    if (listUsers) {
        auto *users = new TableView(QStringLiteral("User_bak"), data.Database1, this);
        users->setTableName(QStringLiteral("dbo.User_File"));
        users->setOrderBy(QStringLiteral("User_No"));
        users->setReadOnly(true);
        m_list = users;
    } else {
        auto *customers = new Query(QStringLiteral("Customer_info"), data.Database1, this);
        customers->setSql(QStringLiteral("select * from customer_file order by account"));
        customers->setCatalogTable(QStringLiteral("customer_file"));
        customers->setReadOnly(true);
        m_list = customers;
    }

    DBGrid1 = new DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataset(m_list);
    if (!listUsers) {
        DBGrid1->addColumn(QStringLiteral("User_No"), QStringLiteral("User No"));
        DBGrid1->addColumn(QStringLiteral("Chn_Name"), QStringLiteral("Chinese Name"));
        DBGrid1->addColumn(QStringLiteral("Account_Name"), QStringLiteral("Account Name"));
        DBGrid1->addColumn(QStringLiteral("Account"), QStringLiteral("Account"));
    }
    DBNavigator1 = new DBNavigator(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataset(m_list);
    // First, prior, next and last only.
    for (DBNavigator::Button b : {DBNavigator::Previous10, DBNavigator::Next10, DBNavigator::Insert,
                                  DBNavigator::Delete, DBNavigator::Edit, DBNavigator::Post, DBNavigator::Cancel})
        DBNavigator1->button(b)->hide();
    DBNavigator1->setVisible(!listUsers);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(DBGrid1, 1);
    layout->addWidget(DBNavigator1);
    resize(620, 420);

    vox::connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            DBGrid1DblClick();
    });
}

TAccoutList::~TAccoutList() = default;

void TAccoutList::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    vox::guard([&] { FormShow(); });
}

void TAccoutList::done(int result)
{
    vox::guard([&] { FormClose(); });
    QDialog::done(result);
}

void TAccoutList::FormShow()
{
    m_closed = false;
    if (!m_list->isActive())
        m_list->open();
}

void TAccoutList::DBGrid1DblClick()
{
    done(Accepted);
}

void TAccoutList::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    const auto closeList = qScopeGuard([this] { m_list->close(); });
    if (!m_list->isActive() || m_list->isEmpty())
        return;
    const QString key = m_list->fieldByName(m_listUsers ? QStringLiteral("User_No") : QStringLiteral("Account"))->asString();
    if (m_picked)
        m_picked(key);
}
