#include "base/uExceptions.h"
#include "base/uMemXml.h"
#include "base/uSafeFile.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray ReadAll(const QString& AFileName) {
    QFile oFile(AFileName);
    if (!oFile.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return oFile.readAll();
}

// Every entry of the folder except "." and "..", hidden ones included.
QStringList FolderEntries(const QString& AFolder) {
    QStringList aEntries =
        QDir(AFolder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    aEntries.sort();
    return aEntries;
}

// A pid that belonged to a process that has ended and been reaped.
pid_t DeadPid() {
    const pid_t nPid = fork();
    if (nPid == 0)
        _exit(0);
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    return nPid;
}

// A data file shaped document with AItems cards.
void FillDocument(TMemXml& VXml, int AItems) {
    VXml.RootNode().SetNodeAttr(u"version"_qs, u"1.0"_qs);
    VXml.RootNode().SetNodeAttr(u"encoding"_qs, u"utf-8"_qs);
    TMXNodeList& aCards = VXml.RootNode().ChildNodes().FindNode(u"Tarvo\\Cards"_qs, true)->ChildNodes();
    for (int i = 0; i < AItems; ++i) {
        TMXNode* pItem = aCards.AddNode(u"Item"_qs + QString::number(i));
        pItem->SetNodeAttr(u"KeyNum"_qs, QString::number(0x1000000 + i, 16));
        pItem->SetNodeAttr(u"User"_qs, u"Guest number "_qs + QString::number(i));
    }
}

} // namespace

TEST(SafeFile, KilledWriterLeavesOldOrNewDocument) {
    const TTempDir oDir;
    const QString sFile = oDir.FilePath(u"Tarvo.xml"_qs);

    TMemXml oBig{QString(), TXmlEncoding::Utf8};
    FillDocument(oBig, 6000);
    oBig.Rename(sFile, false);
    TMemXml oSmall{QString(), TXmlEncoding::Utf8};
    FillDocument(oSmall, 1);
    oSmall.Rename(sFile, false);

    // The complete forms of both documents, and how long one save of each takes here.
    using TClock = std::chrono::steady_clock;
    std::chrono::nanoseconds aSaveTime[2] = {};
    for (int i = 0; i < 3; ++i) {
        const auto tStart = TClock::now();
        oBig.UpdateFile();
        const auto tMiddle = TClock::now();
        oSmall.UpdateFile();
        aSaveTime[0] += (tMiddle - tStart) / 3;
        aSaveTime[1] += (TClock::now() - tMiddle) / 3;
    }
    oBig.UpdateFile();
    const QByteArray aBig = ReadAll(sFile);
    oSmall.UpdateFile();
    const QByteArray aSmall = ReadAll(sFile);
    ASSERT_GT(aBig.size(), 300000);
    ASSERT_LT(aSmall.size(), 1000);
    const QByteArray aOriginal = "<?xml?>\r\n<Tarvo/>\r\n";
    oDir.WriteFile(u"Tarvo.xml"_qs, aOriginal);

    // Each child saves the big and the small document in turn and reports every completed save on a
    // pipe. Run n is killed during save n % 3 of its child (the first big, the first small or the
    // second big one), at a point spread over 0 to 125% of that save's duration as measured in earlier
    // children, so the kills fall into every step of a save and just after it.
    std::mt19937 oRandom(12345);
    const int nRuns = 200;
    int nSeenOriginal = 0, nSeenBig = 0, nSeenSmall = 0;
    for (int nRun = 0; nRun < nRuns; ++nRun) {
        int aPipe[2];
        ASSERT_EQ(pipe(aPipe), 0);
        const pid_t nChild = fork();
        ASSERT_GE(nChild, 0);
        if (nChild == 0) {
            close(aPipe[0]);
            const char cSignal = 's';
            if (write(aPipe[1], &cSignal, 1) != 1)
                _exit(3);
            try {
                for (int k = 0;; ++k) {
                    (k % 2 == 0 ? oBig : oSmall).UpdateFile();
                    if (write(aPipe[1], &cSignal, 1) != 1)
                        _exit(3);
                }
            } catch (...) {
                _exit(2);
            }
        }
        close(aPipe[1]);
        const int nSavesBefore = nRun % 3;
        char cSignal = 0;
        bool fOk = read(aPipe[0], &cSignal, 1) == 1;
        auto tLast = TClock::now();
        for (int j = 0; fOk && j < nSavesBefore; ++j) {
            fOk = read(aPipe[0], &cSignal, 1) == 1;
            const auto tNow = TClock::now();
            aSaveTime[j % 2] = (aSaveTime[j % 2] * 3 + (tNow - tLast)) / 4;
            tLast = tNow;
        }
        const auto tKill = tLast + aSaveTime[nSavesBefore % 2] * int(oRandom() % 126) / 100;
        while (TClock::now() < tKill) {
        }
        kill(nChild, SIGKILL);
        close(aPipe[0]);
        int nStatus = 0;
        ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
        ASSERT_TRUE(fOk && WIFSIGNALED(nStatus)) << "the writer stopped by itself in run " << nRun;

        const QByteArray aNow = ReadAll(sFile);
        if (aNow == aOriginal)
            ++nSeenOriginal;
        else if (aNow == aBig)
            ++nSeenBig;
        else if (aNow == aSmall)
            ++nSeenSmall;
        else
            FAIL() << "run " << nRun << ": the file holds " << aNow.size() << " bytes of neither document";
    }
    RecordProperty("BigSaveMicroseconds", int(aSaveTime[0].count() / 1000));
    RecordProperty("SmallSaveMicroseconds", int(aSaveTime[1].count() / 1000));
    RecordProperty("KilledBeforeFirstSave", nSeenOriginal);
    RecordProperty("FoundBig", nSeenBig);
    RecordProperty("FoundSmall", nSeenSmall);
    // The kills landed before, between and after complete saves.
    EXPECT_GT(nSeenBig, 0);
    EXPECT_GT(nSeenSmall, 0);
    EXPECT_EQ(nSeenOriginal + nSeenBig + nSeenSmall, nRuns);

    // Killed writers may have left their temporary files; they are hidden, never read, and the next
    // save removes them because their processes are gone.
    QStringList aEntries = FolderEntries(oDir.Path());
    aEntries.removeAll(u"Tarvo.xml"_qs);
    for (const QString& sEntry : aEntries)
        EXPECT_TRUE(sEntry.startsWith(u".Tarvo.xml."_qs) && sEntry.endsWith(u".tmp"_qs))
            << sEntry.toStdString();
    RecordProperty("LeftoverTempFiles", int(aEntries.size()));
    oSmall.UpdateFile();
    EXPECT_EQ(FolderEntries(oDir.Path()), QStringList{u"Tarvo.xml"_qs});
    EXPECT_EQ(ReadAll(sFile), aSmall);
}

TEST(SafeFile, FailedSaveRaisesAndKeepsTheOldFile) {
    const TTempDir oDir;
    const QByteArray aOld = "old content";
    const QString sPlainFile = oDir.WriteFile(u"plain.txt"_qs, aOld);
    const QString sFolderTarget = oDir.FilePath(u"folder.xml"_qs);
    ASSERT_TRUE(QDir().mkpath(sFolderTarget + u"/inside"_qs));

    const struct {
        const char* sWhat;
        QString sTarget;
        const char* sReason;
    } aCases[] = {
        {"missing folder", oDir.FilePath(u"missing/Tarvo.xml"_qs), "No such file or directory"},
        {"folder is a file", sPlainFile + u"/Tarvo.xml"_qs, "Not a directory"},
        {"target is a folder", sFolderTarget, "Is a directory"},
        {"empty name", QString(), "No such file or directory"},
    };
    for (const auto& c : aCases) {
        TMemXml oXml{QString(), TXmlEncoding::Utf8};
        oXml.RootNode().AddNode(u"Tarvo"_qs);
        oXml.Rename(c.sTarget, false);
        try {
            oXml.UpdateFile();
            ADD_FAILURE() << c.sWhat << ": no error";
        } catch (const EInOutError& e) {
            EXPECT_TRUE(e.Message().contains(QDir::toNativeSeparators(c.sTarget)))
                << c.sWhat << ": " << e.what();
            EXPECT_TRUE(e.Message().contains(QString::fromLatin1(c.sReason))) << c.sWhat << ": " << e.what();
        }
    }
    EXPECT_EQ(ReadAll(sPlainFile), aOld);
    EXPECT_TRUE(QFileInfo(sFolderTarget + u"/inside"_qs).isDir());
    // Nothing half-written stays behind.
    EXPECT_EQ(FolderEntries(oDir.Path()), QStringList({u"folder.xml"_qs, u"plain.txt"_qs}));
}

TEST(SafeFile, ReadOnlyFolderKeepsTheOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "folder permissions do not bind the superuser";
    const TTempDir oDir;
    const QString sFile = oDir.WriteFile(u"ro/Tarvo.xml"_qs, "old");
    const QString sFolder = QFileInfo(sFile).absolutePath();
    ASSERT_EQ(chmod(QFile::encodeName(sFolder).constData(), 0555), 0);
    EXPECT_THROW(WriteFileAtomically(sFile, "new"), EInOutError);
    chmod(QFile::encodeName(sFolder).constData(), 0755);
    EXPECT_EQ(ReadAll(sFile), "old");
    EXPECT_EQ(FolderEntries(sFolder), QStringList{u"Tarvo.xml"_qs});
}

TEST(SafeFile, WriteFailingMidwayRemovesTheTemporaryFile) {
    // A file size limit makes the write fail part way, as a full disk would; it runs in a child so
    // that the limit does not bind the test program.
    const TTempDir oDir;
    const QByteArray aOld = "old content";
    const QString sFile = oDir.WriteFile(u"Tarvo.xml"_qs, aOld);
    const pid_t nChild = fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit oLimit{4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &oLimit) != 0)
            _exit(10);
        try {
            WriteFileAtomically(sFile, QByteArray(100000, 'x'));
            _exit(11);
        } catch (const EInOutError& e) {
            _exit(e.Message().contains(u"Tarvo.xml") && e.Message().contains(u"File too large") ? 0 : 12);
        } catch (...) {
            _exit(13);
        }
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(nChild, &nStatus, 0), nChild);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0);
    EXPECT_EQ(ReadAll(sFile), aOld);
    EXPECT_EQ(FolderEntries(oDir.Path()), QStringList{u"Tarvo.xml"_qs});
}

TEST(SafeFile, KeepsModeAndFollowsLinks) {
    const TTempDir oDir;
    const QString sFile = oDir.WriteFile(u"Tarvo.xml"_qs, "old");
    const QByteArray aFile = QFile::encodeName(sFile);
    ASSERT_EQ(chmod(aFile.constData(), 0640), 0);
    WriteFileAtomically(sFile, "new");
    struct stat oStat;
    ASSERT_EQ(stat(aFile.constData(), &oStat), 0);
    EXPECT_EQ(oStat.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(sFile), "new");

    // A new file gets the mode any new file gets under the umask.
    const mode_t nMask = umask(022);
    umask(nMask);
    const QString sNew = oDir.FilePath(u"new.xml"_qs);
    WriteFileAtomically(sNew, "");
    ASSERT_EQ(stat(QFile::encodeName(sNew).constData(), &oStat), 0);
    EXPECT_EQ(oStat.st_mode & 07777, 0666u & ~nMask);
    EXPECT_EQ(ReadAll(sNew), "");

    // Saving through a link updates the file it points to and keeps the link.
    const QString sLink = oDir.FilePath(u"link.xml"_qs);
    ASSERT_TRUE(QFile::link(sFile, sLink));
    WriteFileAtomically(sLink, "through the link");
    EXPECT_TRUE(QFileInfo(sLink).isSymLink());
    EXPECT_EQ(ReadAll(sFile), "through the link");
}

TEST(SafeFile, RemovesOnlyTemporaryFilesOfEndedProcesses) {
    const TTempDir oDir;
    const QString sFile = oDir.WriteFile(u"Tarvo.xml"_qs, "old");
    const QString sDead = u".Tarvo.xml.%1.abc123.tmp"_qs.arg(DeadPid());
    const QString sLive = u".Tarvo.xml.%1.abc123.tmp"_qs.arg(getppid());
    const QStringList aKept = {u".Other.xml.%1.abc123.tmp"_qs.arg(DeadPid()),
                               u".Tarvo.xml.%1.abc123.tmp.bak"_qs.arg(DeadPid()),
                               u".Tarvo.xml.x%1.abc123.tmp"_qs.arg(DeadPid()), u"Tarvo.xml.bak"_qs};
    oDir.WriteFile(sDead, "partial");
    oDir.WriteFile(sLive, "in progress");
    for (const QString& sName : aKept)
        oDir.WriteFile(sName, "unrelated");
    WriteFileAtomically(sFile, "new");
    QStringList aExpected = aKept + QStringList{sLive, u"Tarvo.xml"_qs};
    aExpected.sort();
    EXPECT_EQ(FolderEntries(oDir.Path()), aExpected);
}
