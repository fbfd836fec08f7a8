// Reads the JSON results the benchmark programs wrote into one folder
// (<program>.json each) and prints one table: figure, goal, measured and
// whether the goal is met. With --markdown the table is Markdown, as in
// README.md.
//
//   bench_report [--markdown] FOLDER
//
// A benchmark is read from its median when it ran repeated, otherwise from
// its one run. A figure whose benchmark did not run, or failed, says so.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>
#include <optional>

namespace {

class Results
{
public:
    explicit Results(const QString &folder)
        : m_folder(folder)
    {
    }

    // The run of `benchmark` (a name, optionally followed by "/..." of the
    // library's own) of `program`: its median when repeated.
    std::optional<QJsonObject> run(const QString &program, const QString &benchmark)
    {
        const QJsonArray &all = load(program);
        std::optional<QJsonObject> found;
        for (const QJsonValue &v : all) {
            const QJsonObject o = v.toObject();
            const QString name = o.value(QStringLiteral("run_name")).toString(o.value(QStringLiteral("name")).toString());
            if (name != benchmark && !name.startsWith(benchmark + QLatin1Char('/')))
                continue;
            if (o.value(QStringLiteral("error_occurred")).toBool()) {
                m_failures << QStringLiteral("%1 %2: %3").arg(program, benchmark,
                                                              o.value(QStringLiteral("error_message")).toString());
                return std::nullopt;
            }
            const QString type = o.value(QStringLiteral("run_type")).toString();
            if (type == QLatin1String("aggregate")) {
                if (o.value(QStringLiteral("aggregate_name")).toString() == QLatin1String("median"))
                    return o;
                continue;
            }
            found = o;
        }
        return found;
    }

    const QStringList &failures() const { return m_failures; }

private:
    const QJsonArray &load(const QString &program)
    {
        auto it = m_loaded.find(program);
        if (it == m_loaded.end()) {
            QFile file(QDir(m_folder).filePath(program + QStringLiteral(".json")));
            QJsonArray runs;
            if (file.open(QIODevice::ReadOnly))
                runs = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("benchmarks")).toArray();
            it = m_loaded.insert(program, runs);
        }
        return *it;
    }

    QString m_folder;
    QHash<QString, QJsonArray> m_loaded;
    QStringList m_failures;
};

// The run's wall time in milliseconds.
double ms(const QJsonObject &o)
{
    const QString unit = o.value(QStringLiteral("time_unit")).toString();
    const double t = o.value(QStringLiteral("real_time")).toDouble();
    if (unit == QLatin1String("ns"))
        return t / 1e6;
    if (unit == QLatin1String("us"))
        return t / 1e3;
    if (unit == QLatin1String("s"))
        return t * 1e3;
    return t;
}

double counter(const QJsonObject &o, const char *name)
{
    return o.value(QLatin1String(name)).toDouble();
}

QString num(double v, int decimals = 1)
{
    return QLocale(QLocale::English).toString(v, 'f', decimals);
}

QString timeText(double milliseconds)
{
    if (milliseconds >= 1000)
        return num(milliseconds / 1000, 2) + QStringLiteral(" s");
    if (milliseconds < 0.01)
        return num(milliseconds * 1e6, 0) + QStringLiteral(" ns");
    if (milliseconds < 1)
        return num(milliseconds * 1e3, 0) + QStringLiteral(" µs");
    return num(milliseconds, milliseconds < 10 ? 2 : 1) + QStringLiteral(" ms");
}

struct Row {
    QString figure, goal, measured, met;
};

class Table
{
public:
    explicit Table(Results &results)
        : r(results)
    {
    }

    // A figure without a goal of its own.
    void info(const QString &figure, const QString &measured)
    {
        m_rows.append({figure, QStringLiteral("—"), measured, QStringLiteral("—")});
    }
    void goal(const QString &figure, const QString &goal, const QString &measured, bool met)
    {
        m_rows.append({figure, goal, measured, met ? QStringLiteral("yes") : QStringLiteral("NO")});
    }
    void missing(const QString &figure, const QString &goal)
    {
        m_rows.append({figure, goal, QStringLiteral("not measured"), QStringLiteral("—")});
    }

    void print(QTextStream &out, bool markdown) const
    {
        const QStringList header{QStringLiteral("Figure"), QStringLiteral("Goal"), QStringLiteral("Measured"),
                                 QStringLiteral("Met")};
        if (markdown) {
            out << "| " << header.join(QStringLiteral(" | ")) << " |\n|---|---|---|---|\n";
            for (const Row &row : m_rows)
                out << "| " << row.figure << " | " << row.goal << " | " << row.measured << " | " << row.met << " |\n";
            return;
        }
        int widths[3] = {int(header[0].size()), int(header[1].size()), int(header[2].size())};
        for (const Row &row : m_rows) {
            widths[0] = std::max(widths[0], int(row.figure.size()));
            widths[1] = std::max(widths[1], int(row.goal.size()));
            widths[2] = std::max(widths[2], int(row.measured.size()));
        }
        const auto line = [&](const QString &a, const QString &b, const QString &c, const QString &d) {
            out << a.leftJustified(widths[0]) << "  " << b.leftJustified(widths[1]) << "  "
                << c.leftJustified(widths[2]) << "  " << d << '\n';
        };
        line(header[0], header[1], header[2], header[3]);
        for (const Row &row : m_rows)
            line(row.figure, row.goal, row.measured, row.met);
    }

    Results &r;

private:
    QList<Row> m_rows;
};

void sha(Table &t)
{
    const QString figure = QStringLiteral("SHA-1 of 1 MiB: TSHA beside QCryptographicHash");
    const QString goal = QStringLiteral("at least half Qt's speed");
    const auto own = t.r.run(QStringLiteral("bench_sha"), QStringLiteral("BM_TSHA_Update/1048576"));
    const auto qt = t.r.run(QStringLiteral("bench_sha"), QStringLiteral("BM_QtSha1/1048576"));
    if (!own || !qt)
        return t.missing(figure, goal);
    const double a = counter(*own, "bytes_per_second") / 1e6, b = counter(*qt, "bytes_per_second") / 1e6;
    t.goal(figure, goal, QStringLiteral("%1 MB/s against %2 MB/s (%3×)").arg(num(a, 0), num(b, 0), num(a / b, 2)),
           a >= b / 2);
    const auto own16 = t.r.run(QStringLiteral("bench_sha"), QStringLiteral("BM_TSHA_Update/16"));
    const auto qt16 = t.r.run(QStringLiteral("bench_sha"), QStringLiteral("BM_QtSha1/16"));
    if (own16 && qt16)
        t.info(QStringLiteral("SHA-1 of 16 bytes: TSHA beside QCryptographicHash"),
               QStringLiteral("%1 against %2").arg(timeText(ms(*own16)), timeText(ms(*qt16))));
}

void serviceClient(Table &t)
{
    const QString program = QStringLiteral("bench_service_client");
    const auto plain = t.r.run(program, QStringLiteral("BM_PlainBlockingWriter"));
    const auto client = t.r.run(program, QStringLiteral("BM_ServiceClient"));
    const auto outbox = t.r.run(program, QStringLiteral("BM_ServiceClientWithOutbox"));
    const auto round = t.r.run(program, QStringLiteral("BM_OutboxCheckRound"));
    const QString figure = QStringLiteral("100,000 risk commands: voxServiceClient beside a plain blocking writer");
    const QString goal = QStringLiteral("within 2× of the plain writer");
    if (plain && client) {
        t.goal(figure, goal, QStringLiteral("%1 against %2").arg(timeText(ms(*client)), timeText(ms(*plain))),
               ms(*client) <= 2 * ms(*plain));
        t.info(QStringLiteral("same: peak resident size"),
               QStringLiteral("%1 MiB (%2 MiB before the runs)")
                   .arg(num(counter(*client, "peak_rss_MiB")), num(counter(*client, "baseline_rss_MiB"))));
    } else {
        t.missing(figure, goal);
    }
    const QString outboxFigure = QStringLiteral("same through the risk outbox");
    const QString outboxGoal = QStringLiteral("< 10 % more time");
    if (client && outbox) {
        const double extra = (ms(*outbox) / ms(*client) - 1) * 100;
        t.goal(outboxFigure, outboxGoal,
               QStringLiteral("%1 (%2%3 %)").arg(timeText(ms(*outbox)), extra >= 0 ? QStringLiteral("+") : QString(),
                                                 num(extra)),
               extra < 10);
        t.info(QStringLiteral("same: peak resident size with the 100,000 commands kept"),
               QStringLiteral("%1 MiB").arg(num(counter(*outbox, "peak_rss_MiB"))));
    } else {
        t.missing(outboxFigure, outboxGoal);
    }
    if (round)
        t.info(QStringLiteral("Outbox check round confirming 100,000 commands"), timeText(ms(*round)));
}

void dataset(Table &t)
{
    const QString program = QStringLiteral("bench_dataset");
    const QString figure = QStringLiteral("Dataset, 200,000 accounts: open to the first record");
    const QString goal = QStringLiteral("rows read in blocks, not the whole table");
    if (const auto open = t.r.run(program, QStringLiteral("BM_OpenFirstRecord"))) {
        const double read = counter(*open, "rows_read");
        t.goal(figure, goal, QStringLiteral("%1, %2 rows read").arg(timeText(ms(*open)), num(read, 0)),
               read > 0 && read < 200000);
    } else {
        t.missing(figure, goal);
    }
    if (const auto o = t.r.run(program, QStringLiteral("BM_LocateMissing")))
        t.info(QStringLiteral("same: locate of a missing account"), timeText(ms(*o)));
    if (const auto o = t.r.run(program, QStringLiteral("BM_LocateNearEnd")))
        t.info(QStringLiteral("same: locate of an account near the end"), timeText(ms(*o)));
    if (const auto o = t.r.run(program, QStringLiteral("BM_OpenAndLast")))
        t.info(QStringLiteral("same: move to the last record"),
               QStringLiteral("%1, peak %2 MiB").arg(timeText(ms(*o)), num(counter(*o, "peak_MiB"))));
}

void customers(Table &t)
{
    const QString program = QStringLiteral("bench_customers");
    const auto empty = t.r.run(program, QStringLiteral("BM_CustomerMaintenanceOpen_Empty"));
    const auto full = t.r.run(program, QStringLiteral("BM_CustomerMaintenanceOpen_200k"));
    const QString figure = QStringLiteral("Customer Maintenance opens and shows its grid, 200,000 accounts");
    const QString goal = QStringLiteral("< 1 s");
    if (full)
        t.goal(figure, goal, QStringLiteral("%1, %2 rows read").arg(timeText(ms(*full)), num(counter(*full, "rows_read"), 0)),
               ms(*full) < 1000);
    else
        t.missing(figure, goal);
    const QString memFigure = QStringLiteral("same: growth of resident memory");
    const QString memGoal = QStringLiteral("< 100 MB more than on an empty database");
    if (full && empty) {
        const double a = counter(*full, "rss_growth_MiB"), b = counter(*empty, "rss_growth_MiB");
        t.goal(memFigure, memGoal, QStringLiteral("%1 MiB (empty database: %2 MiB)").arg(num(a), num(b)),
               (a - b) * 1048576 < 100e6);
    } else {
        t.missing(memFigure, memGoal);
    }
    const QString lookFigure = QStringLiteral("Customer Profile lookup, 1,000,000 riskman_file rows");
    const QString lookGoal = QStringLiteral("< 50 ms");
    if (const auto o = t.r.run(program, QStringLiteral("BM_CustomerProfileLookup_ReceiverIndex")))
        t.goal(lookFigure, lookGoal, timeText(ms(*o)), ms(*o) < 50);
    else
        t.missing(lookFigure, lookGoal);
    if (const auto o = t.r.run(program, QStringLiteral("BM_CustomerProfileLookup_NoIndex")))
        t.info(QStringLiteral("same on a database without the receiverid index"), timeText(ms(*o)));
}

void logins(Table &t)
{
    const QString program = QStringLiteral("bench_logins");
    const auto cli = t.r.run(program, QStringLiteral("BM_Sqlite3Cli_JoinQuery"));
    const auto joined = t.r.run(program, QStringLiteral("BM_ExportInternet_Joined"));
    const auto perRow = t.r.run(program, QStringLiteral("BM_ExportInternet_TwoQueriesPerRow"));
    const QString figure = QStringLiteral("Export of 200,000 Internet logins beside the sqlite3 tool");
    const QString goal = QStringLiteral("within 3× of sqlite3");
    if (cli && joined) {
        const double ratio = ms(*joined) / ms(*cli);
        t.goal(figure, goal,
               QStringLiteral("%1 against %2 (%3×), memory +%4 MiB")
                   .arg(timeText(ms(*joined)), timeText(ms(*cli)), num(ratio, 2),
                        num(counter(*joined, "peak_rss_growth_MiB"))),
               ratio <= 3);
    } else {
        t.missing(figure, goal);
    }
    const QString sameFigure = QStringLiteral("same: bytes of the two-queries-per-row method");
    const QString sameGoal = QStringLiteral("identical");
    if (perRow && perRow->contains(QStringLiteral("identical_to_other_plan"))) {
        const bool same = counter(*perRow, "identical_to_other_plan") == 1;
        t.goal(sameFigure, sameGoal,
               QStringLiteral("%1 (that method: %2)").arg(same ? QStringLiteral("identical") : QStringLiteral("different"),
                                                          timeText(ms(*perRow))),
               same);
    } else {
        t.missing(sameFigure, sameGoal);
    }
}

void audit(Table &t)
{
    const auto without = t.r.run(QStringLiteral("bench_audit"), QStringLiteral("BM_PostWithoutTrail"));
    const auto with = t.r.run(QStringLiteral("bench_audit"), QStringLiteral("BM_PostWithTrail"));
    const QString figure = QStringLiteral("Audit trail: cost of one post on SQLite");
    const QString goal = QStringLiteral("< 2 ms a post");
    if (!without || !with)
        return t.missing(figure, goal);
    const double extra = ms(*with) - ms(*without);
    t.goal(figure, goal,
           QStringLiteral("%1%2 (%3 against %4)")
               .arg(extra >= 0 ? QStringLiteral("+") : QStringLiteral("−"), timeText(std::abs(extra)),
                    timeText(ms(*with)), timeText(ms(*without))),
           extra < 2);
}

void startup(Table &t)
{
    const struct {
        const char *benchmark, *label;
    } databases[] = {{"BM_Startup_Demo", "demo database"},
                     {"BM_Startup_200kCustomers", "200,000 customers, 1,000,000 riskman_file rows"}};
    for (const auto &db : databases) {
        const QString label = QString::fromUtf8(db.label);
        const auto o = t.r.run(QStringLiteral("bench_startup"), QString::fromLatin1(db.benchmark));
        const QString toLogin = QStringLiteral("Start-up: process start to the login window, ") + label;
        const QString toMain = QStringLiteral("Start-up: login to the main window with rights, ") + label;
        if (!o) {
            t.missing(toLogin, QStringLiteral("—"));
            t.missing(toMain, QStringLiteral("—"));
            continue;
        }
        t.info(toLogin, QStringLiteral("%1, peak %2 MiB")
                            .arg(timeText(counter(*o, "to_login_ms")), num(counter(*o, "peak_login_MiB"))));
        t.info(toMain, QStringLiteral("%1, peak %2 MiB")
                           .arg(timeText(counter(*o, "login_to_main_ms")), num(counter(*o, "peak_main_MiB"))));
    }
}

void config(Table &t)
{
    const QString program = QStringLiteral("bench_config");
    if (const auto o = t.r.run(program, QStringLiteral("BM_IniOpen40000Keys")))
        t.info(QStringLiteral("vox.ini of 40,000 keys: opened and its database section read"), timeText(ms(*o)));
    if (const auto o = t.r.run(program, QStringLiteral("BM_IniKeyRead40000KeySection")))
        t.info(QStringLiteral("same: one key read at the end of a 40,000-key section"), timeText(ms(*o)));
    const QString figure = QStringLiteral("Configuration download of a 100 MB chunked body");
    const QString goal = QStringLiteral("refused at 1 MiB, previous copy kept");
    if (const auto o = t.r.run(program, QStringLiteral("BM_DownloadChunked100MB"))) {
        const bool refused = counter(*o, "refused") == 1, kept = counter(*o, "previous_copy_kept") == 1;
        t.goal(figure, goal,
               QStringLiteral("%1 after %2, %3, peak +%4 MiB")
                   .arg(refused ? QStringLiteral("refused") : QStringLiteral("accepted"), timeText(ms(*o)),
                        kept ? QStringLiteral("copy kept") : QStringLiteral("copy replaced"),
                        num(counter(*o, "peak_rss_growth_MiB"))),
               refused && kept);
    } else {
        t.missing(figure, goal);
    }
}

void riskman(Table &t)
{
    const QString figure = QStringLiteral("Stand-in risk manager: PING answered during another client's 20,000-command burst");
    const QString goal = QStringLiteral("before half the burst is applied");
    const auto o = t.r.run(QStringLiteral("bench_riskman"), QStringLiteral("BM_PingDuringBurst20000"));
    if (!o)
        return t.missing(figure, goal);
    const double ping = counter(*o, "ping_ms"), burst = counter(*o, "burst_ms");
    t.goal(figure, goal, QStringLiteral("%1 (burst applied in %2)").arg(timeText(ping), timeText(burst)),
           ping < burst / 2);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool markdown = args.removeAll(QStringLiteral("--markdown")) > 0;
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "usage: bench_report [--markdown] FOLDER\n";
        return 2;
    }
    Results results(args.first());
    Table table(results);
    startup(table);
    customers(table);
    dataset(table);
    logins(table);
    serviceClient(table);
    audit(table);
    sha(table);
    config(table);
    riskman(table);
    table.print(out, markdown);
    for (const QString &failure : results.failures())
        err << "failed: " << failure << '\n';
    return 0;
}
