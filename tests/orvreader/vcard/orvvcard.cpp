// orvvcard: a contactless card for the vpcd virtual reader driver, for tests without hardware.
//
//   orvvcard --port N (--uid HEX | --answer HEX | --vanish) [--atr HEX] [--host ADDR] [--log FILE]
//
// Connects to vpcd on ADDR:N (127.0.0.1 by default) and stays there, so pcscd sees a card in that
// reader, until SIGTERM or SIGINT takes it away. When vpcd goes (pcscd ended) the card connects again
// as soon as vpcd listens once more. GET DATA for the UID (FF CA 00 00 00) is answered with the UID
// and 90 00, or with the --answer bytes exactly as given (to play a card that answers wrongly); any
// other command gets 6D 00. --vanish plays a card pulled away while it is read: the connection ends
// at the UID command and the card comes back (so a test sees the reader keep working). The ATR names a MIFARE
// Classic 1K unless --atr gives another. --log appends a line for every command once it is answered ("apdu
// FFCA000000"; "control N"), so a test knows that the card was read.
//
// vpcd's protocol: every message is a two-byte big-endian length and the payload. A payload of one
// byte is a control (0 power off, 1 power on, 2 reset, 4 send the ATR); any other is a command APDU,
// answered with one message.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_fStop = 0;

void OnSignal(int) {
    g_fStop = 1;
}

bool ParseHex(const char* AText, std::vector<unsigned char>& VBytes) {
    VBytes.clear();
    std::string s;
    for (const char* p = AText; *p; ++p)
        if (*p != ' ' && *p != ':')
            s += *p;
    if (s.size() % 2 != 0)
        return false;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        char lPair[3] = {s[i], s[i + 1], 0};
        char* lEnd = nullptr;
        long v = std::strtol(lPair, &lEnd, 16);
        if (*lEnd)
            return false;
        VBytes.push_back(static_cast<unsigned char>(v));
    }
    return true;
}

// Reads exactly ACount bytes; false at the end of the connection, an error or a stop.
bool ReadAll(int AFd, unsigned char* VBuf, std::size_t ACount) {
    std::size_t lGot = 0;
    while (lGot < ACount) {
        pollfd p{AFd, POLLIN, 0};
        int r = poll(&p, 1, 200);
        if (g_fStop)
            return false;
        if (r <= 0)
            continue;
        ssize_t n = read(AFd, VBuf + lGot, ACount - lGot);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        lGot += std::size_t(n);
    }
    return true;
}

bool Send(int AFd, const std::vector<unsigned char>& AData) {
    std::vector<unsigned char> lMsg = {static_cast<unsigned char>(AData.size() >> 8),
                                       static_cast<unsigned char>(AData.size() & 0xFF)};
    lMsg.insert(lMsg.end(), AData.begin(), AData.end());
    return send(AFd, lMsg.data(), lMsg.size(), MSG_NOSIGNAL) == ssize_t(lMsg.size());
}

int Connect(const char* AHost, int APort) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(APort));
    if (inet_pton(AF_INET, AHost, &a.sin_addr) != 1)
        return -2;
    int h = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (h < 0)
        return -1;
    if (connect(h, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(h);
        return -1;
    }
    int lOne = 1;
    setsockopt(h, IPPROTO_TCP, TCP_NODELAY, &lOne, sizeof lOne);
    return h;
}

void Log(const char* APath, const std::vector<unsigned char>& AMsg) {
    if (!APath)
        return;
    std::string lLine = AMsg.size() == 1 ? "control " + std::to_string(AMsg[0]) : "apdu ";
    if (AMsg.size() != 1)
        for (unsigned char c : AMsg) {
            char b[3];
            std::snprintf(b, sizeof b, "%02X", c);
            lLine += b;
        }
    lLine += '\n';
    if (FILE* f = std::fopen(APath, "a")) {
        std::fputs(lLine.c_str(), f);
        std::fclose(f);
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: orvvcard --port N (--uid HEX | --answer HEX | --vanish) [--atr HEX] [--host ADDR] "
                 "[--log FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    int lPort = 0;
    std::vector<unsigned char> lUid, lAnswer, lAtr;
    bool lHaveUid = false, lHaveAnswer = false, lVanish = false;
    const char* lHost = "127.0.0.1";
    const char* lLog = nullptr;
    // The ATR of a MIFARE Classic 1K in the PC/SC registered form.
    ParseHex("3B8F8001804F0CA000000306030001000000006A", lAtr);
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--vanish") {
            lVanish = true;
            continue;
        }
        if (i + 1 >= argc)
            return Usage();
        const char* v = argv[++i];
        if (a == "--port") {
            char* lEnd = nullptr;
            long n = std::strtol(v, &lEnd, 10);
            if (*lEnd || n <= 0 || n > 65535)
                return Usage();
            lPort = int(n);
        } else if (a == "--uid") {
            lHaveUid = ParseHex(v, lUid);
            if (!lHaveUid)
                return Usage();
        } else if (a == "--answer") {
            lHaveAnswer = ParseHex(v, lAnswer);
            if (!lHaveAnswer)
                return Usage();
        } else if (a == "--atr") {
            if (!ParseHex(v, lAtr) || lAtr.empty() || lAtr.size() > 33)
                return Usage();
        } else if (a == "--host") {
            lHost = v;
        } else if (a == "--log") {
            lLog = v;
        } else {
            return Usage();
        }
    }
    if (lPort == 0 || (!lHaveUid && !lHaveAnswer && !lVanish))
        return Usage();
    if (!lHaveAnswer) {
        lAnswer = lUid;
        lAnswer.push_back(0x90);
        lAnswer.push_back(0x00);
    }
    struct sigaction s {};
    s.sa_handler = OnSignal;
    sigaction(SIGTERM, &s, nullptr);
    sigaction(SIGINT, &s, nullptr);

    const unsigned char c_aGetUid[5] = {0xFF, 0xCA, 0x00, 0x00, 0x00};
    while (!g_fStop) {
        int h = Connect(lHost, lPort);
        if (h == -2)
            return Usage();
        if (h < 0) {
            // vpcd is not listening (yet, or again): its pcscd starts or restarts.
            poll(nullptr, 0, 50);
            continue;
        }
        for (;;) {
            unsigned char lLen[2];
            if (!ReadAll(h, lLen, 2))
                break;
            std::size_t n = std::size_t(lLen[0]) << 8 | lLen[1];
            std::vector<unsigned char> lMsg(n);
            if (n > 0 && !ReadAll(h, lMsg.data(), n))
                break;
            bool lOk = true;
            if (n == 1) {
                if (lMsg[0] == 4)
                    lOk = Send(h, lAtr);
            } else if (n == sizeof c_aGetUid && std::memcmp(lMsg.data(), c_aGetUid, n) == 0) {
                if (lVanish) {
                    Log(lLog, lMsg);
                    break;
                }
                lOk = Send(h, lAnswer);
            } else if (n > 0) {
                lOk = Send(h, {0x6D, 0x00});
            }
            if (!lOk)
                break;
            Log(lLog, lMsg);
        }
        close(h);
    }
    return 0;
}
