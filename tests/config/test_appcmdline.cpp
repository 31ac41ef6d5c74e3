// The configuration program's command line: only -n or /N counts.
#include "config/uAppUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(ConfigCommandLine, OnlyNewWindowCounts) {
    const struct {
        QStringList m_aParams;
        bool m_fNewWin;
    } cases[] = {
        {{}, false},
        {{"/N"}, true},
        {{"-n"}, true},
        {{"n"}, false},
        {{"-new"}, false},
        {{"-n=0"}, true},
        {{"-autorun", "-show"}, false},
    };
    for (const auto& c : cases) {
        ConfigTarvo::TAppCmdLineInfo info;
        info.ParseCommandLine(QStringList{QStringLiteral("ConfigTarvo")} + c.m_aParams);
        EXPECT_EQ(info.m_fNewWin, c.m_fNewWin) << c.m_aParams.join(QLatin1Char(' ')).toStdString();
    }
    const char* argv[] = {"ConfigTarvo", "/N"};
    EXPECT_TRUE(ConfigTarvo::CheckSingleInstance(2, argv));
    ASSERT_NE(ConfigTarvo::g_oAppCmdLine, nullptr);
    EXPECT_TRUE(ConfigTarvo::g_oAppCmdLine->m_fNewWin);
    ConfigTarvo::g_oAppCmdLine.reset();
}

} // namespace
