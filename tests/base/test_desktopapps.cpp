// The desktop's default applications, seen through a recording fake application registered in a
// private data and configuration folder, as a desktop registers a real one.
#include "base/uDesktopApps.h"
#include "base/uShellOpen.h"

#include "tests/common/TestSupport.h"

#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DesktopAppsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty())
            GTEST_SKIP() << "gio is not installed";
        // The fake application writes what it was asked to open into a FIFO the test reads.
        m_sFifo = m_oDir.FilePath(QStringLiteral("opened.fifo"));
        ASSERT_EQ(::mkfifo(QFile::encodeName(m_sFifo).constData(), 0600), 0);
        const QString lApp =
            m_oDir.WriteFile(QStringLiteral("fake-sheet"),
                             QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n").arg(m_sFifo).toUtf8());
        ASSERT_TRUE(QFile::setPermissions(lApp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        m_oDir.WriteFile(QStringLiteral("data/applications/fake-sheet.desktop"),
                         QStringLiteral("[Desktop Entry]\nType=Application\nName=Fake Sheet\nExec=%1 %f\n"
                                        "MimeType=%2;\n")
                             .arg(lApp, QLatin1String(XlsxMimeType))
                             .toUtf8());
        m_oDir.WriteFile(QStringLiteral("config/mimeapps.list"),
                         QStringLiteral("[Default Applications]\n%1=fake-sheet.desktop\n")
                             .arg(QLatin1String(XlsxMimeType))
                             .toUtf8());
    }

    TTempDir m_oDir;
    QString m_sFifo;
    TEnvOverride m_oData{"XDG_DATA_HOME", QFile::encodeName(m_oDir.FilePath(QStringLiteral("data")))};
    TEnvOverride m_oConfig{"XDG_CONFIG_HOME", QFile::encodeName(m_oDir.FilePath(QStringLiteral("config")))};
};

TEST_F(DesktopAppsTest, TheDefaultApplicationOfATypeAndItsName) {
    EXPECT_EQ(DefaultApplicationFor(QLatin1String(XlsxMimeType)), QStringLiteral("fake-sheet.desktop"));
    EXPECT_EQ(ApplicationName(QStringLiteral("fake-sheet.desktop")), QStringLiteral("Fake Sheet"));
    EXPECT_TRUE(DefaultApplicationFor(QStringLiteral("application/x-tarvo-no-such-type")).isEmpty());
    EXPECT_EQ(ApplicationName(QStringLiteral("missing.desktop")), QStringLiteral("missing.desktop"));
}

TEST_F(DesktopAppsTest, AWorkbookOpensWithTheDefaultApplication) {
    const QString lBook = m_oDir.FilePath(QStringLiteral("Report 2024-03-10.xlsx"));
    QFile::copy(QStringLiteral(TARVO_SOURCE_DIR "/tests/sheet/data/sample.xlsx"), lBook);
    // No opener installed by a window: the fallback (xdg-open where xdg-utils are installed, else gio).
    ShellOpen(nullptr, lBook);
    const int lFd = ::open(QFile::encodeName(m_sFifo).constData(), O_RDONLY);
    ASSERT_GE(lFd, 0);
    char lBuf[512] = {};
    const ssize_t n = ::read(lFd, lBuf, sizeof lBuf - 1);
    ::close(lFd);
    EXPECT_EQ(QString::fromLocal8Bit(lBuf, int(std::max<ssize_t>(n, 0))), lBook);
}

} // namespace
