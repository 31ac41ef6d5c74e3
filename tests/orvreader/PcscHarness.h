#pragma once
// PC/SC without hardware: a private pcscd started through systemd-socket-activate on a socket of its
// own (PCSCLITE_CSOCK_NAME) with a reader configuration of its own, whose only readers are those of
// the vpcd virtual reader driver on free TCP ports, and orvvcard, our virtual card, that connects to
// vpcd and answers the UID command.
//
// pcsc-lite's client reads PCSCLITE_CSOCK_NAME once per process, so the socket's path is fixed for
// the whole test program (PcscSocketPath, called before the library first talks to pcscd) and every
// private pcscd of the program listens there. pcscd looks at card presence every 400 ms: a test waits
// for what it expects with a deadline (Patience) and never sleeps for a fixed time.

#include <PCSC/winscard.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace PcscTest {

inline constexpr std::chrono::milliseconds Patience{15000};
inline constexpr const char* cVpcdDriver = "/usr/lib/pcsc/drivers/serial/libifdvpcd.so";

// The program's folder for private pcscd runs; made once, removed at exit (never destroyed itself, so
// the exit handler still finds its name).
inline const std::string& RootFolder() {
    static const std::string* s_pRoot = [] {
        std::string lTemplate = (std::filesystem::temp_directory_path() / "orvpcsc-XXXXXX").string();
        auto* lRoot = new std::string(mkdtemp(lTemplate.data()));
        std::atexit([] {
            std::error_code e;
            std::filesystem::remove_all(RootFolder(), e);
        });
        return lRoot;
    }();
    return *s_pRoot;
}

// The socket every private pcscd of this program listens on, set as PCSCLITE_CSOCK_NAME.
inline const std::string& PcscSocketPath() {
    static const std::string s_sPath = [] {
        std::string p = RootFolder() + "/pcscd.comm";
        setenv("PCSCLITE_CSOCK_NAME", p.c_str(), 1);
        return p;
    }();
    return s_sPath;
}

// Why the harness cannot run here ("" when it can).
inline std::string MissingTools() {
    for (const char* p : {"/usr/sbin/pcscd", "/usr/bin/systemd-socket-activate", cVpcdDriver})
        if (access(p, X_OK) != 0 && access(p, R_OK) != 0)
            return std::string(p) + " is not installed";
    return "";
}

// A program of the build: $TARVO_BIN_DIR, else bin/ beside the test's own folder.
inline std::string BinPath(const std::string& AName) {
    const char* lDir = std::getenv("TARVO_BIN_DIR");
    if (lDir && *lDir)
        return std::string(lDir) + "/" + AName;
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin" / AName)
        .string();
}

// Starts a program with the current environment plus AEnv ("NAME=value"), its output into ALog.
inline pid_t Spawn(const std::string& APath, const std::vector<std::string>& AArgs,
                   const std::vector<std::string>& AEnv = {}, const std::string& ALog = "/dev/null") {
    std::vector<std::string> lEnvText;
    for (char** e = environ; *e; ++e) {
        std::string s = *e;
        bool lReplaced = false;
        for (const std::string& n : AEnv)
            if (s.compare(0, n.find('=') + 1, n, 0, n.find('=') + 1) == 0)
                lReplaced = true;
        if (!lReplaced)
            lEnvText.push_back(s);
    }
    lEnvText.insert(lEnvText.end(), AEnv.begin(), AEnv.end());
    std::vector<char*> lEnv, lArgv;
    for (std::string& s : lEnvText)
        lEnv.push_back(s.data());
    lEnv.push_back(nullptr);
    lArgv.push_back(const_cast<char*>(APath.c_str()));
    for (const std::string& a : AArgs)
        lArgv.push_back(const_cast<char*>(a.c_str()));
    lArgv.push_back(nullptr);
    posix_spawn_file_actions_t lActions;
    posix_spawn_file_actions_init(&lActions);
    posix_spawn_file_actions_addopen(&lActions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&lActions, 1, ALog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&lActions, 1, 2);
    pid_t lPid = -1;
    if (posix_spawn(&lPid, APath.c_str(), &lActions, nullptr, lArgv.data(), lEnv.data()) != 0)
        lPid = -1;
    posix_spawn_file_actions_destroy(&lActions);
    return lPid;
}

// Ends a started program with ASignal and reaps it.
inline void EndProcess(pid_t& VPid, int ASignal = SIGTERM) {
    if (VPid <= 0)
        return;
    kill(VPid, ASignal);
    int lStatus = 0;
    waitpid(VPid, &lStatus, 0);
    VPid = -1;
}

// Two free TCP ports P and P+1 (vpcd listens on one per slot).
inline int FreePortPair() {
    for (int lTry = 0; lTry < 100; ++lTry) {
        int a = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in s{};
        s.sin_family = AF_INET;
        socklen_t n = sizeof s;
        if (bind(a, reinterpret_cast<sockaddr*>(&s), sizeof s) != 0 ||
            getsockname(a, reinterpret_cast<sockaddr*>(&s), &n) != 0) {
            close(a);
            continue;
        }
        int lPort = ntohs(s.sin_port);
        int b = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in t{};
        t.sin_family = AF_INET;
        t.sin_port = htons(static_cast<std::uint16_t>(lPort + 1));
        bool lOk = lPort < 65535 && bind(b, reinterpret_cast<sockaddr*>(&t), sizeof t) == 0;
        close(a);
        close(b);
        if (lOk)
            return lPort;
    }
    return 0;
}

// A private pcscd with one vpcd reader entry, which pcscd shows as two readers: "Virtual PCD 00 00"
// (the card connects to Port()) and "Virtual PCD 00 01" (Port() + 1). pcscd 1.9 reads its reader
// configuration only at its start, so a reader vanishes only with its pcscd (Stop).
class TPrivatePcscd {
public:
    TPrivatePcscd() : m_sFolder(RootFolder() + "/run" + std::to_string(++Counter())) {
        PcscSocketPath();
        std::filesystem::create_directories(m_sFolder + "/conf");
        m_nPort = FreePortPair();
        WriteConfiguration();
    }
    ~TPrivatePcscd() { Stop(); }
    TPrivatePcscd(const TPrivatePcscd&) = delete;
    TPrivatePcscd& operator=(const TPrivatePcscd&) = delete;

    int Port() const { return m_nPort; }
    std::string Log() const { return m_sFolder + "/pcscd.log"; }

    // Starts pcscd behind its socket (it runs from the first connection on); false when the socket
    // did not appear within the patience.
    bool Start() {
        std::error_code e;
        std::filesystem::remove(PcscSocketPath(), e);
        m_nPid = Spawn("/usr/bin/systemd-socket-activate",
                       {"-l", PcscSocketPath(), "/usr/sbin/pcscd", "-f", "-c", m_sFolder + "/conf"},
                       {"PCSCLITE_CSOCK_NAME=" + PcscSocketPath()}, Log());
        const auto lEnd = std::chrono::steady_clock::now() + Patience;
        while (std::chrono::steady_clock::now() < lEnd) {
            struct stat st {};
            if (stat(PcscSocketPath().c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
                return m_nPid > 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Ends pcscd with ASignal (SIGKILL: it dies without cleaning up).
    void Stop(int ASignal = SIGTERM) { EndProcess(m_nPid, ASignal); }

private:
    static int& Counter() {
        static int s_n = 0;
        return s_n;
    }
    void WriteConfiguration() {
        std::ofstream f(m_sFolder + "/conf/vpcd", std::ios::trunc);
        f << "FRIENDLYNAME \"Virtual PCD\"\nDEVICENAME /dev/null:0x" << std::hex << m_nPort << "\nLIBPATH "
          << cVpcdDriver << "\nCHANNELID 0x" << m_nPort << "\n";
    }

    std::string m_sFolder;
    int m_nPort = 0;
    pid_t m_nPid = -1;
};

// Our virtual card in a vpcd reader from construction to destruction (or Remove).
class TVirtualCard {
public:
    // AUid in hex, card order; AArgs replace it (for example {"--answer", "6A81"}).
    TVirtualCard(int APort, const std::string& AUid, std::vector<std::string> AArgs = {})
        : m_sLog(RootFolder() + "/card" + std::to_string(++Counter()) + ".log") {
        if (AArgs.empty())
            AArgs = {"--uid", AUid};
        AArgs.insert(AArgs.begin(), {"--port", std::to_string(APort), "--log", m_sLog});
        m_nPid = Spawn(BinPath("orvvcard"), AArgs);
    }
    ~TVirtualCard() { Remove(); }
    TVirtualCard(const TVirtualCard&) = delete;
    TVirtualCard& operator=(const TVirtualCard&) = delete;

    bool Running() const { return m_nPid > 0; }
    void Remove() { EndProcess(m_nPid); }

    // How many times the card answered the UID command.
    int UidReads() const {
        std::ifstream f(m_sLog);
        std::string lLine;
        int n = 0;
        while (std::getline(f, lLine))
            n += lLine == "apdu FFCA000000";
        return n;
    }
    // Waits until the card answered the UID command at least ACount times; false after the patience.
    bool WaitUidReads(int ACount = 1) const {
        const auto lEnd = std::chrono::steady_clock::now() + Patience;
        while (UidReads() < ACount) {
            if (std::chrono::steady_clock::now() > lEnd)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    static int& Counter() {
        static int s_n = 0;
        return s_n;
    }
    std::string m_sLog;
    pid_t m_nPid = -1;
};

// Waits until pcscd itself reports a card in the reader AReader (APresent) or none; false after the
// patience. pcscd sees a card taken away and another put down within one of its looks as one card,
// so a test that changes cards waits for the reader to be seen empty in between.
inline bool WaitCardState(const char* AReader, bool APresent) {
    SCARDCONTEXT h = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &h) != SCARD_S_SUCCESS)
        return false;
    SCARD_READERSTATE s{};
    s.szReader = AReader;
    s.dwCurrentState = SCARD_STATE_UNAWARE;
    const auto lEnd = std::chrono::steady_clock::now() + Patience;
    bool lOk = false;
    while (std::chrono::steady_clock::now() < lEnd) {
        LONG r = SCardGetStatusChange(h, 1000, &s, 1);
        if (r != SCARD_S_SUCCESS && r != SCARD_E_TIMEOUT)
            break;
        const bool lPresent = (s.dwEventState & SCARD_STATE_PRESENT) != 0;
        if (r == SCARD_S_SUCCESS && lPresent == APresent && !(s.dwEventState & SCARD_STATE_UNKNOWN)) {
            lOk = true;
            break;
        }
        s.dwCurrentState = s.dwEventState & ~DWORD(SCARD_STATE_CHANGED);
    }
    SCardReleaseContext(h);
    return lOk;
}

} // namespace PcscTest
