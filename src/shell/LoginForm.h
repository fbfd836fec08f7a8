#pragma once

#include <QDialog>
#include <QStringList>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// The administrator login: a user number and password of the user table.
// Only operators holding "Login Management" or "Risk Management", and
// supervisors, are admitted.
class Tloginform : public QDialog
{
    Q_OBJECT
public:
    explicit Tloginform(QWidget *parent = nullptr);

    // The operator rights list built by the last OK press.
    const QStringList &rights() const { return m_rights; }
    bool accepted() const { return m_accepted; }

    QLabel *Label1;
    QLineEdit *Edit1;
    QLabel *Label2;
    QLineEdit *Edit2;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;

    // Shows the login modally; the rights list after a successful login,
    // nothing when the operator cancelled (the application is then ending).
    static std::optional<QStringList> run(QWidget *parent);

public slots:
    void FormShow();
    void Edit1Change();
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent *event) override;
    void reject() override;

private:
    QStringList m_rights;
    bool m_accepted = false;
};
