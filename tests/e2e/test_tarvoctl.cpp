// tarvoctl as its own process beside the real front desk: the report of a scripted day, the guests
// inside, usage errors, and imports refused while a program runs but done once it has ended.

#include "tests/e2e/E2eSupport.h"

#include "sheet/uSheet.h"

#include <gtest/gtest.h>

using namespace E2e;

namespace {

std::string DataFile() {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
           "<Main>\r\n<StartDayTime>06:00</StartDayTime>\r\n<Log fileFormat=\"0, txt\" filePeriod=\"0, "
           "day\"/>\r\n"
           "<Tariffication>2</Tariffication>\r\n<AccPrice>0</AccPrice>\r\n</Main>\r\n"
           "<Reader sn=\"1001\" port=\"COM3\" cardRegInterval=\"1000\"/>\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
           "minCost=\"1\"/></TimeZones>\r\n"
           "<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann; Lee\" "
           "level=\"0\"><Commant>regular</Commant></Item1>\r\n"
           "<Item2 number=\"0D\" name=\"Bob\" level=\"10\"/>\r\n</Cards>\r\n</Tarvo>\r\n";
}

class TarvoCtl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(BinPath("tarvoctl"))) << BinPath("tarvoctl");
        WriteFile(m_oWorld.DataPath("Tarvo.xml"), DataFile());
    }
    // tarvoctl to its end, on the world's clock (faked when the world fakes it).
    TRunResult Ctl(const std::vector<std::string>& AArgs) const {
        TProgram lCtl(m_oWorld, "tarvoctl", AArgs);
        TRunResult lResult;
        if (lCtl.Wait())
            lResult.nStatus = lCtl.ExitStatus();
        lResult.sOut = lCtl.Out();
        lResult.sErr = lCtl.Err();
        return lResult;
    }
    void Present(const std::string& AKey) const {
        ASSERT_EQ(m_oWorld.Orvsim({"present", "COM3", AKey}).nStatus, 0);
    }
    std::string Out(const char* AName) const { return m_oWorld.Root() + "/" + AName; }

    TWorld m_oWorld;
};

} // namespace

TEST_F(TarvoCtl, ReportAndInsideOfAScriptedDayWhileTheDeskRuns) {
    m_oWorld.SetFakeTime("2026-03-02 10:00:00");
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitUntil([&] {
        return m_oWorld.Orvsim({"state", "COM3"}).sOut.rfind("open", 0) == 0;
    })) << lDesk.Err();
    const std::string lLog = m_oWorld.DataPath("Logs/L02032026.log");
    Present("0A0B0C");
    ASSERT_TRUE(WaitForText(lLog, "10:00:00 [in]"));
    m_oWorld.SetFakeTime("2026-03-02 10:05:00");
    Present("0D");
    ASSERT_TRUE(WaitForText(lLog, "10:05:00 [in] Bob"));
    m_oWorld.SetFakeTime("2026-03-02 11:00:00");
    Present("0A0B0C");
    ASSERT_TRUE(WaitForFile(m_oWorld.DataPath("Report/R02032026.log")));

    // The report as the front desk's report list shows it; a name with ";" is quoted.
    TRunResult r = Ctl({"report", "-o", Out("day.csv")});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(ReadFile(Out("day.csv")), "#;User name;Comment;Level;Time In;Time Out;Sum;\r\n"
                                        "1;\"Ann; Lee\";regular;0;10:00;11:00;120;\r\n");
    r = Ctl({"report", "--date", "2026-03-02", "-o", Out("day.xlsx")});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    const TSheetRows lRows = ReadSheetFile(QString::fromStdString(Out("day.xlsx")));
    ASSERT_EQ(lRows.size(), 2u);
    EXPECT_EQ(lRows[1].at(1), QStringLiteral("Ann; Lee"));
    EXPECT_EQ(lRows[1].at(6), QStringLiteral("120"));
    // Another day has no visits: the header alone.
    r = Ctl({"report", "--date", "2026-03-01", "-o", Out("before.csv")});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(ReadFile(Out("before.csv")), "#;User name;Comment;Level;Time In;Time Out;Sum;\r\n");

    r = Ctl({"inside"});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(r.sOut, "2026-03-02 10:05:00\tBob\t10\t-\n");

    // An import while the desk runs changes nothing.
    const std::string lBefore = ReadFile(m_oWorld.DataPath("Tarvo.xml"));
    WriteFile(Out("cards.csv"), "#;Key;User name;Level;Comment;\r\n1;0E;Cid;4;new;\r\n");
    r = Ctl({"cards", "import", Out("cards.csv")});
    EXPECT_EQ(r.nStatus, 1);
    EXPECT_NE(r.sErr.find("Tarvo or ConfigTarvo is running"), std::string::npos) << r.sErr;
    EXPECT_EQ(ReadFile(m_oWorld.DataPath("Tarvo.xml")), lBefore);

    // Once it has ended, the import replaces the cards and keeps the front desk's part.
    ASSERT_TRUE(lDesk.Signal(SIGTERM));
    r = Ctl({"cards", "import", Out("cards.csv")});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    const std::string lAfter = ReadFile(m_oWorld.DataPath("Tarvo.xml"));
    EXPECT_NE(lAfter.find("number=\"0E\" name=\"Cid\""), std::string::npos) << lAfter;
    EXPECT_EQ(lAfter.find("Bob"), std::string::npos);
    EXPECT_NE(lAfter.find("cardRegInterval=\"1000\""), std::string::npos);
    r = Ctl({"cards", "export", Out("again.csv")});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(ReadFile(Out("again.csv")), "#;Key;User name;Level of service;Comment;\r\n1;0E;Cid;4;new;\r\n");
}

TEST_F(TarvoCtl, UsageErrorsAndFailuresHaveTheirExitStatus) {
    const struct {
        std::vector<std::string> m_aArgs;
        int m_nStatus;
        const char* m_pErr;
    } cCases[] = {
        {{}, 2, "no command given"},
        {{"frobnicate"}, 2, "unknown command"},
        {{"--data"}, 2, "--data needs a folder"},
        {{"report"}, 2, "report needs -o FILE"},
        {{"report", "-o", "x.txt"}, 2, ".csv, .xlsx or .ods"},
        {{"report", "--date", "2026-13-01", "-o", "x.csv"}, 2, "no date"},
        {{"report", "-o", "a.csv", "-o", "b.csv"}, 2, "-o given twice"},
        {{"cards"}, 2, "export FILE or import FILE"},
        {{"zones", "import", "/nonexistent/z.csv"}, 1, "/nonexistent/z.csv"},
        {{"cards", "import", "/nonexistent/c.xlsx"}, 1, "/nonexistent/c.xlsx"},
        {{"inside", "extra"}, 2, "no arguments"},
    };
    for (const auto& c : cCases) {
        const TRunResult r = Ctl(c.m_aArgs);
        EXPECT_EQ(r.nStatus, c.m_nStatus) << c.m_pErr;
        EXPECT_NE(r.sErr.find(c.m_pErr), std::string::npos) << r.sErr;
    }
    for (const std::vector<std::string>& lArgs : std::vector<std::vector<std::string>>{
             {"--help"}, {"report", "--help"}, {"cards", "--help"}, {"inside", "-h"}}) {
        const TRunResult r = Ctl(lArgs);
        EXPECT_EQ(r.nStatus, 0);
        EXPECT_NE(r.sOut.find("Usage: tarvoctl"), std::string::npos) << r.sOut;
    }
    // A damaged data file stops an export with its reason.
    WriteFile(
        m_oWorld.DataPath("Tarvo.xml"),
        "<Tarvo version=\"1.2\"><TimeZones><Item1 name=\"x\" startTime=\"99:99\"/></TimeZones></Tarvo>");
    const TRunResult r = Ctl({"zones", "export", Out("z.csv")});
    EXPECT_EQ(r.nStatus, 1);
    EXPECT_NE(r.sErr.find("Tarvo.xml"), std::string::npos) << r.sErr;
}

TEST_F(TarvoCtl, AnImportOfWhichNoRowCanBeTakenChangesNothing) {
    const std::string lBefore = ReadFile(m_oWorld.DataPath("Tarvo.xml"));
    const struct {
        const char* m_pList;
        const char* m_pText;
    } cCases[] = {
        {"cards", "#,Key,User name,Level,Comment\r\n1,0E,Cid,4,new\r\n"}, // commas, not ";"
        {"cards", "1,0E,Cid,4,new\r\n"},                                  // one line, no header
        {"cards", "#;Key;User name;\r\n1;not hex;Cid;\r\n"},              // no row with a key
        {"cards", "1;not hex;Cid;\r\n"},
        {"zones", "Morning 08:00 0.06\r\n"},
    };
    for (const auto& c : cCases) {
        WriteFile(Out("table.csv"), c.m_pText);
        const TRunResult r = Ctl({c.m_pList, "import", Out("table.csv")});
        EXPECT_EQ(r.nStatus, 1) << c.m_pText;
        EXPECT_NE(r.sErr.find("nothing was imported"), std::string::npos) << r.sErr;
        EXPECT_EQ(ReadFile(m_oWorld.DataPath("Tarvo.xml")), lBefore) << c.m_pText;
    }
    // A header alone is an empty list, taken as such.
    WriteFile(Out("table.csv"), "#;Key;User name;Level of service;Comment;\r\n");
    const TRunResult r = Ctl({"cards", "import", Out("table.csv")});
    EXPECT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(ReadFile(m_oWorld.DataPath("Tarvo.xml")).find("Bob"), std::string::npos);
}
