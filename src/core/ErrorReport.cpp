#include "core/ErrorReport.h"

#include "core/Dialogs.h"
#include "core/VoxError.h"

#include <typeinfo>
#include <cxxabi.h>
#include <cstdlib>

namespace {
ReportWindowFn &reportWindow()
{
    static ReportWindowFn fn;
    return fn;
}

QString demangle(const char *name)
{
    int status = 0;
    char *out = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    QString result = QString::fromLatin1(status == 0 && out ? out : name);
    std::free(out);
    return result;
}
} // namespace

void reportException(const std::exception_ptr &error)
{
    if (!error)
        return;
    try {
        std::rethrow_exception(error);
    } catch (const VoxAbort &) {
        return; // abandoned on purpose: nothing to report
    } catch (...) {
    }
    Dialogs::instance().exceptionReport(error);
}

bool runReported(const std::function<void()> &fn)
{
    try {
        fn();
        return true;
    } catch (...) {
        reportException(std::current_exception());
        return false;
    }
}

void setExceptionReportWindow(ReportWindowFn fn)
{
    reportWindow() = std::move(fn);
}

bool showExceptionReportWindow(const std::exception_ptr &error, QWidget *parent)
{
    if (!reportWindow())
        return false;
    reportWindow()(error, parent);
    return true;
}

QString exceptionClassName(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return demangle(typeid(e).name());
    } catch (...) {
        auto *type = abi::__cxa_current_exception_type();
        return type ? demangle(type->name()) : QStringLiteral("unknown");
    }
}

QString exceptionText(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return exceptionMessage(e);
    } catch (...) {
        return QStringLiteral("Unknown exception");
    }
}
