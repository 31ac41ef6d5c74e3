// Single instance across processes: the start mutex, main-window presence and the hand-over.
#include "base/uExceptions.h"
#include "base/uSingleInstance.h"
#include "tests/common/TestSupport.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <map>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QStringList cClasses = {QStringLiteral("Tarvo"), QStringLiteral("ConfigTarvo")};

// A forked process running ABody(AIn, AOut): it reads its orders from AIn and reports on AOut.
// It ends when its body returns, when killed, or when the test closes its order pipe.
class TChild {
public:
    explicit TChild(const std::function<void(int, int)>& ABody) {
        int toChild[2], fromChild[2];
        if (::pipe(toChild) != 0 || ::pipe(fromChild) != 0)
            throw std::runtime_error("pipe");
        m_nPid = ::fork();
        if (m_nPid == 0) {
            ::close(toChild[1]);
            ::close(fromChild[0]);
            ABody(toChild[0], fromChild[1]);
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(fromChild[1]);
        m_hOrders = toChild[1];
        m_hReports = fromChild[0];
    }
    ~TChild() { Kill(); }

    void Send(char AOrder) { ASSERT_EQ(::write(m_hOrders, &AOrder, 1), 1); }
    char Receive() { return ReadByte(m_hReports); }
    // Ends the child as a crash would: no clean-up of its own runs.
    void Kill() {
        if (m_nPid <= 0)
            return;
        ::kill(m_nPid, SIGKILL);
        ::waitpid(m_nPid, nullptr, 0);
        ::close(m_hOrders);
        ::close(m_hReports);
        m_nPid = -1;
    }

    static char ReadByte(int AFile) {
        char c = 0;
        return ::read(AFile, &c, 1) == 1 ? c : '\0';
    }

private:
    pid_t m_nPid = -1;
    int m_hOrders = -1, m_hReports = -1;
};

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_oRuntime.Path())); }
    void TearDown() override {
        ReleaseInstanceMutex();
        qunsetenv("XDG_RUNTIME_DIR");
    }
    TTempDir m_oRuntime;
};

TEST_F(SingleInstance, AWindowOfEitherProgramEndsTheStartUntilItsProcessDies) {
    for (const QString& cls : cClasses) {
        TChild child([&](int AIn, int AOut) {
            TMainWindowPresence window(cls);
            const char ready = window.IsHeld() ? 'r' : 'x';
            (void)::write(AOut, &ready, 1);
            TChild::ReadByte(AIn); // hold the window until killed
        });
        ASSERT_EQ(child.Receive(), 'r');
        EXPECT_TRUE(MainWindowExists(cls));
        EXPECT_FALSE(CheckSingleInstance(false, cClasses)) << cls.toStdString();
        EXPECT_FALSE(InstanceMutexHeld()); // a refused start gives the mutex back
        EXPECT_FALSE(InstanceMutexBusy());
        EXPECT_TRUE(CheckSingleInstance(true, cClasses)); // /N runs regardless
        EXPECT_FALSE(InstanceMutexHeld());

        child.Kill();
        EXPECT_FALSE(MainWindowExists(cls));
        EXPECT_TRUE(CheckSingleInstance(false, cClasses));
        EXPECT_TRUE(InstanceMutexHeld());
        ReleaseInstanceMutex();
        EXPECT_FALSE(InstanceMutexHeld());
        ReleaseInstanceMutex(); // a second release does nothing
    }
}

TEST_F(SingleInstance, ACrashedStartDoesNotWedgeTheNext) {
    TChild child([](int AIn, int AOut) {
        const char ready = CheckSingleInstance(false, cClasses) ? 'r' : 'x';
        (void)::write(AOut, &ready, 1);
        TChild::ReadByte(AIn); // crash while still in start-up, holding the mutex
    });
    ASSERT_EQ(child.Receive(), 'r');
    EXPECT_TRUE(InstanceMutexBusy());
    EXPECT_TRUE(CheckSingleInstance(true, cClasses)); // /N does not wait for the mutex
    child.Kill();
    EXPECT_FALSE(InstanceMutexBusy());
    EXPECT_TRUE(CheckSingleInstance(false, cClasses));
}

TEST_F(SingleInstance, AnOverlappingStartWaitsForTheFirstWindowThenEnds) {
    TChild first([](int AIn, int AOut) {
        if (!CheckSingleInstance(false, cClasses))
            return;
        (void)::write(AOut, "r", 1);
        TChild::ReadByte(AIn); // "go": the main window is created
        TMainWindowPresence window(QStringLiteral("Tarvo"));
        ReleaseInstanceMutex(); // first step of the deferred start-up
        (void)::write(AOut, "w", 1);
        TChild::ReadByte(AIn);
    });
    ASSERT_EQ(first.Receive(), 'r');
    TChild second([](int, int AOut) {
        const char result = CheckSingleInstance(false, cClasses) ? 'y' : 'n';
        (void)::write(AOut, &result, 1);
    });
    first.Send('g');
    ASSERT_EQ(first.Receive(), 'w');
    EXPECT_EQ(second.Receive(), 'n');
}

TEST_F(SingleInstance, WindowsOfOneClassCoexist) {
    // Two front desks started with /N each hold their window; the class is gone with the last one.
    auto a = std::make_unique<TMainWindowPresence>(QStringLiteral("Tarvo"));
    auto b = std::make_unique<TMainWindowPresence>(QStringLiteral("Tarvo"));
    EXPECT_TRUE(a->IsHeld());
    EXPECT_TRUE(b->IsHeld());
    EXPECT_TRUE(MainWindowExists(QStringLiteral("Tarvo")));
    EXPECT_FALSE(MainWindowExists(QStringLiteral("ConfigTarvo")));
    a.reset();
    EXPECT_TRUE(MainWindowExists(QStringLiteral("Tarvo")));
    b.reset();
    EXPECT_FALSE(MainWindowExists(QStringLiteral("Tarvo")));
}

QByteArray ReadFifo(const QString& APath) {
    const int fd = ::open(QFile::encodeName(APath).constData(), O_RDONLY); // waits for the writer
    QByteArray bytes;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        bytes.append(buf, n);
    ::close(fd);
    return bytes;
}

TEST_F(SingleInstance, HandOverStartsTheProgramWithNewWindowAndLeavesNoLockBehind) {
    TTempDir dir;
    const QString out = dir.FilePath(QStringLiteral("out.fifo"));
    const QString hold = dir.FilePath(QStringLiteral("hold.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(out).constData(), 0600), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(hold).constData(), 0600), 0);
    const QString program = dir.WriteFile(
        QStringLiteral("Config Tarvo"),
        QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" > '%1'\nread x < '%2'\n").arg(out, hold).toUtf8());
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

    auto window = std::make_unique<TMainWindowPresence>(QStringLiteral("Tarvo"));
    ASSERT_TRUE(window->IsHeld());
    StartNewInstance(program);
    EXPECT_EQ(ReadFifo(out), QByteArray("/N|"));
    // The started program runs on; the starter's window lock must not have passed to it.
    window.reset();
    EXPECT_FALSE(MainWindowExists(QStringLiteral("Tarvo")));
    const int fd = ::open(QFile::encodeName(hold).constData(), O_WRONLY);
    ASSERT_GE(fd, 0);
    (void)::write(fd, "\n", 1);
    ::close(fd);

    const QString plain = dir.WriteFile(QStringLiteral("not-executable"), "#!/bin/sh\n");
    for (const QString& bad : {dir.FilePath(QStringLiteral("missing")), plain}) {
        try {
            StartNewInstance(bad);
            ADD_FAILURE() << "started " << bad.toStdString();
        } catch (const EInOutError& e) {
            EXPECT_TRUE(e.Message().contains(bad)) << e.Message().toStdString();
        }
    }
}

// The event loop a listener needs (the tests above run without one).
void EnsureEventLoop() {
    static int s_nArgc = 1;
    static char s_sName[] = "test_singleinstance";
    static char* s_aArgv[] = {s_sName, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(s_nArgc, s_aArgv); // lives for the rest of the test program
}

// Runs ARequest on another thread, as a second start would, while this thread serves the listeners.
template <class T> T WhileServing(const std::function<T()>& ARequest) {
    std::future<T> result = std::async(std::launch::async, ARequest);
    while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return result.get();
}

QString SocketPath(const TTempDir& ARuntime, const QString& AClass) {
    return ARuntime.Path() + QStringLiteral("/tarvo/") + AClass + QStringLiteral(".socket");
}

// A raw client: sends ABytes, then reads until the listener closes the connection; what it answered.
QByteArray RawRequest(const QString& APath, const QByteArray& ABytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(APath);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    QByteArray answer = "no connection";
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
        answer.clear();
        (void)::send(fd, ABytes.constData(), size_t(ABytes.size()), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR); // nothing more comes: a request without its line end is incomplete
        char buf[64];
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof(buf), 0)) > 0)
            answer.append(buf, n);
    }
    ::close(fd);
    return answer;
}

} // namespace

TEST_F(SingleInstance, ASecondStartAsksTheProgramWhoseWindowItFound) {
    EnsureEventLoop();
    struct TCase {
        QStringList aWindows; // programs running, each with its window and listener
        QStringList aSearch;  // the second start's search order
        QString sAsked;       // the one that must be asked to show its window
    };
    const TCase cases[] = {
        {{"Tarvo"}, {"Tarvo", "ConfigTarvo"}, "Tarvo"},
        {{"ConfigTarvo"}, {"Tarvo", "ConfigTarvo"}, "ConfigTarvo"},
        {{"Tarvo", "ConfigTarvo"}, {"ConfigTarvo", "Tarvo"}, "ConfigTarvo"},
        {{"Tarvo", "ConfigTarvo"}, {"Tarvo", "ConfigTarvo"}, "Tarvo"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.aSearch.join(',').toStdString() + " finds " + c.sAsked.toStdString());
        std::map<QString, int> shown;
        std::vector<std::unique_ptr<TMainWindowPresence>> windows;
        std::vector<std::unique_ptr<TInstanceListener>> listeners;
        for (const QString& cls : c.aWindows) {
            windows.push_back(std::make_unique<TMainWindowPresence>(cls));
            listeners.push_back(std::make_unique<TInstanceListener>(cls, [&shown, cls] { ++shown[cls]; }));
            ASSERT_TRUE(listeners.back()->IsListening());
        }
        EXPECT_TRUE(WhileServing<bool>([&] { return ActivateRunningInstance(c.aSearch); }));
        QCoreApplication::processEvents();
        EXPECT_EQ(shown, (std::map<QString, int>{{c.sAsked, 1}}));
        listeners.clear();
        // A program gone takes its socket with it; a window without a listener answers nothing.
        for (const QString& cls : c.aWindows)
            EXPECT_FALSE(QFile::exists(SocketPath(m_oRuntime, cls)));
        EXPECT_FALSE(WhileServing<bool>([&] { return ActivateRunningInstance(c.aSearch, 500); }));
    }
    // No window at all: nobody is asked.
    EXPECT_FALSE(ActivateRunningInstance(cClasses, 500));
}

TEST_F(SingleInstance, ARequestNobodyServesEndsAtItsDeadline) {
    EnsureEventLoop();
    TMainWindowPresence window(QStringLiteral("Tarvo"));
    int shown = 0;
    const QString path = SocketPath(m_oRuntime, QStringLiteral("Tarvo"));
    const QString kept = path + QStringLiteral(".kept");
    auto listener = std::make_unique<TInstanceListener>(QStringLiteral("Tarvo"), [&] { ++shown; });
    ASSERT_TRUE(listener->IsListening());
    // A program that is busy (its event loop does not run): the request waits only until its deadline.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ActivateRunningInstance(cClasses, 300));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3000));
    QCoreApplication::processEvents();
    // A program that died leaves its socket file behind (kept here by a second name while it ends).
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()), 0);
    listener.reset();
    ASSERT_EQ(::rename(QFile::encodeName(kept).constData(), QFile::encodeName(path).constData()), 0);
    // Nobody accepts on the stale socket.
    EXPECT_TRUE(QFile::exists(SocketPath(m_oRuntime, QStringLiteral("Tarvo"))));
    EXPECT_FALSE(ActivateRunningInstance(cClasses, 300));
    // The next program of the class takes the name over.
    TInstanceListener next(QStringLiteral("Tarvo"), [&] { ++shown; });
    ASSERT_TRUE(next.IsListening());
    const int before = shown;
    EXPECT_TRUE(WhileServing<bool>([&] { return ActivateRunningInstance(cClasses); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, before + 1);
}

TEST_F(SingleInstance, OnlyTheShowRequestShowsTheWindow) {
    EnsureEventLoop();
    int shown = 0;
    TInstanceListener listener(QStringLiteral("Tarvo"), [&] { ++shown; });
    ASSERT_TRUE(listener.IsListening());
    const QString path = SocketPath(m_oRuntime, QStringLiteral("Tarvo"));
    struct TCase {
        QByteArray sSent;
        QByteArray sAnswer;
        int nShown;
    };
    const TCase cases[] = {
        {"show\n", "shown\n", 1},
        {"shown\n", "", 0},
        {"SHOW\n", "", 0},
        {"show", "", 0},               // no line end
        {QByteArray(200, 'x'), "", 0}, // an endless line is cut off at the cap
        {"", "", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.sSent.left(20).toStdString());
        const int before = shown;
        const QByteArray answer = WhileServing<QByteArray>([&] { return RawRequest(path, c.sSent); });
        QCoreApplication::processEvents();
        EXPECT_EQ(answer, c.sAnswer);
        EXPECT_EQ(shown - before, c.nShown);
    }
}

TEST_F(SingleInstance, SilentClientsDoNotKeepOutASecondStart) {
    EnsureEventLoop();
    TMainWindowPresence window(QStringLiteral("Tarvo"));
    int shown = 0;
    TInstanceListener listener(QStringLiteral("Tarvo"), [&] { ++shown; });
    ASSERT_TRUE(listener.IsListening());
    const QByteArray path = QFile::encodeName(SocketPath(m_oRuntime, QStringLiteral("Tarvo")));
    std::vector<int> silent;
    for (int i = 0; i < 20; ++i) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
        silent.push_back(fd);
        QCoreApplication::processEvents(); // accepted, then waiting for a request that never comes
    }
    EXPECT_TRUE(WhileServing<bool>([] { return ActivateRunningInstance(cClasses); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 1);
    for (int fd : silent)
        ::close(fd);
}
