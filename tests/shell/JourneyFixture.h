#pragma once

#include "support/FakeDialogs.h"
#include "support/LineServer.h"

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <memory>
#include <optional>

class ConsoleStartup;
class ScopedCurrentDir;
class TMainForm;

// Looks up a control of a window by its object name; fails the calling
// test function when it is missing.
#define JOURNEY_CONTROL(var, Type, window, name)                               \
    Type *var = (window)->findChild<Type *>(QStringLiteral(name));           \
    QVERIFY2(var, "no control " name)

// An operator's hand: a click on a button, and on the box of a check box
// or radio button (at its left, where the box is).
inline void clickOn(QWidget *w)
{
    QTest::mouseClick(w, Qt::LeftButton);
}

inline void tick(QAbstractButton *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
}

// The digest under which passwords and access codes are stored.
inline QString sha1Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toLatin1(), QCryptographicHash::Sha1).toHex().toUpper());
}

// The whole console as an operator meets it: a demo folder holding the demo
// database of one engine, its vox.ini and the folder for printed pages; the
// stand-in risk manager running as a program on that folder; and the
// console's own start-up sequence, run in-process, up to the main window
// after the real login window. Modal questions and messages go to scripted
// dialogs. Whatever it changed process-wide is put back when it goes.
class JourneyFixture
{
public:
    JourneyFixture();
    ~JourneyFixture();
    JourneyFixture(const JourneyFixture &) = delete;
    JourneyFixture &operator=(const JourneyFixture &) = delete;

    // Builds the demo folder on backend ("sqlite" or "postgresql") and
    // starts the risk manager on it. Returns false when the backend is not
    // available; raises when a step fails.
    bool setUp(const QString &backend);

    // Runs the console's start-up and answers the login window with each
    // attempt in turn, as typed into its fields. Returns whether the login
    // window was answered and closed.
    struct Attempt {
        QString user;
        QString password;
    };
    bool start(const QList<Attempt> &attempts);

    TMainForm &mainForm() const;
    // Triggers the main window's action of that object name as the menu
    // does and returns the window that is active afterwards.
    QWidget *trigger(const char *action);

    // Waits until the risk manager has confirmed every command sent; false
    // when one is still waiting at the timeout or was listed unconfirmed.
    bool commandsConfirmed(int timeoutMs = 30000);
    int unconfirmedCount() const;

    // The rows riskman_file holds for a receiver, as
    // "target|type|attribute|value" texts in that order.
    QStringList riskRows(const QString &receiver) const;

    // The PDF files printed since the count given.
    QStringList printedSince(int before) const;
    int printedCount() const { return printedSince(0).size(); }

    QString path(const QString &name = {}) const;

    QString backend;
    QString conn;
    std::unique_ptr<FakeDialogs> dialogs;
    // The order server's section points here, so that its link has a peer.
    LineServer orderServer;

private:
    void startRiskManager();
    void stopRiskManager();

    QTemporaryDir m_dir;
    quint16 m_riskPort = 0;
    std::unique_ptr<QProcess> m_riskman;
    QByteArray m_riskmanOutput;
    std::optional<QByteArray> m_printDirBefore;
    std::unique_ptr<ScopedCurrentDir> m_current;
    std::unique_ptr<ConsoleStartup> m_console;
};
