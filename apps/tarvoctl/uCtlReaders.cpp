// tarvoctl readers: the reader ports as the programs see them through the reader library, and every
// card presented to any reader with its number in each format, so an installer can check a reader
// and pick its number format from a shell.

#include "apps/tarvoctl/uTarvoCtl.h"

#include "config/uCardNumberText.h"
#include "config/uRdPortList.h"
#include "orvreader/OrvReader.h"
#include "reader/OrvPClasses.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QDateTime>

#include <map>
#include <vector>

namespace TarvoCtl {

namespace {

const char* const cReadersUsage =
    "Usage: tarvoctl readers [list] | readers watch\n"
    "list prints one port a line, tab-separated: the port's name, \"serial\" or \"usb\", its second name\n"
    "(the name the programs store for a USB reader), the reader's model and serial number (\"-\" when\n"
    "no reader answers there), and \"busy\" when a program holds it open, else \"free\".\n"
    "watch opens every free reader, also those plugged in later, and prints every card presented, one a\n"
    "line: the time, the port, then the card's number in each format of readers.ini\n"
    "(em4100=... 3+5=... hex=... hexrev=... dec=... decrev=...; hex is the number the programs match).\n"
    "It runs until Ctrl+C or SIGTERM.\n";

QString Text(const TOrv_CHAR* AText, int AMax) {
    int n = 0;
    while (n < AMax && AText[n])
        ++n;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(AText), n);
}

// Starts the reader library for the command and ends it when the command ends.
class TLibrary {
public:
    TLibrary() {
        if (!CheckOrvVersion())
            throw ECtlFailure(QStringLiteral("the reader library is not version 3.29"));
        const std::int32_t r = OrvR_Initialize(ORV_INIT_GLOBAL | ORV_INIT_DETECTOR);
        if (r < 0)
            throw ECtlFailure(QStringLiteral("the reader library did not start: ") +
                              GetOrvErrorText(r).trimmed());
    }
    ~TLibrary() { OrvR_Finalyze(); }
    TLibrary(const TLibrary&) = delete;
    TLibrary& operator=(const TLibrary&) = delete;
};

std::vector<TOrvP_PORT_INFO> Ports() {
    HORV hList = 0;
    std::uint32_t n = 0;
    const std::int32_t r = OrvP_GetPortInfoList(&hList, &n, 0, 0);
    if (r < 0)
        throw ECtlFailure(QStringLiteral("the reader ports cannot be listed: ") +
                          GetOrvErrorText(r).trimmed());
    std::vector<TOrvP_PORT_INFO> lPorts;
    for (std::uint32_t i = 0; i < n; ++i) {
        TOrvP_PORT_INFO p{};
        if (OrvP_GetPortInfo(hList, i, &p) == ORV_OK)
            lPorts.push_back(p);
    }
    OrvP_CloseHandle(hList);
    return lPorts;
}

void ListReaders(TCtlIo AIo) {
    TLibrary lLib;
    const std::vector<TOrvP_PORT_INFO> lPorts = Ports();
    if (lPorts.empty())
        AIo.m_oErr << "tarvoctl: no reader port found\n";
    for (const TOrvP_PORT_INFO& p : lPorts) {
        const bool lReader = p.nDevCount > 0 && p.aDevices[0].nModel != ORVR_RD_UNDEF;
        AIo.m_oOut << Text(p.szName, ORVP_PORT_NAME_MAX) << '\t'
                   << (p.nType == ORVP_PORT_COM ? "serial" : "usb") << '\t'
                   << Text(p.szFriendly, ORVP_PORT_NAME_MAX) << '\t'
                   << (lReader ? ConfigTarvo::ReaderModelName(p.aDevices[0].nModel) : QStringLiteral("-"))
                   << '\t' << (lReader ? QString::number(p.aDevices[0].nSn) : QStringLiteral("-")) << '\t'
                   << ((p.nFlags & ORVP_PF_BUSY) ? "busy" : "free") << '\n';
    }
}

// The card's line of "watch".
QString CardLine(const QString& APort, const TOrvR_CARD_INFO& ACard) {
    TOrv_KEYNUM lKey;
    std::copy(ACard.nNum, ACard.nNum + 16, lKey.begin());
    QString lLine = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + APort;
    for (int f = 0; f < cCardFormatCount; ++f) {
        const QString lText = KeyNumInFormat(lKey, f);
        lLine += QLatin1Char(' ') + CardFormatName(f) + QLatin1Char('=') +
                 (lText.isEmpty() ? QStringLiteral("-") : lText);
    }
    return lLine;
}

struct TWake {
    int hEvent = -1;
    static void Post(void* AContext, std::uint32_t) {
        const std::uint64_t lOne = 1;
        if (write(static_cast<TWake*>(AContext)->hEvent, &lOne, sizeof lOne) < 0) {
            // The counter is full: a wake-up is pending anyway.
        }
    }
};

// Ctrl+C and SIGTERM, which end "watch".
sigset_t EndSignals() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGINT);
    sigaddset(&s, SIGTERM);
    return s;
}

class TWatch {
public:
    explicit TWatch(TCtlIo AIo) : m_oIo(AIo) {}
    ~TWatch() {
        for (auto& [name, h] : m_oOpen)
            OrvP_CloseHandle(h);
        if (m_hDetector)
            OrvP_CloseHandle(m_hDetector);
        if (m_rWake.hEvent >= 0)
            close(m_rWake.hEvent);
    }
    TWatch(const TWatch&) = delete;
    TWatch& operator=(const TWatch&) = delete;

    void Run() {
        m_rWake.hEvent = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        const sigset_t lSignals = EndSignals();
        const int hSignals = signalfd(-1, &lSignals, SFD_CLOEXEC);
        if (m_rWake.hEvent < 0 || hSignals < 0)
            throw ECtlFailure(QStringLiteral("cannot wait for readers: ") +
                              QString::fromLocal8Bit(strerror(errno)));
        TOrvP_DD_NOTIFY_SETTINGS s{ORVP_DDN_PORTS, 0, &m_rWindow, 1, 0, 0, 0, 0};
        CheckOrvResult(OrvP_DD_SetNotification(&m_hDetector, &s));
        for (const TOrvP_PORT_INFO& p : Ports())
            OpenPort(p);
        if (m_oOpen.empty())
            m_oIo.m_oErr << "tarvoctl: no free reader yet; waiting for one to be plugged in\n";
        m_oIo.m_oErr.flush();
        pollfd lFds[2] = {{m_rWake.hEvent, POLLIN, 0}, {hSignals, POLLIN, 0}};
        for (;;) {
            if (poll(lFds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (lFds[1].revents)
                break;
            std::uint64_t lCount = 0;
            if (read(m_rWake.hEvent, &lCount, sizeof lCount) < 0) {
                // Nothing to read: another round drained it.
            }
            DrainDetector();
            DrainReaders();
        }
        close(hSignals);
    }

private:
    void OpenPort(const TOrvP_PORT_INFO& APort) {
        const QString lName = Text(APort.szName, ORVP_PORT_NAME_MAX);
        if (APort.nDevCount == 0 || APort.aDevices[0].nModel == ORVR_RD_UNDEF || m_oOpen.count(lName))
            return;
        if (APort.nFlags & ORVP_PF_BUSY) {
            m_oIo.m_oErr << "tarvoctl: " << lName << " is held by another program\n";
            return;
        }
        TOrvR_RD_OPEN_PARAMS p{};
        p.nPortType = APort.nType;
        p.pszPortName = APort.szName;
        p.nStopBits = 2;
        TOrvR_RD_INFO lInfo{};
        HORV h = 0;
        const std::int32_t r = OrvR_Rd_Open(&h, &p, &lInfo);
        if (r < 0) {
            m_oIo.m_oErr << "tarvoctl: " << lName << ": " << GetOrvErrorText(r).trimmed() << "\n";
            return;
        }
        TOrvR_NOTIFY_SETTINGS n{ORVR_NF_CARDS | ORVR_NF_ERROR | ORVR_NF_CONNECTION, 0, &m_rWindow, 2, 0, 300};
        OrvR_Rd_SetNotification(h, &n);
        m_oOpen[lName] = h;
        m_oIo.m_oErr << "tarvoctl: watching " << lName << " (" << Text(APort.szFriendly, ORVP_PORT_NAME_MAX)
                     << ")\n";
        m_oIo.m_oErr.flush();
    }

    void DrainDetector() {
        std::uint32_t lKind = 0;
        intptr_t lParam = 0;
        while (OrvP_DD_GetNextMessage(m_hDetector, &lKind, &lParam) == ORV_OK) {
            const auto* p = reinterpret_cast<const TOrvP_PORT_INFO*>(lParam);
            if (lKind == ORVP_DDK_PORT_ARRIVED)
                OpenPort(*p);
            else if (lKind == ORVP_DDK_PORT_REMOVED)
                ClosePort(Text(p->szName, ORVP_PORT_NAME_MAX));
        }
    }

    void ClosePort(const QString& AName) {
        auto it = m_oOpen.find(AName);
        if (it == m_oOpen.end())
            return;
        OrvP_CloseHandle(it->second);
        m_oOpen.erase(it);
        m_oIo.m_oErr << "tarvoctl: " << AName << " is gone\n";
        m_oIo.m_oErr.flush();
    }

    void DrainReaders() {
        std::vector<QString> lLost;
        for (auto& [name, h] : m_oOpen) {
            std::uint32_t lKind = 0;
            intptr_t lParam = 0;
            while (OrvR_Rd_GetNextMessage(h, &lKind, &lParam) == ORV_OK) {
                if (lKind == ORVR_MK_CARD_INSERT) {
                    m_oIo.m_oOut << CardLine(name, *reinterpret_cast<const TOrvR_CARD_INFO*>(lParam)) << "\n";
                    m_oIo.m_oOut.flush();
                } else if (lKind == ORVR_MK_CARD_UNKNOWN) {
                    m_oIo.m_oErr << "tarvoctl: " << name << ": unknown card "
                                 << QString::fromUtf16(reinterpret_cast<const char16_t*>(lParam)) << "\n";
                } else if (lKind == ORVR_MK_CONNECTION) {
                    TOrvP_CONNECTION_STATUS s = ORVP_CS_UNDEF;
                    if (OrvR_Rd_GetConnectionStatus(h, &s) != ORV_OK || s == ORVP_CS_DISCONNECTED)
                        lLost.push_back(name);
                }
            }
        }
        // A lost reader is opened again when its port comes back.
        for (const QString& n : lLost)
            ClosePort(n);
    }

    TCtlIo m_oIo;
    TWake m_rWake;
    TOrv_NOTIFY_WINDOW m_rWindow{&TWake::Post, &m_rWake};
    HORV m_hDetector = 0;
    std::map<QString, HORV> m_oOpen;
};

} // namespace

void ReadersCommand(const QStringList& AArgs, TCtlIo AIo) {
    if (AsksForHelp(AArgs)) {
        AIo.m_oOut << cReadersUsage;
        return;
    }
    if (AArgs.size() > 1)
        throw ECtlUsage(QStringLiteral("readers takes one word: list or watch"));
    const QString lWhat = AArgs.isEmpty() ? QStringLiteral("list") : AArgs.front();
    if (lWhat == QLatin1String("list")) {
        ListReaders(AIo);
    } else if (lWhat == QLatin1String("watch")) {
        // Blocked before the library starts its threads, so the signals reach only the wait below.
        const sigset_t lSignals = EndSignals();
        pthread_sigmask(SIG_BLOCK, &lSignals, nullptr);
        TLibrary lLib;
        TWatch lWatch(AIo);
        lWatch.Run();
    } else {
        throw ECtlUsage(QStringLiteral("unknown readers command \"%1\"").arg(lWhat));
    }
}

} // namespace TarvoCtl
