#include "core/Dialogs.h"

#include "core/ErrorReport.h"

#include <QDebug>

#include <atomic>

namespace {
std::atomic<Dialogs *> g_current{nullptr};
std::atomic<Dialogs *> g_default{nullptr};

// Used where no window can be shown: the text goes to the standard error
// output, and a question is declined, so nothing goes ahead unasked.
class StderrDialogs : public Dialogs
{
public:
    void error(const QString &text) override { qCritical().noquote() << text; }
    void information(const QString &text) override { qInfo().noquote() << text; }
    bool confirm(const QString &text) override
    {
        qWarning().noquote() << text << "(declined: no window to ask in)";
        return false;
    }
    bool question(const QString &text) override { return confirm(text); }
    void exceptionReport(const std::exception_ptr &error) override
    {
        if (!showExceptionReportWindow(error, nullptr))
            qCritical().noquote() << exceptionText(error);
    }
};
} // namespace

Dialogs::~Dialogs() = default;

Dialogs &Dialogs::instance()
{
    static StderrDialogs fallback;
    if (Dialogs *current = g_current.load())
        return *current;
    if (Dialogs *byDefault = g_default.load())
        return *byDefault;
    return fallback;
}

void Dialogs::setInstance(Dialogs *dialogs)
{
    g_current = dialogs;
}

void Dialogs::setDefaultInstance(Dialogs *dialogs)
{
    g_default = dialogs;
}
