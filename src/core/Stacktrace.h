#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <exception>
#include <memory>

// Call stacks taken where an exception is thrown, not where it is caught.
//
// Every C++ throw of the program passes through a wrapper of the runtime's
// throw routine (see Stacktrace.cpp) which records the raw return addresses
// of the throwing thread, and on x86-64 the general registers at the throw,
// in a small thread-local table keyed by the thrown object. The top-level
// handler finds them again from the exception_ptr on the same thread.
// VoxError also records a stack in its constructor, for toolchains where the
// wrapper does not apply.

struct ThrowSite {
    static constexpr int MaxFrames = 64;
    // Return addresses, innermost first: frames[0] lies in the function that
    // raised the exception.
    std::array<void *, MaxFrames> frames{};
    int frameCount = 0;

    // x86-64 general registers at the call of the throw routine, in the
    // order of registerNames(). Valid when hasRegisters.
    static constexpr int RegisterCount = 18;
    std::array<std::uint64_t, RegisterCount> registers{};
    bool hasRegisters = false;
};

using ThrowSitePtr = std::shared_ptr<const ThrowSite>;

// One resolved frame of a captured stack.
struct StackFrameInfo {
    quintptr address = 0;   // address of the call instruction in the frame
    QString modulePath;     // file of the executable or library; empty if unknown
    QString procedure;      // demangled name; empty if unknown
    QString sourceFile;     // full path as recorded in the line information
    int line = 0;           // 0 when unknown

    QString moduleName() const;     // file name part of modulePath
    QString sourceFileName() const; // file name part of sourceFile
    QString unitName() const;       // sourceFileName() without its extension
    // "[address] module procedure (file, line n)" with unknown parts left out.
    QString toString() const;
};

// The stack of the calling thread; skip drops that many frames above the
// caller of captureStack.
ThrowSitePtr captureStack(int skip = 0);

// The stack recorded when the exception in error was thrown, or null when
// none was recorded (for instance an exception made by make_exception_ptr).
ThrowSitePtr thrownStack(const std::exception_ptr &error);

// True when throws of this program pass through the recording wrapper.
bool throwWrapperActive();

// How many threads hold a table of recorded throws; a thread's table goes
// when the thread ends.
int liveThrowRings();

StackFrameInfo resolveFrame(const void *returnAddress);
QList<StackFrameInfo> resolveStack(const ThrowSite &site);

// Register names, in the order of ThrowSite::registers.
const std::array<const char *, ThrowSite::RegisterCount> &registerNames();
// "RAX=0000000000000001" lines, or a plain statement why there are none.
QStringList registerLines(const ThrowSite *site);
