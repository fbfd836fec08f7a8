#include "customers/AccountInfo.h"

#include "core/Guard.h"
#include "customers/AccountExport.h"
#include "db/AdminData.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

TAccountInfo::TAccountInfo(TAdminData &data, QWidget *parent)
    : QWidget(parent)
    , m_data(data)
{
    setObjectName(QStringLiteral("TAccountInfo"));
    setWindowTitle(QStringLiteral("AccountInfo"));
    auto *box = new QGroupBox(QStringLiteral("Account Type:"), this);
    RadioButton1 = new QRadioButton(QStringLiteral("Internet"), box);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setChecked(true);
    RadioButton2 = new QRadioButton(QStringLiteral("TWM"), box);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    auto *radios = new QVBoxLayout(box);
    radios->addWidget(RadioButton1);
    radios->addWidget(RadioButton2);
    Button1 = new QPushButton(QStringLiteral("Print"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button2 = new QPushButton(QStringLiteral("Close"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(box);
    layout->addLayout(buttons);

    vox::connect(Button1, &QPushButton::clicked, this, &TAccountInfo::Button1Click);
    vox::connect(Button2, &QPushButton::clicked, this, [this] { close(); });
}

void TAccountInfo::Button1Click()
{
    using namespace AccountExport;
    const Channel channel = RadioButton1->isChecked() ? Channel::Internet : Channel::TWM;
    std::unique_ptr<QProgressDialog> dialog;
    auto progress = [&](int done, int total) {
        if (total < ProgressFrom)
            return true;
        if (!dialog) {
            dialog = std::make_unique<QProgressDialog>(QStringLiteral("Writing %1").arg(fileName(channel)),
                                                       QStringLiteral("Cancel"), 0, total, this);
            dialog->setObjectName(QStringLiteral("ExportProgress"));
            dialog->setWindowModality(Qt::WindowModal);
            dialog->setMinimumDuration(0);
        }
        dialog->setValue(done);
        QApplication::processEvents();
        return !dialog->wasCanceled();
    };
    exportFile(*m_data.Database1, channel, QDir::currentPath(), progress);
}
