#pragma once

#include <QDialog>
#include <functional>

class DBGrid;
class DBNavigator;
class Dataset;
class TAdminData;

// The Login List picker: lists the dealer users (ListUsers) or the customer
// accounts, and hands the current row's key back however it is closed.
// It reads through datasets of its own, so closing it leaves the shared
// customer list of other windows open.
class TAccoutList : public QDialog
{
    Q_OBJECT
public:
    TAccoutList(TAdminData &data, bool listUsers, QWidget *parent = nullptr);
    ~TAccoutList() override;

    // What the chosen User_No or Account is given to.
    void setPickHandler(std::function<void(const QString &key)> handler) { m_picked = std::move(handler); }

    bool ListUsers() const { return m_listUsers; }
    Dataset *dataset() const { return m_list; }

    DBGrid *DBGrid1;
    DBNavigator *DBNavigator1;

    void FormShow();
    void DBGrid1DblClick();
    void FormClose();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;

private:
    bool m_listUsers;
    Dataset *m_list;
    bool m_closed = false;
    std::function<void(const QString &)> m_picked;
};
