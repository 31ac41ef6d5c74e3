// The client against a raw TCP server that writes exactly the bytes each case needs: the request text
// on the wire, keep-alive and reconnects, broken and hostile answers, the caps, aborts.
#include "tests/common/TestSupport.h"
#include "tests/vi/ViTestSupport.h"

#include "base/uExceptions.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <thread>

using namespace ViTest;

namespace {

const char* const cAgent = "User-Agent: Mozilla/5.001 (windows; U; NT4.0; en-US; rv:1.0) Gecko/25250101\r\n";

std::string Png(QSize ASize = QSize(16, 12)) {
    QImage lImage(ASize, QImage::Format_RGB32);
    lImage.fill(Qt::blue);
    QByteArray lBytes;
    QBuffer lBuffer(&lBytes);
    lBuffer.open(QIODevice::WriteOnly);
    lImage.save(&lBuffer, "PNG");
    return lBytes.toStdString();
}

std::string Answer(const std::string& ABody, const std::string& AType = "image/png", int AStatus = 200,
                   const std::string& AExtra = "") {
    return "HTTP/1.1 " + std::to_string(AStatus) + " X\r\nContent-Type: " + AType +
           "\r\nContent-Length: " + std::to_string(ABody.size()) + "\r\n" + AExtra + "\r\n" + ABody;
}

// The 302 that starts a session.
std::string Login(const std::string& AExtra = "Connection: Keep-Alive\r\n") {
    return Answer("moved", "text/html", 302, "Set-Cookie: WSID=abc; path=/\r\nLocation: /same\r\n" + AExtra);
}

class THostileTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    void Start(TRawServer& AServer, std::uint32_t ATimeout = 30000) {
        m_oVI.SetServer(AServer.Server());
        m_oVI.SetLogin(QStringLiteral("admin"));
        m_oVI.SetPasswMd5(QStringLiteral("0123456789ABCDEF0123456789ABCDEF"));
        m_oVI.SetCurrentCamera(QStringLiteral("Cam 1"));
        m_oVI.SetReqTimeout(ATimeout);
        m_oDone.Attach(m_oVI);
        m_oVI.SetActive(true);
    }

    TVIStatus Run(TVICmdKind AKind, QString* VErr = nullptr) { return m_oDone.Run(m_oVI, AKind, VErr); }

    TLocaleOverride m_oLocale;
    TVI m_oVI;
    TDoneCounter m_oDone;
};

} // namespace

// The request text byte for byte: login suffix (a blank in the login escaped, so the request line
// stays one line), the repeat after the 302 with "Cookie: WSID=abc; ", then no suffix; one connection
// throughout, and the done events on the GUI thread.
TEST_F(THostileTest, RequestTextCookiesAndKeepAlive) {
    TRawServer lServer(
        [](int AIndex, int AFd) { return TRawServer::Send(AFd, AIndex == 0 ? Login() : Answer(Png())); });
    Start(lServer);
    m_oVI.SetActive(false);
    m_oVI.SetLogin(QStringLiteral("ad min"));
    m_oVI.SetActive(true);
    const auto lGuiThread = std::this_thread::get_id();
    bool lOnGuiThread = false;
    m_oVI.SetOnLiveFotoDone([&](TVI&) {
        lOnGuiThread = std::this_thread::get_id() == lGuiThread;
        ++m_oDone.m_nLive;
    });
    ASSERT_EQ(Run(viLiveFoto), viSuccess);
    EXPECT_TRUE(lOnGuiThread);
    ASSERT_EQ(Run(viLiveFoto), viSuccess);
    const auto lRequests = lServer.Requests();
    ASSERT_EQ(lRequests.size(), 3u);
    const std::string lHost =
        "Host: 127.0.0.1:" + lServer.Server().section(QLatin1Char(':'), 2).toStdString() + "\r\n";
    const std::string lFirst =
        "GET /live-video-frame.dyn?device={Cam+1}&u=ad%20min&p=0123456789ABCDEF0123456789ABCDEF "
        "HTTP/1.1\r\n" +
        std::string(cAgent) + lHost + "Connection: Keep-Alive\r\n";
    EXPECT_EQ(lRequests[0], lFirst + "\r\n");
    EXPECT_EQ(lRequests[1], lFirst + "Cookie: WSID=abc; \r\n\r\n");
    EXPECT_EQ(lRequests[2], "GET /live-video-frame.dyn?device={Cam+1} HTTP/1.1\r\n" + std::string(cAgent) +
                                lHost + "Connection: Keep-Alive\r\nCookie: WSID=abc; \r\n\r\n");
    EXPECT_EQ(lServer.Connections(), 1);
}

// "notauthorized": 401, the authorization text, and the jar emptied of what that answer set.
TEST_F(THostileTest, NotAuthorizedEmptiesTheJar) {
    TRawServer lServer([](int AIndex, int AFd) {
        if (AIndex == 0)
            return TRawServer::Send(AFd,
                                    Answer("no", "text/html", 302,
                                           "Set-Cookie: track=1; path=/\r\nLocation: /notauthorized.html\r\n"
                                           "Connection: Keep-Alive\r\n"));
        return TRawServer::Send(AFd, Answer("no", "text/html", 404, "Connection: Keep-Alive\r\n"));
    });
    Start(lServer);
    QString lErr;
    EXPECT_EQ(Run(viCameras, &lErr), viFail);
    EXPECT_EQ(lErr, QStringLiteral("Authorization Error (check username and password)"));
    EXPECT_EQ(Run(viCameras, &lErr), viFail);
    EXPECT_EQ(lErr, QStringLiteral("Http error #404."));
    const auto lRequests = lServer.Requests();
    ASSERT_EQ(lRequests.size(), 2u);
    EXPECT_EQ(lRequests[1].find("Cookie:"), std::string::npos) << lRequests[1];
    EXPECT_NE(lRequests[1].find("&u=admin&p="), std::string::npos) << lRequests[1];
}

// A kept connection that the server dropped while the next request was on its way is opened again
// instead of failing that request.
TEST_F(THostileTest, StaleKeptConnectionIsReopened) {
    TRawServer lServer([](int AIndex, int AFd) {
        if (AIndex == 0)
            return TRawServer::Send(AFd, Login());
        if (AIndex == 2)
            return false; // the server gives up on this connection without answering
        return TRawServer::Send(AFd, Answer(Png()));
    });
    Start(lServer);
    ASSERT_EQ(Run(viLiveFoto), viSuccess);
    QString lErr;
    EXPECT_EQ(Run(viLiveFoto, &lErr), viSuccess) << lErr.toStdString();
    EXPECT_EQ(lServer.Connections(), 2);
    EXPECT_EQ(lServer.Requests().size(), 4u);
}

// A 302 that says "Content-Length: 0" is complete at its head: the repeat follows at once.
TEST_F(THostileTest, EmptyRedirectBodyIsComplete) {
    TRawServer lServer([](int AIndex, int AFd) {
        if (AIndex == 0)
            return TRawServer::Send(AFd,
                                    "HTTP/1.1 302 Found\r\nSet-Cookie: WSID=abc; path=/\r\nLocation: /x\r\n"
                                    "Content-Length: 0\r\nConnection: Keep-Alive\r\n\r\n");
        return TRawServer::Send(AFd, Answer(Png()));
    });
    Start(lServer, 3000);
    QElapsedTimer lTimer;
    lTimer.start();
    QString lErr;
    EXPECT_EQ(Run(viLiveFoto, &lErr), viSuccess) << lErr.toStdString();
    EXPECT_LT(lTimer.elapsed(), 2500);
}

// Broken and hostile answers: each ends in its status and text, never past the time limit, and the
// client works again afterwards.
TEST_F(THostileTest, BrokenAnswers) {
    const std::string lHeadOk = "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\n";
    std::string lLongHead =
        "HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nContent-Length: " + std::to_string(Png().size()) +
        "\r\n";
    // The empty line straddles the first 1024-byte block.
    lLongHead += "X-Pad: " + std::string(1022 - lLongHead.size() - 9, 'p') + "\r\n";
    lLongHead += "\r\n" + Png();
    QByteArray lTree =
        "{\"attr\":{\"id\":\"root\"},\"children\":[{\"attr\":{\"id\":\"servers\"},\"children\":[{"
        "\"attr\":{\"id\":\"server\"},\"children\":[";
    for (int i = 0; i <= 10000; ++i)
        lTree += QByteArray(i ? "," : "") + "{\"data\":\"c\",\"attr\":{\"id\":\"camera\",\"camurl\":\"x\"}}";
    lTree += "]}]}]}";
    // A valid PNG head announcing 60000 x 60000 pixels (its IHDR checksum fixed up).
    std::string lBomb = Png();
    for (int i = 0; i < 4; ++i) {
        lBomb[16 + i] = static_cast<char>((60000u >> (24 - 8 * i)) & 0xFF);
        lBomb[20 + i] = static_cast<char>((60000u >> (24 - 8 * i)) & 0xFF);
    }
    quint32 lCrc = 0xFFFFFFFFu;
    for (int i = 12; i < 29; ++i) {
        lCrc ^= static_cast<quint8>(lBomb[static_cast<size_t>(i)]);
        for (int k = 0; k < 8; ++k)
            lCrc = (lCrc >> 1) ^ (0xEDB88320u & (0u - (lCrc & 1u)));
    }
    lCrc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        lBomb[29 + static_cast<size_t>(i)] = static_cast<char>((lCrc >> (24 - 8 * i)) & 0xFF);

    enum { cClose, cHold, cKeep };
    struct TCase {
        const char* m_pName;
        std::string m_sBytes; // written after the request
        int m_nAfter;         // then: cClose at once, cHold until the client closes, cKeep for more
        TVICmdKind m_nKind;
        TVIStatus m_nStatus;
        const char* m_pText;
    };
    const TCase cCases[] = {
        {"closed mid-head", "HTTP/1.1 200 OK\r\nContent-Le", cClose, viLiveFoto, viFail,
         "The server is not responding."},
        {"closed mid-body", lHeadOk + "Content-Length: 1000\r\n\r\n0123456789", cClose, viLiveFoto, viFail,
         "The server is not responding."},
        {"no length, closed", lHeadOk + "\r\n" + Png(), cClose, viLiveFoto, viFail,
         "The server is not responding."},
        {"no length, held", lHeadOk + "\r\n" + Png(), cHold, viLiveFoto, viFail,
         "The server is not responding."},
        {"silence", "", cHold, viLiveFoto, viFail, "The server is not responding."},
        {"garbage", "\x01\x02\xff garbage\r\n\r\nmore", cClose, viLiveFoto, viFail,
         "The server is not responding."},
        {"length 2^63", lHeadOk + "Content-Length: 9223372036854775808\r\n\r\nxx", cHold, viLiveFoto, viFail,
         "The server's answer is too large"},
        {"length over 32 MiB", lHeadOk + "Content-Length: 33554433\r\n\r\nxx", cHold, viLiveFoto, viFail,
         "The server's answer is too large"},
        {"head over 64 KiB", "HTTP/1.1 200 OK\r\n" + std::string(70000, 'h'), cHold, viLiveFoto, viFail,
         "The server's answer head is longer than 64 KiB."},
        {"long head", lLongHead, cKeep, viLiveFoto, viSuccess, ""},
        {"capitals", Answer(Png(), "IMAGE/PNG"), cKeep, viLiveFoto, viSuccess, ""},
        {"png bomb", Answer(lBomb), cKeep, viLiveFoto, viFail,
         "The server's image is too large (60000 x 60000"},
        {"json of another shape", Answer("[1,2,{\"attr\":5}]", "application/json"), cKeep, viCameras,
         viSuccess, ""},
        {"10001 cameras", Answer(lTree.toStdString(), "application/json"), cKeep, viCameras, viFail,
         "The server lists more than 10000 cameras."},
        {"404 with a body", Answer("<html>gone</html>", "text/html", 404), cHold, viArhFoto, viFail,
         "Http error #404."},
    };
    const TCase cFirst = {"first", Answer("<html>gone</html>", "text/html", 404), cClose, viCameras, viFail,
                          ""};
    const TCase* lCurrent = &cFirst;
    TRawServer* lSelf = nullptr;
    TRawServer lServer([&](int AIndex, int AFd) {
        if (AIndex == 0)
            return TRawServer::Send(AFd, Login());
        TRawServer::Send(AFd, lCurrent->m_sBytes);
        if (lCurrent->m_nAfter == cHold)
            lSelf->WaitForClientClose(AFd);
        return lCurrent->m_nAfter == cKeep;
    });
    lSelf = &lServer;
    const std::uint32_t cTimeout = 1500;
    Start(lServer, cTimeout);
    ASSERT_EQ(Run(viCameras), viFail); // the login, and the session held from here on
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_pName);
        lCurrent = &c;
        QElapsedTimer lTimer;
        lTimer.start();
        QString lErr;
        EXPECT_EQ(Run(c.m_nKind, &lErr), c.m_nStatus) << lErr.toStdString();
        if (c.m_nStatus == viFail) {
            EXPECT_TRUE(lErr.startsWith(QString::fromUtf8(c.m_pText))) << lErr.toStdString();
        }
        // Connect, send and read each have the limit; nothing waits beyond them.
        if (QString::fromUtf8(c.m_pText) == QLatin1String("The server is not responding.")) {
            EXPECT_LT(lTimer.elapsed(), 3 * cTimeout + 1000);
        }
    }
    EXPECT_EQ(m_oVI.Cameras().Count(), 0);
}

// BreakAll ends the request in progress with its connection closed.
TEST_F(THostileTest, BreakAllClosesTheConnection) {
    TRawServer* lSelf = nullptr;
    TRawServer lServer([&](int AIndex, int AFd) {
        if (AIndex == 0)
            return TRawServer::Send(AFd, Login());
        lSelf->WaitForClientClose(AFd);
        return false;
    });
    lSelf = &lServer;
    Start(lServer);
    m_oVI.StartRefreshCameras();
    ASSERT_TRUE(WaitUntil([&] { return lServer.Requests().size() >= 2; }));
    m_oVI.BreakAll();
    EXPECT_EQ(m_oVI.GetCmdStatus(viCameras), viCancelled);
    EXPECT_TRUE(WaitUntil([&] { return lServer.ClientClosed(); }));
    // The cancelled outcome is not published.
    DrainEvents();
    EXPECT_EQ(m_oDone.m_nCameras, 0);
    EXPECT_EQ(m_oVI.GetCmdStatus(viCameras), viCancelled);
}

// A kind started right after BreakAll runs normally, also when the worker is still busy with the
// cancelled request (here: reading a large device tree) and only then comes to the new one.
TEST_F(THostileTest, StartAfterBreakAllIsNotAborted) {
    std::string lTree =
        "{\"attr\":{\"id\":\"root\"},\"children\":[{\"attr\":{\"id\":\"layouts\"},\"children\":[";
    for (int i = 0; i < 900000; ++i)
        lTree += i ? ",0" : "0";
    lTree += "]}]}";
    std::atomic<bool> lTreeSent{false};
    TRawServer lServer([&](int AIndex, int AFd) {
        if (AIndex == 0)
            return TRawServer::Send(AFd, Login());
        if (AIndex == 1) {
            const bool lOk = TRawServer::Send(AFd, Answer(lTree, "application/json"));
            lTreeSent = true;
            return lOk;
        }
        return TRawServer::Send(AFd, Answer(Png()));
    });
    Start(lServer);
    m_oVI.StartRefreshCameras();
    ASSERT_TRUE(WaitUntil([&] { return lTreeSent.load(); }));
    m_oVI.BreakAll();
    m_oVI.StartRefreshLiveFoto();
    ASSERT_TRUE(WaitUntil([&] { return m_oDone.m_nLive > 0; }));
    QString lErr;
    EXPECT_EQ(m_oVI.GetCmdStatus(viLiveFoto, &lErr), viSuccess) << lErr.toStdString();
    EXPECT_EQ(m_oVI.GetCmdStatus(viCameras), viCancelled);
    EXPECT_EQ(m_oVI.Cameras().Count(), 0);
}

// Deactivating while the server holds the answer ends the worker at once; nothing arrives later.
TEST_F(THostileTest, DeactivateDuringRequest) {
    TRawServer* lSelf = nullptr;
    TRawServer lServer([&](int, int AFd) {
        lSelf->WaitForClientClose(AFd);
        return false;
    });
    lSelf = &lServer;
    Start(lServer, VI_NO_TIMEOUT);
    m_oVI.StartRefreshArhiveFoto();
    ASSERT_TRUE(WaitUntil([&] { return lServer.Requests().size() >= 1; }));
    QElapsedTimer lTimer;
    lTimer.start();
    m_oVI.SetActive(false);
    EXPECT_LT(lTimer.elapsed(), 2000);
    DrainEvents();
    EXPECT_EQ(m_oDone.m_nArchive, 0);
    EXPECT_TRUE(WaitUntil([&] { return lServer.ClientClosed(); }));
}

// Without the worker: starts are contract violations, the status questions and BreakAll are harmless.
TEST_F(THostileTest, InactiveClient) {
    QString lErr = QStringLiteral("old");
    EXPECT_EQ(m_oVI.GetCmdStatus(viLiveFoto, &lErr), viCancelled);
    EXPECT_TRUE(lErr.isEmpty());
    EXPECT_NO_THROW(m_oVI.BreakAll());
    EXPECT_THROW(m_oVI.StartRefreshLiveFoto(), EAssertionFailed);
    EXPECT_THROW(m_oVI.StartRefreshCameras(), EAssertionFailed);
    EXPECT_THROW(m_oVI.StartRefreshArhiveFoto(), EAssertionFailed);
}
