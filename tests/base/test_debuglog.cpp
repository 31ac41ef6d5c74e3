// The debug log: header once per log object, time-stamped lines, failures, writers on several threads.
#include "base/uDebugLog.h"
#include "base/uFileVersion.h"
#include "base/uVersionMark.h"
#include "tests/common/TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

QList<QByteArray> Lines(const QString& APath) {
    QFile file(APath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    bytes.chop(1); // the last "\n": every line then ends with "\r"
    return bytes.split('\n');
}

TEST(DebugLog, HeaderOncePerLogThenStampedLines) {
    TLocaleOverride locale;
    TFixedClock clock(MakeDateTime(2024, 3, 5, 9, 5, 3, 42));
    TTempDir dir;
    const QString path = dir.FilePath(QStringLiteral("Tarvo.log"));
    {
        TLogWritten log(path);
        EXPECT_EQ(log.FileName(), path);
        EXPECT_FALSE(QFileInfo::exists(path)); // nothing is written before the first line
        log.SetReaderVersionFunc([] { return PackVersion(3, 29, 7, 1); });
        EXPECT_TRUE(log.Write(QLatin1Char('E'), QStringLiteral("abc")));
        clock.AdvanceMs(3600 * 1000 + 1);
        EXPECT_TRUE(log.Write(QLatin1Char('I'), QStringLiteral("100% done")));
    }
    TLogWritten again(path);
    EXPECT_TRUE(again.Write(QLatin1Char('W'), QString()));

    const QList<QByteArray> lines = Lines(path);
    ASSERT_EQ(lines.size(), 5);
    const std::uint32_t own = CompiledVersionPacked();
    const QByteArray tarvo = QStringLiteral("(Tarvo v%1.%2.%3, OrvReader v3.29.7, OS v")
                                 .arg(own & 0xFF)
                                 .arg(own >> 8 & 0xFF)
                                 .arg(own >> 16 & 0xFF)
                                 .toLatin1();
    EXPECT_TRUE(lines[0].startsWith("Log ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(tarvo)) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].endsWith(")\r")) << lines[0].toStdString();
    EXPECT_EQ(lines[1], QByteArray("09:05:03.042 [E] abc\r"));
    EXPECT_EQ(lines[2], QByteArray("10:05:03.043 [I] 100% done\r"));
    EXPECT_TRUE(lines[3].startsWith("Log ") && lines[3].contains("OrvReader v0.0.0,")); // reader unknown
    EXPECT_EQ(lines[4], QByteArray("10:05:03.043 [W] \r"));
}

TEST(DebugLog, AFailedWriteIsReportedAndCreatesNothing) {
    TTempDir dir;
    const QString path = dir.FilePath(QStringLiteral("gone/Tarvo.log"));
    TLogWritten log(path);
    QString error;
    EXPECT_FALSE(log.Write(QLatin1Char('E'), QStringLiteral("x"), &error));
    EXPECT_TRUE(error.contains(path));
    EXPECT_FALSE(log.Write(QLatin1Char('E'), QStringLiteral("y")));
    EXPECT_FALSE(QFileInfo::exists(dir.FilePath(QStringLiteral("gone"))));
}

TEST(DebugLog, WritersOnSeveralThreadsKeepLinesWhole) {
    TTempDir dir;
    const QString path = dir.FilePath(QStringLiteral("Tarvo.log"));
    TLogWritten log(path);
    const int threads = 4, perThread = 40;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([&log, t] {
            for (int i = 0; i < perThread; ++i)
                log.Write(QLatin1Char('T'), QStringLiteral("thread %1 line %2 ").arg(t).arg(i) +
                                                QString(200, QLatin1Char('x')));
        });
    for (auto& w : workers)
        w.join();
    const QList<QByteArray> lines = Lines(path);
    ASSERT_EQ(lines.size(), 1 + threads * perThread);
    EXPECT_TRUE(lines[0].startsWith("Log "));
    for (int i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].contains(" [T] thread ")) << i;
        EXPECT_TRUE(lines[i].endsWith(QByteArray(200, 'x') + '\r')) << i;
    }
}

TEST(DebugLog, LivesInTheDataFolder) {
    TTempDir dir;
    qputenv("TARVO_DATA_DIR", QFile::encodeName(dir.Path()));
    EXPECT_EQ(DebugLogPath(), dir.FilePath(QStringLiteral("Tarvo.log")));
    qunsetenv("TARVO_DATA_DIR");
}

} // namespace
