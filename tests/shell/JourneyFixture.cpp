#include "JourneyFixture.h"

#include "DemoData.h"
#include "DemoDatabase.h"
#include "net/RiskOutbox.h"
#include "net/Services.h"
#include "risk/SymbolFrm.h"
#include "shell/ConsoleStartup.h"
#include "shell/MainForm.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"
#include "support/Typing.h"
#include "widgets/PrinterFactory.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTest>
#include <QTimer>
#include <QUuid>
#include <stdexcept>

namespace {
const char *const PrintDirVariable = "VOX_PRINT_DIR";

// What scripts/make-demo.sh writes besides the database and the two links.
const char *const DemoIniSections = "[TAMSEL]\r\n"
                                    "devicelist=WAP,Phone\r\n"
                                    "[TAMSEL_PRINT]\r\n"
                                    "passwordx=3\r\n"
                                    "passwordy=2\r\n"
                                    "datex=15\r\n"
                                    "datey=3\r\n"
                                    "printlabel=y\r\n"
                                    "labelcontent=VOX Channel Password\r\n";

// Fills the tables of an empty console database with the demo rows, in one
// transaction, as the demo builder does.
void insertDemoRows(const QString &conn, DemoDb::Engine engine)
{
    const QString name = QStringLiteral("journey-demo-") + QUuid::createUuid().toString(QUuid::Id128);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(conn);
        if (!db.open())
            throw std::runtime_error(("cannot open the demo database: " + db.lastError().text()).toStdString());
        db.transaction();
        try {
            DemoDb::insertDemoData(db, engine);
        } catch (const DemoDb::Error &e) {
            db.rollback();
            throw std::runtime_error(e.what());
        }
        if (!db.commit())
            throw std::runtime_error(("cannot commit the demo rows: " + db.lastError().text()).toStdString());
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
} // namespace

JourneyFixture::JourneyFixture() = default;

JourneyFixture::~JourneyFixture()
{
    // The console goes first, as at the end of main(): the main window, then
    // the data module with the service clients and the outbox.
    m_console.reset();
    delete TSymbolFrm::shared();
    QTest::qWait(10);
    stopRiskManager();
    m_current.reset();
    if (m_printDirBefore) {
        if (m_printDirBefore->isNull())
            qunsetenv(PrintDirVariable);
        else
            qputenv(PrintDirVariable, *m_printDirBefore);
    }
    dialogs.reset();
}

bool JourneyFixture::setUp(const QString &engine)
{
    if (!m_dir.isValid())
        throw std::runtime_error("no temporary demo folder");
    backend = engine;
    if (backend == QLatin1String("postgresql")) {
        conn = TestDb::freshFor(backend, m_dir.path());
        if (conn.isEmpty())
            return false;
        insertDemoRows(conn, DemoDb::Engine::PostgreSql);
    } else {
        // The SQLite demo file as the demo builder makes it.
        const QString file = path(QStringLiteral("voxdemo.db"));
        DemoDb::buildSqliteFile(file, false);
        conn = DemoDb::sqliteConnectionString(file);
    }
    QDir(m_dir.path()).mkpath(QStringLiteral("printed"));
    m_riskPort = freePort();
    TestDb::writeVoxIni(m_dir.path(), conn, m_riskPort, orderServer.port(), QString::fromLatin1(DemoIniSections));

    // Printed pages become PDF files of the demo folder.
    m_printDirBefore = qEnvironmentVariableIsSet(PrintDirVariable) ? qgetenv(PrintDirVariable) : QByteArray();
    qputenv(PrintDirVariable, QFile::encodeName(path(QStringLiteral("printed"))));

    startRiskManager();
    // The console runs in the demo folder, as run.sh starts it.
    m_current = std::make_unique<ScopedCurrentDir>(m_dir.path());
    dialogs = std::make_unique<FakeDialogs>();
    return true;
}

void JourneyFixture::startRiskManager()
{
    m_riskman = std::make_unique<QProcess>();
    m_riskman->setWorkingDirectory(m_dir.path());
    m_riskman->setProcessChannelMode(QProcess::MergedChannels);
    m_riskman->start(QStringLiteral(VOXRISKMAN_PATH), QStringList());
    if (!m_riskman->waitForStarted())
        throw std::runtime_error("voxriskman did not start");
    const bool listening = QTest::qWaitFor(
        [this] { return (m_riskmanOutput += m_riskman->readAll()).contains("listening on"); }, 20000);
    if (!listening)
        throw std::runtime_error(("voxriskman is not listening: " + m_riskmanOutput).toStdString());
}

void JourneyFixture::stopRiskManager()
{
    if (!m_riskman)
        return;
    m_riskman->kill();
    m_riskman->waitForFinished();
    m_riskman.reset();
}

bool JourneyFixture::start(const QList<Attempt> &attempts)
{
    m_console = std::make_unique<ConsoleStartup>();
    // The login window is modal: it is answered from a timer that runs in
    // its own message loop once it is the active modal window.
    bool answered = false;
    QTimer operatorHand;
    operatorHand.setInterval(20);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        QWidget *login = QApplication::activeModalWidget();
        if (answered || !login || login->objectName() != QLatin1String("loginform"))
            return;
        answered = true;
        auto *user = login->findChild<QLineEdit *>(QStringLiteral("Edit1"));
        auto *password = login->findChild<QLineEdit *>(QStringLiteral("Edit2"));
        auto *ok = login->findChild<QPushButton *>(QStringLiteral("BitBtn1"));
        auto *cancel = login->findChild<QPushButton *>(QStringLiteral("BitBtn2"));
        if (!user || !password || !ok || !cancel)
            return;
        for (const Attempt &attempt : attempts) {
            retype(user, attempt.user);
            retype(password, attempt.password);
            QTest::mouseClick(ok, Qt::LeftButton);
            if (!login->isVisible())
                return;
        }
        // No attempt was let in: the operator gives up.
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    operatorHand.start();
    m_console->start();
    return QTest::qWaitFor([&] { return answered && !QApplication::activeModalWidget(); }, 30000);
}

TMainForm &JourneyFixture::mainForm() const
{
    return m_console->mainForm();
}

QWidget *JourneyFixture::trigger(const char *action)
{
    auto *a = mainForm().findChild<QAction *>(QString::fromLatin1(action));
    if (!a || !a->isEnabled())
        return nullptr;
    a->trigger();
    QMdiSubWindow *sub = mainForm().mdiArea()->activeSubWindow();
    if (!sub || !sub->widget() || !QTest::qWaitForWindowExposed(sub->widget()))
        return nullptr;
    return sub->widget();
}

bool JourneyFixture::commandsConfirmed(int timeoutMs)
{
    RiskOutbox *outbox = riskOutbox();
    if (!outbox)
        return false;
    const bool settled = QTest::qWaitFor(
        [outbox] { return outbox->pendingCount() == 0 || outbox->unconfirmedCount() > 0; }, timeoutMs);
    return settled && outbox->pendingCount() == 0 && outbox->unconfirmedCount() == 0;
}

int JourneyFixture::unconfirmedCount() const
{
    RiskOutbox *outbox = riskOutbox();
    return outbox ? int(outbox->unconfirmedCount()) : -1;
}

QStringList JourneyFixture::riskRows(const QString &receiver) const
{
    QStringList out;
    const QList<QStringList> rows = TestDb::rows(
        conn,
        QStringLiteral("SELECT targetsystem, receivertype, attribute, value FROM riskman_file WHERE receiverid = ?"),
        {receiver});
    for (const QStringList &row : rows)
        out << row.join(QLatin1Char('|'));
    out.sort();
    return out;
}

QStringList JourneyFixture::printedSince(int before) const
{
    return PrintJob::writtenFiles().mid(before);
}

QString JourneyFixture::path(const QString &name) const
{
    return name.isEmpty() ? m_dir.path() : m_dir.filePath(name);
}
