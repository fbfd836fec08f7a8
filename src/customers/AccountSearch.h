#pragma once

#include <QDialog>
#include <functional>

class DBGrid;
class QLineEdit;
class QRadioButton;
class TAdminData;
class DbConnection;

namespace AccountSearch {
enum class By { Number, Name };
// The first account, in the customer table's order, whose number (or
// name) begins with prefix, letter case ignored; empty when none does.
// The prefix is compared as data: "%", "_" and "!" are plain characters.
QString firstMatch(DbConnection &connection, By by, const QString &prefix);
} // namespace AccountSearch

// The Search Account window: finds a customer account by number or name
// and hands it to the window that asked.
class TAccountSearch : public QDialog
{
    Q_OBJECT
public:
    explicit TAccountSearch(TAdminData &data, QWidget *parent = nullptr);
    ~TAccountSearch() override;

    // What a double-clicked account is given to.
    void setPickHandler(std::function<void(const QString &account)> handler) { m_picked = std::move(handler); }

    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QLineEdit *Edit1;
    DBGrid *DBGrid1;

    void FormShow();
    void Edit1KeyDown();
    void DBGrid1DblClick();
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    TAdminData &m_data;
    std::function<void(const QString &)> m_picked;
};
