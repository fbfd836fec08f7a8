#include "shell/AuditForm.h"

#include "core/Dialogs.h"
#include "core/Guard.h"
#include "db/AdminData.h"
#include "db/AuditLog.h"
#include "db/Schema.h"
#include "widgets/DBGrid.h"
#include "widgets/Named.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

const char *const TAuditForm::ExportFile = "audit.csv";

TAuditForm::TAuditForm(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TAuditForm"));
    setWindowTitle(QStringLiteral("Audit Trail"));
    setAttribute(Qt::WA_DeleteOnClose);

    TAdminData &data = TAdminData::required();
    Entries = new AuditLog(QStringLiteral("Entries"), data.Database1, this);

    OperatorEdit = named(new QLineEdit(this), "OperatorEdit");
    OperatorEdit->setMaxLength(8);
    TableCombo = named(new QComboBox(this), "TableCombo");
    TableCombo->setEditable(true);
    TableCombo->addItem(QString());
    for (const TableDef &t : Schema::tables()) {
        if (t.name != QLatin1String("Admin_Audit"))
            TableCombo->addItem(t.name);
    }
    KeyEdit = named(new QLineEdit(this), "KeyEdit");
    const QDate today = QDateTime::currentDateTimeUtc().date();
    FromCheck = named(new QCheckBox(QStringLiteral("From"), this), "FromCheck");
    FromDate = named(new QDateEdit(today.addDays(-7), this), "FromDate");
    FromDate->setCalendarPopup(true);
    ToCheck = named(new QCheckBox(QStringLiteral("To"), this), "ToCheck");
    ToDate = named(new QDateEdit(today, this), "ToDate");
    ToDate->setCalendarPopup(true);
    for (QDateEdit *e : {FromDate, ToDate})
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    SearchButton = named(new QPushButton(QStringLiteral("&Search"), this), "SearchButton");
    ExportButton = named(new QPushButton(QStringLiteral("&Export CSV"), this), "ExportButton");
    CloseButton = named(new QPushButton(QStringLiteral("&Close"), this), "CloseButton");

    AuditGrid = named(new DBGrid(this), "AuditGrid");
    AuditGrid->setAccessibleName(QStringLiteral("Audit entries"));
    // Opens wide enough for the time, the key and both values.
    AuditGrid->setMinimumSize(860, 360);
    AuditGrid->setDataset(Entries);
    for (const FieldDef &f : Entries->fieldDefs()) {
        if (f.name != QLatin1String("Audit_ID"))
            AuditGrid->addColumn(f.name, f.label());
    }

    auto *criteria = new QFormLayout;
    criteria->addRow(QStringLiteral("Operator"), OperatorEdit);
    criteria->addRow(QStringLiteral("Table"), TableCombo);
    criteria->addRow(QStringLiteral("Key starts with"), KeyEdit);
    auto *days = new QHBoxLayout;
    days->addWidget(FromCheck);
    days->addWidget(FromDate);
    days->addWidget(ToCheck);
    days->addWidget(ToDate);
    days->addStretch();
    criteria->addRow(QStringLiteral("Days (UTC)"), days);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(SearchButton);
    buttons->addWidget(ExportButton);
    buttons->addStretch();
    buttons->addWidget(CloseButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(criteria);
    layout->addLayout(buttons);
    layout->addWidget(AuditGrid, 1);

    vox::connect(SearchButton, &QPushButton::clicked, this, &TAuditForm::SearchClick);
    vox::connect(ExportButton, &QPushButton::clicked, this, &TAuditForm::ExportClick);
    vox::connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    resize(900, 560);
    vox::guard([this, &data] {
        // An older database has no trail to show.
        if (data.Audit->isAvailable())
            SearchClick();
        else
            Dialogs::instance().information(QString::fromLatin1(AuditTrail::NotAuditedMessage));
    });
}

TAuditForm::~TAuditForm() = default;

void TAuditForm::SearchClick()
{
    AuditLog::Criteria c;
    c.userNo = OperatorEdit->text();
    c.table = TableCombo->currentText();
    c.key = KeyEdit->text();
    if (FromCheck->isChecked())
        c.from = FromDate->date();
    if (ToCheck->isChecked())
        c.to = ToDate->date();
    Entries->close();
    Entries->setCriteria(c);
    Entries->open();
}

void TAuditForm::ExportClick()
{
    SearchClick();
    const QString path = QDir::current().absoluteFilePath(QString::fromLatin1(ExportFile));
    const int n = Entries->exportCsv(path);
    Dialogs::instance().information(QStringLiteral("%1 audit entries written to %2.").arg(n).arg(path));
}
