#pragma once

#include "risk/SecurityProfile.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The Security Profile window: the up-front ratio and sell-only mark of one
// security, shown from riskman_file and changed by command.
class TSecuForm : public QWidget, private SecurityProfileView
{
    Q_OBJECT
public:
    explicit TSecuForm(QWidget *parent = nullptr);
    ~TSecuForm() override;

    QLineEdit *Edtsymbol;
    QPushButton *Button1;
    QLineEdit *UpFrontField;
    QCheckBox *RdBtnSell;
    QPushButton *Button4;
    QPushButton *Button5;

    SecurityProfile &profile() { return *m_profile; }

    void BitBtn1Click();
    void Button1Click();
    void Button4Click();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QString symbolText() const override;
    QString upFrontText() const override;
    void setUpFrontText(const QString &text) override;
    bool sellOnly() const override;
    void setSellOnly(bool on) override;

    std::unique_ptr<SecurityProfile> m_profile;
};
