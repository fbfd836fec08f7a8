#pragma once

#include "customers/CustomerProfile.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The Customer Profile window: the restrictions of one customer account,
// shown from riskman_file and DeviceAccount and changed by command.
class TCusForm : public QWidget, private CustomerProfileView
{
    Q_OBJECT
public:
    explicit TCusForm(QWidget *parent = nullptr);
    ~TCusForm() override;

    QLineEdit *EdtAcct;
    QPushButton *Button1;
    QLabel *Label5;
    QLineEdit *UpFrontField;
    QLineEdit *SSell;
    QCheckBox *RdBtnSuspend;
    QCheckBox *RdBtnSell;
    QCheckBox *DayTradeBox;
    QGroupBox *DeviceBox;
    QListWidget *ListBox1;
    QPushButton *Button3;
    QPushButton *Button4;

    CustomerProfile &profile() { return *m_profile; }

    void FormShow();
    void BitBtn1Click();
    // Enter in the account field: the lookup, then the ratio field.
    void EdtAcctKeyDown();
    void Button1Click();
    void RdBtnSuspendClick();
    void ListBox1DblClick();
    void Button3Click();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString accountText() const override;
    void setAccountText(const QString &text) override;
    void setAccountName(const QString &name) override;
    QString upFrontText() const override;
    void setUpFrontText(const QString &text) override;
    QString shortSellText() const override;
    void setShortSellText(const QString &text) override;
    bool suspend() const override;
    void setSuspend(bool on) override;
    bool sellOnly() const override;
    void setSellOnly(bool on) override;
    bool dayTrade() const override;
    void setDayTrade(bool on) override;
    QStringList deviceLines() const override;
    void setDeviceLines(const QStringList &lines) override;
    void setDeviceListVisible(bool visible) override;

    std::unique_ptr<CustomerProfile> m_profile;
    bool m_shown = false;
};
