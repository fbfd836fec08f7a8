#pragma once

#include <QWidget>

class DBEdit;
class DBGrid;
class QGroupBox;
class QPushButton;
class TAdminData;

// The Customer Maintenance window: lists the customer accounts and creates
// new ones, printing each new account's information sheet.
class TCusMain : public QWidget
{
    Q_OBJECT
public:
    explicit TCusMain(QWidget *parent = nullptr);
    ~TCusMain() override;

    DBGrid *wwDBGrid1;
    QGroupBox *GroupBox2;
    DBEdit *AccountField;
    DBEdit *UserNoField;
    DBEdit *LimitField;
    QPushButton *AddAcct;
    QPushButton *Cancel;
    QPushButton *Apply;

    // Whether a new account is being entered.
    bool isAdding() const { return m_adding; }

    void FormCreate();
    void AddAcctClick();
    void ApplyClick();
    void CancelClick();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void setAdding(bool adding);

    TAdminData &m_data;
    bool m_adding = false;
};
