#pragma once

#include "logins/LoginManagement.h"

#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The Login Management window: device logins of customer accounts and
// dealers, with their access codes and printed mailers.
class TLoginMan : public QWidget, private LoginManView
{
    Q_OBJECT
public:
    explicit TLoginMan(QWidget *parent = nullptr);
    ~TLoginMan() override;

    QLineEdit *EdtAcct;
    QComboBox *Usage;
    QPushButton *Button1;
    QPushButton *BitBtn1;
    QGroupBox *GroupBox1;
    QLineEdit *AcctEdt;
    QComboBox *Devicetype;
    QLineEdit *Deviceidedt;
    QLabel *PasswordLabel;
    QLineEdit *Passwordedt;
    QLabel *LengthLabel;
    QLineEdit *Length1;
    QCheckBox *RandomBox;
    QPushButton *SaveBtn;
    QPushButton *Button2;
    QPushButton *BitBtn2;

    LoginManagement &rules() { return *m_rules; }

    void FormShow();
    void BitBtn1Click();
    void SaveBtnClick();
    void DevicetypeClick();
    void RandomBoxClick();
    void Button1Click();
    void BitBtn2Click();
    // A new reference id in Deviceidedt.
    void genmcardid();
    // One random password character: "A".."Z", "a".."z" or "0".."9".
    static QChar randalphanum();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString searchText() const override;
    int usageIndex() const override;
    QString usageText() const override;
    void setPasswordShown(bool shown) override;
    void setLengthShown(bool shown) override;
    void setLengthEnabled(bool enabled) override;
    QString lengthText() const override;
    void setLengthText(const QString &text) override;
    void setDetailsEnabled(bool enabled) override;
    void setSaveEnabled(bool enabled) override;
    QString loginNumber() const override;
    void setLoginNumber(const QString &text) override;
    int deviceTypeIndex() const override;
    QString deviceTypeText() const override;
    void setDeviceTypeIndex(int index) override;
    int deviceTypeCount() const override;
    QString deviceTypeAt(int index) const override;
    QString deviceId() const override;
    void setDeviceId(const QString &text) override;
    QString password() const override;
    void setPassword(const QString &text) override;
    void setPasswordEnabled(bool enabled) override;
    void setRandomShown(bool shown) override;
    bool randomChecked() const override;
    void setRandomChecked(bool checked) override;
    void focusSearch() override;
    void focusDeviceId() override;

    std::unique_ptr<LoginManagement> m_rules;
    bool m_shown = false;
};
