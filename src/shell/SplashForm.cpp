#include "shell/SplashForm.h"

#include "shell/ShellResources.h"
#include "shell/VersionInfo.h"

#include <QFont>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QVBoxLayout>

TSplashFrm::TSplashFrm(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    initShellResources();
    setObjectName(QStringLiteral("TSplashFrm"));
    // Left open until the end: it must not keep the program running once
    // the main window is closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(15, 40, 95));
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap(QStringLiteral(":/SPLASH")));

    ProductName = new QLabel(QStringLiteral("VOX Administration"), this);
    ProductName->setObjectName(QStringLiteral("ProductName"));
    QFont title = ProductName->font();
    title.setPointSize(title.pointSize() + 8);
    title.setBold(true);
    ProductName->setFont(title);

    Version = new QLabel(this);
    Version->setObjectName(QStringLiteral("Version"));
    {
        const TVersionInfo info;
        Version->setText(QStringLiteral("Version : ") + info.GetVersionString(3));
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(Image1, 0, Qt::AlignHCenter);
    layout->addWidget(ProductName, 0, Qt::AlignHCenter);
    layout->addWidget(Version, 0, Qt::AlignHCenter);

    adjustSize();
    centre();
}

void TSplashFrm::centre()
{
    if (QScreen *s = screen()) {
        QRect r = frameGeometry();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
}
