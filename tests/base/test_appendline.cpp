// Appending lines: encoding and line ends, failures that must not pass in silence, no half lines
// between concurrent writers or after a write that stops short.
#include "base/uAppendLine.h"
#include "base/uSafeFile.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& APath) {
    QFile file(APath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

TEST(AppendLine, LinesGoOutInTheCodePageWithCrLf) {
    const struct {
        const char* m_pCodePage;
        QString m_sText;
        QByteArray m_aBytes;
    } cases[] = {
        {"CP1252", QStringLiteral("Ren\u00e9e 12:00"),
         QByteArray("Ren\xE9"
                    "e 12:00\r\n")},
        {"CP1251", QStringLiteral("\u0418\u0432\u0430\u043d"), QByteArray("\xC8\xE2\xE0\xED\r\n")},
        {"CP1252", QStringLiteral("\u0418?"), QByteArray("??\r\n")}, // no mapping: the default character
        {"CP1252", QString(), QByteArray("\r\n")},
    };
    for (const auto& c : cases) {
        TLocaleOverride locale(QLatin1Char('.'), 1033, QString::fromLatin1(c.m_pCodePage));
        TTempDir dir;
        const QString path = dir.WriteFile(QStringLiteral("log.txt"), "first\r\n");
        EXPECT_TRUE(AppendLineToFile(c.m_sText, path));
        EXPECT_EQ(ReadAll(path), QByteArray("first\r\n") + c.m_aBytes) << c.m_pCodePage;
        // A missing file is created.
        const QString fresh = dir.FilePath(QStringLiteral("new.txt"));
        EXPECT_TRUE(AppendLineToFile(c.m_sText, fresh));
        EXPECT_EQ(ReadAll(fresh), c.m_aBytes);
    }
}

TEST(AppendLine, FailuresAreReportedWithTheirReasonAndCreateNoFolder) {
    TTempDir dir;
    const QString missing = dir.FilePath(QStringLiteral("Logs/2024/day.txt"));
    const struct {
        QString m_sPath;
        int m_nErrno;
    } cases[] = {
        {missing, ENOENT},
        {dir.Path(), EISDIR},                  // a folder where the file should be
        {QStringLiteral("/dev/full"), ENOSPC}, // a full disk
        {QString(), ENOENT},
    };
    for (const auto& c : cases) {
        QString error;
        errno = 0;
        EXPECT_FALSE(AppendLineToFile(QStringLiteral("line"), c.m_sPath, &error)) << c.m_sPath.toStdString();
        EXPECT_EQ(errno, c.m_nErrno) << c.m_sPath.toStdString();
        EXPECT_TRUE(error.contains(c.m_sPath)) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(c.m_nErrno)))) << error.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir.FilePath(QStringLiteral("Logs"))));
}

TEST(AppendLine, AWriteThatStopsShortLeavesNoHalfLine) {
    // A file size limit makes the kernel write only the part of the line that fits, as a full disk
    // does; the partial line must be cut off again. Runs in a child so the limit stays there.
    TTempDir dir;
    const QString path = dir.WriteFile(QStringLiteral("log.txt"), "0123456789\r\n");
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {20, 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        QString error;
        const bool ok = AppendLineToFile(QStringLiteral("this line does not fit"), path, &error);
        ::_exit(!ok && error.contains(QStringLiteral("removed")) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(path), QByteArray("0123456789\r\n"));
}

// Line i of writer w: a tag, the line number and a body of a length that varies from 1 to ~3000 bytes,
// so that lines cross page and pipe-buffer sizes.
QString WriterLine(int AWriter, int ALine) {
    const int length = 1 + (ALine * 7919 + AWriter * 104729) % 3001;
    return QStringLiteral("w%1 %2 ").arg(AWriter).arg(ALine) +
           QString(length, QLatin1Char(char('a' + AWriter)));
}

TEST(AppendLine, ConcurrentWritersNeverInterleaveWithinALine) {
    TLocaleOverride locale;
    TTempDir dir;
    const QString path = dir.FilePath(QStringLiteral("shared.txt"));
    const int writers = 3, lines = 300;
    std::vector<pid_t> pids;
    for (int w = 0; w < writers; ++w) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            for (int i = 0; i < lines; ++i)
                if (!AppendLineToFile(WriterLine(w, i), path))
                    ::_exit(1);
            ::_exit(0);
        }
        pids.push_back(pid);
    }
    for (pid_t pid : pids) {
        int status = -1;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    QByteArray content = ReadAll(path);
    ASSERT_TRUE(content.endsWith("\r\n"));
    content.chop(1); // the last "\n": every line then ends with "\r"
    const QList<QByteArray> got = content.split('\n');
    ASSERT_EQ(got.size(), writers * lines);
    std::map<int, int> nextOf; // each writer's lines arrive whole and in its own order
    for (const QByteArray& raw : got) {
        ASSERT_TRUE(raw.endsWith('\r')) << raw.left(60).toStdString() << " len " << raw.size();
        const QString line = QString::fromLatin1(raw.chopped(1));
        const QStringList parts = line.split(QLatin1Char(' '));
        ASSERT_EQ(parts.size(), 3) << line.left(40).toStdString();
        const int w = parts[0].mid(1).toInt();
        const int i = nextOf[w]++;
        ASSERT_EQ(line, WriterLine(w, i));
    }
    for (int w = 0; w < writers; ++w)
        EXPECT_EQ(nextOf[w], lines);
}

} // namespace

TEST(AppendLine, AnUnendedLastLineIsEndedBeforeTheNewLine) {
    // A file cut by a crash or edited by hand must not have the next line glued to its last one.
    const struct {
        QByteArray m_aBefore;
        QByteArray m_aAfter;
    } cases[] = {
        {"08:02", "08:02\r\nnew\r\n"}, {"a\r\n08:02", "a\r\n08:02\r\nnew\r\n"},
        {"a\r", "a\r\nnew\r\n"},       {"a\n", "a\nnew\r\n"}, // a line ended by LF alone is ended
        {"a\r\n", "a\r\nnew\r\n"},     {"", "new\r\n"},
    };
    TLocaleOverride locale;
    for (const auto& c : cases) {
        TTempDir dir;
        const QString path = dir.WriteFile(QStringLiteral("log.txt"), c.m_aBefore);
        EXPECT_TRUE(AppendLineToFile(QStringLiteral("new"), path));
        EXPECT_EQ(ReadAll(path), c.m_aAfter) << c.m_aBefore.toStdString();
    }
}

TEST(AppendLine, AWriterWaitingWhileTheFileIsReplacedWritesToTheNewFile) {
    // A rewrite holds the append lock while it renames the new file over the old one; a writer that
    // waited on the lock must put its line into the file now at the path, not into the replaced one.
    TLocaleOverride locale;
    TTempDir dir;
    const QString path = dir.WriteFile(QStringLiteral("log.txt"), "old\r\n");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t pid = -1;
    {
        TLockedLineFile rewriter(path, O_RDWR);
        ASSERT_GE(rewriter.Handle(), 0);
        ASSERT_TRUE(rewriter.Locked());
        pid = ::fork();
        if (pid == 0) {
            ::close(ready[0]);
            const char go = 'g';
            [[maybe_unused]] const ssize_t sent = ::write(ready[1], &go, 1);
            ::_exit(AppendLineToFile(QStringLiteral("appended"), path) ? 0 : 1);
        }
        ::close(ready[1]);
        char got = 0;
        ASSERT_EQ(::read(ready[0], &got, 1), 1);
        ::close(ready[0]);
        // Give the writer the time to reach the lock and wait on it: without the wait the test still
        // passes, it only exercises less.
        ::usleep(200 * 1000);
        WriteFileAtomically(path, "new\r\n");
    } // the lock is released here
    int status = -1;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadAll(path), QByteArray("new\r\nappended\r\n"));
}
