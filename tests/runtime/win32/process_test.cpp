#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include "vellorn/win32_system.h"

namespace {

// Prints when static destructors run at exit.
struct ExitWitness {
    ~ExitWitness() { std::fputs("static destructor ran\n", stderr); }
};

TEST(ProcessDeathTest, FatalAppExitWritesItsLineAndEndsAtOnce) {
    EXPECT_EXIT(
        {
            static ExitWitness witness;
            FatalAppExitA(0, "D3DX Assertion Failure; application terminated");
        },
        testing::ExitedWithCode(3), "D3DX Assertion Failure; application terminated\n$");
}

TEST(ProcessDeathTest, DebugBreakRaisesTheBreakpointTrap) {
    EXPECT_EXIT(
        {
            const rlimit noCore{};  // no core file
            setrlimit(RLIMIT_CORE, &noCore);
            DebugBreak();
        },
        testing::KilledBySignal(SIGTRAP), "");
}

constexpr int kTracingRefused = 2;

// Runs IsDebuggerPresent in a child process, traced by this one or not, and
// returns the child's exit code: its answer, or kTracingRefused.
int DebuggerPresentInChild(bool traced) {
    const pid_t child = fork();
    if (child == 0) {
        if (traced && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            _exit(kTracingRefused);
        }
        _exit(IsDebuggerPresent() != FALSE ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) == child && WIFSTOPPED(status)) {
        ptrace(PTRACE_CONT, child, nullptr, WSTOPSIG(status));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ProcessTest, IsDebuggerPresentFollowsTheTracer) {
    EXPECT_EQ(DebuggerPresentInChild(false), 0);
    const int traced = DebuggerPresentInChild(true);
    if (traced == kTracingRefused) {
        GTEST_SKIP() << "this machine does not allow a process to trace its child";
    }
    EXPECT_EQ(traced, 1);
}

}  // namespace
