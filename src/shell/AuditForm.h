#pragma once

#include <QWidget>

class AuditLog;
class DBGrid;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

// The audit trail window (supervisors): the entries newest first, narrowed
// by operator, table, key and days, exported as CSV.
class TAuditForm : public QWidget
{
    Q_OBJECT
public:
    explicit TAuditForm(QWidget *parent = nullptr);
    ~TAuditForm() override;

    // The file Export writes, in the console's working folder.
    static const char *const ExportFile;

    QLineEdit *OperatorEdit;
    QComboBox *TableCombo;
    QLineEdit *KeyEdit;
    QCheckBox *FromCheck;
    QDateEdit *FromDate;
    QCheckBox *ToCheck;
    QDateEdit *ToDate;
    QPushButton *SearchButton;
    QPushButton *ExportButton;
    QPushButton *CloseButton;
    DBGrid *AuditGrid;
    AuditLog *Entries;

public slots:
    // Reads the entries the criteria on screen select.
    void SearchClick();
    // Writes them to ExportFile and says how many.
    void ExportClick();
};
