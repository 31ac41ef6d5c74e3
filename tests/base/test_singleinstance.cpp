// Single instance across processes: the start mutex, main-window presence and the hand-over.
#include "base/uExceptions.h"
#include "base/uSingleInstance.h"
#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
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

} // namespace
