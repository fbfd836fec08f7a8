// voxriskman: a stand-in risk manager. Listens on the port of section
// VOX_RISKMAN of vox.ini and keeps riskman_file in step with the
// risk-parameter commands it receives.

#include "RiskManServer.h"
#include "RiskStore.h"

#include "config/IniFile.h"
#include "config/VoxIniFile.h"
#include "net/VoxService.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <cstdio>
#include <memory>

namespace {
void writeLine(FILE *stream, const QString &text)
{
    const QByteArray line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz "))
                                .toLatin1()
        + text.toLatin1() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stream);
    std::fflush(stream);
}

int fail(const QString &text)
{
    writeLine(stderr, QStringLiteral("error: ") + text);
    return 1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("voxriskman"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Stand-in risk manager for the administration console."));
    parser.addHelpOption();
    const QCommandLineOption iniOption(QStringList{QStringLiteral("i"), QStringLiteral("ini")},
                                       QStringLiteral("Configuration file (default: vox.ini, searched as the console does)."),
                                       QStringLiteral("path"));
    parser.addOption(iniOption);
    parser.process(app);

    std::unique_ptr<IniFile> ini = parser.isSet(iniOption)
        ? std::make_unique<IniFile>(parser.value(iniOption))
        : voxIniFile();

    const QStringList service = ini->readSectionValues(QStringLiteral("VOX_RISKMAN"));
    const QString host = valueFromList(service, QStringLiteral("host"));
    int port = 0;
    if (service.isEmpty() || !voxService::parsePort(valueFromList(service, QStringLiteral("port")), &port))
        return fail(QStringLiteral("no valid port in section VOX_RISKMAN of ") + ini->fileName());

    const QStringList database = ini->readSectionValues(QStringLiteral("VOX_DATABASE"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"));
    db.setDatabaseName(valueFromList(database, QStringLiteral("DSN_source")));
    db.setUserName(valueFromList(database, QStringLiteral("DSN_user")));
    db.setPassword(valueFromList(database, QStringLiteral("DSN_password")));
    if (!db.open())
        return fail(QStringLiteral("cannot open the database: ") + db.lastError().text());

    RiskStore store(db);
    RiskManServer server(&store);
    server.setLogger([](const QString &text) { writeLine(stdout, text); });
    const QHostAddress address = RiskManServer::listenAddressFor(host);
    if (!server.listen(address, quint16(port)))
        return fail(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(address.toString()).arg(port).arg(server.errorString()));
    writeLine(stdout, QStringLiteral("listening on %1:%2").arg(address.toString()).arg(server.serverPort()));
    return app.exec();
}
