#include "risk/SecurityProfile.h"

#include "core/VoxError.h"
#include "db/AdminData.h"
#include "net/RiskCommand.h"
#include "net/Services.h"
#include "risk/Convertsymbol.h"

const char *const SecurityProfile::InvalidSymbol = "Invalid symbol code!";
const char *const SecurityProfile::LookUpFirst =
    "Look the symbol up before saving: the symbol field does not hold the symbol shown.";

namespace {
const QString Attribute = QStringLiteral("attribute");
} // namespace

SecurityProfile::SecurityProfile(TAdminData &data, SecurityProfileView &view, Sender send)
    : m_data(data)
    , m_view(view)
    , m_send(send ? std::move(send) : Sender(&sendRiskCommand))
{
    m_data.Security_Profile->onCalcFields = &Security_ProfileCalcFields;
}

void SecurityProfile::Security_ProfileCalcFields(Dataset &ds)
{
    ds.fieldByName(QStringLiteral("SELLONLY"))
        ->setValue(ds.fieldByName(Attribute)->asString().contains(QLatin1String("SELL")));
}

void SecurityProfile::lookup()
{
    const QString symbol = Convertsymbol(m_view.symbolText());
    m_symbol.clear();
    m_upFront.clear();
    m_view.setUpFrontText(QString());
    m_view.setSellOnly(false);

    // The symbol table is asked directly: the search window's position in
    // it stays where the operator left it.
    Query known(QStringLiteral("symbol_check"), m_data.Database1);
    known.setSql(QStringLiteral("select symbol from dbo.symbol_lot_size where symbol = :symbol"));
    known.setCatalogTable(QStringLiteral("dbo.symbol_lot_size"));
    known.setParam(QStringLiteral("symbol"), symbol);
    known.open();
    bool found = false;
    for (known.first(); !known.eof() && !found; known.next())
        found = known.fieldByName(QStringLiteral("symbol"))->asString() == symbol; // case-sensitive
    known.close();
    if (!found)
        throw VoxError(QString::fromLatin1(InvalidSymbol));

    Query *profile = m_data.Security_Profile;
    profile->close();
    profile->setParam(QStringLiteral("symbol"), symbol);
    profile->open();
    QString upFront;
    bool sell = false;
    for (profile->first(); !profile->eof(); profile->next()) {
        if (profile->fieldByName(Attribute)->asString() == QLatin1String(voxRisk::UpFrontRatio))
            upFront = profile->fieldByName(QStringLiteral("value"))->asString();
        if (profile->fieldByName(QStringLiteral("SELLONLY"))->asBoolean())
            sell = true;
    }
    profile->close();

    m_view.setUpFrontText(upFront);
    m_view.setSellOnly(sell);
    m_upFront = upFront;
    m_symbol = symbol;
}

QStringList SecurityProfile::saveCommands() const
{
    const QString symbol = Convertsymbol(m_view.symbolText());
    if (m_symbol.isEmpty() || symbol.trimmed() != m_symbol)
        throw VoxError(QString::fromLatin1(LookUpFirst));
    const QString target = QLatin1String(voxRisk::OrderServer);
    const QString type = QLatin1String(voxRisk::Security);
    QStringList commands;
    const QString ratio = m_view.upFrontText();
    if (ratio != m_upFront) {
        commands << (ratio.isEmpty()
                         ? riskUnsetCommand(QLatin1String(voxRisk::UpFrontRatio), target, type, m_symbol)
                         : riskSetCommand(QLatin1String(voxRisk::UpFrontRatio), ratio, target, type, m_symbol));
    }
    commands << riskFlagCommand(m_view.sellOnly(), QLatin1String(voxRisk::SellOnly), target, type, m_symbol);
    return commands;
}

void SecurityProfile::save()
{
    const QStringList commands = saveCommands();
    for (const QString &c : commands)
        m_send(c);
}
