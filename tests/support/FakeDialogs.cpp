#include "support/FakeDialogs.h"

#include "core/ErrorReport.h"

FakeDialogs::FakeDialogs()
{
    Dialogs::setInstance(this);
}

FakeDialogs::~FakeDialogs()
{
    Dialogs::setInstance(nullptr);
}

bool FakeDialogs::next()
{
    return answers.isEmpty() ? defaultAnswer : answers.dequeue();
}

void FakeDialogs::error(const QString &text)
{
    entries.append({QStringLiteral("error"), text});
}

void FakeDialogs::information(const QString &text)
{
    entries.append({QStringLiteral("information"), text});
}

bool FakeDialogs::confirm(const QString &text)
{
    entries.append({QStringLiteral("confirm"), text});
    return next();
}

bool FakeDialogs::question(const QString &text)
{
    entries.append({QStringLiteral("question"), text});
    return next();
}

void FakeDialogs::exceptionReport(const std::exception_ptr &error)
{
    entries.append({QStringLiteral("report"), exceptionText(error)});
    reports.append(error);
}

QStringList FakeDialogs::texts() const
{
    QStringList out;
    for (const Entry &e : entries)
        out << e.text;
    return out;
}

QStringList FakeDialogs::texts(const QString &kind) const
{
    QStringList out;
    for (const Entry &e : entries) {
        if (e.kind == kind)
            out << e.text;
    }
    return out;
}
