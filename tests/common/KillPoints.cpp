#include "tests/common/KillPoints.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

#if defined(__x86_64__)
// True for a system call that can change what lies on disk. Opening counts only for writing.
bool ChangesFiles(const user_regs_struct& ARegs) {
    const auto lWrites = [](unsigned long long AFlags) {
        return (AFlags & (O_WRONLY | O_RDWR | O_CREAT)) != 0;
    };
    switch (ARegs.orig_rax) {
    case SYS_open:
        return lWrites(ARegs.rsi);
    case SYS_openat:
        return lWrites(ARegs.rdx);
    case SYS_creat:
    case SYS_write:
    case SYS_pwrite64:
    case SYS_writev:
    case SYS_pwritev:
    case SYS_ftruncate:
    case SYS_truncate:
    case SYS_rename:
    case SYS_renameat:
    case SYS_renameat2:
    case SYS_unlink:
    case SYS_unlinkat:
    case SYS_mkdir:
    case SYS_mkdirat:
        return true;
    default:
        return false;
    }
}
#endif

} // namespace

TKillResult RunKilledAt(int AKillAt, const std::function<void()>& AWork) {
#if !defined(__x86_64__)
    (void)AKillAt;
    (void)AWork;
    return TKillResult::Unsupported;
#else
    const pid_t lPid = ::fork();
    if (lPid < 0) {
        ADD_FAILURE() << "fork failed";
        return TKillResult::Unsupported;
    }
    if (lPid == 0) {
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0)
            ::_exit(77);
        ::raise(SIGSTOP);
        AWork();
        ::_exit(0);
    }
    int lStatus = 0;
    ::waitpid(lPid, &lStatus, 0);
    if (WIFEXITED(lStatus) && WEXITSTATUS(lStatus) == 77)
        return TKillResult::Unsupported;
    if (!WIFSTOPPED(lStatus)) {
        ADD_FAILURE() << "the traced child did not stop";
        return TKillResult::Unsupported;
    }
    ::ptrace(PTRACE_SETOPTIONS, lPid, nullptr,
             reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL));
    int lChanges = 0;
    bool lEntering = true; // system call stops alternate: entry, exit
    int lSignal = 0;
    while (true) {
        ::ptrace(PTRACE_SYSCALL, lPid, nullptr, reinterpret_cast<void*>(static_cast<long>(lSignal)));
        lSignal = 0;
        if (::waitpid(lPid, &lStatus, 0) < 0) {
            ADD_FAILURE() << "waitpid failed";
            return TKillResult::Unsupported;
        }
        if (WIFEXITED(lStatus)) {
            EXPECT_EQ(WEXITSTATUS(lStatus), 0) << "the work failed in the child";
            return TKillResult::Finished;
        }
        if (WIFSIGNALED(lStatus)) {
            ADD_FAILURE() << "the child died of signal " << WTERMSIG(lStatus);
            return TKillResult::Finished;
        }
        if (!WIFSTOPPED(lStatus))
            continue;
        if (WSTOPSIG(lStatus) != (SIGTRAP | 0x80)) {
            lSignal = WSTOPSIG(lStatus); // a signal of the child's own: delivered as it would be
            continue;
        }
        const bool lEntry = lEntering;
        lEntering = !lEntering;
        if (!lEntry)
            continue;
        user_regs_struct lRegs{};
        if (::ptrace(PTRACE_GETREGS, lPid, nullptr, &lRegs) != 0 || !ChangesFiles(lRegs))
            continue;
        if (lChanges++ == AKillAt) {
            ::kill(lPid, SIGKILL);
            ::waitpid(lPid, &lStatus, 0);
            return TKillResult::Killed;
        }
    }
#endif
}
