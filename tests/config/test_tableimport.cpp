// Zone and card tables in and out of the configuration document, through CSV and both workbook kinds:
// which rows are taken, how their fields read, what stops an import, and export then import giving the
// lists back.
#include "config/uTableImport.h"

#include "base/uKeyNum.h"
#include "sheet/uSheetTable.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using namespace ConfigTarvo;

namespace {

const char* const cKinds[] = {"csv", "xlsx", "ods"};

class TableImportTest : public ::testing::Test {
protected:
    // ARows written as a file of kind AKind and read back, as an import reads it.
    TTextRows ThroughFile(const TTextRows& ARows, const char* AKind) {
        const QString lPath = m_oDir.FilePath(QStringLiteral("table.") + QString::fromLatin1(AKind));
        WriteTableFile(lPath, ARows, QStringLiteral("Table"));
        return ReadTableFile(lPath);
    }
    QString Zones() const {
        QStringList lOut;
        for (int i = 0; i < m_oDoc.TZs().Count(); ++i) {
            const TTarvoTimeZone& z = *m_oDoc.TZs().GetZone(i);
            int h = 0, m = 0, s = 0, ms = 0;
            DecodeTime(z.m_tStartTime, h, m, s, ms);
            lOut << QStringLiteral("%1@%2:%3=%4/%5")
                        .arg(z.m_sName)
                        .arg(h, 2, 10, QLatin1Char('0'))
                        .arg(m, 2, 10, QLatin1Char('0'))
                        .arg(double(z.m_nBaseCost))
                        .arg(double(z.m_nMinCost));
        }
        return lOut.join(QLatin1Char(' '));
    }
    QString Cards() const {
        QStringList lOut;
        for (int i = 0; i < m_oDoc.Cards().Count(); ++i) {
            const TCard& c = *m_oDoc.Cards().GetCard(i);
            lOut << QStringLiteral("[%1|%2|%3|%4]")
                        .arg(KeyNumToStr(c.m_Number, KEYVIEW_HEX), c.m_sUserName)
                        .arg(c.m_nLevel)
                        .arg(c.m_sComment);
        }
        return lOut.join(QLatin1Char(' '));
    }

    TTempDir m_oDir;
    TLocaleOverride m_oLocale;
    TTarvoDoc m_oDoc;
};

TEST_F(TableImportTest, ZoneRowsInEveryFileKind) {
    const struct {
        const char* m_pWhat;
        TTextRows m_aRows;
        const char* m_pZones;
    } cCases[] = {
        {"header skipped",
         {{"#", "Zone Name", "Start time", "Base", "Min"},
          {"1", "Day", "08:00", "3", "2"},
          {"2", "Evening", "20:00", "5.5", "4"}},
         "Day@08:00=3/2 Evening@20:00=5.5/4"},
        {"a first row with a number is data", {{"7", "Night", "22:00", "1", "0.5"}}, "Night@22:00=1/0.5"},
        {"loose times and costs",
         {{"#", "a", "b", "c", "d"}, {"1", "Short", "9:5", "x", ""}, {"2", "Dotted", "09.30", "2", "1"}},
         "Short@09:05=0/0 Dotted@00:00=2/1"},
        {"an empty row is a zone without name",
         {{"#", "n", "t", "b", "m"}, {"", "", "", "", ""}, {"3", "Z", "01:00", "1", "1"}},
         "@00:00=0/0 Z@01:00=1/1"},
        {"duplicates are taken",
         {{"1", "A", "10:00", "1", "1"}, {"2", "A", "10:00", "1", "1"}},
         "A@10:00=1/1 A@10:00=1/1"},
        {"one column imports nothing", {{"#"}, {"1"}, {"2"}}, ""},
    };
    for (const char* lKind : cKinds)
        for (const auto& c : cCases) {
            SCOPED_TRACE(testing::Message() << lKind << ": " << c.m_pWhat);
            m_oDoc.AddTimeZone(QStringLiteral("old"), 0, 1, 1);
            ImportTimeZones(m_oDoc, ThroughFile(c.m_aRows, lKind));
            EXPECT_EQ(Zones(), QString::fromLatin1(c.m_pZones));
        }
}

TEST_F(TableImportTest, ATimeOutsideTheDayStopsTheImportNamingTheRow) {
    for (const char* lKind : cKinds) {
        SCOPED_TRACE(lKind);
        const TTextRows lRows = ThroughFile({{"#", "n", "t", "b", "m"},
                                             {"1", "Early", "06:00", "1", "1"},
                                             {"2", "Late", "24:00", "1", "1"},
                                             {"3", "Never", "07:00", "1", "1"}},
                                            lKind);
        try {
            ImportTimeZones(m_oDoc, lRows);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& E) {
            EXPECT_TRUE(E.Message().contains(QStringLiteral("Row 3"))) << E.Message().toStdString();
        }
        EXPECT_EQ(Zones(), QStringLiteral("Early@06:00=1/1")); // the rows before the error stay
    }
}

TEST_F(TableImportTest, CardRowsInEveryFileKind) {
    const TTextRows lRows = {{"#", "Key", "User name", "Level", "Comment"},
                             {"1", "00AB12", "Ann; Lee", "3 stars", "window \"seat\""},
                             {"2", "XYZ", "not hex", "1", "skipped"},
                             {"3", "", "no key", "x", ""},
                             {"4", "0d", "Bob", "-2", "=1+1"}};
    for (const char* lKind : cKinds) {
        SCOPED_TRACE(lKind);
        m_oDoc.AddCard(MakeKeyNum({0x01}), QStringLiteral("old"), QString(), 0);
        EXPECT_EQ(ImportCards(m_oDoc, ThroughFile(lRows, lKind)), 3);
        EXPECT_EQ(Cards(),
                  QStringLiteral("[00AB12|Ann; Lee|3|window \"seat\"] [|no key|0|] [0D|Bob|-2|=1+1]"));
    }
}

TEST_F(TableImportTest, ExportThenImportGivesTheListsBack) {
    m_oDoc.AddTimeZone(QStringLiteral("Day"), EncodeTime(8, 0, 0, 0), 3, 2);
    m_oDoc.AddTimeZone(QStringLiteral("Evening"), EncodeTime(20, 30, 0, 0), 5.25L, 4);
    m_oDoc.AddCard(MakeKeyNum({0x12, 0xAB, 0x00}), QStringLiteral("Ann"), QStringLiteral("vip"), 2);
    m_oDoc.AddCard(MakeKeyNum({0x0D}), QString(), QStringLiteral("no name"), 0);
    const QString lZones = Zones(), lCards = Cards();
    for (const char* lKind : cKinds) {
        SCOPED_TRACE(lKind);
        const TTextRows lZoneRows = ThroughFile(TzExportRows(m_oDoc, TzListCaptions()), lKind);
        ASSERT_EQ(lZoneRows.size(), 3u);
        EXPECT_EQ(lZoneRows[0], TzListCaptions());
        const TTextRows lCardRows = ThroughFile(CardExportRows(m_oDoc, CardListCaptions()), lKind);
        ImportTimeZones(m_oDoc, lZoneRows);
        ImportCards(m_oDoc, lCardRows);
        EXPECT_EQ(Zones(), lZones);
        EXPECT_EQ(Cards(), lCards);
    }
}

TEST_F(TableImportTest, AnImportIsOneChangeAndCancelStopsAtTheNextRow) {
    int lChanges = 0;
    m_oDoc.SetOnChange([&](TDocUpdate&) { ++lChanges; });
    int lAsked = 0;
    const int lTaken =
        ImportCards(m_oDoc, {{"1", "0A"}, {"2", "0B"}, {"3", "0C"}}, [&] { return ++lAsked > 2; });
    EXPECT_EQ(lTaken, 2);
    EXPECT_EQ(lChanges, 1);
}

} // namespace
