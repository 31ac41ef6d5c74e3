// Autorun entry, port names and opening through the desktop.
#include "base/uAutorun.h"
#include "base/uExceptions.h"
#include "base/uPortName.h"
#include "base/uShellOpen.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& APath) {
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QString MessageOf(const std::function<void()>& AAction) {
    try {
        AAction();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

TEST(Autorun, EntryIsWrittenReadAndDeleted) {
    TTempDir config;
    TEnvOverride env("XDG_CONFIG_HOME", QFile::encodeName(config.Path()));
    const QString entry = config.FilePath(QStringLiteral("autostart/Tarvo.desktop"));
    EXPECT_EQ(AutostartDir(), config.FilePath(QStringLiteral("autostart")));
    EXPECT_FALSE(IsAutorun(QStringLiteral("Tarvo")));

    // A path with the characters an Exec key treats specially: quoted, then escaped as a string value.
    const QString command =
        AutorunCommandLine(QStringLiteral("/opt/my $app\\x/100%/Tarvo"), QStringLiteral("-autorun"));
    EXPECT_EQ(command, QStringLiteral("\"/opt/my \\$app\\\\x/100%%/Tarvo\" -autorun"));
    SetAutorun(true, QStringLiteral("Tarvo"), command);
    EXPECT_EQ(ReadAll(entry), QByteArray("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Tarvo\n"
                                         "Exec=\"/opt/my \\\\$app\\\\\\\\x/100%%/Tarvo\" -autorun\n"
                                         "X-GNOME-Autostart-enabled=true\n"));
    EXPECT_TRUE(IsAutorun(QStringLiteral("Tarvo")));
    EXPECT_FALSE(IsAutorun(QStringLiteral("Other")));

    SetAutorun(false, QStringLiteral("Tarvo"), QString());
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_FALSE(IsAutorun(QStringLiteral("Tarvo")));
    SetAutorun(false, QStringLiteral("Tarvo"), QString()); // deleting a missing entry is no error
}

TEST(Autorun, EntriesTheDesktopWouldNotRunDoNotCount) {
    TTempDir config;
    TEnvOverride env("XDG_CONFIG_HOME", QFile::encodeName(config.Path()));
    const struct {
        const char* m_pContent;
        bool m_fAutorun;
    } cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=/x -autorun\n", true},
        {"[Desktop Entry]\r\nType = Application\r\nExec = /x\r\n", true},
        {"[Desktop Entry]\nType=Application\nExec=/x\nHidden=true\n", false},
        {"[Desktop Entry]\nType=Application\nExec=/x\nX-GNOME-Autostart-enabled=false\n", false},
        {"[Desktop Entry]\nType=Application\n", false},
        {"[Other]\nType=Application\nExec=/x\n", false},
        {"\xFF\xFE garbage \0\n=\n[", false},
    };
    for (const auto& c : cases) {
        config.WriteFile(QStringLiteral("autostart/Tarvo.desktop"), QByteArray(c.m_pContent));
        EXPECT_EQ(IsAutorun(QStringLiteral("Tarvo")), c.m_fAutorun) << c.m_pContent;
    }
}

TEST(Autorun, FailuresNameWhatFailed) {
    TTempDir dir;
    {
        // The configuration folder is a file: the autostart folder cannot be created.
        const QString file = dir.WriteFile(QStringLiteral("plain"), "x");
        TEnvOverride env("XDG_CONFIG_HOME", QFile::encodeName(file));
        EXPECT_TRUE(
            MessageOf([] {
                SetAutorun(true, QStringLiteral("Tarvo"), QStringLiteral("x"));
            }).startsWith(QStringLiteral("Failed to create key ") + file + QStringLiteral("/autostart")));
        EXPECT_FALSE(IsAutorun(QStringLiteral("Tarvo")));
    }
    {
        // The entry is a folder: neither readable nor replaceable.
        TEnvOverride env("XDG_CONFIG_HOME", QFile::encodeName(dir.Path()));
        ASSERT_TRUE(QDir().mkpath(dir.FilePath(QStringLiteral("autostart/Tarvo.desktop/sub"))));
        EXPECT_TRUE(MessageOf([] {
                        IsAutorun(QStringLiteral("Tarvo"));
                    }).startsWith(QStringLiteral("Failed to get data for 'Tarvo'")));
        EXPECT_TRUE(MessageOf([] {
                        SetAutorun(true, QStringLiteral("Tarvo"), QStringLiteral("x"));
                    }).startsWith(QStringLiteral("Failed to set data for 'Tarvo'")));
    }
    {
        // Without XDG_CONFIG_HOME the entry lives in the home folder's configuration.
        TEnvOverride home("HOME", QFile::encodeName(dir.Path()));
        TEnvOverride env("XDG_CONFIG_HOME", QByteArray());
        EXPECT_EQ(AutostartDir(), dir.FilePath(QStringLiteral(".config/autostart")));
    }
}

TEST(PortNames, SerialPortsAreComAndANumber) {
    const struct {
        const char* m_pName;
        TPortKind m_nKind;
    } cases[] = {
        {"COM7", TPortKind::Com}, {"com12", TPortKind::Com},
        {"Com1", TPortKind::Com}, {"COM-1", TPortKind::Com},
        {"COM", TPortKind::Ft},   {"COM7a", TPortKind::Ft},
        {"COM 7", TPortKind::Ft}, {"COM7 ", TPortKind::Ft},
        {"COM+", TPortKind::Ft},  {"COM99999999999", TPortKind::Ft},
        {"XCOM7", TPortKind::Ft}, {"Orv USB 1234", TPortKind::Ft},
        {"", TPortKind::Ft},      {"COM2147483647", TPortKind::Com},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PortTypeOfName(QString::fromLatin1(c.m_pName)), c.m_nKind) << c.m_pName;
}

TEST(ShellOpen, TheInstalledOpenerIsUsed) {
    QObject owner;
    QStringList calls;
    SetShellOpenFunc([&](QObject* AOwner, const QString& AFile, const QString& AParameters) {
        EXPECT_EQ(AOwner, &owner);
        if (AFile.isEmpty())
            throw EInOutError(QStringLiteral("nothing to open"));
        calls << AFile + QLatin1Char('|') + AParameters;
    });
    ShellOpen(&owner, QStringLiteral("mailto:desk@example.org"));
    ShellOpen(&owner, QStringLiteral("https://example.org"), QStringLiteral("x"));
    EXPECT_THROW(ShellOpen(&owner, QString()), EInOutError);
    SetShellOpenFunc({});
    EXPECT_EQ(calls, QStringList({"mailto:desk@example.org|", "https://example.org|x"}));
}

TEST(ShellOpen, FallbackStartsProgramsAndReportsAMissingOpener) {
    TTempDir dir;
    const QString out = dir.FilePath(QStringLiteral("out.fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(out).constData(), 0600), 0);
    const QString program = dir.WriteFile(
        QStringLiteral("tool"), QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" > '%1'\n").arg(out).toUtf8());
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ShellOpen(nullptr, program, QStringLiteral("one \"two three\""));
    const int fd = ::open(QFile::encodeName(out).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buf[64] = {};
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    EXPECT_EQ(QByteArray(buf, int(qMax<ssize_t>(n, 0))), QByteArray("one|two three|"));

    TEnvOverride path("PATH", QFile::encodeName(dir.Path())); // no xdg-open anywhere
    const QString doc = dir.WriteFile(QStringLiteral("report.xlsx"), "x");
    const QString message = MessageOf([&] { ShellOpen(nullptr, doc); });
    EXPECT_TRUE(message.startsWith(QStringLiteral("Cannot open \"") + doc)) << message.toStdString();
    EXPECT_TRUE(MessageOf([] { ShellOpen(nullptr, QString()); }).startsWith(QStringLiteral("Cannot open")));
}

} // namespace
