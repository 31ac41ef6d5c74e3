// Command-line parsing: which parameters are switches, the switch name and value, Boolean values.
#include "base/uCmdLine.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace {

using TParam = std::tuple<QString, bool, bool>; // text, is switch, is last

class TRecordingInfo : public TCommandLineInfo {
public:
    void HandleParam(const QString& AParam, bool AIsSwitch, bool AIsLast) override {
        m_aCalls.emplace_back(AParam, AIsSwitch, AIsLast);
    }
    std::vector<TParam> m_aCalls;
};

TEST(CommandLine, ParametersAreVisitedInOrderAfterTheProgram) {
    const struct {
        QStringList m_aArgs;
        std::vector<TParam> m_aExpected;
    } cases[] = {
        {{}, {}},
        {{"prog"}, {}},
        {{"prog", "-show"}, {{"show", true, true}}},
        {{"prog", "/N", "file.txt", "", "-", "//x", "-a=b"},
         {{"N", true, false},
          {"file.txt", false, false},
          {"", false, false},
          {"", true, false},
          {"/x", true, false},
          {"a=b", true, true}}},
    };
    for (const auto& c : cases) {
        TRecordingInfo info;
        info.ParseCommandLine(c.m_aArgs);
        EXPECT_EQ(info.m_aCalls, c.m_aExpected) << c.m_aArgs.join(QLatin1Char(' ')).toStdString();
    }
    // main's arguments reach the same visits.
    const char* argv[] = {"prog", "-Show", "x"};
    TRecordingInfo info;
    info.ParseCommandLine(3, argv);
    EXPECT_EQ(info.m_aCalls, (std::vector<TParam>{{"Show", true, false}, {"x", false, true}}));
}

TEST(CommandLine, SwitchNamesAndValues) {
    const struct {
        QString m_sSwitch, m_sName, m_sValue;
    } cases[] = {
        {"AUTORUN", "autorun", ""}, {"autorun=0", "autorun", "0"},
        {"a=b=c", "a", "b=c"},      {"=x", "", "x"},
        {"Show=", "show", ""},      {"", "", ""},
    };
    for (const auto& c : cases) {
        QString name = QStringLiteral("old"), value = QStringLiteral("old");
        SplitSwitch(c.m_sSwitch, name, value);
        EXPECT_EQ(name, c.m_sName) << c.m_sSwitch.toStdString();
        EXPECT_EQ(value, c.m_sValue) << c.m_sSwitch.toStdString();
    }
}

TEST(CommandLine, SwitchValuesAsBooleans) {
    const struct {
        const char* m_pValue;
        bool m_fResult;
    } cases[] = {
        {"", true},     {"0", false}, {"false", false}, {"FaLsE", false}, {"true", true},
        {"TRUE", true}, {"1", true},  {"-3", true},     {"0.0", false},   {"2.5", true},
        {"yes", true},  {"no", true}, {"0x0", true},    {"00", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SwitchValueToBool(QString::fromLatin1(c.m_pValue)), c.m_fResult) << c.m_pValue;
}

} // namespace
