#include "core/Stacktrace.h"

#include "core/VoxError.h"

#include <boost/core/demangle.hpp>
#include <boost/stacktrace/frame.hpp>

#include <QFileInfo>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <execinfo.h>
#include <new>
#include <pthread.h>
#include <typeinfo>

// ---------------------------------------------------------------------------
// Throw-time capture.
//
// The program defines the runtime's throw routine itself; the definition in
// the executable takes precedence over the one in libstdc++ (the executable
// exports the symbol, so throws inside shared libraries come here too). The
// wrapper records the stack and hands over to the real routine, found with
// dlsym(RTLD_NEXT).
//
// On x86-64 the entry is a few lines of assembly that first push every
// general register, so that the register page shows the values at the call
// of the throw routine, unchanged by any compiled code. The call frame
// information of the stub lets the unwinder pass through it.
// ---------------------------------------------------------------------------

namespace {

using ThrowFn = void (*)(void *, std::type_info *, void (*)(void *));

struct ThrowRecord {
    const void *object = nullptr;
    ThrowSitePtr site;
};

constexpr int RingSize = 32;

struct ThrowRing {
    std::array<ThrowRecord, RingSize> records;
    int next = 0;
};

// A throw during thread or program teardown (a thread_local or static
// destructor, an atexit handler) must still find a live ring, so the ring is
// not a thread_local object. A thread's ring is freed by a thread-specific
// key's destructor, which the C library runs after every thread_local
// destructor of the ending thread; a throw from another key's destructor
// after that makes a new ring, and the key frees that one in its next
// round. The main thread's ring lives until the process ends.
thread_local ThrowRing *t_ring = nullptr;
thread_local bool t_inHook = false;
std::atomic<int> g_liveRings{0};

void freeRing(void *ring)
{
    t_ring = nullptr;
    delete static_cast<ThrowRing *>(ring);
    g_liveRings.fetch_sub(1, std::memory_order_relaxed);
}

pthread_key_t ringKey()
{
    static const pthread_key_t key = [] {
        pthread_key_t k{};
        if (pthread_key_create(&k, freeRing) != 0)
            std::abort();
        return k;
    }();
    return key;
}

ThrowRing &ring()
{
    if (!t_ring) {
        t_ring = new ThrowRing;
        g_liveRings.fetch_add(1, std::memory_order_relaxed);
        pthread_setspecific(ringKey(), t_ring);
    }
    return *t_ring;
}
std::atomic<bool> g_wrapperSeen{false};

ThrowFn realThrow()
{
    static ThrowFn fn = reinterpret_cast<ThrowFn>(dlsym(RTLD_NEXT, "__cxa_throw"));
    return fn;
}

void remember(const void *object, ThrowSitePtr site)
{
    ThrowRing &ring = ::ring();
    for (ThrowRecord &r : ring.records) {
        if (r.object == object) {
            r.site = std::move(site);
            return;
        }
    }
    ring.records[ring.next] = {object, std::move(site)};
    ring.next = (ring.next + 1) % RingSize;
}

void forget(const void *object)
{
    for (ThrowRecord &r : ring().records) {
        if (r.object == object) {
            r.object = nullptr;
            r.site.reset();
        }
    }
}

// Fills frames starting at the frame whose return address is from.
void fillFrames(ThrowSite &site, void *from)
{
    void *raw[ThrowSite::MaxFrames + 8];
    const int n = ::backtrace(raw, ThrowSite::MaxFrames + 8);
    int start = 0;
    while (start < n && raw[start] != from)
        ++start;
    if (start == n) {
        // The unwinder did not see the stub's caller: keep the return
        // address alone rather than frames of the wrapper.
        site.frames[0] = from;
        site.frameCount = 1;
        return;
    }
    int count = 0;
    for (int i = start; i < n && count < ThrowSite::MaxFrames; ++i)
        site.frames[count++] = raw[i];
    site.frameCount = count;
}

const void *thrownObject(const std::exception_ptr &error)
{
#if defined(__GLIBCXX__)
    // libstdc++'s exception_ptr holds nothing but the thrown object's address.
    static_assert(sizeof(std::exception_ptr) == sizeof(void *));
    const void *object = nullptr;
    std::memcpy(&object, static_cast<const void *>(&error), sizeof object);
    return object;
#else
    try {
        std::rethrow_exception(error);
    } catch (const std::exception &e) {
        return dynamic_cast<const void *>(&e);
    } catch (...) {
        return nullptr;
    }
#endif
}

} // namespace

// Every exception object, thrown or made by make_exception_ptr, is
// allocated here: a record left over from an earlier object at the same
// address must not be taken for the new one's.
extern "C" void *__cxa_allocate_exception(std::size_t size) noexcept
{
    using AllocFn = void *(*)(std::size_t);
    static AllocFn real = reinterpret_cast<AllocFn>(dlsym(RTLD_NEXT, "__cxa_allocate_exception"));
    if (!real)
        std::abort();
    void *object = real(size);
    forget(object);
    return object;
}

// Records the stack of a throw. saved points at the registers pushed by the
// x86-64 stub (see below) or is null; returnAddress is the address in the
// throwing function.
extern "C" [[noreturn]] void voxThrowHook(void *object, std::type_info *type, void (*destroy)(void *),
                                          const std::uint64_t *saved, void *returnAddress)
{
    ThrowFn real = realThrow();
    if (!real)
        std::abort();
    if (!t_inHook) {
        t_inHook = true;
        g_wrapperSeen = true;
        try {
            auto site = std::make_shared<ThrowSite>();
            fillFrames(*site, returnAddress);
            if (saved) {
                // saved: RAX RBX RCX RDX RSI RDI RBP R8..R15 RFLAGS, return address
                auto &r = site->registers;
                for (int i = 0; i < 7; ++i)
                    r[i] = saved[i];                                       // RAX..RBP
                r[7] = reinterpret_cast<std::uint64_t>(saved + 17);        // RSP at the call
                for (int i = 0; i < 8; ++i)
                    r[8 + i] = saved[7 + i];                               // R8..R15
                r[16] = saved[16];                                         // RIP (return address)
                r[17] = saved[15];                                         // RFLAGS
                site->hasRegisters = true;
            }
            remember(object, std::move(site));
        } catch (...) {
            // Out of memory: the exception goes on without a recorded stack.
        }
        t_inHook = false;
    }
    real(object, type, destroy);
    __builtin_unreachable();
}

#if defined(__x86_64__) && defined(__linux__) && defined(__GLIBCXX__)
extern "C" [[noreturn]] void voxThrowHookX64(void *object, std::type_info *type,
                                             void (*destroy)(void *), const std::uint64_t *saved)
{
    voxThrowHook(object, type, destroy, saved, reinterpret_cast<void *>(saved[16]));
}

// __cxa_throw(object, type, destroy): push RFLAGS and all general registers
// (the saved block, lowest address first: RAX RBX RCX RDX RSI RDI RBP R8..R15
// RFLAGS, then the return address), pass its address as the fourth argument.
asm(R"(
    .text
    .globl __cxa_throw
    .type __cxa_throw, @function
    .p2align 4
__cxa_throw:
    .cfi_startproc
    pushfq
    .cfi_adjust_cfa_offset 8
    pushq %r15
    .cfi_adjust_cfa_offset 8
    pushq %r14
    .cfi_adjust_cfa_offset 8
    pushq %r13
    .cfi_adjust_cfa_offset 8
    pushq %r12
    .cfi_adjust_cfa_offset 8
    pushq %r11
    .cfi_adjust_cfa_offset 8
    pushq %r10
    .cfi_adjust_cfa_offset 8
    pushq %r9
    .cfi_adjust_cfa_offset 8
    pushq %r8
    .cfi_adjust_cfa_offset 8
    pushq %rbp
    .cfi_adjust_cfa_offset 8
    pushq %rdi
    .cfi_adjust_cfa_offset 8
    pushq %rsi
    .cfi_adjust_cfa_offset 8
    pushq %rdx
    .cfi_adjust_cfa_offset 8
    pushq %rcx
    .cfi_adjust_cfa_offset 8
    pushq %rbx
    .cfi_adjust_cfa_offset 8
    pushq %rax
    .cfi_adjust_cfa_offset 8
    movq %rsp, %rcx
    subq $8, %rsp
    .cfi_adjust_cfa_offset 8
    call voxThrowHookX64@PLT
    ud2
    .cfi_endproc
    .size __cxa_throw, .-__cxa_throw
)");
#define VOX_THROW_REGISTERS 1
#elif defined(__GLIBCXX__)
extern "C" [[noreturn]] void __cxa_throw(void *object, std::type_info *type, void (*destroy)(void *))
{
    voxThrowHook(object, type, destroy, nullptr, __builtin_return_address(0));
}
#endif

// ---------------------------------------------------------------------------

ThrowSitePtr captureStack(int skip)
{
    auto site = std::make_shared<ThrowSite>();
    void *raw[ThrowSite::MaxFrames + 8];
    const int n = ::backtrace(raw, ThrowSite::MaxFrames + 8);
    int count = 0;
    for (int i = 1 + skip; i < n && count < ThrowSite::MaxFrames; ++i)
        site->frames[count++] = raw[i];
    site->frameCount = count;
    return site;
}

ThrowSitePtr thrownStack(const std::exception_ptr &error)
{
    if (!error)
        return {};
    if (const void *object = thrownObject(error)) {
        for (const ThrowRecord &r : ring().records) {
            if (r.object == object && r.site)
                return r.site;
        }
    }
    try {
        std::rethrow_exception(error);
    } catch (const VoxError &e) {
        return e.throwSite();
    } catch (...) {
    }
    return {};
}

int liveThrowRings()
{
    return g_liveRings.load(std::memory_order_relaxed);
}

bool throwWrapperActive()
{
    if (!g_wrapperSeen) {
        try {
            throw 0;
        } catch (int) {
        }
    }
    return g_wrapperSeen;
}

QString StackFrameInfo::moduleName() const
{
    return QFileInfo(modulePath).fileName();
}

QString StackFrameInfo::sourceFileName() const
{
    return QFileInfo(sourceFile).fileName();
}

QString StackFrameInfo::unitName() const
{
    return QFileInfo(sourceFile).completeBaseName();
}

QString StackFrameInfo::toString() const
{
    QString out = QStringLiteral("[%1]").arg(address, 16, 16, QLatin1Char('0')).toUpper();
    out += QLatin1Char(' ') + (modulePath.isEmpty() ? QStringLiteral("?") : moduleName());
    if (!procedure.isEmpty())
        out += QLatin1Char(' ') + procedure;
    if (!sourceFile.isEmpty() && line > 0)
        out += QStringLiteral(" (%1, line %2)").arg(sourceFileName()).arg(line);
    return out;
}

namespace {
QString programFilePath()
{
    static const QString path = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return path;
}
} // namespace

StackFrameInfo resolveFrame(const void *returnAddress)
{
    StackFrameInfo info;
    if (!returnAddress)
        return info;
    // A return address may lie past the end of the calling function when
    // the call does not return (a throw); the call itself is one byte back.
    const auto call = reinterpret_cast<std::uintptr_t>(returnAddress) - 1;
    info.address = call;
    Dl_info dl{};
    if (dladdr(reinterpret_cast<void *>(call), &dl) && dl.dli_fname) {
        // The loader names the program itself as it was started (argv[0]).
        if (std::strcmp(dl.dli_fname, program_invocation_name) == 0)
            info.modulePath = programFilePath();
        else
            info.modulePath = QString::fromLocal8Bit(dl.dli_fname);
    }
    const boost::stacktrace::frame frame(reinterpret_cast<boost::stacktrace::frame::native_frame_ptr_t>(call));
    info.procedure = QString::fromStdString(frame.name());
    if (info.procedure.isEmpty() && dl.dli_sname)
        info.procedure = QString::fromStdString(boost::core::demangle(dl.dli_sname));
    info.sourceFile = QString::fromStdString(frame.source_file());
    info.line = int(frame.source_line());
    if (info.sourceFile.isEmpty())
        info.line = 0;
    return info;
}

QList<StackFrameInfo> resolveStack(const ThrowSite &site)
{
    QList<StackFrameInfo> out;
    out.reserve(site.frameCount);
    for (int i = 0; i < site.frameCount; ++i)
        out << resolveFrame(site.frames[i]);
    return out;
}

const std::array<const char *, ThrowSite::RegisterCount> &registerNames()
{
    static const std::array<const char *, ThrowSite::RegisterCount> names = {
        "RAX", "RBX", "RCX", "RDX", "RSI", "RDI", "RBP", "RSP", "R8",
        "R9",  "R10", "R11", "R12", "R13", "R14", "R15", "RIP", "EFLAGS"};
    return names;
}

QStringList registerLines(const ThrowSite *site)
{
    QStringList out;
    if (site && site->hasRegisters) {
        for (int i = 0; i < ThrowSite::RegisterCount; ++i) {
            out << QStringLiteral("%1 = %2")
                       .arg(QLatin1String(registerNames()[i]), -6)
                       .arg(site->registers[i], 16, 16, QLatin1Char('0'))
                       .toUpper();
        }
        out << QString()
            << QStringLiteral("Values at the call of the throw routine in the raising function; "
                              "RIP is the return address of that call.");
        return out;
    }
#if defined(VOX_THROW_REGISTERS)
    if (site)
        out << QStringLiteral("Registers were not recorded for this exception: its call stack was "
                              "taken when the error object was created.");
    else
        out << QStringLiteral("Registers were not recorded for this exception: it was not raised "
                              "by a throw of this program.");
#else
    out << QStringLiteral("Registers are not available on this platform: they are recorded only "
                          "for throws on x86-64 Linux.");
#endif
    return out;
}
