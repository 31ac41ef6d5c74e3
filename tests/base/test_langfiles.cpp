#include "base/uExceptions.h"
#include "base/uIniFile.h"
#include "base/uLangFiles.h"
#include "base/uLocale.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

QByteArray Utf16(const QString& AText, bool ALittle) {
    QByteArray lBytes = ALittle ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF");
    for (const QChar c : AText) {
        const char lHi = char(c.unicode() >> 8), lLo = char(c.unicode() & 0xFF);
        lBytes += ALittle ? lLo : lHi;
        lBytes += ALittle ? lHi : lLo;
    }
    return lBytes;
}

class IniTest : public testing::Test {
protected:
    TLocaleOverride m_oLocale{QLatin1Char('.'), 1033, QStringLiteral("CP1251")};
    TTempDir m_oDir;
};

TEST_F(IniTest, EncodingsByByteOrderMark) {
    const QString lText = QStringLiteral("[Global]\r\nTitle=Русский\r\n");
    struct TCase {
        const char* name;
        QByteArray bytes;
    };
    const TCase cCases[] = {
        {"UTF-8 BOM", QByteArray("\xEF\xBB\xBF") + lText.toUtf8()},
        {"UTF-16 LE", Utf16(lText, true)},
        {"UTF-16 BE", Utf16(lText, false)},
        {"UTF-16 LE, odd last byte", Utf16(lText, true) + 'x'},
        {"no BOM: the 8-bit code page", QByteArray("[Global]\r\nTitle=\xD0\xF3\xF1\xF1\xEA\xE8\xE9\r\n")},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.name);
        const TMemIniFile lIni(m_oDir.WriteFile(QStringLiteral("t.ini"), c.bytes));
        EXPECT_EQ(lIni.ReadString(QStringLiteral("Global"), QStringLiteral("Title"), QString()),
                  QStringLiteral("Русский"));
    }
}

TEST_F(IniTest, LineRules) {
    TMemIniFile lIni;
    lIni.SetText(QStringLiteral("Orphan=before any section\n"
                                "  [ Global ]  \r\n"
                                "; Title=commented out\r"
                                "  Title   =   First  \n"
                                "TITLE=Second\n"
                                "no equals sign here\n"
                                "Expr=a=b\n"
                                "\t\n"
                                "[Strings]\n"
                                "Str1=one\n"
                                "[global]\n"
                                "Author=Later header of the same section\n"
                                "Title=Third\n"
                                "[Empty]\n"));
    EXPECT_EQ(lIni.Sections(),
              (QStringList{QStringLiteral("Global"), QStringLiteral("Strings"), QStringLiteral("Empty")}));
    struct TCase {
        const char* section;
        const char* key;
        const char* value; // nullptr: absent
    };
    const TCase cCases[] = {
        {"Global", "Title", "First"},  {"GLOBAL", "title", "First"},
        {"Global", "Expr", "a=b"},     {"Global", "Author", "Later header of the same section"},
        {"Global", "Orphan", nullptr}, {"Global", "no equals sign here", nullptr},
        {"strings", "STR1", "one"},    {"Strings", "Str2", nullptr},
        {"Missing", "Title", nullptr}, {"Empty", "x", nullptr},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << c.section << "/" << c.key);
        const QString lSection = QString::fromLatin1(c.section), lKey = QString::fromLatin1(c.key);
        EXPECT_EQ(lIni.ValueExists(lSection, lKey), c.value != nullptr);
        EXPECT_EQ(lIni.ReadString(lSection, lKey, QStringLiteral("<none>")),
                  c.value ? QString::fromUtf8(c.value) : QStringLiteral("<none>"));
    }
    EXPECT_TRUE(lIni.SectionExists(QStringLiteral("EMPTY")));
    EXPECT_FALSE(lIni.SectionExists(QStringLiteral("Missing")));
    const auto lLines = lIni.ReadSectionValues(QStringLiteral("Global"));
    ASSERT_EQ(lLines.size(), 5u);
    EXPECT_EQ(lLines[1], std::make_pair(QStringLiteral("TITLE"), QStringLiteral("Second")));
    EXPECT_EQ(lLines[4], std::make_pair(QStringLiteral("Title"), QStringLiteral("Third")));
}

TEST_F(IniTest, FilesThatCannotOrMustNotBeRead) {
    EXPECT_TRUE(TMemIniFile(m_oDir.FilePath(QStringLiteral("missing.ini"))).Sections().isEmpty());
    EXPECT_THROW(TMemIniFile{m_oDir.Path()}, EInOutError);
    // Too large to be held in memory: refused before reading.
    const QString lHuge = m_oDir.WriteFile(QStringLiteral("huge.ini"), QByteArray("[Global]\n"));
    {
        QFile lFile(lHuge);
        ASSERT_TRUE(lFile.resize(IniMaxFileSize + 1));
    }
    EXPECT_THROW(TMemIniFile{lHuge}, EInOutError);
    // A device reports no size; reading it stops at the cap as well.
    EXPECT_THROW(TMemIniFile{QStringLiteral("/dev/zero")}, EInOutError);
}

TEST(LangFiles, EncodeAndDecode) {
    struct TCase {
        QString text;
        QString encoded;
    };
    const TCase cCases[] = {
        {QStringLiteral("Two\r\nlines"), QStringLiteral("Two\\nlines")},
        {QStringLiteral("Lone\rCR"), QStringLiteral("Lone\\nCR")},
        {QStringLiteral("C:\\Path"), QStringLiteral("C:\\\\Path")},
        {QStringLiteral("\"Quoted\""), QStringLiteral("\\\"Quoted\\\"")},
        {QStringLiteral("\"a\\\""), QStringLiteral("\\\"a\\\\\\\"")},
        {QStringLiteral("\"only at the start"), QStringLiteral("\"only at the start")},
        {QStringLiteral("\""), QStringLiteral("\"")},
        {QStringLiteral("\"\""), QStringLiteral("\\\"\\\"")},
        {QStringLiteral("plain"), QStringLiteral("plain")},
        {QString(), QString()},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(EncodeStr(c.text), c.encoded);
        // A lone CR comes back as CR LF; everything else exactly.
        QString lExpected = c.text;
        lExpected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        lExpected.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        EXPECT_EQ(DecodeStr(c.encoded), lExpected);
    }
    // A bare line feed is encoded too, so that the value stays on one line of the file.
    EXPECT_EQ(EncodeStr(QStringLiteral("a\nb")), QStringLiteral("a\\nb"));

    struct TDecode {
        const char* encoded;
        QString decoded;
    };
    const TDecode cDecodes[] = {
        {"Save\\nchanges?", QStringLiteral("Save\r\nchanges?")},
        {"a\\\\b", QStringLiteral("a\\b")},
        {"\\\"q\\\"", QStringLiteral("\"q\"")},
        {"a\\xb", QStringLiteral("ab")},  // an unknown escape drops both characters
        {"a\\N", QStringLiteral("a")},    // escapes are case-sensitive
        {"end\\", QStringLiteral("end")}, // a backslash at the very end is dropped
        {"\"kept\"", QStringLiteral("\"kept\"")},
    };
    for (const TDecode& c : cDecodes)
        EXPECT_EQ(DecodeStr(QString::fromLatin1(c.encoded)), c.decoded) << c.encoded;
}

class LangDirTest : public testing::Test {
protected:
    void SetUp() override {
        Write("Tarvo-Russian.lng", "\xEF\xBB\xBF[Global]\r\nTitle=Русский\r\nAuthor=Ivan\r\nLangId=419\r\n");
        Write("Tarvo-Polish.LNG", "[global]\nTITLE=Polski\nlangid=0415\n");
        Write("Tarvo-Broken.lng", "[Global]\nTitle=Broken id\nLangId=ru\n");
        Write("Tarvo-NoId.lng", "[Global]\nTitle=No id\n");
        Write("ConfigTarvo-Russian.lng", "[Global]\nTitle=Other program\nLangId=0419\n");
        Write("Tarvo-Russian.txt", "[Global]\nLangId=0419\n");
        QDir(m_oDir.Path()).mkdir(QStringLiteral("Tarvo-Folder.lng"));
        const QString lHuge = Write("Tarvo-Huge.lng", "[Global]\nLangId=0409\n");
        QFile lFile(lHuge);
        lFile.resize(IniMaxFileSize + 1);
    }
    QString Write(const char* AName, const char* AContent) {
        return m_oDir.WriteFile(QString::fromLatin1(AName), QByteArray(AContent));
    }

    TLocaleOverride m_oLocale{QLatin1Char('.'), 1049, QStringLiteral("CP1252")};
    TTempDir m_oDir;
};

TEST_F(LangDirTest, FindsTheProgramsFilesWithTheirHeaders) {
    TALangs lLangs;
    lLangs.push_back(TLangInfo{QStringLiteral("stale"), {}, 1, {}});
    FindLanguageFiles(QStringLiteral("Tarvo-"), lLangs, m_oDir.Path());
    std::sort(lLangs.begin(), lLangs.end(),
              [](const TLangInfo& a, const TLangInfo& b) { return a.m_sFileName < b.m_sFileName; });
    struct TExpected {
        const char* file;
        QString title;
        std::uint32_t id;
    };
    const TExpected cExpected[] = {
        {"Tarvo-Broken.lng", QStringLiteral("Broken id"), 0},
        {"Tarvo-NoId.lng", QStringLiteral("No id"), 0},
        {"Tarvo-Polish.LNG", QStringLiteral("Polski"), 1045},
        {"Tarvo-Russian.lng", QStringLiteral("Русский"), 1049},
    };
    ASSERT_EQ(lLangs.size(), std::size(cExpected));
    for (size_t i = 0; i < lLangs.size(); ++i) {
        SCOPED_TRACE(cExpected[i].file);
        EXPECT_EQ(lLangs[i].m_sFileName, QString::fromLatin1(cExpected[i].file));
        EXPECT_EQ(lLangs[i].m_sTitle, cExpected[i].title);
        EXPECT_EQ(lLangs[i].m_nLangId, cExpected[i].id);
    }
    EXPECT_EQ(lLangs[3].m_sAuthor, QStringLiteral("Ivan"));
    EXPECT_EQ(FindLangById(lLangs, 1045), 2);
    EXPECT_EQ(FindLangById(lLangs, 0), 0); // the first of several
    EXPECT_EQ(FindLangById(lLangs, 1033), -1);

    TLangInfo lInfo;
    EXPECT_FALSE(ReadLangInfo(m_oDir.FilePath(QStringLiteral("Tarvo-Missing.lng")), lInfo));
    EXPECT_FALSE(ReadLangInfo(m_oDir.FilePath(QStringLiteral("Tarvo-Huge.lng")), lInfo));
}

TEST_F(LangDirTest, SystemLanguageIsUsedOnlyWhenAFileHasIt) {
    struct TCase {
        std::uint32_t systemId;
        const char* prefix;
        std::uint32_t expected;
    };
    const TCase cCases[] = {
        {1049, "Tarvo-", 1049},      {1045, "Tarvo-", 1045},
        {1033, "Tarvo-", 127}, // only the oversized file claims 0409, and it is not read
        {1058, "ConfigTarvo-", 127}, {1049, "ConfigTarvo-", 1049},
        {1049, "Nothing-", 127},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << c.systemId << " " << c.prefix);
        SetSystemLangId(c.systemId);
        EXPECT_EQ(ResolveSystemLanguage(QString::fromLatin1(c.prefix), m_oDir.Path()), c.expected);
    }
}

} // namespace
