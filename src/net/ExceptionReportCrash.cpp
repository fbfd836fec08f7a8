// The report written when the program is about to end abnormally.
//
// A crash signal is handled on an alternate stack with async-signal-safe
// calls only: the log file's name is prepared at installation, the handler
// opens it with open(2), writes with write(2) and lists the stack with
// backtrace_symbols_fd (whose library is loaded beforehand). The local time
// uses the offset from UTC taken at installation.

#include "net/ExceptionReport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <csignal>
#include <cstring>
#include <ctime>
#include <exception>
#include <execinfo.h>
#include <fcntl.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 5> CrashSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

char g_logPath[4096];
long g_utcOffset = 0;
std::terminate_handler g_previousTerminate = nullptr;

// A tiny formatter on a fixed buffer, safe inside a signal handler.
struct Line {
    char buf[512];
    std::size_t len = 0;

    Line &str(const char *s)
    {
        while (*s && len < sizeof buf)
            buf[len++] = *s++;
        return *this;
    }
    Line &dec(unsigned long v, int width = 1)
    {
        char tmp[24];
        int n = 0;
        do {
            tmp[n++] = char('0' + v % 10);
            v /= 10;
        } while (v);
        while (n < width)
            tmp[n++] = '0';
        while (n > 0 && len < sizeof buf)
            buf[len++] = tmp[--n];
        return *this;
    }
    Line &hex(unsigned long v)
    {
        for (int shift = 60; shift >= 0; shift -= 4) {
            if (len < sizeof buf)
                buf[len++] = "0123456789ABCDEF"[(v >> shift) & 0xF];
        }
        return *this;
    }
    void writeTo(int fd) const
    {
        std::size_t done = 0;
        while (done < len) {
            const ssize_t n = ::write(fd, buf + done, len - done);
            if (n <= 0)
                return;
            done += std::size_t(n);
        }
    }
};

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
    }
}

// Civil date from days since 1970-01-01 (H. Hinnant's algorithm).
void civil(long days, long &y, unsigned &m, unsigned &d)
{
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = long(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
}

void writeSeparator(int fd)
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    const long local = long(ts.tv_sec) + g_utcOffset;
    long days = local / 86400;
    long secs = local % 86400;
    if (secs < 0) {
        secs += 86400;
        --days;
    }
    long y;
    unsigned m, d;
    civil(days, y, m, d);
    Line l;
    l.str("==================== ").dec(unsigned(y), 4).str("-").dec(m, 2).str("-").dec(d, 2)
        .str(" ").dec(unsigned(secs / 3600), 2).str(":").dec(unsigned(secs / 60 % 60), 2)
        .str(":").dec(unsigned(secs % 60), 2).str(" ====================\n");
    l.writeTo(fd);
}

void writeRegisters(int fd, void *context)
{
#if defined(__x86_64__) && defined(__linux__)
    static const struct {
        const char *name;
        int index;
    } regs[] = {{"RAX", REG_RAX}, {"RBX", REG_RBX}, {"RCX", REG_RCX}, {"RDX", REG_RDX},
                {"RSI", REG_RSI}, {"RDI", REG_RDI}, {"RBP", REG_RBP}, {"RSP", REG_RSP},
                {"R8", REG_R8},   {"R9", REG_R9},   {"R10", REG_R10}, {"R11", REG_R11},
                {"R12", REG_R12}, {"R13", REG_R13}, {"R14", REG_R14}, {"R15", REG_R15},
                {"RIP", REG_RIP}, {"EFLAGS", REG_EFL}};
    const auto *uc = static_cast<const ucontext_t *>(context);
    Line head;
    head.str("\nRegisters:\n");
    head.writeTo(fd);
    for (const auto &r : regs) {
        Line l;
        l.str(r.name);
        for (std::size_t n = std::strlen(r.name); n < 6; ++n)
            l.str(" ");
        l.str(" = ").hex(static_cast<unsigned long>(uc->uc_mcontext.gregs[r.index])).str("\n");
        l.writeTo(fd);
    }
#else
    (void)context;
    Line l;
    l.str("\nRegisters:\nRegisters are not available on this platform.\n");
    l.writeTo(fd);
#endif
}

void crashHandler(int sig, siginfo_t *info, void *context)
{
    const int fd = ::open(g_logPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        writeSeparator(fd);
        Line l;
        l.str("Signal ").dec(unsigned(sig)).str(" (").str(signalName(sig)).str(")");
        if (sig != SIGABRT && info)
            l.str(" at address ").hex(reinterpret_cast<unsigned long>(info->si_addr));
        l.str("\nThe program ends.\n\nCall Stack:\n");
        l.writeTo(fd);
        void *frames[64];
        const int n = ::backtrace(frames, 64);
        ::backtrace_symbols_fd(frames, n, fd);
        writeRegisters(fd, context);
        Line end;
        end.str("\n");
        end.writeTo(fd);
        ::close(fd);
    }
    // Let the signal end the program as it would have without the report.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void terminateHandler()
{
    // An exception that nothing caught: the full report, then the abort
    // (whose signal adds the stack of the termination).
    if (std::exception_ptr error = std::current_exception()) {
        try {
            ExceptionReport report = buildExceptionReport(error);
            report.message += QStringLiteral("\n(not handled: the program ends)");
            appendExceptionLog(report, false);
        } catch (...) {
        }
    }
    if (g_previousTerminate)
        g_previousTerminate();
    std::abort();
}

} // namespace

void installCrashReport(const QString &logPath)
{
    const QByteArray path = QFile::encodeName(logPath);
    if (path.isEmpty() || std::size_t(path.size()) >= sizeof g_logPath)
        return;
    QDir().mkpath(QFileInfo(logPath).absolutePath());
    std::memcpy(g_logPath, path.constData(), std::size_t(path.size()) + 1);
    g_utcOffset = QDateTime::currentDateTime().offsetFromUtc();

    // Loads the unwinder now, not inside the handler.
    void *warm[4];
    ::backtrace(warm, 4);

    static std::array<char, 64 * 1024> altStack;
    stack_t ss{};
    ss.ss_sp = altStack.data();
    ss.ss_size = altStack.size();
    ::sigaltstack(&ss, nullptr);

    struct sigaction sa {};
    sa.sa_sigaction = &crashHandler;
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&sa.sa_mask);
    for (int sig : CrashSignals)
        ::sigaction(sig, &sa, nullptr);

    // A write beyond the file-size limit of the shell (ulimit -f) fails
    // with "File too large" and is reported like a full disk, instead of
    // ending the program.
    ::signal(SIGXFSZ, SIG_IGN);

    std::terminate_handler previous = std::set_terminate(&terminateHandler);
    if (previous != &terminateHandler)
        g_previousTerminate = previous;
}
