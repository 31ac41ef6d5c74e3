// The settings dialog's copy of the settings: taken from the document and written back in one update,
// and the conversions of its controls (pulse durations in seconds, font size text).

#include "frontdesk/uSettingsCopy.h"

#include "base/uLocale.h"
#include "frontdesk/uTarvoDoc.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Tarvo;

namespace {

// Every setting the copy carries, set away from its default.
void SetEverything(TTarvoDoc& ADoc) {
    ADoc.SetLanguage(1049);
    ADoc.SetPopupFontName(QStringLiteral("DejaVu Sans"));
    ADoc.SetPopupFontSize(14);
    ADoc.SetPopupMax(4);
    ADoc.SetPopupTimeOut(12);
    ADoc.SetNDS(20);
    ADoc.SetLogFileFormat(1);
    ADoc.SetLogFilePeriod(2);
    ADoc.SetTariffication(TARIF_HOUR);
    ADoc.SetEntrance(1.5L);
    ADoc.SetMinAmount(7);
    ADoc.SetAccPrice(-2);
    ADoc.SetOverdueCost(3.25L);
    ADoc.SetDayCost(99);
    ADoc.SetAutoPrintRep(true);
    ADoc.SetPrinter(QStringLiteral("Desk"));
    ADoc.SetCardRegMin(1500);
    TKorvelOutputsArray lOutputs{};
    lOutputs[1].m_nKorvelOutputs = 4;
    lOutputs[1].m_nKorvelInit = 8;
    lOutputs[1].m_aKorvelTimes = {100, 200, 250, 30000};
    ADoc.SetKorvelOutputs(lOutputs);
    ADoc.SetKorvelWiegand(true);
    ADoc.SetCamSource(2);
    ADoc.SetWebCamera(QStringLiteral("cam"));
    ADoc.SetWebcamMode(3);
    ADoc.SetWebcamNumShots(5);
    ADoc.SetWebcamInterval(700);
    ADoc.SetVIServer(QStringLiteral("http://vi:8080"));
    ADoc.SetVILogin(QStringLiteral("op"));
    ADoc.SetVIPasswMd5(QStringLiteral("0123456789ABCDEF0123456789ABCDEF"));
    ADoc.SetVICamera(QStringLiteral("cam1"));
    ADoc.SetVICameraTitle(QStringLiteral("Entrance"));
    ADoc.SetVITimeOffs(-5);
    ADoc.SetVIStepViewing(250);
    ADoc.SetVIReqTimeOut(9000);
}

} // namespace

// A copy taken from one document and stored into another makes the two agree on every setting, with
// one notification carrying all the change bits; storing it again changes nothing.
TEST(TSettingsCopyTest, CopiesEverySettingInOneUpdate) {
    TTarvoDoc lSource;
    SetEverything(lSource);
    TSettingsCopy lCopy;
    lCopy.LoadFromDoc(lSource);

    TTarvoDoc lTarget;
    int lChanges = 0;
    std::uint32_t lMask = 0;
    lTarget.SetOnChange([&](TDocUpdate& ADoc) {
        ++lChanges;
        lMask = ADoc.ChangeMask();
    });
    lCopy.StoreToDoc(lTarget);
    EXPECT_EQ(lChanges, 1);
    EXPECT_EQ(lMask, DCH_MODIFIED | DCH_READER | DCH_LANGUAGE | DCH_REPORT | DCH_TOTALS | DCH_POPUP |
                         DCH_CAMERA | DCH_VI | DCH_KORVEL_OUTPUTS | DCH_KORVEL_WIEGAND | DCH_REPVIEW);
    EXPECT_TRUE(lTarget.Modifyed());

    TSettingsCopy lBack;
    lBack.LoadFromDoc(lTarget);
    EXPECT_EQ(lBack.m_nLanguage, 1049u);
    EXPECT_EQ(lBack.m_sFontName, QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(lBack.m_nFontSize, 14);
    EXPECT_EQ(lBack.m_nPopupMax, 4);
    EXPECT_EQ(lBack.m_nPopupTimeOut, 12u);
    EXPECT_EQ(lBack.m_dNDS, 20);
    EXPECT_EQ(lBack.m_nLogFileFormat, 1);
    EXPECT_EQ(lBack.m_nLogFilePeriod, 2);
    EXPECT_EQ(lBack.m_nTU, TARIF_HOUR);
    EXPECT_EQ(lBack.m_nEntrance, 1.5L);
    EXPECT_EQ(lBack.m_nMinAmount, 7);
    EXPECT_EQ(lBack.m_nAccPrice, -2);
    EXPECT_EQ(lBack.m_nOverdueCost, 3.25L);
    EXPECT_EQ(lBack.m_nDayCost, 99);
    EXPECT_TRUE(lBack.m_fAutoPrintRep);
    EXPECT_EQ(lBack.m_sPrinter, QStringLiteral("Desk"));
    EXPECT_EQ(lBack.m_nCardRegMin, 1500u);
    EXPECT_EQ(lBack.m_aKorvelOutputs, lSource.KorvelOutputs());
    EXPECT_TRUE(lBack.m_fKorvelWiegand);
    EXPECT_EQ(lBack.m_nCamSource, 2);
    EXPECT_EQ(lBack.m_sWebCamera, QStringLiteral("cam"));
    EXPECT_EQ(lBack.m_nWebcamMode, 3);
    EXPECT_EQ(lBack.m_nWebcamNumShots, 5);
    EXPECT_EQ(lBack.m_nWebcamInterval, 700u);
    EXPECT_EQ(lBack.m_sVIServer, QStringLiteral("http://vi:8080"));
    EXPECT_EQ(lBack.m_sVILogin, QStringLiteral("op"));
    EXPECT_EQ(lBack.m_sVIPasswMd5, QStringLiteral("0123456789ABCDEF0123456789ABCDEF"));
    EXPECT_EQ(lBack.m_sVICamera, QStringLiteral("cam1"));
    EXPECT_EQ(lBack.m_sVICameraTitle, QStringLiteral("Entrance"));
    EXPECT_EQ(lBack.m_nVITimeOffs, -5);
    EXPECT_EQ(lBack.m_nVIStepViewing, 250);
    EXPECT_EQ(lBack.m_nVIReqTimeOut, 9000u);

    lTarget.SetModifyedFlag(false);
    lChanges = 0;
    lBack.StoreToDoc(lTarget);
    EXPECT_EQ(lChanges, 0) << "an unchanged copy reports nothing";
    EXPECT_FALSE(lTarget.Modifyed());
}

// One changed value gives only its own bits.
TEST(TSettingsCopyTest, OneChangeReportsOnlyItsBits) {
    TTarvoDoc lDoc;
    SetEverything(lDoc);
    lDoc.SetModifyedFlag(false);
    TSettingsCopy lCopy;
    lCopy.LoadFromDoc(lDoc);
    lCopy.m_fKorvelWiegand = false;
    std::uint32_t lMask = 0;
    lDoc.SetOnChange([&](TDocUpdate& ADoc) { lMask = ADoc.ChangeMask(); });
    lCopy.StoreToDoc(lDoc);
    EXPECT_EQ(lMask, DCH_MODIFIED | DCH_READER | DCH_KORVEL_WIEGAND);
    EXPECT_FALSE(lDoc.KorvelWiegand());
}

TEST(TSettingsCopyTest, DurationSecondsBecomeWholeMilliseconds) {
    struct TCase {
        Extended m_dSeconds;
        std::uint32_t m_nMs;
    };
    const TCase lCases[] = {
        {0.25L, 250},
        {30.0L, 30000},
        {0.1L, 100},
        {3, 3000},
        {0.0019L, 1}, // truncated, not rounded
        {0.0005L, 0},
        {0, 0},
        {-1, 0},
        {1e12L, std::numeric_limits<std::uint32_t>::max()},
        {std::numeric_limits<Extended>::quiet_NaN(), 0},
    };
    for (const TCase& lCase : lCases)
        EXPECT_EQ(DurationSecToMs(lCase.m_dSeconds), lCase.m_nMs) << double(lCase.m_dSeconds);

    // Typed decimals are held a hair below their value; none may lose a millisecond (8.03 is held as
    // 8.02999..., which plain truncation turns into 8029).
    TLocaleOverride lLocale;
    for (int lCentis = 10; lCentis <= 3000; ++lCentis) {
        const QString lText = QString::number(lCentis / 100) + QLatin1Char('.') +
                              QStringLiteral("%1").arg(lCentis % 100, 2, 10, QLatin1Char('0'));
        ASSERT_EQ(DurationSecToMs(StrToFloat(lText)), std::uint32_t(lCentis) * 10) << lText.toStdString();
    }
    EXPECT_EQ(DurationMsToSec(250), 0.25L);
    EXPECT_EQ(DurationSecToMs(DurationMsToSec(8030)), 8030u);
}

TEST(TSettingsCopyTest, FontSizeOfText) {
    struct TCase {
        const char* m_sText;
        std::int32_t m_nSize;
    };
    const TCase lCases[] = {{"12", 12}, {" 36 ", 36}, {"", 0}, {"big", 0}, {"12pt", 0}, {"-3", -3}};
    for (const TCase& lCase : lCases)
        EXPECT_EQ(FontSizeOfText(QString::fromUtf8(lCase.m_sText)), lCase.m_nSize) << lCase.m_sText;
}

TEST(TSettingsCopyTest, OutputBits) {
    EXPECT_TRUE(KorvelOutputBit(0b0101, 0));
    EXPECT_FALSE(KorvelOutputBit(0b0101, 1));
    EXPECT_TRUE(KorvelOutputBit(0b0101, 2));
    EXPECT_FALSE(KorvelOutputBit(0xFFFFFFFF, 32));
    EXPECT_FALSE(KorvelOutputBit(0xFFFFFFFF, -1));
}
