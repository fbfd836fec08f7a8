#include "widgets/ExceptionReportWindow.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QList>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

ExceptionReportWindow::ExceptionReportWindow(const ExceptionReport &report, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ExceptionReportWindow"));
    setWindowTitle(QStringLiteral("Application Error"));
    setModal(true);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const ExceptionReportConfig cfg = exceptionReportConfig();
    const QIcon icon = cfg.icon.isNull() ? style()->standardIcon(QStyle::SP_MessageBoxCritical)
                                         : cfg.icon;
    setWindowIcon(icon);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("ExceptIcon"));
    m_icon->setPixmap(icon.pixmap(48, 48));
    m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_message = new QLabel(report.mainText(), this);
    m_message->setObjectName(QStringLiteral("MessageLabel"));
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_message->setWordWrap(true);
    m_message->setMinimumWidth(420);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("OKBtn"));
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    m_details = new QPushButton(QStringLiteral("Details >>"), this);
    m_details->setObjectName(QStringLiteral("DetailsBtn"));
    m_details->setAutoDefault(false);
    connect(m_details, &QPushButton::clicked, this, &ExceptionReportWindow::DetailsBtnClick);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("DetailsPages"));
    m_pages->addTab(makePage("CallStackPage", report.callStack), QStringLiteral("Call Stack"));
    m_pages->addTab(makePage("RegistersPage", report.registers), QStringLiteral("Registers"));
    m_pages->addTab(makePage("InfoPage", report.customInfo),
                    report.customPageTitle.isEmpty() ? cfg.customPageTitle : report.customPageTitle);
    m_pages->setCurrentIndex(0);
    m_pages->setMinimumSize(640, 300);
    m_pages->hide();

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_details);
    buttons->addStretch();

    auto *top = new QHBoxLayout;
    top->addWidget(m_icon);
    top->addWidget(m_message, 1);
    top->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(top);
    layout->addWidget(m_pages);
}

QPlainTextEdit *ExceptionReportWindow::makePage(const char *name, const QStringList &lines)
{
    auto *page = new QPlainTextEdit;
    page->setObjectName(QLatin1String(name));
    page->setReadOnly(true);
    page->setLineWrapMode(QPlainTextEdit::NoWrap);
    // A fixed-pitch face by name first: the system's "monospace" alias may
    // resolve to a face Qt does not report as fixed pitch.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Liberation Mono"),
                       QStringLiteral("Courier New"), fixed.family()});
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    page->setFont(fixed);
    page->setPlainText(lines.join(QLatin1Char('\n')));
    return page;
}

bool ExceptionReportWindow::detailsShown() const
{
    return !m_pages->isHidden();
}

void ExceptionReportWindow::DetailsBtnClick()
{
    m_pages->setVisible(m_pages->isHidden());
    if (m_pages->isHidden())
        m_pages->setCurrentIndex(0);
    adjustSize();
}

namespace {
// Reports waiting for the screen; touched on the user-interface thread only.
struct PendingReport {
    ExceptionReport report;
    QPointer<QWidget> parent;
};
struct ReportQueue {
    QList<PendingReport> pending;
    bool showing = false;
};

ReportQueue &reportQueue()
{
    static ReportQueue queue;
    return queue;
}
} // namespace

void ExceptionReportWindow::showQueued(const ExceptionReport &report, QWidget *parent)
{
    ReportQueue &queue = reportQueue();
    queue.pending.append({report, parent});
    if (queue.showing)
        return;
    queue.showing = true;
    while (!queue.pending.isEmpty()) {
        const PendingReport next = queue.pending.takeFirst();
        ExceptionReportWindow window(next.report, next.parent.data());
        window.exec();
    }
    queue.showing = false;
}
