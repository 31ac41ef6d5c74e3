// The photo archive: names read back to the millisecond, the nearest-photo choice, the viewer's
// caption and scroll range, loading of bad files, pruning by the days to keep, the owner-only folder
// and the days to keep in the data file.

#include "frontdesk/uPhotoArchive.h"

#include "frontdesk/uTarvoDoc.h"
#include "tests/common/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace Tarvo;

namespace {

TDateTime Jan1(int AHour, int AMin, int ASec, int AMSec) {
    return MakeDateTime(2025, 1, 1, AHour, AMin, ASec, AMSec);
}

QByteArray SmallJpeg(int AWidth = 16, int AHeight = 12) {
    QImage lImage(AWidth, AHeight, QImage::Format_RGB32);
    lImage.fill(qRgb(200, 40, 40));
    QByteArray lBytes;
    QBuffer lBuffer(&lBytes);
    lBuffer.open(QIODevice::WriteOnly);
    QImageWriter lWriter(&lBuffer, "jpeg");
    lWriter.setQuality(90);
    EXPECT_TRUE(lWriter.write(lImage)) << lWriter.errorString().toStdString();
    return lBytes;
}

// A small JPEG whose frame header claims AWidth x AHeight: the header reads as that size, the data
// behind it is far too short.
QByteArray JpegClaiming(int AWidth, int AHeight) {
    QByteArray lBytes = SmallJpeg();
    for (int i = 0; i + 8 < lBytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(lBytes[i + 1]);
        if (static_cast<unsigned char>(lBytes[i]) == 0xFF && (b == 0xC0 || b == 0xC1 || b == 0xC2)) {
            lBytes[i + 5] = static_cast<char>(AHeight >> 8);
            lBytes[i + 6] = static_cast<char>(AHeight & 0xFF);
            lBytes[i + 7] = static_cast<char>(AWidth >> 8);
            lBytes[i + 8] = static_cast<char>(AWidth & 0xFF);
            return lBytes;
        }
    }
    ADD_FAILURE() << "no frame header in the JPEG";
    return lBytes;
}

TEST(PhotoArchiveNames, ReadBackToTheMillisecond) {
    struct TCase {
        const char* m_sName;
        bool m_fValid;
        TDateTime m_dtTime;
    } const cCases[] = {
        {"01012025-075959.950", true, Jan1(7, 59, 59, 950)},
        {"01012025-080000.0", true, Jan1(8, 0, 0, 0)},
        {"01012025-080000.07", true, Jan1(8, 0, 0, 7)},
        {"31122024-235959.999", true, MakeDateTime(2024, 12, 31, 23, 59, 59, 999)},
        // The separators are not checked.
        {"01012025x080000y5", true, Jan1(8, 0, 0, 5)},
        {"01012025-080000.", false, 0},     // no milliseconds: 16 characters
        {"01012025-080000.1000", false, 0}, // four digits of milliseconds
        {"32012025-080000.0", false, 0},    // day 32
        {"29022025-080000.0", false, 0},    // 2025 is no leap year
        {"01012025-240000.0", false, 0},    // hour 24
        {"01012025-086000.0", false, 0},    // minute 60
        {"0101202a-080000.0", false, 0},    // letter in the year
        {"01012025-08 000.0", false, 0},    // blank in the minutes
        {"01012025-080000.-1", false, 0},   // sign in the milliseconds
        {"photo", false, 0},
        {"", false, 0},
    };
    for (const TCase& lCase : cCases) {
        TDateTime lTime = -1;
        EXPECT_EQ(ArchFotoNameToTime(QLatin1String(lCase.m_sName), lTime), lCase.m_fValid) << lCase.m_sName;
        if (lCase.m_fValid) {
            EXPECT_TRUE(SameDateTimeMs(lTime, lCase.m_dtTime)) << lCase.m_sName;
        }
    }
}

TEST(PhotoArchiveNames, TheDocumentsNamesListBackInOrder) {
    TTempDir lDir;
    TTarvoDoc lDoc;
    lDoc.SetFileName(lDir.FilePath(QStringLiteral("Tarvo.xml")));
    const TDateTime cTimes[] = {Jan1(8, 0, 0, 0), Jan1(7, 59, 59, 950), Jan1(10, 0, 0, 7)};
    for (TDateTime lTime : cTimes) {
        QFile lFile(lDoc.GetArchFotoPath(lTime, true));
        ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(QFileInfo(lDoc.GetArchFotoPath(Jan1(7, 59, 59, 950), false)).fileName(),
              QStringLiteral("01012025-075959.950.jpg"));
    EXPECT_EQ(QFileInfo(lDoc.GetArchFotoPath(Jan1(8, 0, 0, 0), false)).fileName(),
              QStringLiteral("01012025-080000.0.jpg"));
    // Names off the pattern, other extensions and folders are not photos.
    const QString lPhoto = lDoc.GetArchFotoDir(false);
    lDir.WriteFile(QStringLiteral("Photo/notes.jpg"), "x");
    lDir.WriteFile(QStringLiteral("Photo/01012025-090000.0.png"), "x");
    lDir.WriteFile(QStringLiteral("Photo/01012025-090000.0.jpg.bak"), "x");
    ASSERT_TRUE(QDir(lPhoto).mkdir(QStringLiteral("01012025-093000.0.jpg")));

    const std::vector<TDateTime> lFotos = ListArchFotos(lPhoto);
    ASSERT_EQ(lFotos.size(), 3u);
    EXPECT_TRUE(SameDateTimeMs(lFotos[0], Jan1(7, 59, 59, 950)));
    EXPECT_TRUE(SameDateTimeMs(lFotos[1], Jan1(8, 0, 0, 0)));
    EXPECT_TRUE(SameDateTimeMs(lFotos[2], Jan1(10, 0, 0, 7)));
}

TEST(PhotoArchiveFolder, MissingOrAFileListsNothing) {
    TTempDir lDir;
    EXPECT_TRUE(ListArchFotos(lDir.FilePath(QStringLiteral("Photo"))).empty());
    const QString lFile = lDir.WriteFile(QStringLiteral("Photo"), "not a folder");
    EXPECT_TRUE(ListArchFotos(lFile).empty());

    TTarvoDoc lDoc;
    lDoc.SetFileName(lDir.FilePath(QStringLiteral("Tarvo.xml")));
    EXPECT_THROW(lDoc.GetArchFotoPath(Jan1(8, 0, 0, 0), true), EInOutError);
    EXPECT_EQ(PruneArchFotos(lFile, 1, Jan1(8, 0, 0, 0)).m_nDeleted, 0);
}

TEST(PhotoArchiveFolder, CreatedForItsOwnerOnly) {
    TTempDir lDir;
    TTarvoDoc lDoc;
    lDoc.SetFileName(lDir.FilePath(QStringLiteral("data/Tarvo.xml")));
    const QString lPhoto = lDoc.GetArchFotoDir(true);
    struct stat lStat {};
    ASSERT_EQ(::stat(QFile::encodeName(lPhoto).constData(), &lStat), 0);
    EXPECT_EQ(lStat.st_mode & 0777, 0700u);
    EXPECT_TRUE(QFileInfo(lDir.FilePath(QStringLiteral("data"))).isDir());
}

TEST(PhotoArchiveChoice, NearestPhotoWithinTheMomentsSecond) {
    const std::vector<TDateTime> cFotos = {Jan1(10, 0, 0, 100), Jan1(10, 0, 0, 600), Jan1(10, 0, 1, 100)};
    struct TCase {
        const char* m_sWhat;
        std::vector<TDateTime> m_aFotos;
        TDateTime m_dtAsked;
        int m_nIndex;
        TDateTime m_dtFile;
    } const cCases[] = {
        {"exact third", cFotos, Jan1(10, 0, 1, 100), 2, Jan1(10, 0, 1, 100)},
        {"exact first", cFotos, Jan1(10, 0, 0, 100), 0, Jan1(10, 0, 0, 100)},
        // The whole second of a list row: the nearest photo is 10:00:00.100, which rounds to it.
        {"whole second", cFotos, Jan1(10, 0, 0, 0), 0, Jan1(10, 0, 0, 100)},
        // 10:00:01 lies 400 ms after .600 and 100 ms before 1.100: the later one is nearer.
        {"next is nearer", cFotos, Jan1(10, 0, 1, 0), 2, Jan1(10, 0, 1, 100)},
        // After all photos: the last is the candidate; 10:00:01 is not 10:00:05, so 10:00:05's own file.
        {"after all", cFotos, Jan1(10, 0, 5, 0), 2, Jan1(10, 0, 5, 0)},
        // Before all photos, within no photo's second.
        {"before all", cFotos, Jan1(9, 0, 0, 0), 0, Jan1(9, 0, 0, 0)},
        // Equally near: the later photo is taken (the earlier must be strictly nearer).
        {"tie", {Jan1(10, 0, 0, 0), Jan1(10, 0, 0, 200)}, Jan1(10, 0, 0, 100), 1, Jan1(10, 0, 0, 100)},
        {"earlier strictly nearer",
         {Jan1(9, 59, 59, 900), Jan1(10, 0, 0, 300)},
         Jan1(10, 0, 0, 0),
         0,
         Jan1(9, 59, 59, 900)},
    };
    for (const TCase& lCase : cCases) {
        const TArchFotoChoice lChoice = ChooseArchFoto(lCase.m_aFotos, lCase.m_dtAsked);
        EXPECT_EQ(lChoice.m_nIndex, lCase.m_nIndex) << lCase.m_sWhat;
        EXPECT_TRUE(lChoice.m_fHasFile) << lCase.m_sWhat;
        EXPECT_TRUE(SameDateTimeMs(lChoice.m_dtFile, lCase.m_dtFile)) << lCase.m_sWhat;
    }
    const TArchFotoChoice lNone = ChooseArchFoto({}, Jan1(10, 0, 0, 0));
    EXPECT_FALSE(lNone.m_fHasFile);
    EXPECT_EQ(lNone.m_nIndex, 0);
}

TEST(PhotoArchiveViewerTexts, CaptionAndTime) {
    const TDateTime lIn = MakeDateTime(2025, 1, 1, 23, 10, 5);
    struct TCase {
        TDateTime m_dtIn, m_dtOut;
        const char* m_sCaption;
    } const cCases[] = {
        {lIn, MakeDateTime(2025, 1, 1, 23, 50, 0), "Archive photo [01.01.2025 23:10:05 / 23:50:00]"},
        {lIn, MakeDateTime(2025, 1, 2, 0, 20, 0),
         "Archive photo [01.01.2025 23:10:05 / 02.01.2025 00:20:00]"},
        {lIn, 0, "Archive photo [01.01.2025 23:10:05 / -]"},
        {0, MakeDateTime(2025, 1, 2, 0, 20, 0), "Archive photo [- / 02.01.2025 00:20:00]"},
        {0, 0, "Archive photo [- / -]"},
    };
    for (const TCase& lCase : cCases)
        EXPECT_EQ(ArchFotoCaption(QStringLiteral("Archive photo"), lCase.m_dtIn, lCase.m_dtOut),
                  QLatin1String(lCase.m_sCaption));
    EXPECT_EQ(ArchFotoTimeText(Jan1(7, 59, 59, 950)), QStringLiteral("01.01.2025 07:59:59.950"));
    EXPECT_EQ(ArchFotoTimeText(Jan1(8, 0, 0, 7)), QStringLiteral("01.01.2025 08:00:00.007"));
}

TEST(PhotoArchiveViewerTexts, ScrollRange) {
    EXPECT_FALSE(ArchFileScrollRange(0).m_fVisible);
    const TArchScrollRange lFiles = ArchFileScrollRange(3);
    EXPECT_TRUE(lFiles.m_fVisible);
    EXPECT_EQ(lFiles.m_nMin, 0);
    EXPECT_EQ(lFiles.m_nMax, 2);
    struct TCase {
        int m_nStep, m_nMax;
    } const cCases[] = {{100, 600}, {0, 600}, {-5, 600}, {250, 240}, {1000, 60}, {60000, 1}, {2000000000, 0}};
    for (const TCase& lCase : cCases) {
        const TArchScrollRange lRange = ArchServerScrollRange(lCase.m_nStep);
        EXPECT_EQ(lRange.m_nMin, -lCase.m_nMax) << lCase.m_nStep;
        EXPECT_EQ(lRange.m_nMax, lCase.m_nMax) << lCase.m_nStep;
    }
}

TEST(PhotoArchiveLoad, BadFilesGiveNoPhoto) {
    TTempDir lDir;
    const QByteArray lGood = SmallJpeg(16, 12);
    struct TCase {
        const char* m_sName;
        QByteArray m_aBytes;
        bool m_fLoads;
    } const cCases[] = {
        {"good.jpg", lGood, true},
        {"empty.jpg", QByteArray(), false},
        {"text.jpg", "this is not a photo", false},
        {"header-only.jpg", lGood.left(4), false},
        {"huge.jpg", JpegClaiming(30000, 30000), false},
        // Over the pixel cap but within what Qt's own reader would allocate by default.
        {"large.jpg", JpegClaiming(4500, 4500), false},
    };
    for (const TCase& lCase : cCases) {
        const QString lPath = lDir.WriteFile(QLatin1String(lCase.m_sName), lCase.m_aBytes);
        QString lError;
        const QImage lImage = LoadArchFoto(lPath, &lError);
        EXPECT_EQ(!lImage.isNull(), lCase.m_fLoads) << lCase.m_sName;
        if (lCase.m_fLoads) {
            EXPECT_EQ(lImage.size(), QSize(16, 12));
        } else {
            EXPECT_FALSE(lError.isEmpty()) << lCase.m_sName;
        }
    }
    EXPECT_TRUE(LoadArchFoto(lDir.FilePath(QStringLiteral("missing.jpg"))).isNull());
    EXPECT_TRUE(LoadArchFoto(lDir.Path()).isNull()); // a folder
}

TEST(PhotoArchivePrune, OlderThanTheDaysToKeep) {
    TTempDir lDir;
    const QString lPhoto = lDir.FilePath(QStringLiteral("Photo"));
    const TDateTime lNow = MakeDateTime(2025, 1, 10, 12, 0, 0);
    lDir.WriteFile(QStringLiteral("Photo/01012025-120000.0.jpg"), "old");   // 9 days
    lDir.WriteFile(QStringLiteral("Photo/07012025-115959.999.jpg"), "old"); // just over 3 days
    lDir.WriteFile(QStringLiteral("Photo/07012025-120000.0.jpg"), "kept");  // exactly 3 days
    lDir.WriteFile(QStringLiteral("Photo/10012025-110000.0.jpg"), "kept");
    lDir.WriteFile(QStringLiteral("Photo/holiday.jpg"), "kept"); // not an archive name
    lDir.WriteFile(QStringLiteral("Photo/01012020-120000.0.txt"), "kept");

    EXPECT_EQ(PruneArchFotos(lPhoto, 0, lNow).m_nDeleted, 0); // 0 keeps all
    EXPECT_EQ(QDir(lPhoto).entryList(QDir::Files).size(), 6);

    const TArchPruneResult lResult = PruneArchFotos(lPhoto, 3, lNow);
    EXPECT_EQ(lResult.m_nDeleted, 2);
    EXPECT_EQ(lResult.m_nFailed, 0);
    QStringList lLeft = QDir(lPhoto).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(lLeft, QStringList({"01012020-120000.0.txt", "07012025-120000.0.jpg", "10012025-110000.0.jpg",
                                  "holiday.jpg"}));
}

TEST(PhotoArchiveSetting, KeepDaysInTheDataFile) {
    TTempDir lDir;
    const QString lFile =
        lDir.WriteFile(QStringLiteral("Tarvo.xml"),
                       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
                       "\t<Camera source=\"1\">\r\n\t\t<WebCam camera=\"Cam A\" mode=\"2\" "
                       "numShots=\"4\"/>\r\n\t</Camera>\r\n"
                       "\t<Cards>\r\n\t\t<Card key=\"0A0B0C\" name=\"Anna\"/>\r\n\t</Cards>\r\n</Tarvo>\r\n");
    {
        TTarvoDoc lDoc;
        lDoc.SetFileName(lFile);
        lDoc.LoadFromFile(lFile);
        EXPECT_EQ(lDoc.KeepPhotoDays(), 0); // the default keeps all
        lDoc.SetKeepPhotoDays(14);
        EXPECT_TRUE(lDoc.Modifyed());
        lDoc.SaveToFile(lFile);
    }
    QFile lRead(lFile);
    ASSERT_TRUE(lRead.open(QIODevice::ReadOnly));
    const QByteArray lText = lRead.readAll();
    EXPECT_TRUE(lText.contains("<KeepPhotos days=\"14\"")) << lText.constData();
    EXPECT_TRUE(lText.contains("Anna")); // the configuration program's part stays
    {
        TTarvoDoc lDoc;
        lDoc.LoadFromFile(lFile);
        EXPECT_EQ(lDoc.KeepPhotoDays(), 14);
        EXPECT_EQ(lDoc.WebCamera(), QStringLiteral("Cam A"));
        EXPECT_EQ(lDoc.WebcamNumShots(), 4);
    }
    // A negative count in a hand-edited file keeps everything rather than everything but today.
    QByteArray lEdited = lText;
    lEdited.replace("days=\"14\"", "days=\"-3\"");
    lDir.WriteFile(QStringLiteral("Tarvo.xml"), lEdited);
    TTarvoDoc lDoc;
    lDoc.LoadFromFile(lFile);
    EXPECT_EQ(lDoc.KeepPhotoDays(), 0);
}

} // namespace
