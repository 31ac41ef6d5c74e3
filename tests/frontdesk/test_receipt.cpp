// The receipt without a window: its rows for plain and booked visits (zones across midnight, stays over
// a day, whole-day and timed bookings with overdue), its total against the amount charged at check-out,
// the charges table, the tax note and the filling of the page template by element id.

#include "frontdesk/uReceipt.h"

#include "base/uKeyNum.h"
#include "base/uLocale.h"
#include "base/uMemXml.h"
#include "frontdesk/uReceiptData.h"
#include "frontdesk/uTarvoDoc.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <tuple>
#include <vector>

using namespace Tarvo;

namespace {

TDateTime At(int ADay, int AHour, int AMin = 0, int ASec = 0) {
    return MakeDateTime(2024, 3, ADay, AHour, AMin, ASec);
}

TDateTime TimeAt(int AHour, int AMin) {
    return EncodeTime(AHour, AMin, 0, 0);
}

// What a row shows: caption, period text (empty without units), units, price and amount.
struct TRowView {
    QString m_sCaption;
    QString m_sPeriod;
    std::int64_t m_nUnits;
    double m_nPrice;
    double m_nSum;
    bool operator==(const TRowView&) const = default;
};

void PrintTo(const TRowView& A, std::ostream* AOut) {
    *AOut << '{' << A.m_sCaption.toStdString() << " | " << A.m_sPeriod.toStdString() << " | " << A.m_nUnits
          << " | " << A.m_nPrice << " | " << A.m_nSum << '}';
}

using TRows = std::vector<TRowView>;

class TReceiptTest : public ::testing::Test {
protected:
    // A day zone from 08:00 at 3 and an evening zone from 20:00 at 5 per unit; one card at level 0 (the
    // highest level is 10, from a second card).
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        TMemXml lXml(QString(), TXmlEncoding::Utf8);
        lXml.SetText(QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">"
            "<Main><StartDayTime>06:00</StartDayTime></Main><TimeZones>"
            "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"1\"/>"
            "<Item2 name=\"Evening\" startTime=\"20:00\" baseCost=\"5\" minCost=\"2\"/></TimeZones>"
            "<Cards><Item1 number=\"0A0B0C\" level=\"0\"/><Item2 number=\"0D\" "
            "level=\"10\"/></Cards></Tarvo>"));
        m_oDoc.LoadFromXml(lXml);
        ASSERT_FALSE(m_oDoc.LoadFailed()) << m_oDoc.LoadError().toStdString();
        m_oDoc.SetTariffication(TARIF_MINUTE);
        m_oDoc.SetAccPrice(0);
        m_oData.m_nReceiptN = 0;
        m_oData.m_Card.m_Number = MakeKeyNum({0x0C, 0x0B, 0x0A});
        m_oData.m_Card.m_sUserName = QStringLiteral("Anna");
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    void Visit(TDateTime AIn, TDateTime AOut) {
        m_oData.m_dtTimeIn = AIn;
        m_oData.m_dtTimeOut = AOut;
    }
    void Book(TDateTime AFrom, TDateTime ATo, bool AAllDay, bool AConst = false) {
        m_oData.m_fReserv = true;
        m_oData.m_dtRFrom = AFrom;
        m_oData.m_dtRTo = ATo;
        m_oData.m_fRAllDay = AAllDay;
        m_oData.m_fRConst = AConst;
    }
    // The amount the check-out charged for m_oData, as the report row holds it.
    Extended Charged() const {
        return m_oDoc.CalcStayAmount(
            m_oData.m_dtTimeIn, m_oData.m_dtTimeOut, m_oData.m_Card.m_nLevel,
            TStayBooking{m_oData.m_fReserv, m_oData.m_dtRFrom, m_oData.m_dtRTo, m_oData.m_fRAllDay});
    }
    TRows Build() {
        m_nTotal = BuildReceiptRows(m_oDoc, m_oData, m_aRecs);
        TRows lRows;
        for (const TRcptRec& lRec : m_aRecs)
            lRows.push_back(TRowView{lRec.m_sCaption,
                                     lRec.m_nTUnits != 0 ? ReceiptRowPeriod(lRec, m_oDoc) : QString(),
                                     lRec.m_nTUnits, double(lRec.m_nPrice), double(lRec.m_nSum)});
        return lRows;
    }

    TLocaleOverride m_oLocale;
    TTarvoDoc m_oDoc;
    TReceiptData m_oData;
    TRcptRecDynArray m_aRecs;
    Extended m_nTotal = -1;
};

// ---- rows of plain visits ----------------------------------------------------------------------------

struct TZoneCase {
    const char* m_sName;
    TTariffication m_nUnit;
    TDateTime m_dtIn;
    TDateTime m_dtOut;
    TRows m_aRows;
};

TEST_F(TReceiptTest, PlainVisitHasOneRowPerZoneWalked) {
    const std::vector<TZoneCase> lCases = {
        {"into the evening zone",
         TARIF_MINUTE,
         At(4, 21, 50),
         At(4, 22, 20),
         {{"", "21:50 - 22:20", 30, 5, 150}}},
        {"across the zone change",
         TARIF_MINUTE,
         At(4, 19, 50),
         At(4, 20, 20),
         {{"", "19:50 - 20:00", 10, 3, 30}, {"", "20:00 - 20:20", 20, 5, 100}}},
        {"over midnight into the day zone",
         TARIF_MINUTE,
         At(4, 3, 0),
         At(4, 9, 0),
         {{"", "03:00 - 08:00", 300, 5, 1500}, {"", "08:00 - 09:00", 60, 3, 180}}},
        {"longer than a day wraps round the zones",
         TARIF_HOUR,
         At(4, 10, 0),
         At(5, 12, 0),
         {{"", "10:00 - 20:00", 10, 3, 30},
          {"", "20:00 - 08:00", 12, 5, 60},
          {"", "08:00 - 12:00", 4, 3, 12}}},
        {"two hours from 10:00", TARIF_HOUR, At(4, 10, 0), At(4, 12, 0), {{"", "10:00 - 12:00", 2, 3, 6}}},
        {"times off the minute are rounded",
         TARIF_MINUTE,
         At(4, 19, 49, 31),
         At(4, 20, 0, 50),
         {{"", "19:50 - 20:00", 10, 3, 30}, {"", "20:00 - 20:01", 1, 5, 5}}},
    };
    m_oDoc.SetEntrance(7);
    for (const TZoneCase& lCase : lCases) {
        SCOPED_TRACE(lCase.m_sName);
        m_oDoc.SetTariffication(lCase.m_nUnit);
        Visit(lCase.m_dtIn, lCase.m_dtOut);
        EXPECT_EQ(Build(), lCase.m_aRows);
        // The receipt adds up to what the check-out charged, entrance fee included.
        EXPECT_EQ(double(m_nTotal), double(Charged()));
    }
}

TEST_F(TReceiptTest, CardLevelAndMinimumReachTheRows) {
    m_oData.m_Card.m_nLevel = 10; // the highest level pays the minimum cost
    m_oDoc.SetMinAmount(500);
    Visit(At(4, 19, 0), At(4, 21, 0));
    EXPECT_EQ(Build(), (TRows{{"", "19:00 - 20:00", 60, 1, 60}, {"", "20:00 - 21:00", 60, 2, 120}}));
    EXPECT_EQ(double(m_nTotal), 500.0);
    EXPECT_EQ(double(m_nTotal), double(Charged()));
}

TEST(TReceiptNoZones, NoZonesGiveNoRowsAndTheEntranceFee) {
    TLocaleOverride lLocale;
    TTarvoDoc lDoc;
    lDoc.SetEntrance(50);
    TReceiptData lData;
    lData.m_dtTimeIn = At(4, 10);
    lData.m_dtTimeOut = At(4, 12);
    TRcptRecDynArray lRecs(3);
    EXPECT_EQ(double(BuildReceiptRows(lDoc, lData, lRecs)), 50.0);
    EXPECT_TRUE(lRecs.empty());
}

// ---- rows of booked visits ---------------------------------------------------------------------------

TEST_F(TReceiptTest, ConstantWholeDayBookingIsOneRowAtTheChargedSum) {
    m_oDoc.SetDayCost(350);
    m_oDoc.SetEntrance(50);
    Book(TimeAt(10, 0), TimeAt(22, 0), true, true);
    Visit(At(4, 9, 0), At(4, 23, 0));
    m_oData.m_nSum = Charged();
    ASSERT_EQ(double(m_oData.m_nSum), 400.0);
    EXPECT_EQ(Build(), (TRows{{"Reservation of day", "", 0, 400, 400}}));
    // The charged sum already holds the entrance fee: the total is that sum, not the fee added again.
    EXPECT_EQ(double(m_nTotal), 400.0);
    // Prices changed later do not change the receipt of that visit.
    m_oDoc.SetDayCost(0);
    EXPECT_EQ(Build(), (TRows{{"Reservation of day", "", 0, 400, 400}}));
    EXPECT_EQ(double(m_nTotal), 400.0);
}

TEST_F(TReceiptTest, WholeDayBookingByTheZonesRunsOverMidnight) {
    Book(TimeAt(18, 0), TimeAt(2, 0), true, false);
    Visit(At(4, 17, 0), At(4, 19, 0));
    EXPECT_EQ(Build(), (TRows{{"Reservation of day", "18:00 - 20:00", 120, 3, 360},
                              {"Reservation of day", "20:00 - 02:00", 360, 5, 1800}}));
    EXPECT_EQ(double(m_nTotal), double(Charged()));
    // A day price set after the visit: the visit was billed by the zones and its receipt stays so.
    m_oDoc.SetDayCost(999);
    EXPECT_EQ(Build().size(), 2u);
    EXPECT_EQ(double(m_nTotal), 2160.0);
}

TEST_F(TReceiptTest, TimedBookingChargesTheBookedIntervalAndOverdue) {
    struct TCase {
        const char* m_sName;
        TDateTime m_dtFrom, m_dtTo, m_dtIn, m_dtOut;
        TRows m_aRows;
    };
    const std::vector<TCase> lCases = {
        {"left 20 minutes late",
         TimeAt(18, 0),
         TimeAt(20, 0),
         At(4, 18, 30),
         At(4, 20, 20),
         {{"Reservation", "18:00 - 20:00", 120, 3, 360}, {"Overdue", "20:00 - 20:20", 20, 5, 100}}},
        {"left early: the booked interval all the same",
         TimeAt(18, 0),
         TimeAt(20, 0),
         At(4, 18, 30),
         At(4, 19, 0),
         {{"Reservation", "18:00 - 20:00", 120, 3, 360}}},
        {"booked over midnight, left in the small hours",
         TimeAt(22, 0),
         TimeAt(1, 0),
         At(4, 22, 0),
         At(5, 1, 30),
         {{"Reservation", "22:00 - 01:00", 180, 5, 900}, {"Overdue", "01:00 - 01:30", 30, 5, 150}}},
    };
    m_oDoc.SetOverdueCost(5);
    for (const TCase& lCase : lCases) {
        SCOPED_TRACE(lCase.m_sName);
        Book(lCase.m_dtFrom, lCase.m_dtTo, false);
        Visit(lCase.m_dtIn, lCase.m_dtOut);
        EXPECT_EQ(Build(), lCase.m_aRows);
        EXPECT_EQ(double(m_nTotal), double(Charged()));
    }
}

// ---- texts -------------------------------------------------------------------------------------------

TEST(TReceiptText, HtmlTextEscapesAndBreaksLines) {
    const std::vector<std::pair<QString, QString>> lCases = {
        {"a \"b\" & <c>", "a &quot;b&quot; &amp; &lt;c&gt;"},
        {"one\r\ntwo\r\n", "one<br>two<br>"},
        {"lone\rcr and\nlf", "lone\rcr and\nlf"},
        {"&amp;", "&amp;amp;"},
    };
    for (const auto& [lIn, lOut] : lCases)
        EXPECT_EQ(ReceiptHtmlText(lIn), lOut) << lIn.toStdString();
}

TEST(TReceiptText, TaxNoteMarkers) {
    TLocaleOverride lLocale;
    const std::vector<std::tuple<QString, Extended, Extended, QString>> lCases = {
        {"VAT %1%%: %2", 20, 120, "VAT 20%: 20.00"},
        {"rate %1 %%", 10, 110, "rate 10 %"},
        {"%x and %2", 18, 0, "x and 0.00"},
        {"half %1: %2", 12.5, 100, "half 12.5: 11.11"},
        {"100%", 0, 50, "100%"},
        {"Not subject to VAT", 20, 120, "Not subject to VAT"},
        {"%2", -100, 50, "0.00"}, // a rate that would divide by zero contains no tax
    };
    for (const auto& [lText, lNds, lTotal, lExpected] : lCases)
        EXPECT_EQ(ReceiptTaxNote(lText, lNds, lTotal), lExpected) << lText.toStdString();
    SetDecimalSeparator(QLatin1Char(','));
    EXPECT_EQ(ReceiptTaxNote(QStringLiteral("%1 %2"), 12.5, 100), QStringLiteral("12,5 11,11"));
}

TEST(TReceiptText, ElementContentById) {
    struct TCase {
        QString m_sHtml;
        QString m_sId;
        bool m_fFound;
        QString m_sResult;
    };
    const std::vector<TCase> lCases = {
        {"<p id=\"a\">old</p>", "a", true, "<p id=\"a\">NEW</p>"},
        {"<p class=x id='a' style=\"\">old</p>", "a", true, "<p class=x id='a' style=\"\">NEW</p>"},
        {"<td id=a>old</td>", "a", true, "<td id=a>NEW</td>"},
        {"<div id=\"a\"><div>in</div>tail</div><div>after</div>", "a", true,
         "<div id=\"a\">NEW</div><div>after</div>"},
        {"<p id=\"ab\">x</p><p id=\"a\">y</p>", "a", true, "<p id=\"ab\">x</p><p id=\"a\">NEW</p>"},
        {"<p data-id=\"a\">x</p>", "a", false, "<p data-id=\"a\">x</p>"},
        {"<p id=\"b\">x</p>", "a", false, "<p id=\"b\">x</p>"},
        {"<br id=\"a\"/>x", "a", false, "<br id=\"a\"/>x"},
        {"<p id=\"a\">never closed", "a", false, "<p id=\"a\">never closed"},
    };
    for (const TCase& lCase : lCases) {
        QString lHtml = lCase.m_sHtml;
        EXPECT_EQ(SetElementContent(lHtml, lCase.m_sId, QStringLiteral("NEW")), lCase.m_fFound)
            << lCase.m_sHtml.toStdString();
        EXPECT_EQ(lHtml, lCase.m_sResult);
    }
}

TEST(TReceiptText, PrinterChoiceNeverNeedsTheDefaultChanged) {
    const QStringList lInstalled = {"Till", "Office"};
    const std::vector<std::tuple<QString, QStringList, QString, QString>> lCases = {
        {"Till", lInstalled, "Office", "Till"},   // the configured printer when installed
        {"Gone", lInstalled, "Office", "Office"}, // else the default one
        {"", lInstalled, "Office", "Office"},
        {"Till", {}, "", ""}, // no printer at all
    };
    for (const auto& [lConfigured, lList, lDefault, lExpected] : lCases)
        EXPECT_EQ(ChooseReceiptPrinter(lConfigured, lList, lDefault), lExpected) << lConfigured.toStdString();
}

// ---- the page ----------------------------------------------------------------------------------------

TEST_F(TReceiptTest, TableHtmlOfABookingWithOverdueAndNotes) {
    m_oDoc.SetOverdueCost(5);
    m_oDoc.SetEntrance(50);
    m_oDoc.SetMinAmount(100);
    m_oDoc.SetAccPrice(-2);
    Book(TimeAt(18, 0), TimeAt(20, 0), false);
    Visit(At(4, 18, 30), At(4, 20, 20));
    Build();
    ASSERT_EQ(double(m_nTotal), 510.0);
    EXPECT_EQ(
        ReceiptTableHtml(m_oDoc, m_aRecs, m_nTotal),
        QStringLiteral(
            "<table width=\"100%\" cellpadding=\"0\" cellspacing=\"0\" border=\"1\" id=\"Table1\">\r\n"
            "<thead><tr><th rowspan=\"2\">Paid time<br>Input - Output</th>\r\n"
            "<th>Amt</th><th>price</th><th>sum</th></tr>\r\n"
            "<tr><th>min</th><th>RUB</th><th>RUB</th></tr></thead>\r\n"
            "<tr><td>Reservation 18:00 - "
            "20:00</td>\r\n<td>120</td>\r\n<td>3.00</td>\r\n<td>360.00</td></tr>\r\n"
            "<tr><td>Overdue 20:00 - 20:20</td>\r\n<td>20</td>\r\n<td>5.00</td>\r\n<td>100.00</td></tr>\r\n"
            "<tr><td colspan=\"3\" class=\"r\">Entrance fee:&nbsp;</td>\r\n<td>50.00</td></tr>"
            "<tr><td colspan=\"3\" class=\"r\">Minimum payment amount:&nbsp;</td>\r\n<td>100.00</td></tr>"
            "<tfoot><tr><td colspan=\"3\" class=\"r\">TOTAL:&nbsp;</td>\r\n<td>510.00</td></tr></tfoot>"
            "</table>"));
}

TEST_F(TReceiptTest, TableUnitWordAndFixedPriceRow) {
    const std::vector<std::pair<TTariffication, QString>> lUnits = {
        {TARIF_SECOND, "sec"}, {TARIF_MINUTE, "min"}, {TARIF_HOUR, "h"}};
    for (const auto& [lUnit, lWord] : lUnits) {
        m_oDoc.SetTariffication(lUnit);
        EXPECT_TRUE(ReceiptTableHtml(m_oDoc, {}, 0).contains(QStringLiteral("<tr><th>%1</th>").arg(lWord)));
    }
    // A fixed-price row has no period and no units; a caption is escaped.
    const TRcptRecDynArray lRecs = {{QStringLiteral("Day & night"), TimeAt(10, 0), 0, 400, 400}};
    const QString lHtml = ReceiptTableHtml(m_oDoc, lRecs, 400);
    EXPECT_TRUE(lHtml.contains(QStringLiteral(
        "<tr><td>Day &amp; night</td>\r\n<td>&nbsp;</td>\r\n<td>400.00</td>\r\n<td>400</td></tr>")))
        << lHtml.toStdString();
    EXPECT_FALSE(lHtml.contains(QStringLiteral("Entrance fee")));
}

TEST_F(TReceiptTest, PageIsFilledByElementIds) {
    const QString lTemplate = QStringLiteral(
        "<html><body><table><tr><td id=\"rcptHead\">head</td><td id=\"rcptDate\">date</td></tr></table>"
        "<p id=\"rcptTitle\">title</p><p id=\"rcptUserName\">user</p><div id=\"rcptTable\">table</div>"
        "<p id=\"rcptFoot\">foot</p></body></html>");
    m_oDoc.SetReportDate(At(4, 0));
    m_oDoc.SetNDS(20);
    m_oData.m_nReceiptN = 0;
    m_oData.m_Card.m_sUserName = QStringLiteral("Anna <VIP> & Co");
    Visit(At(4, 19, 50), At(4, 20, 20));
    Build();
    const QString lPage = FillReceiptPage(lTemplate, m_oDoc, m_oData, m_aRecs, m_nTotal);
    EXPECT_TRUE(lPage.contains(QStringLiteral("<td id=\"rcptHead\">Organisation name<br>")));
    EXPECT_TRUE(lPage.contains(QStringLiteral("<td id=\"rcptDate\">3/4/24</td>")));
    EXPECT_TRUE(lPage.contains(QStringLiteral("<p id=\"rcptTitle\">Receipt no. 1</p>")));
    EXPECT_TRUE(lPage.contains(QStringLiteral("<p id=\"rcptUserName\">Anna &lt;VIP&gt; &amp; Co</p>")));
    EXPECT_TRUE(lPage.contains(QStringLiteral("<div id=\"rcptTable\"><table width=\"100%\"")));
    EXPECT_TRUE(lPage.contains(QStringLiteral("<td>19:50 - 20:00</td>\r\n<td>10</td>")));
    EXPECT_TRUE(lPage.contains(QStringLiteral("</table></div>")));
    EXPECT_TRUE(lPage.contains(QStringLiteral(
        "<p id=\"rcptFoot\">Not subject to VAT in the tie using the simplified taxation system</p>")));

    // A card without a user name shows its key number in braces; row 4 is receipt no. 5.
    m_oData.m_Card.m_sUserName.clear();
    m_oData.m_nReceiptN = 4;
    const QString lKeyPage = FillReceiptPage(lTemplate, m_oDoc, m_oData, m_aRecs, m_nTotal);
    EXPECT_TRUE(lKeyPage.contains(QStringLiteral("<p id=\"rcptUserName\">{%1}</p>")
                                      .arg(KeyNumToStr(m_oData.m_Card.m_Number, KEYVIEW_HEX))));
    EXPECT_TRUE(lKeyPage.contains(QStringLiteral("Receipt no. 5")));

    // Elements the template lacks are skipped; the rest is filled.
    const QString lPartial =
        FillReceiptPage(QStringLiteral("<p id=\"rcptTitle\"></p>"), m_oDoc, m_oData, m_aRecs, m_nTotal);
    EXPECT_EQ(lPartial, QStringLiteral("<p id=\"rcptTitle\">Receipt no. 5</p>"));
}

TEST(TReceiptText, PdfFileNameByDepartureAndNumber) {
    TReceiptData lData;
    lData.m_nReceiptN = 6;
    lData.m_dtTimeOut = MakeDateTime(2024, 3, 4, 20, 5, 9);
    EXPECT_EQ(ReceiptPdfFileName(lData), QStringLiteral("Receipt-20240304-200509-7.pdf"));
}

} // namespace
