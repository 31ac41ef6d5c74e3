#pragma once
// Helpers of the reader-library tests: a private bus and runtime folder per test, running orvsim as a
// separate process, and waiting for posted notifications with a time-out that only guards failures.

#include "orvreader/OrvBase.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

extern char** environ;

namespace OrvTest {

// Longest a test waits for something that should come at once.
inline constexpr std::chrono::milliseconds Patience{10000};

// A private temporary folder with "bus" and "run" in it, set as ORV_SIM_BUS and XDG_RUNTIME_DIR for
// the test's lifetime.
class TBusEnv {
public:
    TBusEnv() {
        std::string lTemplate = (std::filesystem::temp_directory_path() / "orvtest-XXXXXX").string();
        m_sRoot = mkdtemp(lTemplate.data());
        std::filesystem::create_directory(Bus());
        std::filesystem::create_directory(m_sRoot + "/run");
        Save("ORV_SIM_BUS", Bus());
        Save("XDG_RUNTIME_DIR", m_sRoot + "/run");
    }
    ~TBusEnv() {
        for (auto& [name, value, had] : m_aSaved)
            had ? setenv(name.c_str(), value.c_str(), 1) : unsetenv(name.c_str());
        std::error_code e;
        std::filesystem::remove_all(m_sRoot, e);
    }
    TBusEnv(const TBusEnv&) = delete;
    TBusEnv& operator=(const TBusEnv&) = delete;

    std::string Bus() const { return m_sRoot + "/bus"; }
    const std::string& Root() const { return m_sRoot; }

private:
    void Save(const std::string& AName, const std::string& AValue) {
        const char* lOld = std::getenv(AName.c_str());
        m_aSaved.push_back({AName, lOld ? lOld : "", lOld != nullptr});
        setenv(AName.c_str(), AValue.c_str(), 1);
    }
    struct TSaved {
        std::string sName, sValue;
        bool fHad;
    };
    std::string m_sRoot;
    std::vector<TSaved> m_aSaved;
};

struct TRunResult {
    int nStatus = -1; // exit status, or -1 when the process did not exit normally
    std::string sOut, sErr;
};

// orvsim from $TARVO_BIN_DIR (set by the test run), else from bin/ beside the test's own folder.
inline std::string OrvsimPath() {
    const char* lDir = std::getenv("TARVO_BIN_DIR");
    if (lDir && *lDir)
        return std::string(lDir) + "/orvsim";
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin/orvsim")
        .string();
}

// Runs a program with the current environment and collects its output.
inline TRunResult RunProgram(const std::string& APath, const std::vector<std::string>& AArgs) {
    TRunResult lResult;
    int lOut[2], lErr[2];
    if (pipe2(lOut, O_CLOEXEC) != 0 || pipe2(lErr, O_CLOEXEC) != 0)
        return lResult;
    posix_spawn_file_actions_t lActions;
    posix_spawn_file_actions_init(&lActions);
    posix_spawn_file_actions_adddup2(&lActions, lOut[1], 1);
    posix_spawn_file_actions_adddup2(&lActions, lErr[1], 2);
    std::vector<char*> lArgv;
    lArgv.push_back(const_cast<char*>(APath.c_str()));
    for (const std::string& a : AArgs)
        lArgv.push_back(const_cast<char*>(a.c_str()));
    lArgv.push_back(nullptr);
    pid_t lPid = -1;
    int r = posix_spawn(&lPid, APath.c_str(), &lActions, nullptr, lArgv.data(), environ);
    posix_spawn_file_actions_destroy(&lActions);
    close(lOut[1]);
    close(lErr[1]);
    if (r == 0) {
        pollfd lFds[2] = {{lOut[0], POLLIN, 0}, {lErr[0], POLLIN, 0}};
        std::string* lDest[2] = {&lResult.sOut, &lResult.sErr};
        int lOpen = 2;
        while (lOpen > 0 && poll(lFds, 2, -1) >= 0) {
            for (int i = 0; i < 2; ++i) {
                if (lFds[i].fd < 0 || !lFds[i].revents)
                    continue;
                char lBuf[4096];
                ssize_t n = read(lFds[i].fd, lBuf, sizeof lBuf);
                if (n > 0) {
                    lDest[i]->append(lBuf, std::size_t(n));
                } else {
                    lFds[i].fd = -1;
                    --lOpen;
                }
            }
        }
        int lStatus = 0;
        waitpid(lPid, &lStatus, 0);
        lResult.nStatus = WIFEXITED(lStatus) ? WEXITSTATUS(lStatus) : -1;
    }
    close(lOut[0]);
    close(lErr[0]);
    return lResult;
}

inline TRunResult Orvsim(const std::vector<std::string>& AArgs) {
    return RunProgram(OrvsimPath(), AArgs);
}

// A notification target that counts the messages posted to it, for tests without an event loop.
class TCountingWindow {
public:
    TCountingWindow() : m_rTarget{&TCountingWindow::Post, this} {}
    const TOrv_NOTIFY_WINDOW* Target() const { return &m_rTarget; }
    int Count() {
        std::lock_guard<std::mutex> g(m_oLock);
        return m_nCount;
    }
    std::uint32_t LastMessage() {
        std::lock_guard<std::mutex> g(m_oLock);
        return m_nLast;
    }
    // Waits until at least ACount messages came; false after the guard time-out.
    bool WaitFor(int ACount) {
        std::unique_lock<std::mutex> g(m_oLock);
        return m_oCond.wait_for(g, Patience, [&] { return m_nCount >= ACount; });
    }

private:
    static void Post(void* AContext, std::uint32_t AMsg) {
        auto* self = static_cast<TCountingWindow*>(AContext);
        std::lock_guard<std::mutex> g(self->m_oLock);
        ++self->m_nCount;
        self->m_nLast = AMsg;
        self->m_oCond.notify_all();
    }
    TOrv_NOTIFY_WINDOW m_rTarget;
    std::mutex m_oLock;
    std::condition_variable m_oCond;
    int m_nCount = 0;
    std::uint32_t m_nLast = 0;
};

// Open file descriptors of this process.
inline int OpenFdCount() {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

inline std::u16string U16(const std::string& AAscii) {
    return std::u16string(AAscii.begin(), AAscii.end());
}

} // namespace OrvTest
