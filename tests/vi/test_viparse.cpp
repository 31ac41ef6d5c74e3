// The client's pure parts: answer head, Set-Cookie and the jar, percent-decoding, the server address,
// the device tree, image decoding by content type, local time to UTC.
#include "tests/common/TestSupport.h"
#include "vi/uVI.h"
#include "vi/uVIThread.h"
#include "vi/uViParse.h"

#include "base/uExceptions.h"

#include <QBuffer>
#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

using namespace Vi;

TEST(ViAnswerHead, StatusAndHeaders) {
    struct TCase {
        const char* m_pHead;
        int m_nStatus;
        std::int64_t m_nLength;
        bool m_fHasLength;
        const char* m_pType;
        const char* m_pConnection;
        const char* m_pLocation;
        const char* m_pCookie; // nullptr: none
    };
    const std::int64_t cMax = std::numeric_limits<std::int64_t>::max();
    const TCase cCases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\nContent-Type: image/jpeg", 200, 12, true, "image/jpeg", "",
         "", nullptr},
        {"HTTP/1.1 404 Not Found\r\ncontent-length:   7\r\nCONNECTION: Keep-Alive", 404, 7, true, "",
         "Keep-Alive", "", nullptr},
        {"HTTP/1.1 302 Found\r\nSet-Cookie: WSID=1; path=/\r\nSet-Cookie: B=2\r\nLocation: /x", 302, 0, false,
         "", "", "/x", "WSID=1; path=/"},
        {"HTTP/1.1 abc def", 200, 0, false, "", "", "", nullptr}, // unreadable status
        {"garbage", 200, 0, false, "", "", "", nullptr},          // no blank at all
        {"HTTP/1.1 500", 500, 0, false, "", "", "", nullptr},     // no reason text
        {"HTTP/1.1 200 OK\r\nContent-Length: 0", 200, 0, true, "", "", "", nullptr},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5", 200, 0, false, "", "", "", nullptr},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12x", 200, 0, false, "", "", "", nullptr},
        {"HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775808", 200, cMax, true, "", "", "", nullptr},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999", 200, cMax, true, "", "", "", nullptr},
        {"HTTP/1.1 200 OK\nContent-Type: IMAGE/PNG\n: empty name\nno colon", 200, 0, false, "IMAGE/PNG", "",
         "", nullptr},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_pHead);
        const TAnswerHead lHead = ParseAnswerHead(QByteArray(c.m_pHead));
        EXPECT_EQ(lHead.m_nStatus, c.m_nStatus);
        EXPECT_EQ(lHead.m_nContentLength, c.m_nLength);
        EXPECT_EQ(lHead.m_fHasContentLength, c.m_fHasLength);
        EXPECT_EQ(lHead.m_sContentType, QByteArray(c.m_pType));
        EXPECT_EQ(lHead.m_sConnection, QByteArray(c.m_pConnection));
        EXPECT_EQ(lHead.m_sLocation, QByteArray(c.m_pLocation));
        EXPECT_EQ(lHead.m_fHasSetCookie, c.m_pCookie != nullptr);
        if (c.m_pCookie) {
            EXPECT_EQ(lHead.m_sSetCookie, QByteArray(c.m_pCookie));
        }
    }
}

TEST(ViSetCookie, Fields) {
    struct TCase {
        const char* m_pValue;
        bool m_fOk;
        const char* m_pName;
        const char* m_pValueOut;
        bool m_fHasPath;
        const char* m_pPath;
    };
    const TCase cCases[] = {
        {"WSID=abc; path=/", true, "WSID", "abc", true, "/"},
        {"  WSID = \"abc\" ;  Path = \"/live/\" ; HttpOnly", true, "WSID", "abc", true, "/live/"},
        {"\"lang=en\"", true, "lang", "en", false, ""},
        {"flag", true, "flag", "", false, ""},
        {"=value; path=/", false, "", "", false, ""},
        {"", false, "", "", false, ""},
        {"a=b=c; expires=Thu, 01 Jan 2030 00:00:00 GMT", true, "a", "b=c", false, ""},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_pValue);
        TSetCookie lCookie;
        EXPECT_EQ(ParseSetCookie(QByteArray(c.m_pValue), lCookie), c.m_fOk);
        if (!c.m_fOk)
            continue;
        EXPECT_EQ(lCookie.m_sName, QString::fromLatin1(c.m_pName));
        EXPECT_EQ(lCookie.m_sValue, QString::fromLatin1(c.m_pValueOut));
        EXPECT_EQ(lCookie.m_fHasPath, c.m_fHasPath);
        EXPECT_EQ(lCookie.m_sPath, QString::fromLatin1(c.m_pPath));
    }
}

// Path rules: default path up to the last "/", replacement, removal by an empty value, the header
// listing the cookies whose path prefixes the request, later ones overriding, ending in "; ".
TEST(ViCookieJar, PathRulesAndHeader) {
    TCookieJar lJar;
    lJar.Apply("WSID=one", QStringLiteral("/api-json.dyn?cmd=getdevtree"));
    EXPECT_TRUE(lJar.HasCookie(QStringLiteral("WSID")));
    EXPECT_EQ(lJar.HeaderFor(QStringLiteral("/live-video-frame.dyn?device={a}")),
              QStringLiteral("WSID=one; "));
    lJar.Apply("WSID=two; path=/", QStringLiteral("/x"));
    EXPECT_EQ(lJar.Count(), 1);
    EXPECT_EQ(lJar.HeaderFor(QStringLiteral("/x")), QStringLiteral("WSID=two; "));
    lJar.Apply("lang=en; path=/archive/", QStringLiteral("/x"));
    EXPECT_EQ(lJar.HeaderFor(QStringLiteral("/x")), QStringLiteral("WSID=two; "));
    EXPECT_EQ(lJar.HeaderFor(QStringLiteral("/archive/f?a=1")), QStringLiteral("WSID=two; lang=en; "));
    // The same name on a longer path comes later in the sorted jar and overrides.
    lJar.Apply("WSID=deep; path=/archive/", QStringLiteral("/x"));
    EXPECT_EQ(lJar.Count(), 3);
    EXPECT_EQ(lJar.HeaderFor(QStringLiteral("/archive/f")), QStringLiteral("WSID=deep; lang=en; "));
    lJar.Apply("WSID=; path=/", QStringLiteral("/x"));
    EXPECT_EQ(lJar.HeaderFor(QStringLiteral("/x")), QString());
    EXPECT_TRUE(lJar.HasCookie(QStringLiteral("WSID"))); // the one on /archive/ stays
    lJar.Apply("=broken", QStringLiteral("/x"));
    EXPECT_EQ(lJar.Count(), 2);
    lJar.Clear();
    EXPECT_FALSE(lJar.HasCookie(QStringLiteral("WSID")));
    EXPECT_EQ(DefaultCookiePath(QStringLiteral("/a/b.dyn?x=/y")), QStringLiteral("/a/b.dyn?x=/"));
    EXPECT_EQ(DefaultCookiePath(QStringLiteral("nopath")), QString());
}

TEST(ViPercentDecode, BytesAndCodePage) {
    const struct {
        const char* m_pIn;
        const char* m_pOut;
    } cCases[] = {
        {"Front+door", "Front door"},
        {"a%20b", "a b"},
        {"%41%62", "Ab"},
        {"100%", "100%"},
        {"%4", "%4"},
        {"%zz1", "%zz1"},
        {"%%41", "%A"},
        {"", ""},
        {"%2B", "+"},
        {"%00x", "\0x"},
    };
    for (const auto& c : cCases) {
        SCOPED_TRACE(c.m_pIn);
        const QByteArray lExpected =
            QByteArray(c.m_pOut, c.m_pOut[0] == 0 && c.m_pIn[0] ? 2 : int(qstrlen(c.m_pOut)));
        EXPECT_EQ(PercentDecode(QByteArray(c.m_pIn)), lExpected);
    }
    TLocaleOverride lCp1252;
    EXPECT_EQ(PercentDecodeAnsi(QStringLiteral("Kassa+K%E4ytt%F6")), QStringLiteral("Kassa Käyttö"));
    TLocaleOverride lCp1251(QLatin1Char('.'), 1049, QStringLiteral("CP1251"));
    EXPECT_EQ(PercentDecodeAnsi(QStringLiteral("%C2%F5%EE%E4")), QStringLiteral("Вход"));
}

TEST(ViServerAddress, Split) {
    const struct {
        const char* m_pIn;
        bool m_fOk;
        const char* m_pHost;
        int m_nPort;
        const char* m_pPath;
    } cCases[] = {
        {"http://127.0.0.1:8080/api-json.dyn?cmd=getdevtree", true, "127.0.0.1", 8080,
         "/api-json.dyn?cmd=getdevtree"},
        {"http://vms.local/live?device={a b}", true, "vms.local", 80, "/live?device={a b}"},
        {"vms.local:81", true, "vms.local", 81, "/"},
        {"http://user@host:82?x=1", true, "host", 82, "/?x=1"},
        {"http://ho%73t/", true, "host", 80, "/"},
        {"http://:80/", false, "", 80, ""},
        {"http://host:99999/", false, "", 80, ""},
        {"http://host:x/", false, "", 80, ""},
        {"", false, "", 80, ""},
    };
    for (const auto& c : cCases) {
        SCOPED_TRACE(c.m_pIn);
        TServerAddress lAddr;
        EXPECT_EQ(SplitServerAddress(QString::fromLatin1(c.m_pIn), lAddr), c.m_fOk);
        if (!c.m_fOk)
            continue;
        EXPECT_EQ(lAddr.m_sHost, QString::fromLatin1(c.m_pHost));
        EXPECT_EQ(lAddr.m_nPort, c.m_nPort);
        EXPECT_EQ(lAddr.m_sPathQuery, QString::fromLatin1(c.m_pPath));
    }
    EXPECT_EQ(DeviceArg(QStringLiteral(" Cam 1  Id")), QStringLiteral("+Cam+1++Id"));
}

namespace {

QByteArray Tree(const QByteArray& ACameras) {
    return "{\"attr\":{\"id\":\"ROOT\"},\"children\":[{\"attr\":{\"id\":\"other\"},\"children\":[{\"attr\":{"
           "\"id\":"
           "\"server\"},\"children\":[{\"data\":\"hidden\",\"attr\":{\"id\":\"camera\",\"camurl\":\"x\"}}]}]}"
           ","
           "{\"attr\":{\"id\":\"Servers\"},\"children\":[{\"attr\":{\"id\":\"server\"},\"children\":[" +
           ACameras + "]},{\"attr\":{\"id\":\"server\"}}]}]}";
}

} // namespace

TEST(ViDeviceTree, CamerasAtTheFourthLevel) {
    TLocaleOverride lCp1252;
    TVICameraList lList;
    ParseDeviceTree(
        Tree("{\"data\":\"Front+door\",\"attr\":{\"id\":\"camera\",\"camurl\":\"/live?device={Cam 1}&x\"}},"
             "{\"data\":\"no attr\"},"
             "{\"data\":\"Layout\",\"attr\":{\"id\":\"layout\",\"camurl\":\"y\"}},"
             "{\"data\":\"K%E4ytt%F6\",\"attr\":{\"id\":\"Camera\",\"camurl\":\"rtsp://plain\"}},"
             "{\"data\":\"Open\",\"attr\":{\"id\":\"camera\",\"camurl\":\"a?device={unclosed\"}},"
             "{\"attr\":{\"id\":\"camera\",\"camurl\":5}},"
             "7, null, [1]"),
        lList);
    ASSERT_EQ(lList.Count(), 4);
    EXPECT_EQ(lList.GetItem(0)->m_sTitle, QStringLiteral("Front door"));
    EXPECT_EQ(lList.GetItem(0)->m_nLink, QStringLiteral("Cam 1"));
    EXPECT_EQ(lList.GetItem(1)->m_sTitle, QStringLiteral("Käyttö"));
    EXPECT_EQ(lList.GetItem(1)->m_nLink, QStringLiteral("rtsp://plain"));
    EXPECT_EQ(lList.GetItem(2)->m_nLink, QStringLiteral("unclosed"));
    EXPECT_EQ(lList.GetItem(3)->m_sTitle, QString());
    EXPECT_EQ(lList.GetItem(3)->m_nLink, QString());
    EXPECT_THROW(lList.GetItem(4), EListError);
}

// Wrong shapes give an empty list; unreadable, too deep or too large trees fail with a message.
TEST(ViDeviceTree, WrongShapesAndLimits) {
    for (const char* lBody : {"[]", "{}", "5", "{\"attr\":{\"id\":\"other\"},\"children\":[]}",
                              "{\"attr\":{\"id\":\"root\"}}", "{\"attr\":{\"id\":\"root\"},\"children\":{}}",
                              "{\"attr\":\"root\",\"children\":[]}", "{\"attr\":{\"id\":7},\"children\":[]}",
                              "{\"attr\":{\"id\":\"root\"},\"children\":[{\"attr\":{\"id\":\"servers\"},"
                              "\"children\":\"x\"}]}"}) {
        SCOPED_TRACE(lBody);
        TVICameraList lList;
        lList.Add(std::make_unique<TVICamera>());
        EXPECT_NO_THROW(ParseDeviceTree(QByteArray(lBody), lList));
        EXPECT_EQ(lList.Count(), 0);
    }
    QByteArray lCameras;
    for (int i = 0; i <= MaxCameras; ++i)
        lCameras +=
            QByteArray(i ? "," : "") + "{\"data\":\"c\",\"attr\":{\"id\":\"camera\",\"camurl\":\"x\"}}";
    const struct {
        QByteArray m_aBody;
        const char* m_pText;
    } cFailures[] = {
        {"", "The device tree of the server could not be read"},
        {"{\"attr\": nul", "The device tree of the server could not be read"},
        {QByteArray(100000, '['), "The device tree of the server is nested too deeply."},
        {Tree(lCameras), "The server lists more than 10000 cameras."},
        {"[" + QByteArray("0,").repeated(1'000'001) + "0]", "The device tree of the server is too large."},
    };
    for (const auto& c : cFailures) {
        SCOPED_TRACE(c.m_pText);
        TVICameraList lList;
        try {
            ParseDeviceTree(c.m_aBody, lList);
            ADD_FAILURE() << "no error";
        } catch (const Exception& E) {
            EXPECT_TRUE(E.Message().startsWith(QString::fromLatin1(c.m_pText))) << E.Message().toStdString();
        }
        EXPECT_EQ(lList.Count(), 0);
    }
}

namespace {

QByteArray Encoded(const char* AFormat, QSize ASize = QSize(8, 6)) {
    QImage lImage(ASize, QImage::Format_RGB32);
    lImage.fill(Qt::red);
    QByteArray lBytes;
    QBuffer lBuffer(&lBytes);
    lBuffer.open(QIODevice::WriteOnly);
    lImage.save(&lBuffer, AFormat);
    return lBytes;
}

// A PNG whose header announces AWidth x AHeight pixels (the rest of the file is a tiny real image).
QByteArray PngClaiming(quint32 AWidth, quint32 AHeight) {
    QByteArray lPng = Encoded("PNG");
    // IHDR data starts at byte 16: width and height, big-endian; its CRC (over type and data) follows.
    for (int i = 0; i < 4; ++i) {
        lPng[16 + i] = static_cast<char>((AWidth >> (24 - 8 * i)) & 0xFF);
        lPng[20 + i] = static_cast<char>((AHeight >> (24 - 8 * i)) & 0xFF);
    }
    quint32 lCrc = 0xFFFFFFFFu;
    for (int i = 12; i < 29; ++i) {
        lCrc ^= static_cast<quint8>(lPng[i]);
        for (int k = 0; k < 8; ++k)
            lCrc = (lCrc >> 1) ^ (0xEDB88320u & (0u - (lCrc & 1u)));
    }
    lCrc ^= 0xFFFFFFFFu;
    for (int i = 0; i < 4; ++i)
        lPng[29 + i] = static_cast<char>((lCrc >> (24 - 8 * i)) & 0xFF);
    return lPng;
}

} // namespace

TEST(ViImage, ContentTypeDecides) {
    const QByteArray lJpeg = Encoded("JPEG");
    const QByteArray lPng = Encoded("PNG");
    const struct {
        const QByteArray* m_pBody;
        const char* m_pType;
    } cGood[] = {{&lJpeg, "image/jpeg"}, {&lJpeg, "IMAGE/JPEG"}, {&lJpeg, "image/pjpeg"},
                 {&lPng, "image/png"},   {&lPng, "Image/PNG"},   {&lJpeg, "image/jpeg; charset=binary"}};
    for (const auto& c : cGood) {
        SCOPED_TRACE(c.m_pType);
        const auto lImage = DecodeVIImage(*c.m_pBody, c.m_pType);
        ASSERT_NE(lImage, nullptr);
        EXPECT_EQ(lImage->size(), QSize(8, 6));
    }
    const struct {
        QByteArray m_aBody;
        const char* m_pType;
        const char* m_pText;
    } cBad[] = {
        {lJpeg, "image/gif", "Unknown image type \"image/gif\"."},
        {lJpeg, "", "Unknown image type \"\"."},
        {lPng, "image/jpeg", "The server's image could not be read"},
        {"", "image/png", "The server's image could not be read"},
        {PngClaiming(100000, 100000), "image/png",
         "The server's image is too large (100000 x 100000 pixels)."},
        {PngClaiming(10000, 5001), "image/png", "The server's image is too large (10000 x 5001 pixels)."},
    };
    for (const auto& c : cBad) {
        SCOPED_TRACE(c.m_pText);
        try {
            DecodeVIImage(c.m_aBody, c.m_pType);
            ADD_FAILURE() << "no error";
        } catch (const Exception& E) {
            EXPECT_TRUE(E.Message().startsWith(QString::fromUtf8(c.m_pText))) << E.Message().toStdString();
        }
    }
}

// At UTC+3 without daylight saving, 12:00:00 local is 09:00:00 UTC; the offset adds seconds.
TEST(ViLocalToUtc, ByTheSystemZone) {
    const QDateTime lUtc(QDate(2026, 12, 10), QTime(9, 0, 5), QTimeZone::utc());
    {
        TEnvOverride lTz("TZ", "Etc/GMT-3");
        tzset();
        const TDateTime lLocal = MakeDateTime(2026, 12, 10, 12, 0, 0);
        EXPECT_EQ(LocalToUtcMSecs(lLocal, 5), lUtc.toMSecsSinceEpoch());
        EXPECT_TRUE(SameDateTimeMs(LocalToUtc(lLocal), MakeDateTime(2026, 12, 10, 9, 0, 0)));
    }
    {
        // Helsinki in summer: UTC+3 with daylight saving.
        TEnvOverride lTz("TZ", "Europe/Helsinki");
        tzset();
        EXPECT_EQ(LocalToUtcMSecs(MakeDateTime(2026, 7, 1, 12, 0, 0), -5),
                  QDateTime(QDate(2026, 7, 1), QTime(8, 59, 55), QTimeZone::utc()).toMSecsSinceEpoch());
    }
    tzset();
}

// Zone rules that cannot be had give the conversion's own error instead of a silent UTC.
TEST(ViLocalToUtc, UnknownZone) {
    TEnvOverride lTz("TZ", "Nowhere/No_Such_Zone");
    tzset();
    if (QTimeZone::systemTimeZone().isValid())
        GTEST_SKIP() << "this Qt falls back to a valid zone for an unknown TZ";
    try {
        LocalToUtcMSecs(MakeDateTime(2026, 12, 10, 12, 0, 0), 0);
        ADD_FAILURE() << "no error";
    } catch (const Exception& E) {
        EXPECT_EQ(E.Message(),
                  QStringLiteral("Error converting to UTC Time. Time zone could not be determined."));
    }
    tzset();
}
