#include "core/VoxError.h"
#include "net/RiskCommand.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "support/LineServer.h"
#include "support/ScopedSeam.h"
#include "support/TestMain.h"

#include <QTest>

class TestCommandBuilder : public QObject
{
    Q_OBJECT
private slots:
    void buildsSixTerminatedFields()
    {
        using namespace voxRisk;
        QCOMPARE(riskCommand("set", "UPFR", " 0.5 ", "ORD", "0", "00005"),
                 QStringLiteral("set|UPFR| 0.5 |ORD|0|00005|"));
        QCOMPARE(riskSetCommand(MarketRatio, "1.2", OrderServer, All, All),
                 QStringLiteral("set|MKTRATIO|1.2|ORD|ALL|ALL|"));
        QCOMPARE(riskUnsetCommand(MarketRatio, OrderServer, All, All),
                 QStringLiteral("unset|MKTRATIO||ORD|ALL|ALL|"));
        QCOMPARE(riskFlagCommand(true, Suspend, Twm, Account, "A001"),
                 QStringLiteral("set|SUSPEND||TWMADMIN|10|A001|"));
        QCOMPARE(riskFlagCommand(false, SkipShortSell, OrderServer, User, "U0000001"),
                 QStringLiteral("unset|SKIPSSELL||ORD|13|U0000001|"));
        // 8-bit text goes through as it is.
        QCOMPARE(riskSetCommand(UpFrontRatio, "1", Internet, Account, QString::fromLatin1("\xe9t\xe9")),
                 QString::fromLatin1("set|UPFR|1|ITS|10|\xe9t\xe9|"));
    }

    void refusesSeparatorsAndLineEnds_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("bad");
        QTest::newRow("bar in value") << 2 << QStringLiteral("1|2");
        QTest::newRow("lf in receiver") << 5 << QStringLiteral("A1\nset");
        QTest::newRow("cr in attribute") << 1 << QStringLiteral("UPFR\r");
        QTest::newRow("bar in verb") << 0 << QStringLiteral("set|");
    }

    void refusesSeparatorsAndLineEnds()
    {
        QFETCH(int, field);
        QFETCH(QString, bad);
        QStringList fields = {"set", "UPFR", "1", "ORD", "10", "A1"};
        fields[field] = bad;
        try {
            riskCommand(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
            QFAIL("field accepted");
        } catch (const VoxError &e) {
            QVERIFY(e.message().contains(QStringLiteral("must not contain \"|\" or a line end")));
        }
    }

    void refusesCharactersThatHaveNoByte()
    {
        // Beyond 8 bits a character would travel as "?" and name another
        // receiver; control characters are no part of a field either.
        for (const QString &bad : {QStringLiteral("A\u20AC1"), QStringLiteral("A\t1"), QStringLiteral("A\x01")})
            QVERIFY_THROWS_EXCEPTION(VoxError, riskCommand("set", "SUSPEND", "", "ORD", "10", bad));
        // 8-bit letters pass unchanged.
        QCOMPARE(riskCommand("set", "SUSPEND", "", "ORD", "10", QStringLiteral("\u00C9A1")),
                 QStringLiteral("set|SUSPEND||ORD|10|\u00C9A1|"));
    }

    void fieldsFitTheirColumns_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("width");
        QTest::newRow("attribute") << 1 << 25;
        QTest::newRow("value") << 2 << 10;
        QTest::newRow("target system") << 3 << 15;
        QTest::newRow("receiver type") << 4 << 10;
        QTest::newRow("receiver id") << 5 << 15;
    }

    void fieldsFitTheirColumns()
    {
        // A field wider than its column of riskman_file could not be kept
        // by the risk manager: the command is refused before it is sent.
        QFETCH(int, field);
        QFETCH(int, width);
        QStringList fields = {"set", "UPFR", "1", "ORD", "10", "A1"};
        fields[field] = QString(width, QLatin1Char('9'));
        QCOMPARE(riskCommand(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]).size(),
                 fields.join(QLatin1Char('|')).size() + 1);
        fields[field] += QLatin1Char('9');
        try {
            riskCommand(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
            QFAIL("field accepted");
        } catch (const VoxError &e) {
            QCOMPARE(e.message(), QStringLiteral("The %1 of a risk command may be at most %2 characters long: %3")
                                      .arg(QString::fromLatin1(QTest::currentDataTag()))
                                      .arg(width)
                                      .arg(fields[field]));
        }
    }

    void sendingWithoutClientIsReported()
    {
        ScopedSeam noClient(&setRiskManagerClient, nullptr);
        QVERIFY_THROWS_EXCEPTION(VoxError, sendRiskCommand("unset|SELL||ORD|0|00005|"));
    }

    void sendingGoesThroughTheRiskManagerClient()
    {
        LineServer server;
        QVERIFY(server.isListening());
        ScopedSeam risk(&setRiskManagerClient, nullptr);
        {
            voxServiceClient client(nullptr, RiskManagerSection, "127.0.0.1", server.port());
            risk.set(&client);
            QCOMPARE(riskManagerClient(), &client);
            QCOMPARE(orderServerClient(), nullptr);
            sendRiskCommand(riskFlagCommand(true, voxRisk::SellOnly, voxRisk::OrderServer,
                                            voxRisk::Security, "00005"));
            QTRY_COMPARE(server.raw, QByteArray("set|SELL||ORD|0|00005|\r\n"));
        }
        // A freed client is forgotten.
        QCOMPARE(riskManagerClient(), nullptr);
    }
};

VOX_TEST_MAIN(TestCommandBuilder)
#include "tst_commandbuilder.moc"
