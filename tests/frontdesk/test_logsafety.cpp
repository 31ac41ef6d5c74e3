// The day's files when things go wrong: a comment rewrite that cannot be written whole leaves the old
// log untouched (a full disk, a write cut short anywhere), and a visit whose report line was lost is
// written again from the log at the next start.
#include "tests/frontdesk/DayLogFixture.h"

#include "base/uExceptions.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Tarvo;

namespace {

TDateTime Mar5(int AHour, int AMin, int ASec = 0, int AMSec = 0) {
    return MakeDateTime(2020, 3, 5, AHour, AMin, ASec, AMSec);
}

class TLogSafetyTest : public TDayLogTest {
protected:
    // A morning: John in 08:02, Ann in 09:00 and out 10:30, Bob in 11:00 (milliseconds as real cards
    // give them).
    std::unique_ptr<TTarvoDoc> Morning() {
        auto lDoc = OpenDoc();
        const struct {
            TDateTime m_dtTime;
            int m_nCard;
        } cEvents[] = {{Mar5(8, 2, 0, 250), JOHN},
                       {Mar5(9, 0, 0, 10), ANN},
                       {Mar5(10, 30, 0, 500), ANN},
                       {Mar5(11, 0, 0, 990), BOB}};
        for (const auto& e : cEvents) {
            m_oClock.Set(e.m_dtTime);
            lDoc->FireCard(lDoc->Cards().GetCard(e.m_nCard)->m_Number);
        }
        return lDoc;
    }

    QString LogPath(const TTarvoDoc& ADoc) const { return ADoc.GetLogPath(ADoc.ReportDate(), false); }
};

TEST_F(TLogSafetyTest, ARewriteCutShortAnywhereLeavesTheOldLogWhole) {
    // Every size at which writing could stop, from nothing to the whole new file: a file size limit in a
    // child makes the write fail there, as a disk that fills up does.
    auto lDoc = Morning();
    const QString lPath = LogPath(*lDoc);
    const QByteArray lOld = ReadAll(lPath);
    const QString lComment = QStringLiteral("a long comment about the guest at the window table");
    // The rewritten file, made once by a child; then the old one is put back.
    const auto lRewriteInChild = [&](qint64 ALimit) {
        const pid_t lPid = ::fork();
        if (lPid == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            if (ALimit >= 0) {
                const struct rlimit lRl = {rlim_t(ALimit), rlim_t(ALimit)};
                ::setrlimit(RLIMIT_FSIZE, &lRl);
            }
            try {
                lDoc->SetLogItemComment(Mar5(9, 0, 0, 10), lComment);
            } catch (const EInOutError&) {
                ::_exit(3); // told to the caller, as it must be
            }
            ::_exit(0);
        }
        int lStatus = -1;
        if (::waitpid(lPid, &lStatus, 0) != lPid || !WIFEXITED(lStatus))
            return -1;
        return WEXITSTATUS(lStatus);
    };
    ASSERT_EQ(lRewriteInChild(-1), 0);
    const QByteArray lNew = ReadAll(lPath);
    m_oDir.WriteFile(QStringLiteral("Logs/L05032020.log"), lOld);
    ASSERT_GT(lNew.size(), lOld.size());
    for (qint64 lLimit = 0; lLimit < lNew.size(); lLimit += lLimit < lOld.size() - 8 ? 16 : 1) {
        EXPECT_EQ(lRewriteInChild(lLimit), 3) << "limit " << lLimit << ": the failure was not raised";
        ASSERT_EQ(ReadAll(lPath), lOld) << "limit " << lLimit;
    }
    // No temporary file is left for the log folder's readers.
    EXPECT_EQ(QDir(QFileInfo(lPath).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    // And with room enough the rewrite goes through.
    lDoc->SetLogItemComment(Mar5(9, 0, 0, 10), lComment);
    EXPECT_EQ(ReadAll(lPath), lNew);
}

// A small file system of its own for the data folder; only root may mount one.
class TSmallDisk {
public:
    TSmallDisk(const QString& APath, const char* ASize) : m_sPath(QFile::encodeName(APath)) {
        const QByteArray lOptions = QByteArray("size=") + ASize;
        m_fMounted = ::mount("tarvo-test", m_sPath.constData(), "tmpfs", 0, lOptions.constData()) == 0;
    }
    ~TSmallDisk() {
        if (m_fMounted)
            ::umount2(m_sPath.constData(), MNT_DETACH);
    }
    bool Mounted() const { return m_fMounted; }

private:
    QByteArray m_sPath;
    bool m_fMounted = false;
};

TEST_F(TLogSafetyTest, ACommentEditOnAFullDiskKeepsTheDayAndTheNextLineWhole) {
    TSmallDisk lDisk(m_oDir.Path(), "256k");
    if (!lDisk.Mounted())
        GTEST_SKIP() << "a small file system needs root: " << std::strerror(errno);
    auto lDoc = Morning();
    const QString lPath = LogPath(*lDoc);
    const QByteArray lOld = ReadAll(lPath);
    // Fill the disk to its last byte.
    {
        QFile lFiller(m_oDir.FilePath(QStringLiteral("filler")));
        ASSERT_TRUE(lFiller.open(QIODevice::WriteOnly));
        const QByteArray lBlock(4096, 'x');
        while (lFiller.write(lBlock) == lBlock.size() && lFiller.flush()) {
        }
        const QByteArray lByte(1, 'x');
        while (lFiller.write(lByte) == 1 && lFiller.flush()) {
        }
    }
    EXPECT_THROW(lDoc->SetLogItemComment(Mar5(8, 2, 0, 250), QString(200, QLatin1Char('c'))), EInOutError);
    EXPECT_EQ(ReadAll(lPath), lOld);

    // Room again: the next check-in goes on a line of its own and the restart finds every guest.
    QFile::remove(m_oDir.FilePath(QStringLiteral("filler")));
    m_oClock.Set(Mar5(11, 30));
    lDoc->FireCard(lDoc->Cards().GetCard(ANN)->m_Number);
    EXPECT_TRUE(ReadAll(lPath).endsWith(lOld + "11:30:00 [in] Ann, 1\r\n")) << ReadAll(lPath).toStdString();
    lDoc.reset();
    auto lAgain = OpenDoc();
    EXPECT_EQ(lAgain->InUsers().Count(), 3);
    EXPECT_EQ(lAgain->LogList().Count(), 5);
}

TEST_F(TLogSafetyTest, AVisitMissingFromTheReportFileIsRestoredAtStart) {
    // The program ended after the out-line of Ann's second visit and before its report line.
    m_oDir.WriteFile(QStringLiteral("Tarvo.xml"),
                     DataFileText(0, 0).replace("<Main>", "<Main><AccPrice>-2</AccPrice>"));
    {
        auto lDoc = Morning();
        m_oClock.Set(Mar5(11, 10));
        lDoc->FireCard(lDoc->Cards().GetCard(ANN)->m_Number);
        m_oClock.Set(Mar5(11, 40));
        lDoc->FireCard(lDoc->Cards().GetCard(ANN)->m_Number);
    }
    const QString lReport = m_oDir.FilePath(QStringLiteral("Report/R05032020.log"));
    const QByteArray lFull = ReadAll(lReport);
    const QList<QByteArray> lLines = lFull.split('\n');
    ASSERT_EQ(lLines.size(), 3); // two visit lines and the empty rest after the last line end
    QFile lCut(lReport);
    ASSERT_TRUE(lCut.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lCut.write(lLines.at(0) + '\n');
    lCut.close();

    QStringList lDebug;
    auto lDoc = std::make_unique<TTarvoDoc>();
    lDoc->SetFileName(DataFile());
    lDoc->SetOnWriteError([this](const QString& AMessage) { m_aErrors << AMessage; });
    lDoc->SetOnDebugMessage([&](const QString& AMessage) { lDebug << AMessage; });
    lDoc->Open();
    EXPECT_EQ(ReadAll(lReport), lFull); // the same line, with its own number
    ASSERT_EQ(lDebug.size(), 1);
    EXPECT_TRUE(lDebug.at(0).contains(QString::fromLatin1(lLines.at(1).trimmed())))
        << lDebug.at(0).toStdString();
    EXPECT_TRUE(m_aErrors.isEmpty());

    // A complete report file is left alone.
    lDoc.reset();
    lDebug.clear();
    lDoc = std::make_unique<TTarvoDoc>();
    lDoc->SetFileName(DataFile());
    lDoc->SetOnDebugMessage([&](const QString& AMessage) { lDebug << AMessage; });
    lDoc->Open();
    EXPECT_EQ(ReadAll(lReport), lFull);
    EXPECT_TRUE(lDebug.isEmpty());
}

TEST_F(TLogSafetyTest, AmountsInTheFilesRoundExactHalvesAwayFromZero) {
    // Whole amounts, as a tariff priced in whole units with an entrance fee of a half gives them.
    auto lDoc = OpenDoc();
    lDoc->SetAccPrice(0);
    TCard* lJohn = lDoc->Cards().GetCard(JOHN);
    const TDateTime t1 = Mar5(10, 0), t2 = Mar5(11, 0);
    lDoc->AddLog(t2, lJohn, false, 10.5L, t2, false, 0, 0, false, false, QString());
    lDoc->AddReport(lJohn, t1, t2, 12.5L, false, 0, 0, false, false);
    EXPECT_TRUE(ReadAll(lDoc->GetLogPath(EncodeDate(2020, 3, 5), false)).endsWith("\"John Smith\", 11\r\n"));
    EXPECT_TRUE(ReadAll(lDoc->GetReportPath(EncodeDate(2020, 3, 5), false)).endsWith("11:00:00 13\r\n"));
    EXPECT_EQ(TTarvoDoc::PriceToStr(10.5L, 0), QStringLiteral("11"));
}

} // namespace
