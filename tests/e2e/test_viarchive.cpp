// The real front desk with its photos from vmssim, on a private X display: a card checked in with
// orvsim, a click on the camera icon of its log row opens the archive viewer with the camera's title
// in its caption, the frame of the check-in's moment is asked for in UTC milliseconds and shown.
// The click is a real pointer click (the XTEST extension of the display), so the desk's own list,
// hit test and viewer do the work.

#include "tests/e2e/E2eSupport.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

#include <memory>
#include <optional>

using namespace E2e;

namespace {

// Xvfb on a free display number, ended with the object.
class TDisplay {
public:
    TDisplay() {
        int lPipe[2];
        if (::pipe(lPipe) != 0)
            return;
        const std::string lFd = std::to_string(lPipe[1]);
        m_nPid = TProgram::Spawn({"Xvfb", "-displayfd", lFd, "-screen", "0", "1024x700x24", "-nolisten", "tcp"},
                                 EnvOfThisProcess(), "/dev/null", "/dev/null");
        ::close(lPipe[1]);
        std::string lNumber;
        char c;
        while (::read(lPipe[0], &c, 1) == 1 && c != '\n')
            lNumber += c;
        ::close(lPipe[0]);
        if (m_nPid > 0 && !lNumber.empty())
            m_sName = ":" + lNumber;
    }
    ~TDisplay() {
        if (m_nPid > 0) {
            ::kill(m_nPid, SIGTERM);
            while (::waitpid(m_nPid, nullptr, 0) < 0 && errno == EINTR) {
            }
        }
    }
    TDisplay(const TDisplay&) = delete;
    TDisplay& operator=(const TDisplay&) = delete;
    const std::string& Name() const { return m_sName; }

private:
    static std::map<std::string, std::string> EnvOfThisProcess() {
        std::map<std::string, std::string> lEnv;
        for (char** p = environ; *p; ++p) {
            const std::string lVar = *p;
            const auto lEq = lVar.find('=');
            if (lEq != std::string::npos)
                lEnv[lVar.substr(0, lEq)] = lVar.substr(lEq + 1);
        }
        return lEnv;
    }
    pid_t m_nPid = -1;
    std::string m_sName;
};

// The pointer of the display moved and clicked through XTEST (libXtst, loaded at run time).
class TPointer {
public:
    explicit TPointer(Display* ADisplay) : m_pDisplay(ADisplay) {
        m_hLib = ::dlopen("libXtst.so.6", RTLD_NOW);
        if (!m_hLib)
            return;
        m_fMotion = reinterpret_cast<TMotion>(::dlsym(m_hLib, "XTestFakeMotionEvent"));
        m_fButton = reinterpret_cast<TButton>(::dlsym(m_hLib, "XTestFakeButtonEvent"));
    }
    // The library stays loaded: closing the display calls into the extension's hooks.
    ~TPointer() = default;
    TPointer(const TPointer&) = delete;
    TPointer& operator=(const TPointer&) = delete;
    bool Usable() const { return m_fMotion && m_fButton; }
    void Click(int AX, int AY) {
        m_fMotion(m_pDisplay, DefaultScreen(m_pDisplay), AX, AY, 0);
        XSync(m_pDisplay, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_fButton(m_pDisplay, 1, True, 0);
        m_fButton(m_pDisplay, 1, False, 0);
        XSync(m_pDisplay, False);
    }

private:
    using TMotion = int (*)(Display*, int, int, int, unsigned long);
    using TButton = int (*)(Display*, unsigned int, int, unsigned long);
    Display* m_pDisplay;
    void* m_hLib = nullptr;
    TMotion m_fMotion = nullptr;
    TButton m_fButton = nullptr;
};

struct TWindow {
    Window m_hWnd = 0;
    std::string m_sName;
    int m_nX = 0, m_nY = 0, m_nWidth = 0, m_nHeight = 0;
};

// The mapped top-level windows of the display (without a window manager they are the root's
// children, placed in root coordinates).
std::vector<TWindow> TopLevels(Display* ADisplay) {
    std::vector<TWindow> lOut;
    Window lRoot = 0, lParent = 0;
    Window* lChildren = nullptr;
    unsigned int lCount = 0;
    if (!XQueryTree(ADisplay, DefaultRootWindow(ADisplay), &lRoot, &lParent, &lChildren, &lCount))
        return lOut;
    for (unsigned int i = 0; i < lCount; ++i) {
        XWindowAttributes lAttr;
        if (!XGetWindowAttributes(ADisplay, lChildren[i], &lAttr) || lAttr.map_state != IsViewable)
            continue;
        TWindow lWnd{lChildren[i], {}, lAttr.x, lAttr.y, lAttr.width, lAttr.height};
        XTextProperty lProp;
        if (XGetWMName(ADisplay, lChildren[i], &lProp) && lProp.value) {
            lWnd.m_sName.assign(reinterpret_cast<const char*>(lProp.value), lProp.nitems);
            XFree(lProp.value);
        }
        lOut.push_back(lWnd);
    }
    if (lChildren)
        XFree(lChildren);
    return lOut;
}

std::optional<TWindow> FindWindow(Display* ADisplay, const std::function<bool(const TWindow&)>& APred) {
    for (const TWindow& lWnd : TopLevels(ADisplay))
        if (APred(lWnd))
            return lWnd;
    return std::nullopt;
}

// The pixels of a window as 0xRRGGBB, row by row.
struct TPicture {
    int m_nWidth = 0, m_nHeight = 0;
    std::vector<unsigned long> m_aPixels;
    unsigned long At(int AX, int AY) const { return m_aPixels[size_t(AY) * size_t(m_nWidth) + size_t(AX)]; }
};
TPicture Grab(Display* ADisplay, const TWindow& AWnd) {
    TPicture lPic;
    XImage* lImage = XGetImage(ADisplay, AWnd.m_hWnd, 0, 0, unsigned(AWnd.m_nWidth), unsigned(AWnd.m_nHeight),
                               AllPlanes, ZPixmap);
    if (!lImage)
        return lPic;
    lPic.m_nWidth = AWnd.m_nWidth;
    lPic.m_nHeight = AWnd.m_nHeight;
    lPic.m_aPixels.reserve(size_t(lPic.m_nWidth) * size_t(lPic.m_nHeight));
    for (int y = 0; y < lPic.m_nHeight; ++y)
        for (int x = 0; x < lPic.m_nWidth; ++x)
            lPic.m_aPixels.push_back(XGetPixel(lImage, x, y) & 0xFFFFFF);
    XDestroyImage(lImage);
    return lPic;
}

// Where a new first row appeared: the topmost band of rows that changed between two pictures of the
// same window, as its leftmost changed pixel and its middle row; nullopt without a change.
std::optional<std::pair<int, int>> FirstChangedBand(const TPicture& ABefore, const TPicture& AAfter) {
    if (ABefore.m_nWidth != AAfter.m_nWidth || ABefore.m_nHeight != AAfter.m_nHeight)
        return std::nullopt;
    int lTop = -1, lBottom = -1, lLeft = AAfter.m_nWidth;
    for (int y = 0; y < AAfter.m_nHeight; ++y) {
        int lRowLeft = -1;
        for (int x = 0; x < AAfter.m_nWidth && lRowLeft < 0; ++x)
            if (ABefore.At(x, y) != AAfter.At(x, y))
                lRowLeft = x;
        if (lRowLeft < 0) {
            if (lTop >= 0)
                break; // the band has ended
            continue;
        }
        if (lTop < 0)
            lTop = y;
        lBottom = y;
        lLeft = std::min(lLeft, lRowLeft);
    }
    if (lTop < 0)
        return std::nullopt;
    return std::make_pair(lLeft, (lTop + lBottom) / 2);
}

// Whether a square of ASide pixels somewhere in the picture is all one colour that is not a grey:
// vmssim's frames have a coloured ground, the viewer itself and its "No photo" panel are grey.
bool ShowsAFrame(const TPicture& APic, int ASide) {
    for (int y0 = 0; y0 + ASide <= APic.m_nHeight; y0 += ASide / 2)
        for (int x0 = 0; x0 + ASide <= APic.m_nWidth; x0 += ASide / 2) {
            const unsigned long lColour = APic.At(x0, y0);
            const int r = int(lColour >> 16), g = int((lColour >> 8) & 0xFF), b = int(lColour & 0xFF);
            if (r == g && g == b)
                continue;
            bool lSame = true;
            for (int y = y0; y < y0 + ASide && lSame; ++y)
                for (int x = x0; x < x0 + ASide && lSame; ++x)
                    lSame = APic.At(x, y) == lColour;
            if (lSame)
                return true;
        }
    return false;
}

std::string DataFile(int APort) {
    const std::string lMd5 =
        QCryptographicHash::hash("pw", QCryptographicHash::Md5).toHex().toUpper().toStdString();
    return DeskDataFile("<Reader sn=\"1001\" port=\"COM3\" cardRegInterval=\"0\"/>",
                        "<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n",
                        "<Popup max=\"5\" timeOut=\"2\"/>\r\n"
                        "<Camera source=\"2\"><VI server=\"http://127.0.0.1:" +
                            std::to_string(APort) + "\" login=\"admin\" passwmd5=\"" + lMd5 +
                            "\" camera=\"Cam 1 Id\" cameraTitle=\"Entrance door 1\" timeOffs=\"0\" "
                            "stepViewing=\"100\" reqTimeOut=\"5000\"/></Camera>\r\n");
}

} // namespace

TEST(ViArchive, TheCameraIconOfAVisitShowsTheServersFrame) {
    ASSERT_TRUE(FileExists(BinPath("Tarvo")));
    ASSERT_TRUE(FileExists(BinPath("vmssim")));
    TDisplay lDisplay;
    if (lDisplay.Name().empty())
        GTEST_SKIP() << "Xvfb could not be started";
    Display* lX = XOpenDisplay(lDisplay.Name().c_str());
    ASSERT_NE(lX, nullptr);
    const auto lCloseX = std::unique_ptr<Display, int (*)(Display*)>(lX, XCloseDisplay);
    TPointer lPointer(lX);
    if (!lPointer.Usable())
        GTEST_SKIP() << "libXtst is not installed";

    TWorld lWorld;
    lWorld.SetEnv("QT_QPA_PLATFORM", "xcb");
    lWorld.SetEnv("DISPLAY", lDisplay.Name());
    TProgram lSim(lWorld, "vmssim", {"--password", "pw", "--cameras", "2"});
    ASSERT_TRUE(lSim.WaitForOutput("\n", true)) << lSim.Err();
    const std::string lFirst = lSim.Out().substr(0, lSim.Out().find('\n'));
    ASSERT_EQ(lFirst.rfind("port ", 0), 0u) << lFirst;
    WriteFile(lWorld.DataPath("Tarvo.xml"), DataFile(std::stoi(lFirst.substr(5))));
    lWorld.SetFakeTime("2026-03-02 10:00:00");
    ASSERT_EQ(lWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);

    TProgram lDesk(lWorld, "Tarvo", {"-show"});
    ASSERT_TRUE(WaitUntil([&] {
        return lWorld.Orvsim({"state", "COM3"}).sOut.rfind("open", 0) == 0;
    })) << lDesk.Err();
    std::optional<TWindow> lMain;
    ASSERT_TRUE(WaitUntil([&] {
        lMain = FindWindow(lX, [](const TWindow& w) {
            return w.m_sName.find("Tarvo") != std::string::npos && w.m_nWidth > 300;
        });
        return lMain.has_value();
    })) << lDesk.Err();
    // Settled: two pictures in a row alike.
    TPicture lBefore;
    ASSERT_TRUE(WaitUntil([&] {
        TPicture lNow = Grab(lX, *lMain);
        const bool lSame = !lNow.m_aPixels.empty() && lNow.m_aPixels == lBefore.m_aPixels;
        lBefore = std::move(lNow);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return lSame;
    }));

    ASSERT_EQ(lWorld.Orvsim({"present", "COM3", "0A0B0C"}).nStatus, 0);
    ASSERT_TRUE(WaitForText(lWorld.DataPath("Logs/L02032026.log"), "10:00:00 [in] Ann")) << lDesk.Err();
    // The log list's new first row, once the window has settled again (a slow build may show the row
    // before its icon): its camera icon is at the row's left end.
    TPicture lAfter;
    ASSERT_TRUE(WaitUntil([&] {
        TPicture lNow = Grab(lX, *lMain);
        const bool lSettled = !lNow.m_aPixels.empty() && lNow.m_aPixels == lAfter.m_aPixels &&
                              lNow.m_aPixels != lBefore.m_aPixels;
        lAfter = std::move(lNow);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return lSettled;
    }));
    const std::optional<std::pair<int, int>> lRow = FirstChangedBand(lBefore, lAfter);
    ASSERT_TRUE(lRow.has_value());
    lPointer.Click(lMain->m_nX + lRow->first + 6, lMain->m_nY + lRow->second);

    // The viewer: the camera's title and the visit in its caption.
    const std::string lCaption = "Entrance door 1 [02.03.2026 10:00:00 / -]";
    std::optional<TWindow> lViewer;
    ASSERT_TRUE(WaitUntil([&] {
        lViewer = FindWindow(lX, [&](const TWindow& w) { return w.m_sName == lCaption; });
        return lViewer.has_value();
    })) << "no viewer; windows: " << [&] {
        std::string lNames;
        for (const TWindow& w : TopLevels(lX))
            lNames += "\"" + w.m_sName + "\" ";
        return lNames;
    }();
    // The frame of the check-in's moment (the world's zone is UTC), asked for with the session.
    const qint64 lMs = QDateTime(QDate(2026, 3, 2), QTime(10, 0, 0), QTimeZone::utc()).toMSecsSinceEpoch();
    const std::string lRequest = "GET /archive-video-frame.dyn query=device={Cam+1+Id}&ts=" +
                                 std::to_string(lMs) + "&time=" + std::to_string(lMs) + "&still=yes&res=Original";
    EXPECT_TRUE(WaitUntil([&] {
        std::istringstream lOut(lSim.Out());
        for (std::string lLine; std::getline(lOut, lLine);)
            if (lLine.rfind(lRequest, 0) == 0 && lLine.find("cookie=\"WSID=") != std::string::npos)
                return true;
        return false;
    })) << lSim.Out();
    EXPECT_TRUE(WaitUntil([&] { return ShowsAFrame(Grab(lX, *lViewer), 40); }));

    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0) << lDesk.Err();
    lSim.Terminate();
}
