#pragma once

#include <QWidget>

class QPushButton;
class QRadioButton;
class TAdminData;

// The account information report window: writes the account information
// export of the Internet or the TWM channel into the current directory.
class TAccountInfo : public QWidget
{
    Q_OBJECT
public:
    explicit TAccountInfo(TAdminData &data, QWidget *parent = nullptr);

    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QPushButton *Button1;
    QPushButton *Button2;

    // Logins from which the export shows its progress with Cancel.
    static constexpr int ProgressFrom = 2000;

    void Button1Click();

private:
    TAdminData &m_data;
};
