#include "shell/AboutBox.h"

#include "core/Guard.h"
#include "shell/ShellResources.h"
#include "shell/VersionInfo.h"

#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent)
{
    initShellResources();
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("VOX"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QIcon icon(QStringLiteral(":/MAINICON"));
    setWindowIcon(icon);

    ProgramIcon = new QLabel(this);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setPixmap(icon.pixmap(48, 48));

    ProductName = new QLabel(QStringLiteral("VOX Administration"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont title = ProductName->font();
    title.setPointSize(title.pointSize() + 4);
    title.setBold(true);
    ProductName->setFont(title);

    Version = new QLabel(this);
    Version->setObjectName(QStringLiteral("Version"));
    {
        const TVersionInfo info;
        Version->setText(QStringLiteral("Version :") + info.GetVersionString(3));
    }

    Copyright = new QLabel(QStringLiteral("Copyright (C) Varnel Systems. All rights reserved."), this);
    Copyright->setObjectName(QStringLiteral("Copyright"));
    Comments = new QLabel(QStringLiteral("For use by the licensed staff of the brokerage only."), this);
    Comments->setObjectName(QStringLiteral("Comments"));

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    vox::connect(OKButton, &QPushButton::clicked, this, [this] { accept(); });

    auto *grid = new QGridLayout;
    grid->addWidget(ProgramIcon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(ProductName, 0, 1);
    grid->addWidget(Version, 1, 1);
    grid->addWidget(Copyright, 2, 1);
    grid->addWidget(Comments, 3, 1);
    grid->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    vox::guard([this] {
        if (QScreen *s = screen()) {
            QRect r = frameGeometry();
            r.moveCenter(s->availableGeometry().center());
            move(r.topLeft());
        }
    });
}
