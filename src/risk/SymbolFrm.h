#pragma once

#include <QDialog>
#include <functional>

class DBGrid;
class QLineEdit;

// The Search Symbol window: finds a symbol in the symbol table and hands it
// to the window that asked. One instance serves the whole program and keeps
// its place in the table between uses.
class TSymbolFrm : public QDialog
{
    Q_OBJECT
public:
    explicit TSymbolFrm(QWidget *parent = nullptr);

    // The program's instance, made at start-up (or at first use).
    static TSymbolFrm *shared();
    static void createShared() { shared(); }

    QLineEdit *Edit1;
    DBGrid *DBGrid1;

    // Shows the window modally; a double-clicked symbol goes to picked.
    int pick(std::function<void(const QString &symbol)> picked);

    void FormShow();
    // Moves the grid to the symbol typed (normalised), if the table has it.
    void Edit1KeyDown();
    void DBGrid1DblClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::function<void(const QString &)> m_picked;
};
