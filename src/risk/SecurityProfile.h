#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Dataset;
class TAdminData;

// What the security profile rules need of the window that shows them.
class SecurityProfileView
{
public:
    virtual ~SecurityProfileView() = default;
    // The symbol as typed.
    virtual QString symbolText() const = 0;
    virtual QString upFrontText() const = 0;
    virtual void setUpFrontText(const QString &text) = 0;
    virtual bool sellOnly() const = 0;
    virtual void setSellOnly(bool on) = 0;
};

// The restrictions of one security: its up-front ratio and sell-only mark,
// read from riskman_file and changed by risk-manager commands.
class SecurityProfile
{
public:
    using Sender = std::function<void(const QString &command)>;

    // send defaults to the risk-manager client.
    SecurityProfile(TAdminData &data, SecurityProfileView &view, Sender send = {});

    // Looks the symbol of the view up: checks it against the symbol table
    // ("Invalid symbol code!") and fills the ratio and the sell-only box
    // from the security's rules. The controls are cleared first and stay
    // cleared when the lookup fails.
    void lookup();
    // The commands Save sends, in order, every field checked. Raises, and
    // builds nothing, when the symbol field does not hold the symbol the
    // last successful lookup loaded.
    QStringList saveCommands() const;
    // Sends saveCommands() to the risk manager; nothing is sent when any of
    // them cannot be built.
    void save();

    // The normalised symbol the last successful lookup loaded (empty when
    // none did) and the ratio it showed.
    const QString &loadedSymbol() const { return m_symbol; }
    const QString &loadedUpFront() const { return m_upFront; }

    // The calculated field SELLONLY of Security_Profile: set when the
    // row's attribute contains "SELL".
    static void Security_ProfileCalcFields(Dataset &ds);

    static const char *const InvalidSymbol;
    static const char *const LookUpFirst;

private:
    TAdminData &m_data;
    SecurityProfileView &m_view;
    Sender m_send;
    QString m_symbol;
    QString m_upFront;
};
