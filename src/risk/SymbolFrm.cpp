#include "risk/SymbolFrm.h"

#include "core/Guard.h"
#include "db/AdminData.h"
#include "risk/Convertsymbol.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QVBoxLayout>

TSymbolFrm::TSymbolFrm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TSymbolFrm"));
    setWindowTitle(QStringLiteral("Search Symbol"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    auto *find = new QLabel(QStringLiteral("Find"), this);
    find->setBuddy(Edit1);
    DBGrid1 = new DBGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    if (TAdminData *data = TAdminData::instance()) {
        DBGrid1->setDataset(data->symbol_data);
        DBGrid1->addColumn(QStringLiteral("symbol"), QStringLiteral("Symbol"));
        DBGrid1->addColumn(QStringLiteral("symbol_name"), QStringLiteral("English Name"));
        DBGrid1->addColumn(QStringLiteral("c_symbol_name"), QStringLiteral("Chinese Name"));
    }
    auto *top = new QHBoxLayout;
    top->addWidget(find);
    top->addWidget(Edit1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DBGrid1, 1);
    resize(520, 420);

    vox::connect(Edit1, &QLineEdit::returnPressed, this, &TSymbolFrm::Edit1KeyDown);
    vox::connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        if (index.isValid())
            DBGrid1DblClick();
    });
}

TSymbolFrm *TSymbolFrm::shared()
{
    static QPointer<TSymbolFrm> instance;
    if (!instance) {
        instance = new TSymbolFrm;
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, instance.data(), &QObject::deleteLater);
    }
    return instance;
}

void TSymbolFrm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    vox::guard([&] { FormShow(); });
}

void TSymbolFrm::FormShow()
{
    Dataset *symbols = TAdminData::required().symbol_data;
    if (!symbols->isActive())
        symbols->open();
    Edit1->setFocus();
}

int TSymbolFrm::pick(std::function<void(const QString &)> picked)
{
    m_picked = std::move(picked);
    const auto forget = qScopeGuard([this] { m_picked = nullptr; });
    return exec();
}

void TSymbolFrm::Edit1KeyDown()
{
    Dataset *symbols = TAdminData::required().symbol_data;
    if (!symbols->isActive())
        symbols->open();
    // Not found: the grid stays where it is.
    symbols->locate(QStringLiteral("symbol"), Convertsymbol(Edit1->text()));
}

void TSymbolFrm::DBGrid1DblClick()
{
    Dataset *symbols = TAdminData::required().symbol_data;
    if (!symbols->isActive() || symbols->isEmpty())
        return;
    const QString symbol = symbols->fieldByName(QStringLiteral("symbol"))->asString();
    const auto picked = m_picked;
    hide();
    // The window ends however the lookup goes; its message is still shown.
    const auto end = qScopeGuard([this] { done(Accepted); });
    if (picked)
        picked(symbol);
}
