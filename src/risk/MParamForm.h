#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;
class QGroupBox;

// The Market Parameter window: shows the market ratio the risk manager
// holds and sets or unsets it by command.
class TMParamForm : public QWidget
{
    Q_OBJECT
public:
    explicit TMParamForm(QWidget *parent = nullptr);
    ~TMParamForm() override;

    static TMParamForm *current();

    QGroupBox *GroupBox1;
    QLineEdit *EdtMRatio;
    QPushButton *Button1;
    QPushButton *Button3;
    QPushButton *Button4;
    QPushButton *Button2;

    // Whether text reads as a floating-point number: optional sign, digits
    // with one decimal separator, optional exponent, blanks around.
    static bool readsAsNumber(const QString &text);

public slots:
    void FormShow();
    void Button1Click();
    void Button3Click();
    void Button4Click() { FormShow(); }
    void Button2Click() { close(); }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    bool m_shown = false;
};
