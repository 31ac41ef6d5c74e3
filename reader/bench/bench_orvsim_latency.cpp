// Latency of the virtual bus across processes, and a leak check of plugging and unplugging.
//
//   bench_orvsim_latency [N]   (default 1000)
//
// 1. A session process opens a reader; this process runs `orvsim present` N times and measures, on the
//    steady clock shared by all processes, the time from orvsim's exit to the session's OnCardInsert.
// 2. A detector process registers a detector; this process runs N `orvsim plug`/`unplug` cycles; the
//    detector counts the port messages and compares its open descriptors and resident memory before
//    and after.
// Each run uses a private bus and runtime folder. orvsim is found in $TARVO_BIN_DIR or the build's bin.

#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

std::int64_t SteadyNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

std::string OrvsimPath() {
    const char* lDir = std::getenv("TARVO_BIN_DIR");
    return std::string(lDir && *lDir ? lDir : TARVO_BIN_DIR) + "/orvsim";
}

pid_t Spawn(const std::vector<std::string>& AArgs, int AStdin = -1, int AStdout = -1) {
    posix_spawn_file_actions_t lActions;
    posix_spawn_file_actions_init(&lActions);
    if (AStdin >= 0)
        posix_spawn_file_actions_adddup2(&lActions, AStdin, 0);
    if (AStdout >= 0)
        posix_spawn_file_actions_adddup2(&lActions, AStdout, 1);
    std::vector<char*> lArgv;
    for (const std::string& a : AArgs)
        lArgv.push_back(const_cast<char*>(a.c_str()));
    lArgv.push_back(nullptr);
    pid_t lPid = -1;
    if (posix_spawn(&lPid, AArgs[0].c_str(), &lActions, nullptr, lArgv.data(), environ) != 0)
        lPid = -1;
    posix_spawn_file_actions_destroy(&lActions);
    return lPid;
}

int Orvsim(const std::vector<std::string>& AArgs) {
    std::vector<std::string> lArgs = {OrvsimPath()};
    lArgs.insert(lArgs.end(), AArgs.begin(), AArgs.end());
    pid_t lPid = Spawn(lArgs);
    int lStatus = 0;
    if (lPid < 0 || waitpid(lPid, &lStatus, 0) != lPid)
        return -1;
    return WIFEXITED(lStatus) ? WEXITSTATUS(lStatus) : -1;
}

bool ReadAll(int AFd, void* ABuf, std::size_t ASize) {
    auto* p = static_cast<char*>(ABuf);
    while (ASize > 0) {
        ssize_t n = read(AFd, p, ASize);
        if (n <= 0)
            return false;
        p += n;
        ASize -= std::size_t(n);
    }
    return true;
}

void WriteAll(int AFd, const void* ABuf, std::size_t ASize) {
    if (write(AFd, ABuf, ASize) != ssize_t(ASize))
        std::_Exit(3);
}

long ResidentKb() {
    std::ifstream f("/proc/self/status");
    std::string lLine;
    while (std::getline(f, lLine))
        if (lLine.rfind("VmRSS:", 0) == 0)
            return std::atol(lLine.c_str() + 6);
    return -1;
}

int OpenFds() {
    int n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

// Session process: writes one byte when open, then the steady time of each OnCardInsert.
int RunSession(int argc, char** argv) {
    QCoreApplication lApp(argc, argv);
    TOrvReader lRd;
    lRd.SetOnCardInsert([](TOrvReader*, const TOrvR_CARD_INFO*) {
        const std::int64_t t = SteadyNs();
        WriteAll(1, &t, sizeof t);
    });
    lRd.SetNotifications(true);
    lRd.SetPortName(QStringLiteral("COM3"));
    lRd.SetPortType(ORVP_PORT_COM);
    lRd.SetActive(true);
    WriteAll(1, "R", 1);
    QSocketNotifier lStdin(0, QSocketNotifier::Read);
    QObject::connect(&lStdin, &QSocketNotifier::activated, &lApp, [] { QCoreApplication::quit(); });
    return lApp.exec();
}

// Detector process: counts port messages; on a line on stdin, once all expected messages came,
// writes "messages fds_before fds_after rss_before_kb rss_after_kb".
int RunDetector(int argc, char** argv, long AExpected) {
    QCoreApplication lApp(argc, argv);
    if (OrvR_Initialize(0x102) != ORV_OK)
        return 1;
    HORV hDet = 0;
    long lCount = 0;
    int lFds0 = 0;
    long lRss0 = 0;
    bool lDone = false;
    auto Finish = [&] {
        if (!lDone || lCount < AExpected)
            return;
        std::string lLine = std::to_string(lCount) + " " + std::to_string(lFds0) + " " +
                            std::to_string(OpenFds()) + " " + std::to_string(lRss0) + " " +
                            std::to_string(ResidentKb()) + "\n";
        WriteAll(1, lLine.data(), lLine.size());
        QCoreApplication::quit();
    };
    TOrvMsgWindow lWindow([&](std::uint32_t) {
        std::uint32_t k = 0;
        intptr_t p = 0;
        while (OrvP_DD_GetNextMessage(hDet, &k, &p) == ORV_OK)
            ++lCount;
        if (lCount == 2) { // after the warm-up cycle
            lFds0 = OpenFds();
            lRss0 = ResidentKb();
        }
        Finish();
    });
    TOrvP_DD_NOTIFY_SETTINGS s{0x3001, 0, lWindow.Target(), 1026, 473, 0, 0, 0};
    if (OrvP_DD_SetNotification(&hDet, &s) != ORV_OK)
        return 1;
    WriteAll(1, "R", 1);
    QSocketNotifier lStdin(0, QSocketNotifier::Read);
    QObject::connect(&lStdin, &QSocketNotifier::activated, &lApp, [&] {
        char c;
        if (read(0, &c, 1) <= 0 || c == '\n') {
            lDone = true;
            lStdin.setEnabled(false);
            Finish();
        }
    });
    int r = lApp.exec();
    OrvP_CloseHandle(hDet);
    OrvR_Finalyze();
    return r;
}

struct TChild {
    pid_t nPid = -1;
    int hIn = -1, hOut = -1;
};

TChild StartChild(const std::vector<std::string>& AArgs) {
    int lIn[2], lOut[2];
    if (pipe2(lIn, O_CLOEXEC) != 0 || pipe2(lOut, O_CLOEXEC) != 0)
        std::exit(1);
    TChild c;
    c.nPid = Spawn(AArgs, lIn[0], lOut[1]);
    close(lIn[0]);
    close(lOut[1]);
    c.hIn = lIn[1];
    c.hOut = lOut[0];
    char lReady = 0;
    if (c.nPid < 0 || !ReadAll(c.hOut, &lReady, 1) || lReady != 'R') {
        std::fprintf(stderr, "child %s did not start\n", AArgs[1].c_str());
        std::exit(1);
    }
    return c;
}

void StopChild(TChild& c) {
    WriteAll(c.hIn, "\n", 1);
    close(c.hIn);
    waitpid(c.nPid, nullptr, 0);
    close(c.hOut);
}

double Percentile(std::vector<double> AValues, double AP) {
    std::sort(AValues.begin(), AValues.end());
    std::size_t i = std::min(AValues.size() - 1, std::size_t(AP * double(AValues.size() - 1) + 0.5));
    return AValues[i];
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--session") == 0)
        return RunSession(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--detector") == 0)
        return RunDetector(argc, argv, std::atol(argv[2]));

    const int lN = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 1000;
    std::string lTemplate = (std::filesystem::temp_directory_path() / "orvbench-XXXXXX").string();
    const std::string lRoot = mkdtemp(lTemplate.data());
    std::filesystem::create_directory(lRoot + "/bus");
    std::filesystem::create_directory(lRoot + "/run");
    setenv("ORV_SIM_BUS", (lRoot + "/bus").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (lRoot + "/run").c_str(), 1);
    const std::string lSelf = std::filesystem::read_symlink("/proc/self/exe").string();

    // 1. Presentation latency.
    if (Orvsim({"plug", "COM3", "--sn", "1"}) != 0) {
        std::fprintf(stderr, "orvsim plug failed (%s)\n", OrvsimPath().c_str());
        return 1;
    }
    TChild lSession = StartChild({lSelf, "--session"});
    std::vector<double> lAfterExit, lAfterStart;
    for (int i = 0; i < lN; ++i) {
        char lKey[16];
        std::snprintf(lKey, sizeof lKey, "%06X", i);
        const std::int64_t t0 = SteadyNs();
        if (Orvsim({"present", "COM3", lKey}) != 0) {
            std::fprintf(stderr, "orvsim present failed\n");
            return 1;
        }
        const std::int64_t t1 = SteadyNs();
        std::int64_t tEvent = 0;
        if (!ReadAll(lSession.hOut, &tEvent, sizeof tEvent))
            return 1;
        lAfterExit.push_back(double(tEvent - t1) / 1e6);
        lAfterStart.push_back(double(tEvent - t0) / 1e6);
    }
    StopChild(lSession);
    const long lEarly = std::count_if(lAfterExit.begin(), lAfterExit.end(), [](double v) { return v < 0; });
    std::printf("presentations: %d\n", lN);
    std::printf("orvsim exit -> OnCardInsert: median %.3f ms, p99 %.3f ms, max %.3f ms "
                "(%ld of %d fired before orvsim's exit was seen)\n",
                Percentile(lAfterExit, 0.5), Percentile(lAfterExit, 0.99), Percentile(lAfterExit, 1.0),
                lEarly, lN);
    std::vector<double> lClamped;
    for (double v : lAfterExit)
        lClamped.push_back(std::max(0.0, v));
    std::printf("the same counting an event before the exit as 0: median %.3f ms, p99 %.3f ms\n",
                Percentile(lClamped, 0.5), Percentile(lClamped, 0.99));
    std::printf("orvsim start -> OnCardInsert: median %.3f ms, p99 %.3f ms\n", Percentile(lAfterStart, 0.5),
                Percentile(lAfterStart, 0.99));

    // 2. Plug/unplug cycles against a registered detector.
    TChild lDetector = StartChild({lSelf, "--detector", std::to_string(2 * (lN + 1))});
    for (int i = 0; i <= lN; ++i) { // cycle 0 warms up
        if (Orvsim({"plug", "COM4"}) != 0 || Orvsim({"unplug", "COM4"}) != 0) {
            std::fprintf(stderr, "orvsim plug/unplug failed\n");
            return 1;
        }
    }
    WriteAll(lDetector.hIn, "\n", 1);
    char lLine[256] = {};
    ssize_t n = read(lDetector.hOut, lLine, sizeof lLine - 1);
    close(lDetector.hIn);
    waitpid(lDetector.nPid, nullptr, 0);
    long lMsgs = 0, lRss0 = 0, lRss1 = 0;
    int lFds0 = 0, lFds1 = 0;
    if (n <= 0 || std::sscanf(lLine, "%ld %d %d %ld %ld", &lMsgs, &lFds0, &lFds1, &lRss0, &lRss1) != 5) {
        std::fprintf(stderr, "detector gave no result\n");
        return 1;
    }
    std::printf("plug/unplug cycles: %d, detector messages %ld of %d\n", lN, lMsgs, 2 * (lN + 1));
    std::printf("detector descriptors %d -> %d, resident memory %ld kB -> %ld kB\n", lFds0, lFds1, lRss0,
                lRss1);
    std::error_code e;
    std::filesystem::remove_all(lRoot, e);
    const bool lOk = lMsgs == 2 * (lN + 1) && lFds0 == lFds1;
    std::printf("%s\n", lOk ? "no event lost, no descriptor leaked" : "FAILED");
    return lOk ? 0 : 1;
}
