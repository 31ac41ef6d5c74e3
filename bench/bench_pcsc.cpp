// The PC/SC backend's CPU while it waits: a private pcscd with the vpcd virtual reader
// (tests/orvreader/PcscHarness.h), the library started and one reader open with notifications, then
// this process's CPU time (getrusage, every thread) over a few seconds of waiting, without a card, with
// a card lying on the reader, and with pcscd gone (the backend looking for it every 500 ms). The target
// is no busy polling: below 0.5 % of one core in each case.
// Run: build/bench/bench_pcsc [--seconds N]

#include "orvreader/OrvReader.h"
#include "tests/orvreader/PcscHarness.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The share of one core this process used while it slept ASeconds.
double IdleShare(int ASeconds) {
    const double lStart = CpuSeconds();
    const auto lWallStart = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(ASeconds));
    const double lWall = std::chrono::duration<double>(std::chrono::steady_clock::now() - lWallStart).count();
    return (CpuSeconds() - lStart) / lWall;
}

bool Report(const char* ACase, double AShare) {
    const bool lOk = AShare < 0.005;
    std::printf("%-40s %7.3f %% of a core  %s\n", ACase, AShare * 100, lOk ? "ok" : "OVER 0.5 %");
    return lOk;
}

void Post(void*, std::uint32_t) {}

} // namespace

int main(int argc, char* argv[]) {
    int lSeconds = 5;
    if (argc > 2 && std::strcmp(argv[1], "--seconds") == 0)
        lSeconds = std::max(1, std::atoi(argv[2]));
    const std::string lMissing = PcscTest::MissingTools();
    if (!lMissing.empty()) {
        std::fprintf(stderr, "bench_pcsc: %s\n", lMissing.c_str());
        return 1;
    }
    setenv("TARVO_BIN_DIR", TARVO_BIN_DIR, 0);
    setenv("ORV_PCSC_VIRTUAL", "1", 1);
    const std::string lRun = PcscTest::RootFolder() + "/xdg";
    std::filesystem::create_directories(lRun);
    setenv("XDG_RUNTIME_DIR", lRun.c_str(), 1);
    setenv("ORV_SIM_BUS", (lRun + "/bus").c_str(), 1);
    PcscTest::TPrivatePcscd lPcscd;
    if (!lPcscd.Start()) {
        std::fprintf(stderr, "bench_pcsc: pcscd did not start (%s)\n", lPcscd.Log().c_str());
        return 1;
    }
    if (OrvR_Initialize(ORV_INIT_GLOBAL | ORV_INIT_DETECTOR) != ORV_OK)
        return 1;
    std::vector<TOrv_CHAR> lName = {u'N', u'F', u'C', u'1', 0};
    TOrvR_RD_OPEN_PARAMS p{};
    p.nPortType = ORVP_PORT_FT;
    p.pszPortName = lName.data();
    HORV h = 0;
    TOrvR_RD_INFO lInfo{};
    if (OrvR_Rd_Open(&h, &p, &lInfo) != ORV_OK) {
        std::fprintf(stderr, "bench_pcsc: NFC1 did not open\n");
        return 1;
    }
    const TOrv_NOTIFY_WINDOW lWindow{&Post, nullptr};
    TOrvR_NOTIFY_SETTINGS s{0xFFFFFFFFu, 0, &lWindow, 1025, 0, 300};
    OrvR_Rd_SetNotification(h, &s);

    bool lOk = Report("waiting, no card", IdleShare(lSeconds));
    {
        PcscTest::TVirtualCard lCard(lPcscd.Port(), "04A23B7C");
        lCard.WaitUidReads();
        lOk = Report("waiting, a card on the reader", IdleShare(lSeconds)) && lOk;
    }
    lPcscd.Stop(SIGKILL);
    lOk = Report("pcscd gone, looked for every 500 ms", IdleShare(lSeconds)) && lOk;
    OrvP_CloseHandle(h);
    OrvR_Finalyze();
    return lOk ? 0 : 1;
}
