// The front desk's document: setters and change notification, Open/Close/Save, defaults, language
// resolution, the refusal to save over a file that was not read completely, photo archive names.

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uLocale.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace Tarvo;

namespace {

// A function, not a constant: the date functions must not run before the base's statics exist.
TDateTime Now20240310() {
    return EncodeDate(2024, 3, 10) + EncodeTime(14, 30, 5, 0);
}

class TTarvoDocTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_oDir.isValid());
        SetNowFunc(Now20240310);
        SetDecimalSeparator(QLatin1Char('.'));
        SetSystemLangId(1033);
        m_oDoc.SetFileName(FilePath());
        m_oDoc.SetLangDir(m_oDir.filePath(QStringLiteral("Languages")));
        m_oDoc.SetOnChange([this](TDocUpdate& ASender) {
            ++m_nChanges;
            m_nLastMask = ASender.ChangeMask();
        });
    }
    void TearDown() override {
        SetNowFunc({});
        ResetLocaleOverrides();
    }

    QString FilePath() const { return m_oDir.filePath(QStringLiteral("Tarvo.xml")); }
    void WriteDataFile(const QByteArray& ABody) {
        QFile lFile(FilePath());
        ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
        lFile.write("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n" +
                    ABody + "</Tarvo>\r\n");
    }
    QByteArray ReadDataFile() const {
        QFile lFile(FilePath());
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
    }

    QTemporaryDir m_oDir;
    TTarvoDoc m_oDoc;
    int m_nChanges = 0;
    std::uint32_t m_nLastMask = 0;
};

struct TSetterCase {
    const char* m_sName;
    std::function<void(TTarvoDoc&)> m_fnSet; // sets a value that differs from a new document's
    std::uint32_t m_nBits;
};

TKorvelOutputs SomeOutputs() {
    TKorvelOutputs lOut;
    lOut.m_nKorvelOutputs = 0x5;
    lOut.m_nKorvelInit = 0x2;
    lOut.m_aKorvelTimes = {100, 200, 300, 400};
    return lOut;
}

const TSetterCase cSetters[] = {
    {"Language", [](TTarvoDoc& D) { D.SetLanguage(0x419); }, DCH_LANGUAGE},
    {"LogFileFormat", [](TTarvoDoc& D) { D.SetLogFileFormat(1); }, DCH_REPVIEW},
    {"LogFilePeriod", [](TTarvoDoc& D) { D.SetLogFilePeriod(2); }, DCH_REPVIEW},
    {"Tariffication", [](TTarvoDoc& D) { D.SetTariffication(TARIF_HOUR); }, DCH_REPVIEW},
    {"Entrance", [](TTarvoDoc& D) { D.SetEntrance(50); }, 0},
    {"MinAmount", [](TTarvoDoc& D) { D.SetMinAmount(100); }, 0},
    {"AccPrice", [](TTarvoDoc& D) { D.SetAccPrice(-2); }, 0x20C00},
    {"OverdueCost", [](TTarvoDoc& D) { D.SetOverdueCost(3); }, 0},
    {"DayCost", [](TTarvoDoc& D) { D.SetDayCost(900); }, 0},
    {"AutoPrintRep", [](TTarvoDoc& D) { D.SetAutoPrintRep(true); }, 0},
    {"Printer", [](TTarvoDoc& D) { D.SetPrinter(QStringLiteral("Kitchen")); }, 0},
    {"ReaderPort", [](TTarvoDoc& D) { D.SetReaderPort(QStringLiteral("COM3")); }, DCH_READER},
    {"CardRegMin", [](TTarvoDoc& D) { D.SetCardRegMin(1500); }, DCH_READER},
    {"KorvelOutputs",
     [](TTarvoDoc& D) {
         D.SetKorvelOutputs({SomeOutputs(), TKorvelOutputs{}});
     },
     0x08002},
    {"KorvelOutput1", [](TTarvoDoc& D) { D.SetKorvelOutput(1, SomeOutputs()); }, 0x08002},
    {"KorvelWiegand", [](TTarvoDoc& D) { D.SetKorvelWiegand(true); }, 0x10002},
    {"PopupFontName", [](TTarvoDoc& D) { D.SetPopupFontName(QStringLiteral("Arial")); }, DCH_POPUP},
    {"PopupFontSize", [](TTarvoDoc& D) { D.SetPopupFontSize(12); }, DCH_POPUP},
    {"PopupMax", [](TTarvoDoc& D) { D.SetPopupMax(4); }, DCH_POPUP},
    {"PopupTimeOut", [](TTarvoDoc& D) { D.SetPopupTimeOut(9); }, DCH_POPUP},
    {"RcptWinPos",
     [](TTarvoDoc& D) {
         D.SetRcptWinPos({1, 2, 3, 4});
     },
     0},
    {"NDS", [](TTarvoDoc& D) { D.SetNDS(18); }, 0},
    {"CamSource", [](TTarvoDoc& D) { D.SetCamSource(2); }, DCH_CAMERA},
    {"ArchScale", [](TTarvoDoc& D) { D.SetArchScale(50); }, DCH_CAMERA},
    {"ArchWinPos",
     [](TTarvoDoc& D) {
         D.SetArchWinPos({0, 0, 640, 480});
     },
     DCH_CAMERA},
    {"WebCamera", [](TTarvoDoc& D) { D.SetWebCamera(QStringLiteral("USB cam")); }, DCH_CAMERA},
    {"WebcamMode", [](TTarvoDoc& D) { D.SetWebcamMode(2); }, DCH_CAMERA},
    {"WebcamNumShots", [](TTarvoDoc& D) { D.SetWebcamNumShots(5); }, DCH_CAMERA},
    {"WebcamInterval", [](TTarvoDoc& D) { D.SetWebcamInterval(250); }, DCH_CAMERA},
    {"VIServer", [](TTarvoDoc& D) { D.SetVIServer(QStringLiteral("http://vi:8080")); }, DCH_VI},
    {"VILogin", [](TTarvoDoc& D) { D.SetVILogin(QStringLiteral("bob")); }, DCH_VI},
    {"VIPasswMd5", [](TTarvoDoc& D) { D.SetVIPasswMd5(QStringLiteral("abc")); }, DCH_VI},
    {"VICamera", [](TTarvoDoc& D) { D.SetVICamera(QStringLiteral("c1")); }, DCH_VI},
    {"VICameraTitle", [](TTarvoDoc& D) { D.SetVICameraTitle(QStringLiteral("Door")); }, DCH_VI},
    {"VITimeOffs", [](TTarvoDoc& D) { D.SetVITimeOffs(-30); }, DCH_VI},
    {"VIStepViewing", [](TTarvoDoc& D) { D.SetVIStepViewing(250); }, DCH_VI},
    {"VIReqTimeOut", [](TTarvoDoc& D) { D.SetVIReqTimeOut(5000); }, DCH_VI},
};

} // namespace

// Each setter reports its own bits and marks the document modified; the same value again does nothing.
TEST_F(TTarvoDocTest, SettersReportTheirBitsOnceAndIgnoreEqualValues) {
    for (const TSetterCase& lCase : cSetters) {
        SCOPED_TRACE(lCase.m_sName);
        TTarvoDoc lDoc;
        int lChanges = 0;
        std::uint32_t lMask = 0;
        lDoc.SetOnChange([&](TDocUpdate& ASender) {
            ++lChanges;
            lMask = ASender.ChangeMask();
        });

        lCase.m_fnSet(lDoc);
        EXPECT_EQ(lChanges, 1);
        EXPECT_EQ(lMask, lCase.m_nBits | DCH_MODIFIED);
        EXPECT_TRUE(lDoc.Modifyed());

        lDoc.SetModifyedFlag(false);
        lChanges = 0;
        lDoc.BeginUpdate();
        lCase.m_fnSet(lDoc);
        EXPECT_EQ(lDoc.ChangeMask(), 0u);
        lDoc.EndUpdate();
        EXPECT_EQ(lChanges, 0);
        EXPECT_FALSE(lDoc.Modifyed());
    }
}

TEST_F(TTarvoDocTest, TwoSettersInOneUpdateGiveOneChangeWithBothBits) {
    m_oDoc.BeginUpdate();
    m_oDoc.SetPopupMax(3);
    m_oDoc.SetCamSource(1);
    EXPECT_EQ(m_nChanges, 0);
    m_oDoc.EndUpdate();
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_nLastMask, DCH_POPUP | DCH_CAMERA | DCH_MODIFIED);

    // Already modified: a setter without bits of its own raises nothing.
    m_oDoc.SetNDS(20);
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_oDoc.NDS(), 20);
}

TEST_F(TTarvoDocTest, KorvelOutputIndexMustBeZeroOrOne) {
    m_oDoc.SetKorvelOutput(0, SomeOutputs());
    EXPECT_EQ(m_oDoc.GetKorvelOutput(0), SomeOutputs());
    EXPECT_EQ(m_oDoc.GetKorvelOutput(1), TKorvelOutputs{});
    EXPECT_THROW(m_oDoc.GetKorvelOutput(2), EAssertionFailed);
    EXPECT_THROW(m_oDoc.GetKorvelOutput(-1), EAssertionFailed);
    EXPECT_THROW(m_oDoc.SetKorvelOutput(2, SomeOutputs()), EAssertionFailed);
}

TEST_F(TTarvoDocTest, OpenWithoutDataFileGivesTheDefaults) {
    m_oDoc.SetPopupMax(99); // SetDefaults must take it back
    m_nChanges = 0;
    m_oDoc.Open();

    EXPECT_EQ(m_oDoc.Tariffication(), TARIF_MINUTE);
    EXPECT_EQ(m_oDoc.WebcamMode(), -1);
    EXPECT_EQ(m_oDoc.WebcamNumShots(), 3);
    EXPECT_EQ(m_oDoc.WebcamInterval(), 500u);
    EXPECT_EQ(m_oDoc.ArchScale(), 100);
    EXPECT_EQ(m_oDoc.VIStepViewing(), 100);
    EXPECT_EQ(m_oDoc.VIReqTimeOut(), 30000u);
    EXPECT_EQ(m_oDoc.PopupFontName(), QStringLiteral("Calibri"));
    EXPECT_EQ(m_oDoc.PopupFontSize(), 20);
    EXPECT_EQ(m_oDoc.PopupMax(), 10);
    EXPECT_EQ(m_oDoc.PopupTimeOut(), 7u);
    EXPECT_EQ(m_oDoc.MaxLevel(), 10);
    EXPECT_EQ(m_oDoc.TZs().Count(), 0);
    EXPECT_EQ(m_oDoc.Cards().Count(), 0);
    EXPECT_EQ(m_oDoc.VIServer(), QLatin1String(VI_DEFAULT_SERVER));
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 10));
    TDateTime lFrom = -1, lTo = -1;
    bool lAllDay = true;
    m_oDoc.GetRecentBooking(lFrom, lTo, lAllDay);
    EXPECT_EQ(lFrom, EncodeDate(2024, 3, 10));
    EXPECT_EQ(lTo, EncodeDate(2024, 3, 10));
    EXPECT_FALSE(lAllDay);
    EXPECT_FALSE(m_oDoc.Modifyed());
    EXPECT_FALSE(m_oDoc.LoadFailed());
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_nLastMask & (DCH_LANGUAGE | DCH_READER | DCH_REPORT), DCH_LANGUAGE | DCH_READER | DCH_REPORT);
    EXPECT_FALSE(QFile::exists(FilePath())); // opening creates nothing
}

TEST_F(TTarvoDocTest, NestedOpenOnlyCountsAndCloseMatchesIt) {
    m_oDoc.Open();
    m_oDoc.SetPopupMax(4);
    m_oDoc.Open(); // does not reload: the change stays
    EXPECT_EQ(m_oDoc.OpenRef(), 2);
    EXPECT_EQ(m_oDoc.PopupMax(), 4);
    m_oDoc.Close();
    m_oDoc.Close();
    EXPECT_EQ(m_oDoc.OpenRef(), 0);
    m_oDoc.Close(); // unmatched: the count must not go below 0, or the next Open would not load
    EXPECT_EQ(m_oDoc.OpenRef(), 0);
    m_oDoc.Open();
    EXPECT_EQ(m_oDoc.PopupMax(), 10);
}

TEST_F(TTarvoDocTest, LanguageNoneChosenIsReplacedByAnInstalledSystemLanguage) {
    ASSERT_TRUE(QDir(m_oDir.path()).mkpath(QStringLiteral("Languages")));
    QFile lLang(m_oDir.filePath(QStringLiteral("Languages/Tarvo-ru.lng")));
    ASSERT_TRUE(lLang.open(QIODevice::WriteOnly));
    lLang.write("[Global]\r\nTitle=Russian\r\nLangId=0419\r\n");
    lLang.close();

    struct TCase {
        QByteArray m_sMain;
        std::uint32_t m_nSystem;
        std::uint32_t m_nExpected;
    } const cCases[] = {
        {"\t<Main language=\"7F\"/>\r\n", 1049, 0x419},   // installed: taken
        {"\t<Main/>\r\n", 1049, 0x419},                   // missing attribute reads as 127
        {"\t<Main language=\"7F\"/>\r\n", 1031, 127},     // no German file: stays 127
        {"\t<Main language=\"0407\"/>\r\n", 1049, 0x407}, // a chosen language is kept
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sMain.constData());
        SetSystemLangId(lCase.m_nSystem);
        WriteDataFile(lCase.m_sMain);
        TTarvoDoc lDoc;
        lDoc.SetFileName(FilePath());
        lDoc.SetLangDir(m_oDoc.LangDir());
        lDoc.Open();
        EXPECT_EQ(lDoc.Language(), lCase.m_nExpected);
    }
}

// A bad stored time stops the reading: the caller gets the error, the update has ended, the document is
// not open, what was read before the error stays.
TEST_F(TTarvoDocTest, OpenPassesReadingErrorsOnAndStaysClosed) {
    WriteDataFile("\t<Camera source=\"2\"/>\r\n"
                  "\t<Main language=\"0419\">\r\n\t\t<StartDayTime>24:00</StartDayTime>\r\n\t</Main>\r\n"
                  "\t<Popup fontName=\"Arial\"/>\r\n");
    EXPECT_THROW(m_oDoc.Open(), EConvertError);
    EXPECT_EQ(m_oDoc.OpenRef(), 0);
    EXPECT_EQ(m_oDoc.UpdateDepth(), 0);
    EXPECT_TRUE(m_oDoc.LoadFailed());
    EXPECT_EQ(m_oDoc.LoadError(),
              QStringLiteral("The data file \"%1\" could not be read: Main/StartDayTime has the "
                             "text \"24:00\" (Invalid argument to time encode).")
                  .arg(FilePath()));
    EXPECT_EQ(m_oDoc.CamSource(), 2);
    EXPECT_EQ(m_oDoc.Language(), 0x419u);
    EXPECT_EQ(m_oDoc.PopupFontName(), QString()); // after the error: never read

    // The update has ended: the next change is reported at once.
    const int lChanges = m_nChanges;
    m_oDoc.SetArchScale(7);
    EXPECT_EQ(m_nChanges, lChanges + 1);
}

// Saving after a failed load would write the defaults of the unread settings over the operator's:
// refused unless the caller passes the operator's consent.
TEST_F(TTarvoDocTest, SaveRefusesToOverwriteAFileThatWasNotReadCompletely) {
    WriteDataFile("\t<Main>\r\n\t\t<StartDayTime>06:75</StartDayTime>\r\n\t</Main>\r\n"
                  "\t<Popup fontName=\"Arial\" fontSize=\"14\"/>\r\n");
    const QByteArray lBefore = ReadDataFile();
    EXPECT_THROW(m_oDoc.Open(), EConvertError);
    m_oDoc.SetPrinter(QStringLiteral("Front"));

    try {
        m_oDoc.Save();
        FAIL() << "Save went through";
    } catch (const EDataFileIncomplete& E) {
        EXPECT_TRUE(E.Message().contains(QStringLiteral("could not be read completely"))) << E.what();
        EXPECT_TRUE(E.Message().contains(FilePath()));
    }
    EXPECT_EQ(ReadDataFile(), lBefore);
    EXPECT_TRUE(m_oDoc.Modifyed());

    m_oDoc.Save(true);
    EXPECT_FALSE(m_oDoc.LoadFailed());
    EXPECT_FALSE(m_oDoc.Modifyed());
    EXPECT_TRUE(ReadDataFile().contains("<Printer>Front</Printer>"));
    m_oDoc.Save(); // the file is now what the document holds: no consent needed any more

    // A later complete load clears the flag as well.
    WriteDataFile("\t<Main>\r\n\t\t<StartDayTime>25:00</StartDayTime>\r\n\t</Main>\r\n");
    TTarvoDoc lDoc;
    lDoc.SetFileName(FilePath());
    EXPECT_THROW(lDoc.Open(), EConvertError);
    WriteDataFile("\t<Main>\r\n\t\t<StartDayTime>05:00</StartDayTime>\r\n\t</Main>\r\n");
    lDoc.Open();
    EXPECT_FALSE(lDoc.LoadFailed());
    EXPECT_EQ(lDoc.StartDay(), EncodeTime(5, 0, 0, 0));
    lDoc.Save();
}

TEST_F(TTarvoDocTest, SaveWithoutFileNameIsAProgrammingError) {
    TTarvoDoc lDoc;
    EXPECT_THROW(lDoc.Save(), EAssertionFailed);
}

TEST_F(TTarvoDocTest, SaveErrorLeavesTheDocumentModified) {
    m_oDoc.SetFileName(m_oDir.filePath(QStringLiteral("missing/folder/Tarvo.xml")));
    m_oDoc.SetNDS(18);
    EXPECT_THROW(m_oDoc.Save(), EInOutError);
    EXPECT_TRUE(m_oDoc.Modifyed());
    EXPECT_EQ(m_oDoc.UpdateDepth(), 0);
}

TEST_F(TTarvoDocTest, ReportDateFollowsTheStartOfDay) {
    WriteDataFile("\t<Main>\r\n\t\t<StartDayTime>15:00</StartDayTime>\r\n\t</Main>\r\n");
    m_oDoc.Open(); // now is 14:30: still the business day before
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 9));
    EXPECT_EQ(TTarvoDoc::_GetRepDateForTime(EncodeDate(2024, 3, 10) + EncodeTime(6, 0, 0, 0),
                                            EncodeTime(6, 0, 0, 0)),
              EncodeDate(2024, 3, 10));
    EXPECT_EQ(TTarvoDoc::PriceToStr(12.5, -2), QStringLiteral("12.50"));
}

TEST_F(TTarvoDocTest, ArchivePhotoNames) {
    struct TCase {
        TDateTime m_dtTime;
        const char* m_sName;
    } const cCases[] = {
        {EncodeDate(2024, 3, 10) + EncodeTime(14, 30, 5, 123), "10032024-143005.123.jpg"},
        {EncodeDate(2024, 3, 10) + EncodeTime(14, 30, 5, 7), "10032024-143005.7.jpg"},
        {EncodeDate(2024, 12, 1) + EncodeTime(0, 0, 0, 0), "01122024-000000.0.jpg"},
        // Rounded to the millisecond, date and time agree: the next day at midnight, not hour 24.
        {EncodeDate(2024, 3, 10) + (MSecsPerDay - 0.4) / MSecsPerDay, "11032024-000000.0.jpg"},
    };
    const QString lPhotoDir = m_oDir.filePath(QStringLiteral("Photo"));
    for (const TCase& lCase : cCases)
        EXPECT_EQ(m_oDoc.GetArchFotoPath(lCase.m_dtTime, false),
                  lPhotoDir + QLatin1Char('/') + lCase.m_sName);
    EXPECT_FALSE(QDir(lPhotoDir).exists());

    EXPECT_EQ(m_oDoc.GetArchFotoDir(true), lPhotoDir);
    EXPECT_TRUE(QDir(lPhotoDir).exists());

    // A file in the way of the folder is reported.
    QFile lBlocker(m_oDir.filePath(QStringLiteral("sub")));
    ASSERT_TRUE(lBlocker.open(QIODevice::WriteOnly));
    lBlocker.close();
    m_oDoc.SetFileName(m_oDir.filePath(QStringLiteral("sub/Tarvo.xml")));
    EXPECT_THROW(m_oDoc.GetArchFotoPath(Now20240310(), true), EInOutError);
}
