#pragma once

#include "core/Dialogs.h"

#include <QQueue>
#include <QString>
#include <QStringList>

// Scripted dialogs for tests: records every message, question and exception
// report, and answers questions from a queue (true = OK / Yes). An empty
// queue answers with defaultAnswer.
class FakeDialogs : public Dialogs
{
public:
    struct Entry {
        QString kind; // "error", "information", "confirm", "question", "report"
        QString text;
    };

    FakeDialogs();
    ~FakeDialogs() override;

    void error(const QString &text) override;
    void information(const QString &text) override;
    bool confirm(const QString &text) override;
    bool question(const QString &text) override;
    void exceptionReport(const std::exception_ptr &error) override;

    void answer(bool yes) { answers.enqueue(yes); }
    void clear() { entries.clear(); }
    QStringList texts() const;
    QStringList texts(const QString &kind) const;
    QString lastText() const { return entries.isEmpty() ? QString() : entries.last().text; }
    QString lastKind() const { return entries.isEmpty() ? QString() : entries.last().kind; }

    QList<Entry> entries;
    QQueue<bool> answers;
    bool defaultAnswer = true;
    // Exception reports keep the exception too, for tests that look deeper.
    QList<std::exception_ptr> reports;

private:
    bool next();
};
