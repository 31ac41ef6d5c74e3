// The real front desk started on a day whose report file lacks a visit that the log holds (the program
// ended between the two lines): the line is written at start and the debug log says so.

#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

using namespace E2e;

TEST(RestoreReport, AVisitMissingFromTheReportFileIsWrittenAtStart) {
    TWorld lWorld;
    lWorld.SetFakeTime("2026-03-02 12:00:00");
    WriteFile(lWorld.DataPath("Tarvo.xml"),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
              "<Main><StartDayTime>06:00</StartDayTime><Log fileFormat=\"0, txt\" filePeriod=\"0, day\"/>"
              "<Tariffication>2</Tariffication><AccPrice>0</AccPrice></Main>\r\n"
              "<Reader sn=\"1001\" port=\"COM3\"/>\r\n"
              "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
              "minCost=\"1\"/></TimeZones>\r\n"
              "<Cards><Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/><Item2 number=\"0D\" name=\"Bob\" "
              "level=\"0\"/></Cards>\r\n</Tarvo>\r\n");
    WriteFile(lWorld.DataPath("Logs/L02032026.log"), "09:00:00 [in] Bob, 0\r\n09:30:00 [out] Bob, 60\r\n"
                                                     "10:00:00 [in] Ann, 0\r\n11:00:00 [out] Ann, 120\r\n");
    const std::string lReport = lWorld.DataPath("Report/R02032026.log");
    WriteFile(lReport, "   0 Bob 09:00:00-09:30:00 60\r\n");

    TProgram lDesk(lWorld, "Tarvo");
    ASSERT_TRUE(WaitForText(lWorld.DataPath("Tarvo.log"), "restored from the log")) << lDesk.Err();
    EXPECT_EQ(ReadFile(lReport), "   0 Bob 09:00:00-09:30:00 60\r\n   1 Ann 10:00:00-11:00:00 120\r\n");
    EXPECT_NE(ReadFile(lWorld.DataPath("Tarvo.log")).find("   1 Ann 10:00:00-11:00:00 120"),
              std::string::npos);
    ASSERT_TRUE(lDesk.Signal(SIGTERM));
    // The next start finds the report whole and adds nothing (its reader opens after the document).
    ASSERT_EQ(lWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    TProgram lAgain(lWorld, "Tarvo");
    ASSERT_TRUE(WaitUntil([&] {
        return lWorld.Orvsim({"state", "COM3"}).sOut.rfind("open", 0) == 0;
    })) << lAgain.Err();
    ASSERT_TRUE(lAgain.Signal(SIGTERM));
    EXPECT_EQ(ReadFile(lReport), "   0 Bob 09:00:00-09:30:00 60\r\n   1 Ann 10:00:00-11:00:00 120\r\n");
}
