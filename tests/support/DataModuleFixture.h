#pragma once

#include "db/AdminData.h"
#include "net/Services.h"
#include "net/VoxService.h"
#include "support/FakeDialogs.h"
#include "support/LineServer.h"
#include "support/ScopedSeam.h"
#include "support/TestDb.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <optional>

// A fresh database of one backend with the console started on it as at
// start-up: a vox.ini in a temporary directory made current, scripted
// dialogs, the data module and the risk-manager client made from that
// vox.ini, and a loopback line server standing in for the risk manager.
// Whatever it changed process-wide is put back when it goes.
struct DataModuleFixture {
    QTemporaryDir dir;
    QString conn;
    LineServer riskman;
    std::unique_ptr<FakeDialogs> dialogs;

    // Returns false when the backend is not available. seed fills the new
    // database before the console starts on it; riskPort is the risk
    // manager's port in vox.ini (0: the line server's).
    bool setUp(const QString &backend, const std::function<void()> &seed = {}, quint16 riskPort = 0)
    {
        conn = TestDb::freshFor(backend, dir.path());
        if (conn.isEmpty())
            return false;
        if (seed)
            seed();
        TestDb::writeVoxIni(dir.path(), conn, riskPort ? riskPort : riskman.port());
        m_current.emplace(dir.path());
        dialogs = std::make_unique<FakeDialogs>();
        data = std::make_unique<TAdminData>();
        data->DataModuleCreate();
        m_riskClient.emplace(&setRiskManagerClient,
                             new voxServiceClient(data.get(), QLatin1String(RiskManagerSection)));
        return true;
    }

    // One row of riskman_file.
    void addRiskRule(const QString &target, const QString &type, const QString &receiver,
                     const QString &attribute, const QString &value = {})
    {
        TestDb::exec(conn,
                     QStringLiteral("INSERT INTO riskman_file (targetsystem, receivertype, receiverid, attribute, value) "
                                    "VALUES (?, ?, ?, ?, ?)"),
                     {target, type, receiver, attribute, value});
    }

    int count(const QString &sql, const QVariantList &params = {})
    {
        return TestDb::scalar(conn, sql, params).toInt();
    }

private:
    std::optional<ScopedCurrentDir> m_current;
    std::optional<ScopedSeam<voxServiceClient *, voxServiceClient *>> m_riskClient;

public:
    // Freed first: the risk-manager client goes with it, then the guards
    // above put back the client and the current directory.
    std::unique_ptr<TAdminData> data;
};

// In init() of a test run once per backend (VOX_DB_BACKENDS): makes fx a
// fresh fixture of Type set up on the current backend, or skips the test
// when that backend is not available.
#define VOX_FIXTURE_SET_UP(fx, Type)                                         \
    do {                                                                     \
        QFETCH_GLOBAL(QString, backend);                                     \
        fx = std::make_unique<Type>();                                       \
        if (!fx->setUp(backend))                                             \
            QSKIP("PostgreSQL test server not available");                   \
    } while (0)
