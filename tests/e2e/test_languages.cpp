// The interface languages of the real programs: the translators' template each program writes, every
// shipped language file held against it (so a window that gains a text fails here until every language
// has it), the template with a language loaded, its command-line errors, and the front desk writing the
// day summary of its report file in the language of the data file.

#include "tests/e2e/E2eSupport.h"

#include "base/uIniFile.h"

#include <gtest/gtest.h>

#include <QString>

#include <set>
#include <string>

using namespace E2e;

namespace {

struct TShipped {
    const char* m_sProgram;
    const char* m_sLanguage;
};

const TShipped cShipped[] = {
    {"Tarvo", "Russian"},       {"Tarvo", "Polish"},       {"Tarvo", "German"},
    {"ConfigTarvo", "Russian"}, {"ConfigTarvo", "Polish"}, {"ConfigTarvo", "German"},
};

std::string ShippedPath(const TShipped& AFile) {
    return std::string(TARVO_SOURCE_DIR) + "/Languages/" + AFile.m_sProgram + "-" + AFile.m_sLanguage +
           ".lng";
}

// Keys of a section, letter case as written; empty values are listed apart.
std::set<std::string> Keys(const std::string& AFile, const char* ASection,
                           std::set<std::string>* VEmpty = nullptr) {
    const TMemIniFile lIni(QString::fromStdString(AFile));
    std::set<std::string> lKeys;
    for (const auto& [lKey, lValue] : lIni.ReadSectionValues(QString::fromLatin1(ASection))) {
        lKeys.insert(lKey.toStdString());
        if (VEmpty && lValue.isEmpty())
            VEmpty->insert(lKey.toStdString());
    }
    return lKeys;
}

std::string Value(const std::string& AFile, const char* ASection, const char* AKey) {
    const TMemIniFile lIni(QString::fromStdString(AFile));
    return lIni.ReadString(QString::fromLatin1(ASection), QString::fromLatin1(AKey), QString()).toStdString();
}

std::string Listed(const std::set<std::string>& AKeys) {
    std::string lText;
    for (const std::string& lKey : AKeys)
        lText += "\n  " + lKey;
    return lText;
}

class Languages : public ::testing::TestWithParam<TShipped> {
protected:
    // The template of AProgram written in this world; fails the test when the program fails.
    std::string WriteTemplate(const std::string& AProgram, const std::vector<std::string>& AExtra = {}) {
        const std::string lFile = m_oWorld.Root() + "/" + AProgram + "-template.lng";
        std::vector<std::string> lArgs{"--write-language-template", lFile};
        lArgs.insert(lArgs.end(), AExtra.begin(), AExtra.end());
        const TRunResult r = m_oWorld.Run(lArgs, AProgram);
        EXPECT_EQ(r.nStatus, 0) << r.sErr;
        EXPECT_TRUE(FileExists(lFile));
        return lFile;
    }
    TWorld m_oWorld;
};

} // namespace

TEST_P(Languages, ShippedFileTranslatesEveryTextOfTheTemplate) {
    const TShipped& lFile = GetParam();
    const std::string lTemplate = WriteTemplate(lFile.m_sProgram);
    const std::set<std::string> lWanted = Keys(lTemplate, "Forms");
    ASSERT_GT(lWanted.size(), 50u) << "the template lists the texts of every window";

    std::set<std::string> lEmpty;
    const std::set<std::string> lHas = Keys(ShippedPath(lFile), "Forms", &lEmpty);
    std::set<std::string> lMissing, lStale;
    for (const std::string& lKey : lWanted)
        if (!lHas.count(lKey))
            lMissing.insert(lKey);
    for (const std::string& lKey : lHas)
        if (!lWanted.count(lKey))
            lStale.insert(lKey);
    EXPECT_TRUE(lMissing.empty()) << ShippedPath(lFile) << " lacks:" << Listed(lMissing);
    EXPECT_TRUE(lStale.empty()) << ShippedPath(lFile) << " has keys no window shows:" << Listed(lStale);
    EXPECT_TRUE(lEmpty.empty()) << ShippedPath(lFile) << " has empty texts:" << Listed(lEmpty);
    // The catalogue's part: the template lists every message of the program, the file translates each.
    const std::set<std::string> lStrings = Keys(ShippedPath(lFile), "Strings");
    for (const std::string& lKey : Keys(lTemplate, "Strings"))
        EXPECT_TRUE(lStrings.count(lKey)) << ShippedPath(lFile) << " lacks " << lKey;
}

INSTANTIATE_TEST_SUITE_P(Shipped, Languages, ::testing::ValuesIn(cShipped),
                         [](const ::testing::TestParamInfo<TShipped>& AInfo) {
                             return std::string(AInfo.param.m_sProgram) + AInfo.param.m_sLanguage;
                         });

class LanguageTemplate : public ::testing::Test {
protected:
    TWorld m_oWorld;
};

// Without a language the template holds the built-in English; with --language it holds the
// translations, of the windows and of the messages. Neither run creates a data file.
TEST_F(LanguageTemplate, LoadedLanguageFillsTheTemplateAndNothingIsOpened) {
    struct TCase {
        const char* m_sProgram;
        const char* m_sFormKey;
        const char* m_sEnglishForm;
        const char* m_sRussianForm;
        const char* m_sStrKey;
        const char* m_sRussianStr;
    };
    const TCase cCases[] = {
        {"Tarvo", "TfmMain-tsLog-Caption", "Log", "Журнал", "Str246", "Общая сумма: %s"},
        {"ConfigTarvo", "TfmMain-tsCards-Caption", "&Cards", "&Карты", "Str229", "Сохранить изменения?"},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sProgram);
        const std::string lEnglish = m_oWorld.Root() + "/en.lng";
        const std::string lRussian = m_oWorld.Root() + "/ru.lng";
        TRunResult r = m_oWorld.Run({"--write-language-template", lEnglish}, c.m_sProgram);
        ASSERT_EQ(r.nStatus, 0) << r.sErr;
        r = m_oWorld.Run({"--language", "1049", "--write-language-template=" + lRussian}, c.m_sProgram);
        ASSERT_EQ(r.nStatus, 0) << r.sErr;
        EXPECT_EQ(Value(lEnglish, "Forms", c.m_sFormKey), c.m_sEnglishForm);
        EXPECT_EQ(Value(lRussian, "Forms", c.m_sFormKey), c.m_sRussianForm);
        EXPECT_EQ(Value(lRussian, "Strings", c.m_sStrKey), c.m_sRussianStr);
        EXPECT_EQ(Keys(lEnglish, "Forms"), Keys(lRussian, "Forms"));
        EXPECT_FALSE(FileExists(m_oWorld.DataPath("Tarvo.xml")));
    }
}

TEST_F(LanguageTemplate, UsageErrorsEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> cCases = {
        {"--write-language-template"},
        {"--write-language-template="},
        {"--write-language-template", m_oWorld.Root() + "/x.lng", "--language", "ru"},
        {"--write-language-template", m_oWorld.Root() + "/x.lng", "--language"},
    };
    for (const char* lProgram : {"Tarvo", "ConfigTarvo"})
        for (const auto& lArgs : cCases) {
            const TRunResult r = m_oWorld.Run(lArgs, lProgram);
            EXPECT_EQ(r.nStatus, 2) << lProgram << " " << lArgs.back() << ": " << r.sErr;
            EXPECT_FALSE(r.sErr.empty());
            EXPECT_FALSE(FileExists(m_oWorld.Root() + "/x.lng"));
        }
}

namespace {

std::string RussianDataFile() {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<Tarvo version=\"1.2\">\r\n"
           "<Main language=\"0419\">\r\n"
           "<StartDayTime>06:00</StartDayTime>\r\n"
           "<Log fileFormat=\"0, txt\" filePeriod=\"0, day\"/>\r\n"
           "<Tariffication>2</Tariffication>\r\n"
           "<AccPrice>0</AccPrice>\r\n"
           "</Main>\r\n"
           "<Reader sn=\"1001\" port=\"COM3\" cardRegInterval=\"0\"/>\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
           "minCost=\"1\"/></TimeZones>\r\n"
           "<Cards>\r\n"
           "<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
           "<Item2 number=\"0D\" name=\"Bob\" level=\"0\"/>\r\n"
           "</Cards>\r\n"
           "<Popup max=\"5\" timeOut=\"2\"/>\r\n"
           "</Tarvo>\r\n";
}

} // namespace

// Language 1049 in the data file: when the next business day begins, the summary the front desk
// appends to the finished day's report is Russian (in the 8-bit code page of the files, CP1251 here).
TEST_F(LanguageTemplate, FrontDeskInRussianWritesTheDaySummaryInRussian) {
    m_oWorld.SetEnv("TARVO_CODEPAGE", "CP1251");
    m_oWorld.SetFakeTime("2026-03-02 10:00:00");
    WriteFile(m_oWorld.DataPath("Tarvo.xml"), RussianDataFile());
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitUntil([&] {
        return m_oWorld.Orvsim({"state", "COM3"}).sOut.rfind("open", 0) == 0;
    })) << lDesk.Err();
    const std::string lLog = m_oWorld.DataPath("Logs/L02032026.log");
    const std::string lReport = m_oWorld.DataPath("Report/R02032026.log");

    ASSERT_EQ(m_oWorld.Orvsim({"present", "COM3", "0A0B0C"}).nStatus, 0); // Ann in
    ASSERT_TRUE(WaitForText(lLog, "Ann")) << lDesk.Err();
    m_oWorld.SetFakeTime("2026-03-02 10:05:00");
    ASSERT_EQ(m_oWorld.Orvsim({"present", "COM3", "0D"}).nStatus, 0); // Bob in, and stays
    ASSERT_TRUE(WaitForText(lLog, "Bob"));
    m_oWorld.SetFakeTime("2026-03-02 10:30:00");
    ASSERT_EQ(m_oWorld.Orvsim({"present", "COM3", "0A0B0C"}).nStatus, 0); // Ann out: 30 minutes at 2
    ASSERT_TRUE(WaitForText(lReport, "   0 Ann 10:00:00-10:30:00 60"));

    m_oWorld.SetFakeTime("2026-03-03 07:00:00"); // the next business day: the card closes the last one
    ASSERT_EQ(m_oWorld.Orvsim({"present", "COM3", "0A0B0C"}).nStatus, 0);
    // "Общая сумма: 60", "\tвошли: 2 / вышли: 1", "\tНе вышли:" in CP1251.
    const std::string lTotal = "\xCE\xE1\xF9\xE0\xFF \xF1\xF3\xEC\xEC\xE0: 60";
    const std::string lCounts = "\t\xE2\xEE\xF8\xEB\xE8: 2 / \xE2\xFB\xF8\xEB\xE8: 1";
    const std::string lNotOut = "\t\xCD\xE5 \xE2\xFB\xF8\xEB\xE8:";
    ASSERT_TRUE(WaitForText(lReport, lNotOut)) << lDesk.Err();
    ASSERT_TRUE(WaitForText(lReport, "Bob")) << lDesk.Err(); // the guest still inside, after the heading
    const std::vector<std::string> lLines = ReadLines(lReport);
    ASSERT_GE(lLines.size(), 5u);
    EXPECT_EQ(lLines[0], "   0 Ann 10:00:00-10:30:00 60");
    EXPECT_EQ(lLines[1], lTotal);
    EXPECT_EQ(lLines[2], lCounts);
    EXPECT_EQ(lLines[3], lNotOut);
    EXPECT_EQ(lLines[4].rfind("\t1 ", 0), 0u) << lLines[4];
    EXPECT_NE(lLines[4].find("Bob"), std::string::npos) << lLines[4];

    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0) << lDesk.Err();
}
