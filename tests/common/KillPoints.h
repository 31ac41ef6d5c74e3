#pragma once
// Killing a piece of work at every point where it changes files: the work runs in a child process
// traced by the test, which counts the child's file-changing system calls (open for writing, write,
// truncate, rename, unlink, mkdir) and kills it with SIGKILL on entering the chosen one. Trying the
// points 0, 1, 2, ... until the work ends on its own visits every state the files can be left in by a
// crash, in order and without timing luck.

#include <functional>

enum class TKillResult {
    Killed,      // the child was killed on entering file change AKillAt
    Finished,    // the work ended before reaching it: every point has been tried
    Unsupported, // no system call tracing here (another architecture, or tracing not permitted)
};

// Runs AWork in a forked child (which ends with _exit(0) after it) and kills it at its AKillAt-th
// (0-based) file change. A child that dies otherwise, or exits non-zero, fails the calling test.
TKillResult RunKilledAt(int AKillAt, const std::function<void()>& AWork);
