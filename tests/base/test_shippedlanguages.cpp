// The language files shipped in "Languages": every catalogued message of the program translated, with
// the same printf directives in the same order as the built-in English text, so FormatMsg fills them
// with the arguments the program passes, and with the same line breaks, shortcut marks and file
// patterns.

#include "base/uIniFile.h"
#include "base/uLangFiles.h"
#include "base/uMessages.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

struct TShippedFile {
    const char* m_sName;
    TMsgProgram m_nProgram;
    std::uint32_t m_nLangId;
    const char* m_sTitle; // UTF-8
};

const TShippedFile cFiles[] = {
    {"Tarvo-Russian.lng", TMsgProgram::FrontDesk, 0x0419, "Русский"},
    {"ConfigTarvo-Russian.lng", TMsgProgram::Config, 0x0419, "Русский"},
    {"Tarvo-Polish.lng", TMsgProgram::FrontDesk, 0x0415, "Polski"},
    {"ConfigTarvo-Polish.lng", TMsgProgram::Config, 0x0415, "Polski"},
    {"Tarvo-German.lng", TMsgProgram::FrontDesk, 0x0407, "Deutsch"},
    {"ConfigTarvo-German.lng", TMsgProgram::Config, 0x0407, "Deutsch"},
};

void PrintTo(const TShippedFile& AFile, std::ostream* AOut) {
    *AOut << AFile.m_sName;
}

QString FilePath(const TShippedFile& AFile) {
    return QStringLiteral(TARVO_SOURCE_DIR "/Languages/") + QLatin1String(AFile.m_sName);
}

const QString cStrings = QStringLiteral("Strings");

// Every match of APattern in AText, in order, as one line of text (readable in failure messages).
std::string MatchesText(const QRegularExpression& APattern, const QString& AText) {
    QStringList lResult;
    QRegularExpressionMatchIterator it = APattern.globalMatch(AText);
    while (it.hasNext())
        lResult << it.next().captured(0);
    return lResult.join(QLatin1Char(' ')).toStdString();
}

// The directives of a format text as FormatMsg reads them: "%%", "%[-][0][width][.prec]conv"; a "%"
// that starts neither is listed as a bare "%" so a stray one in a translation is noticed too.
std::string DirectiveText(const QString& AText) {
    static const QRegularExpression cDirective(QStringLiteral("%(%|[-0]*[0-9]*(\\.[0-9]*)?[dsuxX])?"));
    return MatchesText(cDirective, AText);
}

// How many shortcut marks ("&" before a character other than "&") a text has.
int Mnemonics(const QString& AText) {
    static const QRegularExpression cMark(QStringLiteral("&[^&]"));
    return int(QString(AText).remove(QStringLiteral("&&")).count(cMark));
}

// The file patterns ("*.csv", "*.*") of a filter text, in order: a translation keeps them as they are.
std::string FilePatterns(const QString& AText) {
    static const QRegularExpression cPattern(QStringLiteral("\\*\\.[A-Za-z0-9*]+"));
    return MatchesText(cPattern, AText);
}

// Message number of a key "Str<n>", 0 for any other key.
int MessageNumber(const QString& AKey) {
    static const QRegularExpression cKey(QStringLiteral("^Str([1-9][0-9]*)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch lMatch = cKey.match(AKey);
    return lMatch.hasMatch() ? lMatch.captured(1).toInt() : 0;
}

class ShippedLanguageTest : public testing::TestWithParam<TShippedFile> {
protected:
    void SetUp() override {
        QFile lFile(FilePath(GetParam()));
        ASSERT_TRUE(lFile.open(QIODevice::ReadOnly)) << qPrintable(lFile.fileName());
        m_aBytes = lFile.readAll();
        m_oIni.SetBytes(m_aBytes);
    }
    QByteArray m_aBytes;
    TMemIniFile m_oIni;
};

TEST_P(ShippedLanguageTest, HeaderAndLineEnds) {
    // Without the byte-order mark the file would be read in the system's 8-bit code page.
    EXPECT_TRUE(m_aBytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_FALSE(QString::fromUtf8(m_aBytes).contains(QRegularExpression(QStringLiteral("[^\r]\n"))))
        << "every line ends with CR LF";
    TLangInfo lInfo;
    ASSERT_TRUE(ReadLangInfo(FilePath(GetParam()), lInfo));
    EXPECT_EQ(lInfo.m_nLangId, GetParam().m_nLangId);
    EXPECT_EQ(lInfo.m_sTitle.toStdString(), GetParam().m_sTitle);
    EXPECT_FALSE(lInfo.m_sAuthor.isEmpty());
    EXPECT_TRUE(m_oIni.SectionExists(QStringLiteral("Forms")));
}

TEST_P(ShippedLanguageTest, TranslatesExactlyTheProgramsCatalogue) {
    std::vector<int> lNumbers;
    for (const auto& [lKey, lValue] : m_oIni.ReadSectionValues(cStrings)) {
        const int n = MessageNumber(lKey);
        EXPECT_GT(n, 0) << "not a message key: " << qPrintable(lKey);
        EXPECT_TRUE(lNumbers.empty() || n > lNumbers.back())
            << "Str" << n << " repeated or out of ascending order";
        lNumbers.push_back(n);
    }
    EXPECT_EQ(lNumbers, CatalogueIds(GetParam().m_nProgram));
}

TEST_P(ShippedLanguageTest, TranslationsKeepDirectivesAndLayout) {
    const TMsgProgram lProgram = GetParam().m_nProgram;
    for (const int n : CatalogueIds(lProgram)) {
        SCOPED_TRACE(testing::Message() << "Str" << n);
        const QString lEnglish = BuiltInResString(n, lProgram);
        const QString lRaw = m_oIni.ReadString(cStrings, QStringLiteral("Str%1").arg(n), QString());
        EXPECT_NE(lRaw.toStdString(), "nil");
        if (!lEnglish.isEmpty()) {
            EXPECT_FALSE(lRaw.trimmed().isEmpty());
        }
        const QString lText = DecodeStr(lRaw);
        // A value must survive the coding unchanged (no stray backslash escapes dropped on reading).
        EXPECT_EQ(EncodeStr(lText).toStdString(), lRaw.toStdString());
        EXPECT_EQ(DirectiveText(lText), DirectiveText(lEnglish)) << lText.toStdString();
        // Line breaks: CR LF in the file, CR LF or LF alone in the built-in text.
        EXPECT_EQ(lText.count(QLatin1Char('\n')), lEnglish.count(QLatin1Char('\n')))
            << "line breaks of the message";
        EXPECT_EQ(Mnemonics(lText), Mnemonics(lEnglish)) << "the '&' of a button's shortcut";
        EXPECT_EQ(FilePatterns(lText), FilePatterns(lEnglish))
            << "file patterns of a filter";
        // File filters: "description|pattern|description|pattern"; only the descriptions translate.
        if (lEnglish.contains(QLatin1Char('|'))) {
            const QStringList lParts = lText.split(QLatin1Char('|'));
            const QStringList lEnglishParts = lEnglish.split(QLatin1Char('|'));
            ASSERT_EQ(lParts.size(), lEnglishParts.size()) << qPrintable(lText);
            for (qsizetype i = 1; i < lParts.size(); i += 2)
                EXPECT_EQ(lParts[i].toStdString(), lEnglishParts[i].toStdString());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Languages, ShippedLanguageTest, testing::ValuesIn(cFiles),
                         [](const testing::TestParamInfo<TShippedFile>& AInfo) {
                             return QString::fromLatin1(AInfo.param.m_sName)
                                 .remove(QStringLiteral(".lng"))
                                 .remove(QLatin1Char('-'))
                                 .toStdString();
                         });

// Each program finds its own three files by its prefix, one per language.
TEST(ShippedLanguages, FoundByProgramPrefix) {
    const QString lDir = QStringLiteral(TARVO_SOURCE_DIR "/Languages");
    for (const auto& [lPrefix, lProgram] :
         {std::pair{"Tarvo-", TMsgProgram::FrontDesk}, std::pair{"ConfigTarvo-", TMsgProgram::Config}}) {
        TALangs lLangs;
        FindLanguageFiles(QLatin1String(lPrefix), lLangs, lDir);
        std::multiset<std::string> lFound, lExpected;
        for (const TLangInfo& lInfo : lLangs)
            lFound.insert(lInfo.m_sFileName.toStdString());
        for (const TShippedFile& lFile : cFiles)
            if (lFile.m_nProgram == lProgram) {
                lExpected.insert(lFile.m_sName);
                EXPECT_GE(FindLangById(lLangs, lFile.m_nLangId), 0) << lFile.m_sName;
            }
        EXPECT_EQ(lFound, lExpected) << lPrefix;
    }
}

// A message both programs show reads the same in both files of a language.
TEST(ShippedLanguages, SharedMessagesAgreeBetweenPrograms) {
    std::map<std::uint32_t, const TShippedFile*> lDesk, lConfig;
    for (const TShippedFile& lFile : cFiles)
        (lFile.m_nProgram == TMsgProgram::FrontDesk ? lDesk : lConfig)[lFile.m_nLangId] = &lFile;
    ASSERT_EQ(lDesk.size(), lConfig.size());
    const std::vector<int> lConfigIds = CatalogueIds(TMsgProgram::Config);
    for (const auto& [lId, lDeskFile] : lDesk) {
        ASSERT_TRUE(lConfig.count(lId));
        TMemIniFile lDeskIni(FilePath(*lDeskFile)), lConfigIni(FilePath(*lConfig[lId]));
        for (const int n : CatalogueIds(TMsgProgram::FrontDesk)) {
            if (std::find(lConfigIds.begin(), lConfigIds.end(), n) == lConfigIds.end())
                continue;
            if (BuiltInResString(n, TMsgProgram::FrontDesk) != BuiltInResString(n, TMsgProgram::Config))
                continue; // the program's own title
            const QString lKey = QStringLiteral("Str%1").arg(n);
            EXPECT_EQ(lDeskIni.ReadString(cStrings, lKey, QString()).toStdString(),
                      lConfigIni.ReadString(cStrings, lKey, QString()).toStdString())
                << lDeskFile->m_sName << " Str" << n;
        }
    }
}

// The checks themselves: they see a directive moved, dropped or added, a stray percent sign, a lost
// shortcut mark and a changed file pattern.
TEST(ShippedLanguages, DirectiveListing) {
    struct TCase {
        const char16_t* m_sText;
        const char* m_sDirectives;
    };
    const TCase cCases[] = {
        {u"%4d %s %s-%s %s", "%4d %s %s %s %s"},
        {u"\"%.2d:%.2d\" 100%% %-05d", "%.2d %.2d %% %-05d"},
        {u"%s s/n %d", "%s %d"},
        {u"%d s/n %s", "%d %s"},
        {u"50% off", "%"},
        {u"%", "%"},
        {u"no directive", ""},
    };
    for (const TCase& lCase : cCases)
        EXPECT_EQ(DirectiveText(QString::fromUtf16(lCase.m_sText)), lCase.m_sDirectives)
            << QString::fromUtf16(lCase.m_sText).toStdString();
    EXPECT_EQ(Mnemonics(QStringLiteral("Start &ConfigTarvo")), 1);
    EXPECT_EQ(Mnemonics(QStringLiteral("Salt && pepper")), 0);
    EXPECT_EQ(Mnemonics(QStringLiteral("&A &B")), 2);
    EXPECT_EQ(FilePatterns(QStringLiteral("PDF (*.pdf)")), "*.pdf");
    EXPECT_EQ(FilePatterns(QStringLiteral("Excel (*.xls;*.xlsx)|*.xls;*.xlsx|All|*.*")),
              "*.xls *.xlsx *.xls *.xlsx *.*");
    EXPECT_EQ(MessageNumber(QStringLiteral("str245")), 245);
    EXPECT_EQ(MessageNumber(QStringLiteral("Str")), 0);
    EXPECT_EQ(MessageNumber(QStringLiteral("Str12x")), 0);
    EXPECT_EQ(MessageNumber(QStringLiteral("Str012")), 0);
}

} // namespace
