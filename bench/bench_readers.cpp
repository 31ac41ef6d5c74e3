// From the last byte a reader sends to OnCardInsert in the reader session, through the real library
// and a Qt event loop: a serial reader on a pseudo-terminal pair sending "0012345678\r\n", and a
// keyboard-style reader whose input events are replayed into a FIFO (the last event is the Enter
// key's report). Median and 99th percentile over 1,000 cards each; the target median is below 2 ms.
// Run: build/bench/bench_readers [--cards N]

#include "reader/OrvRClasses.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <linux/input.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

struct TResult {
    double fMedianMs = 0, fP99Ms = 0;
    int nMissed = 0;
};

// Runs ACards presentations: ASend writes all but the last byte(s) and returns; ALast writes the rest.
template <class TSend, class TLast>
TResult Measure(TOrvReader& AReader, int ACards, TSend ASend, TLast ALast) {
    bool lGot = false;
    TClock::time_point lAt;
    AReader.SetOnCardInsert([&](TOrvReader*, const TOrvR_CARD_INFO*) {
        lAt = TClock::now();
        lGot = true;
    });
    std::vector<double> lMs;
    TResult r;
    for (int i = 0; i < ACards; ++i) {
        ASend(i);
        lGot = false;
        const TClock::time_point lStart = TClock::now();
        ALast(i);
        const TClock::time_point lGiveUp = lStart + std::chrono::seconds(2);
        while (!lGot && TClock::now() < lGiveUp)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        if (!lGot) {
            ++r.nMissed;
            continue;
        }
        lMs.push_back(std::chrono::duration<double, std::milli>(lAt - lStart).count());
    }
    if (!lMs.empty()) {
        std::sort(lMs.begin(), lMs.end());
        r.fMedianMs = lMs[lMs.size() / 2];
        r.fP99Ms = lMs[std::min(lMs.size() - 1, lMs.size() * 99 / 100)];
    }
    return r;
}

bool Report(const char* AName, const TResult& AResult, int ACards) {
    const bool lOk = AResult.nMissed == 0 && AResult.fMedianMs < 2.0;
    std::printf("%-28s median %7.3f ms  p99 %7.3f ms  over %d cards%s  %s\n", AName, AResult.fMedianMs,
                AResult.fP99Ms, ACards,
                AResult.nMissed ? (" (" + std::to_string(AResult.nMissed) + " missed)").c_str() : "",
                lOk ? "ok" : "OVER 2 ms OR MISSED");
    return lOk;
}

void AddKey(std::vector<input_event>& VEvents, std::uint64_t& VUs, unsigned ACode) {
    for (int lValue : {1, 0}) {
        input_event e{};
        e.input_event_sec = time_t(VUs / 1000000);
        e.input_event_usec = suseconds_t(VUs % 1000000);
        e.type = EV_KEY;
        e.code = std::uint16_t(ACode);
        e.value = lValue;
        VEvents.push_back(e);
        input_event s{};
        s.input_event_sec = e.input_event_sec;
        s.input_event_usec = e.input_event_usec;
        s.type = EV_SYN;
        VEvents.push_back(s);
        VUs += 2000;
    }
}

} // namespace

int main(int argc, char** argv) {
    int lCards = 1000;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--cards") == 0)
            lCards = std::max(1, std::atoi(argv[i + 1]));

    // A private world: the virtual bus, the runtime folder and readers.ini.
    std::string lTemplate = (std::filesystem::temp_directory_path() / "bench-readers-XXXXXX").string();
    const std::string lRoot = mkdtemp(lTemplate.data());
    std::filesystem::create_directories(lRoot + "/bus");
    std::filesystem::create_directories(lRoot + "/run");
    std::filesystem::create_directories(lRoot + "/config/tarvo");
    setenv("ORV_SIM_BUS", (lRoot + "/bus").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (lRoot + "/run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (lRoot + "/config").c_str(), 1);

    int lMaster = -1, lSlave = -1;
    char lName[256] = {};
    if (openpty(&lMaster, &lSlave, lName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    const std::string lFifo = lRoot + "/usb-Bench_Reader-event-kbd";
    if (mkfifo(lFifo.c_str(), 0600) != 0) {
        std::perror("mkfifo");
        return 1;
    }
    std::ofstream(lRoot + "/config/tarvo/readers.ini")
        << "[COM21]\nkind=serial\ndevice=" << lName
        << "\nformat=em4100\n\n[KBD1]\nkind=keyboard\ndevice=" << lFifo << "\nformat=em4100\n";

    QCoreApplication lApp(argc, argv);
    if (OrvR_Initialize(0x102) != 0) {
        std::fprintf(stderr, "bench_readers: the reader library does not start\n");
        return 1;
    }
    bool lOk = true;
    {
        TOrvReader lSerial;
        lSerial.SetPortName(QStringLiteral("COM21"));
        lSerial.SetPortType(ORVP_PORT_COM);
        lSerial.SetNotifications(true);
        lSerial.SetActive(true);
        const std::string lFrame = "0012345678\r\n";
        lOk &= Report("serial, last byte",
                      Measure(
                          lSerial, lCards,
                          [&](int) {
                              if (write(lMaster, lFrame.data(), lFrame.size() - 1) < 0)
                                  std::perror("write");
                          },
                          [&](int) {
                              if (write(lMaster, &lFrame.back(), 1) < 0)
                                  std::perror("write");
                          }),
                      lCards);
        lSerial.SetActive(false);
    }
    {
        TOrvReader lKbd;
        lKbd.SetPortName(QStringLiteral("KBD1"));
        lKbd.SetPortType(ORVP_PORT_FT);
        lKbd.SetNotifications(true);
        lKbd.SetActive(true);
        const int lWrite = open(lFifo.c_str(), O_WRONLY | O_CLOEXEC);
        std::uint64_t lUs = 1700000000ull * 1000000;
        std::vector<input_event> lEvents;
        lOk &= Report("keyboard, last key event",
                      Measure(
                          lKbd, lCards,
                          [&](int) {
                              lEvents.clear();
                              for (char c : std::string("0012345678"))
                                  AddKey(lEvents, lUs, c == '0' ? KEY_0 : KEY_1 + unsigned(c - '1'));
                              AddKey(lEvents, lUs, KEY_ENTER);
                              lUs += 100000; // the next card comes later than the gap
                              // All but the Enter key's press report (press and SYN) and release.
                              const std::size_t lHead = (lEvents.size() - 4) * sizeof(input_event);
                              if (write(lWrite, lEvents.data(), lHead) < 0)
                                  std::perror("write");
                          },
                          [&](int) {
                              const std::size_t lHead = lEvents.size() - 4;
                              if (write(lWrite, lEvents.data() + lHead, 2 * sizeof(input_event)) < 0 ||
                                  write(lWrite, lEvents.data() + lHead + 2, 2 * sizeof(input_event)) < 0)
                                  std::perror("write");
                          }),
                      lCards);
        lKbd.SetActive(false);
        close(lWrite);
    }
    OrvR_Finalyze();
    close(lMaster);
    close(lSlave);
    std::error_code e;
    std::filesystem::remove_all(lRoot, e);
    return lOk ? 0 : 1;
}
