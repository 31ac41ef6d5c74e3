#pragma once
// End-to-end helpers: a private world per test (data folder, reader bus, runtime and configuration
// folders, a faked wall clock), the real programs started in it offscreen under `timeout`, orvsim runs,
// and waiting for a file or a line with a deadline. Plain C++ and POSIX, so any e2e test can use it.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace E2e {

// How long a test waits for what should happen within a moment; only failures wait that long.
inline constexpr std::chrono::milliseconds Patience{8000};
// Hard limit of one program run (`timeout` kills it after this).
inline constexpr int RunLimitSeconds = 120;
inline const char* const FakeTimeLib = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

// Folder of Tarvo, ConfigTarvo and orvsim: $TARVO_BIN_DIR, else bin/ beside the test's own folder.
inline std::string BinDir() {
    const char* lDir = std::getenv("TARVO_BIN_DIR");
    if (lDir && *lDir)
        return lDir;
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin").string();
}
inline std::string BinPath(const std::string& AName) {
    return BinDir() + "/" + AName;
}

// A front-desk data file: one zone all day at 2 per minute (1 at level 10), whole amounts, the business
// day from 06:00, the Reader element AReader ("<Reader .../>"), the card items ACards and
// AAfterCards (elements after the cards) as given.
inline std::string DeskDataFile(const std::string& AReader, const std::string& ACards,
                                const std::string& AAfterCards = std::string()) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<Tarvo version=\"1.2\">\r\n"
           "<Main>\r\n"
           "<StartDayTime>06:00</StartDayTime>\r\n"
           "<Log fileFormat=\"0, txt\" filePeriod=\"0, day\"/>\r\n"
           "<Tariffication>2</Tariffication>\r\n"
           "<AccPrice>0</AccPrice>\r\n"
           "</Main>\r\n" +
           AReader +
           "\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
           "minCost=\"1\"/></TimeZones>\r\n"
           "<Cards>\r\n" +
           ACards + "</Cards>\r\n" + AAfterCards + "</Tarvo>\r\n";
}

inline std::string ReadFile(const std::string& APath) {
    std::ifstream lIn(APath, std::ios::binary);
    std::ostringstream lOut;
    lOut << lIn.rdbuf();
    return lOut.str();
}
inline void WriteFile(const std::string& APath, const std::string& AText) {
    std::filesystem::create_directories(std::filesystem::path(APath).parent_path());
    std::ofstream(APath, std::ios::binary | std::ios::trunc) << AText;
}
inline bool FileExists(const std::string& APath) {
    return std::filesystem::exists(APath);
}

// Polls APred every 20 ms until it holds; false when ADeadline passed first.
inline bool WaitUntil(const std::function<bool()>& APred, std::chrono::milliseconds ADeadline = Patience) {
    const auto lEnd = std::chrono::steady_clock::now() + ADeadline;
    for (;;) {
        if (APred())
            return true;
        if (std::chrono::steady_clock::now() >= lEnd)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
inline bool WaitForFile(const std::string& APath, std::chrono::milliseconds ADeadline = Patience) {
    return WaitUntil([&] { return FileExists(APath); }, ADeadline);
}
// Waits until the file holds AText somewhere (a line or part of one).
inline bool WaitForText(const std::string& APath, const std::string& AText,
                        std::chrono::milliseconds ADeadline = Patience) {
    return WaitUntil([&] { return ReadFile(APath).find(AText) != std::string::npos; }, ADeadline);
}

struct TRunResult {
    int nStatus = -1; // exit status, or -1 when the process did not end normally
    std::string sOut, sErr;
};

// A private world: <root>/data (TARVO_DATA_DIR), bus (ORV_SIM_BUS), run (XDG_RUNTIME_DIR), config
// (XDG_CONFIG_HOME), home (HOME) and the faked clock's stamp file. Removed with the object.
class TWorld {
public:
    TWorld() {
        std::string lTemplate = (std::filesystem::temp_directory_path() / "tarvo-e2e-XXXXXX").string();
        m_sRoot = mkdtemp(lTemplate.data());
        for (const char* lSub : {"data", "bus", "run", "config", "home"})
            std::filesystem::create_directories(m_sRoot + "/" + lSub);
        std::filesystem::permissions(m_sRoot + "/run", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        m_oEnv = {{"TARVO_DATA_DIR", DataDir()},
                  {"ORV_SIM_BUS", m_sRoot + "/bus"},
                  {"XDG_RUNTIME_DIR", m_sRoot + "/run"},
                  {"XDG_CONFIG_HOME", m_sRoot + "/config"},
                  {"XDG_DATA_HOME", m_sRoot + "/home/.local/share"},
                  {"HOME", m_sRoot + "/home"},
                  {"QT_QPA_PLATFORM", "offscreen"},
                  {"TZ", "UTC"},
                  {"LC_ALL", "C.UTF-8"},
                  {"LANG", "C.UTF-8"}};
    }
    ~TWorld() {
        std::error_code e;
        std::filesystem::remove_all(m_sRoot, e);
    }
    TWorld(const TWorld&) = delete;
    TWorld& operator=(const TWorld&) = delete;

    const std::string& Root() const { return m_sRoot; }
    std::string DataDir() const { return m_sRoot + "/data"; }
    std::string DataPath(const std::string& AName) const { return DataDir() + "/" + AName; }
    std::string RuntimeDir() const { return m_sRoot + "/run"; }

    // Environment given to every program started in this world (on top of the test's own).
    void SetEnv(const std::string& AName, const std::string& AValue) { m_oEnv[AName] = AValue; }
    const std::map<std::string, std::string>& Env() const { return m_oEnv; }

    // Freezes the programs' wall clock at ALocal ("YYYY-MM-DD hh:mm:ss" in the world's TZ); programs
    // started afterwards see it, and running ones see each change at once. Without a call the programs
    // run on the real clock.
    void SetFakeTime(const std::string& ALocal) {
        WriteFile(m_sRoot + "/faketime", ALocal + "\n"); // no "@": the clock stands still
        m_fFaked = true;
    }
    bool Faked() const { return m_fFaked; }
    std::string FakeTimeFile() const { return m_sRoot + "/faketime"; }

    // Runs a tool of the bin folder to its end (stdout and stderr captured); orvsim by default.
    // AExtraEnv adds to or replaces the world's environment for this run.
    TRunResult Run(const std::vector<std::string>& AArgs, const std::string& AProgram = "orvsim",
                   const std::map<std::string, std::string>& AExtraEnv = {}) const;
    TRunResult Orvsim(const std::vector<std::string>& AArgs) const { return Run(AArgs); }

private:
    std::string m_sRoot;
    std::map<std::string, std::string> m_oEnv;
    bool m_fFaked = false;
};

// A program of the bin folder running in a world, started under `timeout` (so a hung program cannot
// outlive the test) with the faked clock preloaded when the world has one. Stdout and stderr go to
// files. The destructor kills a program that is still running.
class TProgram {
public:
    TProgram(const TWorld& AWorld, const std::string& AProgram, const std::vector<std::string>& AArgs = {},
             const std::map<std::string, std::string>& AExtraEnv = {})
        : m_sOutFile(AWorld.Root() + "/" + AProgram + "-" + std::to_string(++Counter()) + ".out"),
          m_sErrFile(m_sOutFile.substr(0, m_sOutFile.size() - 4) + ".err") {
        std::map<std::string, std::string> lEnv;
        for (char** p = environ; *p; ++p) {
            std::string lVar = *p;
            auto lEq = lVar.find('=');
            if (lEq != std::string::npos)
                lEnv[lVar.substr(0, lEq)] = lVar.substr(lEq + 1);
        }
        for (const auto& [k, v] : AWorld.Env())
            lEnv[k] = v;
        for (const auto& [k, v] : AExtraEnv)
            lEnv[k] = v;
        // `timeout` itself must keep the real clock: only the program gets the preload (through env).
        std::vector<std::string> lArgv = {"timeout", "--kill-after=5", std::to_string(RunLimitSeconds),
                                          "env"};
        if (AWorld.Faked()) {
            lEnv["FAKETIME_TIMESTAMP_FILE"] = AWorld.FakeTimeFile();
            lEnv["FAKETIME_NO_CACHE"] = "1";
            lEnv["FAKETIME_DONT_FAKE_MONOTONIC"] = "1";
            lArgv.push_back(std::string("LD_PRELOAD=") + FakeTimeLib);
            // A sanitizer build refuses a preload ahead of its runtime; the faked clock is harmless to it.
            std::string& lAsan = lEnv["ASAN_OPTIONS"];
            lAsan += (lAsan.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
        }
        lArgv.push_back(BinPath(AProgram));
        lArgv.insert(lArgv.end(), AArgs.begin(), AArgs.end());
        m_nPid = Spawn(lArgv, lEnv, m_sOutFile, m_sErrFile);
    }
    ~TProgram() {
        // SIGTERM, which `timeout` passes on and follows with SIGKILL after its --kill-after; a SIGKILL
        // of `timeout` itself would leave the program running after the test.
        if (Running() && !Signal(SIGTERM, std::chrono::milliseconds(8000))) {
            kill(m_nPid, SIGKILL);
            Wait(std::chrono::milliseconds(3000));
        }
    }
    TProgram(const TProgram&) = delete;
    TProgram& operator=(const TProgram&) = delete;

    pid_t Pid() const { return m_nPid; }
    bool Running() {
        if (m_fEnded || m_nPid <= 0)
            return false;
        int lStatus = 0;
        pid_t r = waitpid(m_nPid, &lStatus, WNOHANG);
        if (r == m_nPid) {
            m_fEnded = true;
            m_nStatus = WIFEXITED(lStatus) ? WEXITSTATUS(lStatus) : -1;
            return false;
        }
        return r == 0;
    }
    // Waits for the end; true when it ended within ADeadline. ExitStatus() is then set.
    bool Wait(std::chrono::milliseconds ADeadline = Patience) {
        return WaitUntil([this] { return !Running(); }, ADeadline);
    }
    // -1 while running or when it did not exit normally; `timeout` passes the program's own status on
    // (124 when the run limit killed it).
    int ExitStatus() const { return m_nStatus; }
    // Sends ASignal (the `timeout` wrapper passes it on to the program) and waits for the end.
    bool Signal(int ASignal, std::chrono::milliseconds ADeadline = Patience) {
        if (!Running())
            return true;
        kill(m_nPid, ASignal);
        return Wait(ADeadline);
    }
    bool Terminate(std::chrono::milliseconds ADeadline = Patience) { return Signal(SIGTERM, ADeadline); }

    std::string Out() const { return ReadFile(m_sOutFile); }
    std::string Err() const { return ReadFile(m_sErrFile); }
    // Waits until the program's stderr (or stdout with AStdout) holds AText.
    bool WaitForOutput(const std::string& AText, bool AStdout = false,
                       std::chrono::milliseconds ADeadline = Patience) const {
        return WaitForText(AStdout ? m_sOutFile : m_sErrFile, AText, ADeadline);
    }

    static pid_t Spawn(const std::vector<std::string>& AArgv, const std::map<std::string, std::string>& AEnv,
                       const std::string& AOutFile, const std::string& AErrFile) {
        std::vector<std::string> lEnvText;
        for (const auto& [k, v] : AEnv)
            lEnvText.push_back(k + "=" + v);
        std::vector<char*> lEnvp, lArgv;
        for (auto& s : lEnvText)
            lEnvp.push_back(s.data());
        lEnvp.push_back(nullptr);
        std::vector<std::string> lArgs = AArgv;
        for (auto& s : lArgs)
            lArgv.push_back(s.data());
        lArgv.push_back(nullptr);
        posix_spawn_file_actions_t lActions;
        posix_spawn_file_actions_init(&lActions);
        posix_spawn_file_actions_addopen(&lActions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&lActions, 1, AOutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&lActions, 2, AErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t lPid = -1;
        if (posix_spawnp(&lPid, lArgv[0], &lActions, nullptr, lArgv.data(), lEnvp.data()) != 0)
            lPid = -1;
        posix_spawn_file_actions_destroy(&lActions);
        return lPid;
    }

private:
    static int& Counter() {
        static int s_nCounter = 0;
        return s_nCounter;
    }
    std::string m_sOutFile, m_sErrFile;
    pid_t m_nPid = -1;
    bool m_fEnded = false;
    int m_nStatus = -1;
};

inline TRunResult TWorld::Run(const std::vector<std::string>& AArgs, const std::string& AProgram,
                              const std::map<std::string, std::string>& AExtraEnv) const {
    std::vector<std::string> lArgv = {"timeout", "--kill-after=5", "60", BinPath(AProgram)};
    lArgv.insert(lArgv.end(), AArgs.begin(), AArgs.end());
    std::map<std::string, std::string> lEnv;
    for (char** p = environ; *p; ++p) {
        std::string lVar = *p;
        auto lEq = lVar.find('=');
        if (lEq != std::string::npos)
            lEnv[lVar.substr(0, lEq)] = lVar.substr(lEq + 1);
    }
    for (const auto& [k, v] : m_oEnv)
        lEnv[k] = v;
    for (const auto& [k, v] : AExtraEnv)
        lEnv[k] = v;
    static int s_nRun = 0;
    const std::string lBase = m_sRoot + "/run-" + std::to_string(++s_nRun);
    TRunResult lResult;
    pid_t lPid = TProgram::Spawn(lArgv, lEnv, lBase + ".out", lBase + ".err");
    if (lPid <= 0)
        return lResult;
    int lStatus = 0;
    while (waitpid(lPid, &lStatus, 0) < 0 && errno == EINTR) {
    }
    lResult.nStatus = WIFEXITED(lStatus) ? WEXITSTATUS(lStatus) : -1;
    lResult.sOut = ReadFile(lBase + ".out");
    lResult.sErr = ReadFile(lBase + ".err");
    std::filesystem::remove(lBase + ".out");
    std::filesystem::remove(lBase + ".err");
    return lResult;
}

// Lines of a text file without their line ends (CR LF or LF).
inline std::vector<std::string> ReadLines(const std::string& APath) {
    std::vector<std::string> lLines;
    std::istringstream lIn(ReadFile(APath));
    std::string lLine;
    while (std::getline(lIn, lLine)) {
        if (!lLine.empty() && lLine.back() == '\r')
            lLine.pop_back();
        lLines.push_back(lLine);
    }
    return lLines;
}

} // namespace E2e
