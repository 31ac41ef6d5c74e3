// The translators' command line of both programs: the template file in either spelling, the language
// loaded first as a decimal or hexadecimal identifier, and every usage error named.
#include "base/uLangTemplateArgs.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

namespace {

struct TCase {
    const char* m_sName;
    std::vector<const char*> m_aArgs; // without the program itself
    bool m_fWrite;
    const char* m_sFile;
    std::uint32_t m_nLanguage;
    bool m_fError;
};

const TCase cCases[] = {
    {"normal start", {"-show"}, false, "", 0, false},
    {"language alone does not write", {"--language", "1049"}, false, "", 1049, false},
    {"file after the option", {"--write-language-template", "t.lng"}, true, "t.lng", 0, false},
    {"file after equals", {"--write-language-template=/tmp/a b.lng"}, true, "/tmp/a b.lng", 0, false},
    {"decimal language",
     {"--language", "1049", "--write-language-template", "t.lng"},
     true,
     "t.lng",
     1049,
     false},
    {"hex language", {"--write-language-template", "t.lng", "--language=0x419"}, true, "t.lng", 1049, false},
    {"dollar hex language",
     {"--write-language-template", "t.lng", "--language", "$407"},
     true,
     "t.lng",
     1031,
     false},
    {"other switches stay", {"-n", "--write-language-template", "t.lng", "-show"}, true, "t.lng", 0, false},
    {"no file", {"--write-language-template"}, true, "", 0, true},
    {"empty file", {"--write-language-template="}, true, "", 0, true},
    {"language not a number",
     {"--write-language-template", "t.lng", "--language", "ru"},
     true,
     "t.lng",
     0,
     true},
    {"language negative", {"--write-language-template", "t.lng", "--language", "-1"}, true, "t.lng", 0, true},
    {"language too large",
     {"--write-language-template", "t.lng", "--language", "70000"},
     true,
     "t.lng",
     0,
     true},
    {"language without value", {"--write-language-template", "t.lng", "--language"}, true, "t.lng", 0, true},
};

class LangTemplateArgs : public ::testing::TestWithParam<TCase> {};

} // namespace

TEST_P(LangTemplateArgs, Parse) {
    const TCase& c = GetParam();
    QStringList lArgs{QStringLiteral("/usr/bin/Tarvo")};
    for (const char* lArg : c.m_aArgs)
        lArgs << QString::fromUtf8(lArg);
    const TLangTemplateArgs r = ParseLangTemplateArgs(lArgs);
    EXPECT_EQ(r.m_fWrite, c.m_fWrite);
    EXPECT_EQ(r.m_sError.isEmpty(), !c.m_fError) << r.m_sError.toStdString();
    if (!c.m_fError) {
        EXPECT_EQ(r.m_sFile.toStdString(), c.m_sFile);
        EXPECT_EQ(r.m_nLanguage, c.m_nLanguage);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LangTemplateArgs, ::testing::ValuesIn(cCases),
                         [](const ::testing::TestParamInfo<TCase>& AInfo) {
                             std::string lName;
                             for (const char* p = AInfo.param.m_sName; *p; ++p)
                                 lName += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return lName;
                         });
