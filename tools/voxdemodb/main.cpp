// voxdemodb: builds the console's demo database.
//
//   voxdemodb --sqlite FILE [--replace]
//   voxdemodb --odbc "CONNECTION STRING" --dialect postgresql|sqlite|sqlserver [--replace]
//
// Creates the tables and fills them with demo rows. --replace rebuilds an
// existing SQLite file, or drops the console's tables on the ODBC connection
// before creating them.
#include "DemoDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSqlError>
#include <QTextStream>

#include <cstdio>

namespace {

int fail(const QString &message)
{
    QTextStream(stderr) << "voxdemodb: " << message << '\n';
    return 1;
}

void buildOnOdbc(const QString &connectionString, DemoDb::Engine engine, bool replace)
{
    const QString name = QStringLiteral("voxdemodb");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(connectionString);
        if (!db.open())
            throw DemoDb::Error(QStringLiteral("Cannot connect: %1").arg(db.lastError().text()));
        DemoDb::build(db, engine, replace);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("voxdemodb"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Builds the demo database of the VOX administration console."));
    parser.addHelpOption();
    const QCommandLineOption sqlite(QStringLiteral("sqlite"), QStringLiteral("Create the SQLite database <file>."),
                                    QStringLiteral("file"));
    const QCommandLineOption odbc(QStringLiteral("odbc"), QStringLiteral("Build on the ODBC <connection>."),
                                  QStringLiteral("connection"));
    const QCommandLineOption dialect(QStringLiteral("dialect"),
                                     QStringLiteral("Engine of the ODBC connection: postgresql, sqlite or sqlserver."),
                                     QStringLiteral("engine"));
    const QCommandLineOption replace(QStringLiteral("replace"),
                                     QStringLiteral("Rebuild an existing database (drops the console's tables)."));
    parser.addOptions({sqlite, odbc, dialect, replace});
    parser.process(app);

    try {
        if (parser.isSet(sqlite) == parser.isSet(odbc))
            return fail(QStringLiteral("give either --sqlite FILE or --odbc CONNECTION (see --help)"));
        if (parser.isSet(sqlite)) {
            const QString file = parser.value(sqlite);
            DemoDb::buildSqliteFile(file, parser.isSet(replace));
            QTextStream(stdout) << "Demo database written to " << file << '\n';
            return 0;
        }
        const auto engine = DemoDb::engineFromName(parser.value(dialect));
        if (!engine)
            return fail(QStringLiteral("--dialect must be postgresql, sqlite or sqlserver"));
        buildOnOdbc(parser.value(odbc), *engine, parser.isSet(replace));
        QTextStream(stdout) << "Demo database built\n";
        return 0;
    } catch (const DemoDb::Error &e) {
        return fail(e.message());
    }
}
