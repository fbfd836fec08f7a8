#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The about box: program icon, product title, file version and the maker's
// notices. Created once at start-up, hidden, and shown modally by
// "&About...".
class TAboutBox : public QDialog
{
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon = nullptr;
    QLabel *ProductName = nullptr;
    QLabel *Version = nullptr;
    QLabel *Copyright = nullptr;
    QLabel *Comments = nullptr;
    QPushButton *OKButton = nullptr;

protected:
    void showEvent(QShowEvent *event) override;
};
