// The front desk's command line: -autorun[=value], -show, -n or /N.
#include "frontdesk/uAppUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(FrontDeskCommandLine, Switches) {
    const struct {
        QStringList m_aParams;
        bool m_fAutorun, m_fNewWin, m_fShow;
    } cases[] = {
        {{}, false, false, false},
        {{"/AUTORUN"}, true, false, false},
        {{"-autorun"}, true, false, false},
        {{"-autorun=0"}, false, false, false},
        {{"-autorun=false"}, false, false, false},
        {{"-autorun=yes"}, true, false, false}, // unreadable values give true
        {{"-autorun="}, true, false, false},
        {{"-autorun=1", "-autorun=0"}, false, false, false}, // the last one counts
        {{"-N"}, false, true, false},
        {{"/n"}, false, true, false},
        {{"-Show"}, false, false, true},
        {{"-shown", "-nn", "-autorunx", "--show"}, false, false, false}, // only exact names
        {{"autorun", "show", "n", ""}, false, false, false},             // not switches
        {{"/N", "-show", "-autorun=2"}, true, true, true},
    };
    for (const auto& c : cases) {
        Tarvo::TAppCmdLineInfo info;
        info.ParseCommandLine(QStringList{QStringLiteral("Tarvo")} + c.m_aParams);
        const std::string what = c.m_aParams.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(info.m_fAutorun, c.m_fAutorun) << what;
        EXPECT_EQ(info.m_fNewWin, c.m_fNewWin) << what;
        EXPECT_EQ(info.m_fShow, c.m_fShow) << what;
    }
}

TEST(FrontDeskCommandLine, CheckKeepsTheParsedLineAndNewWindowSkipsTheCheck) {
    const char* argv[] = {"Tarvo", "-show", "/N"};
    // /N returns at once: no start mutex is taken, so nothing can make it wait or refuse.
    EXPECT_TRUE(Tarvo::CheckSingleInstance(3, argv));
    ASSERT_NE(Tarvo::g_oAppCmdLine, nullptr);
    EXPECT_TRUE(Tarvo::g_oAppCmdLine->m_fShow);
    EXPECT_TRUE(Tarvo::g_oAppCmdLine->m_fNewWin);
    EXPECT_FALSE(Tarvo::g_oAppCmdLine->m_fAutorun);
    Tarvo::g_oAppCmdLine.reset();
}

TEST(FrontDeskCommandLine, AutorunCommandQuotesThePath) {
    EXPECT_EQ(Tarvo::AutorunData(QStringLiteral("/opt/caf\u00e9 desk/Tarvo")),
              QStringLiteral("\"/opt/caf\u00e9 desk/Tarvo\" -autorun"));
}

} // namespace
