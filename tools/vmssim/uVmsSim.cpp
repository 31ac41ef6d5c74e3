#include "tools/vmssim/uVmsSim.h"

#include "base/uCodePage.h"

#include <httplib.h>

#include <QBuffer>
#include <QColor>
#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimeZone>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <netinet/in.h>
#include <set>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

const char* const cFaults[] = {"none",     "slow",    "refused",   "404",       "500",      "longhead",
                               "nolength", "garbage", "wrongtype", "uppertype", "keepalive"};

struct TCamera {
    QString m_sTitle;
    QString m_sId;
    bool m_fPng = false;
    QColor m_oColor;
};

class TSim {
public:
    explicit TSim(const TVmsSimOptions& AOptions) : m_rOptions(AOptions), m_sFault(AOptions.m_sFault) {
        m_nDelayMs = AOptions.m_nDelayMs;
        static const char* const cPlaces[] = {"Entrance door", "Kassa Käyttö", "Terrasse Süd", "Sali Öljy",
                                              "Back yard"};
        for (int i = 0; i < AOptions.m_nCameras; ++i) {
            TCamera lCam;
            lCam.m_sTitle = QStringLiteral("%1 %2").arg(QString::fromUtf8(cPlaces[i % 5])).arg(i + 1);
            lCam.m_sId = QStringLiteral("Cam %1 Id").arg(i + 1);
            lCam.m_fPng = i % 2 == 1;
            lCam.m_oColor = QColor::fromHsv((i * 67) % 360, 120, 200);
            m_aCameras.push_back(lCam);
        }
        m_sDigest = QCryptographicHash::hash(ToAnsi(QString::fromStdString(AOptions.m_sPassword)),
                                             QCryptographicHash::Md5)
                        .toHex()
                        .toUpper()
                        .toStdString();
    }

    void Handle(const httplib::Request& ARequest, httplib::Response& VResponse);
    void HandleRequest(const httplib::Request& ARequest, httplib::Response& VResponse);

private:
    void Log(const httplib::Request& ARequest);
    bool Authorized(const httplib::Request& ARequest, httplib::Response& VResponse);
    void SendImage(const TCamera& ACamera, const QString& AMoment, httplib::Response& VResponse);
    std::string DeviceTree() const;
    const TCamera* Camera(const std::string& ADevice) const;
    std::string Fault() {
        std::lock_guard<std::mutex> g(m_oLock);
        return m_sFault;
    }
    void Pad(httplib::Response& VResponse);

    const TVmsSimOptions m_rOptions;
    std::vector<TCamera> m_aCameras;
    std::string m_sDigest;
    std::mutex m_oLock;
    std::string m_sFault;
    int m_nDelayMs = 0;
    std::set<std::string> m_oSessions;
    std::atomic<int> m_nFrames{0};
};

std::string PercentEncodeAnsi(const QString& AText) {
    std::string lOut;
    for (const char c : ToAnsi(AText)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u == ' ')
            lOut += '+';
        else if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' ||
                 u == '.')
            lOut += c;
        else {
            char lHex[4];
            std::snprintf(lHex, sizeof lHex, "%%%02X", u);
            lOut += lHex;
        }
    }
    return lOut;
}

std::string JsonString(const QString& AText) {
    std::string lOut = "\"";
    for (const char c : AText.toUtf8()) {
        if (c == '"' || c == '\\')
            lOut += '\\';
        lOut += c;
    }
    return lOut + "\"";
}

void TSim::Log(const httplib::Request& ARequest) {
    const std::string& lTarget = ARequest.target;
    const auto lQ = lTarget.find('?');
    const std::string lPath = lQ == std::string::npos ? lTarget : lTarget.substr(0, lQ);
    const std::string lQuery = lQ == std::string::npos ? std::string() : lTarget.substr(lQ + 1);
    std::lock_guard<std::mutex> g(m_oLock);
    std::printf("%s %s query=%s cookie=\"%s\"\n", ARequest.method.c_str(), lPath.c_str(), lQuery.c_str(),
                ARequest.get_header_value("Cookie").c_str());
    std::fflush(stdout);
}

std::string TSim::DeviceTree() const {
    std::string lCams;
    for (const TCamera& lCam : m_aCameras) {
        if (!lCams.empty())
            lCams += ",";
        lCams += "{\"data\":\"" + PercentEncodeAnsi(lCam.m_sTitle) +
                 "\",\"attr\":{\"id\":\"camera\",\"camurl\":" +
                 JsonString(QStringLiteral("/live-video-frame.dyn?device={%1}").arg(lCam.m_sId)) + "}}";
    }
    // The real server's tree also holds other nodes; the client skips them.
    const std::string lJson = "{\"data\":\"Luxriot\",\"attr\":{\"id\":\"root\"},\"children\":["
                              "{\"data\":\"Layouts\",\"attr\":{\"id\":\"layouts\"},\"children\":[]},"
                              "{\"data\":\"Servers\",\"attr\":{\"id\":\"Servers\"},\"children\":["
                              "{\"data\":\"Recorder+1\",\"attr\":{\"id\":\"server\"},\"children\":[" +
                              lCams + "]}]}]}";
    // The body is in the 8-bit code page, as the real server writes it.
    return ToAnsi(QString::fromUtf8(lJson.c_str())).toStdString();
}

const TCamera* TSim::Camera(const std::string& ADevice) const {
    // device={id}, blanks written as "+" (the query decoder has made them blanks again).
    QString lId = QString::fromStdString(ADevice);
    if (lId.startsWith(QLatin1Char('{')) && lId.endsWith(QLatin1Char('}')))
        lId = lId.mid(1, lId.size() - 2);
    for (const TCamera& lCam : m_aCameras)
        if (lCam.m_sId == lId)
            return &lCam;
    return nullptr;
}

void TSim::Pad(httplib::Response& VResponse) {
    if (Fault() != "longhead")
        return;
    for (int i = 0; i < 6; ++i)
        VResponse.set_header("X-Padding-" + std::to_string(i), std::string(400, static_cast<char>('a' + i)));
}

bool TSim::Authorized(const httplib::Request& ARequest, httplib::Response& VResponse) {
    const std::string lCookie = ARequest.get_header_value("Cookie");
    {
        std::lock_guard<std::mutex> g(m_oLock);
        for (const std::string& lSession : m_oSessions)
            if (lCookie.find("WSID=" + lSession + ";") != std::string::npos ||
                (lCookie.size() >= lSession.size() + 5 &&
                 lCookie.compare(lCookie.size() - lSession.size() - 5, std::string::npos,
                                 "WSID=" + lSession) == 0))
                return true;
    }
    VResponse.status = 302;
    if (ARequest.has_param("u") && ARequest.get_param_value("u") == m_rOptions.m_sUser &&
        ARequest.get_param_value("p") == m_sDigest) {
        const std::string lSession =
            QByteArray::number(QRandomGenerator::global()->generate64(), 16).toStdString();
        {
            std::lock_guard<std::mutex> g(m_oLock);
            m_oSessions.insert(lSession);
        }
        VResponse.set_header("Set-Cookie", "WSID=" + lSession + "; path=/");
        VResponse.set_header("Location", ARequest.target);
    } else
        VResponse.set_header("Location", "/notauthorized.html");
    VResponse.set_content("<html><body>Moved</body></html>", "text/html");
    return false;
}

void TSim::SendImage(const TCamera& ACamera, const QString& AMoment, httplib::Response& VResponse) {
    const std::string lFault = Fault();
    QImage lImage(320, 240, QImage::Format_RGB32);
    lImage.fill(ACamera.m_oColor);
    {
        QPainter lPainter(&lImage);
        lPainter.setPen(Qt::black);
        QFont lFont = lPainter.font();
        lFont.setPixelSize(18);
        lPainter.setFont(lFont);
        lPainter.drawText(QRect(10, 20, 300, 200), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          ACamera.m_sTitle + QStringLiteral("\n{") + ACamera.m_sId + QStringLiteral("}\n") +
                              AMoment);
    }
    QByteArray lBytes;
    QBuffer lBuffer(&lBytes);
    lBuffer.open(QIODevice::WriteOnly);
    lImage.save(&lBuffer, ACamera.m_fPng ? "PNG" : "JPEG", ACamera.m_fPng ? -1 : 85);
    std::string lType = ACamera.m_fPng ? "image/png" : "image/jpeg";
    if (lFault == "wrongtype")
        lType = "image/gif";
    else if (lFault == "uppertype")
        lType = ACamera.m_fPng ? "IMAGE/PNG" : "IMAGE/JPEG";
    if (lFault == "garbage") {
        lBytes = QByteArray(2000, '\0');
        for (char& c : lBytes)
            c = static_cast<char>(QRandomGenerator::global()->bounded(256));
    }
    VResponse.status = 200;
    if (lFault == "nolength") {
        auto lData = std::make_shared<std::string>(lBytes.toStdString());
        VResponse.set_chunked_content_provider(lType, [lData](size_t AOffset, httplib::DataSink& ASink) {
            if (AOffset == 0)
                ASink.write(lData->data(), lData->size());
            ASink.done();
            return true;
        });
        return;
    }
    VResponse.set_content(lBytes.constData(), static_cast<size_t>(lBytes.size()), lType.c_str());
}

void TSim::Handle(const httplib::Request& ARequest, httplib::Response& VResponse) {
    Log(ARequest);
    HandleRequest(ARequest, VResponse);
    if (VResponse.status != 200 && Fault() == "keepalive")
        VResponse.set_header("Connection", "Keep-Alive");
}

void TSim::HandleRequest(const httplib::Request& ARequest, httplib::Response& VResponse) {
    if (ARequest.path == "/sim/fault") {
        std::lock_guard<std::mutex> g(m_oLock);
        const std::string lName = ARequest.get_param_value("name");
        if (!IsVmsSimFault(lName) || lName == "refused") {
            VResponse.status = 400;
            VResponse.set_content("unknown fault\n", "text/plain");
            return;
        }
        m_sFault = lName;
        if (ARequest.has_param("delay"))
            m_nDelayMs = std::atoi(ARequest.get_param_value("delay").c_str());
        VResponse.set_content("fault " + m_sFault + "\n", "text/plain");
        return;
    }
    if (ARequest.path == "/sim/forget") {
        // Every session ends, as when the server restarts: held WSID cookies are no longer valid.
        std::lock_guard<std::mutex> g(m_oLock);
        m_oSessions.clear();
        VResponse.set_content("sessions forgotten\n", "text/plain");
        return;
    }
    const std::string lFault = Fault();
    Pad(VResponse);
    if (lFault == "slow") {
        int lDelay = 0;
        {
            std::lock_guard<std::mutex> g(m_oLock);
            lDelay = m_nDelayMs;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(lDelay));
    }
    if (lFault == "404" || lFault == "500") {
        VResponse.status = lFault == "404" ? 404 : 500;
        if (lFault == "404")
            VResponse.set_content("<html><body>Not found: " + ARequest.path + "</body></html>", "text/html");
        else
            VResponse.set_content("<html><body>Internal server error</body></html>", "text/html");
        return;
    }
    if (ARequest.path == "/notauthorized.html") {
        VResponse.set_content("<html><body>Not authorized</body></html>", "text/html");
        return;
    }
    if (ARequest.path != "/api-json.dyn" && ARequest.path != "/live-video-frame.dyn" &&
        ARequest.path != "/archive-video-frame.dyn") {
        VResponse.status = 404;
        VResponse.set_content("<html><body>Not found</body></html>", "text/html");
        return;
    }
    if (!Authorized(ARequest, VResponse))
        return;
    if (ARequest.path == "/api-json.dyn") {
        if (ARequest.get_param_value("cmd") != "getdevtree") {
            VResponse.status = 400;
            VResponse.set_content("unknown command", "text/plain");
            return;
        }
        if (lFault == "garbage") {
            VResponse.set_content("{\"attr\":{\"id\":\"root\"},\"children\":[{\"attr\": nul",
                                  "application/json");
            return;
        }
        VResponse.set_content(DeviceTree(), "application/json");
        return;
    }
    const TCamera* lCamera = Camera(ARequest.get_param_value("device"));
    if (!lCamera) {
        VResponse.status = 404;
        VResponse.set_content("<html><body>Unknown device</body></html>", "text/html");
        return;
    }
    if (ARequest.path == "/live-video-frame.dyn") {
        const int lFrame = ++m_nFrames;
        SendImage(*lCamera,
                  QStringLiteral("LIVE #%1\n%2 UTC")
                      .arg(lFrame)
                      .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))),
                  VResponse);
        return;
    }
    const std::string lTs = ARequest.get_param_value("ts");
    if (lTs.empty() || lTs != ARequest.get_param_value("time")) {
        VResponse.status = 400;
        VResponse.set_content("ts and time differ", "text/plain");
        return;
    }
    const QDateTime lMoment = QDateTime::fromMSecsSinceEpoch(std::atoll(lTs.c_str()), QTimeZone::utc());
    SendImage(
        *lCamera,
        QStringLiteral("ARCHIVE\n%1 UTC").arg(lMoment.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))),
        VResponse);
}

} // namespace

bool IsVmsSimFault(const std::string& AName) {
    for (const char* lFault : cFaults)
        if (AName == lFault)
            return true;
    return false;
}

int RunVmsSim(const TVmsSimOptions& AOptions) {
    if (AOptions.m_sFault == "refused") {
        // A bound port where nobody listens: every connect is refused.
        const int lSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in lAddr{};
        lAddr.sin_family = AF_INET;
        lAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        lAddr.sin_port = htons(static_cast<std::uint16_t>(AOptions.m_nPort));
        socklen_t lLen = sizeof lAddr;
        if (lSocket < 0 || ::bind(lSocket, reinterpret_cast<sockaddr*>(&lAddr), lLen) != 0 ||
            ::getsockname(lSocket, reinterpret_cast<sockaddr*>(&lAddr), &lLen) != 0) {
            std::fprintf(stderr, "vmssim: cannot bind port %d\n", AOptions.m_nPort);
            return 1;
        }
        std::printf("port %d\n", ntohs(lAddr.sin_port));
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    TSim lSim(AOptions);
    httplib::Server lServer;
    lServer.set_keep_alive_max_count(1000000);
    lServer.set_keep_alive_timeout(60);
    // Head and body go out in separate writes; without this each answer waits for a delayed ACK.
    lServer.set_tcp_nodelay(true);
    lServer.Get(".*", [&](const httplib::Request& ARequest, httplib::Response& VResponse) {
        lSim.Handle(ARequest, VResponse);
    });
    int lPort = AOptions.m_nPort;
    if (lPort == 0)
        lPort = lServer.bind_to_any_port("127.0.0.1");
    else if (!lServer.bind_to_port("127.0.0.1", lPort))
        lPort = -1;
    if (lPort <= 0) {
        std::fprintf(stderr, "vmssim: cannot listen on port %d\n", AOptions.m_nPort);
        return 1;
    }
    std::printf("port %d\n", lPort);
    std::fflush(stdout);
    return lServer.listen_after_bind() ? 0 : 1;
}
