// The message catalogue: built-in texts per program, the translator's routing, and the filling of
// catalogue texts, which must stay safe for any translated text.

#include "base/uMessages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Restores the program and removes any routing after each test.
class TMessagesTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetMsgProgram(TMsgProgram::FrontDesk);
        SetMsgLookup({});
    }
};

} // namespace

TEST_F(TMessagesTest, BuiltInTextsPerProgram) {
    EXPECT_EQ(LoadResString(MSG_APP_TITLE), QStringLiteral("Tarvo (Velmo)"));
    EXPECT_EQ(LoadResString(MSG_TOTAL_SUM), QStringLiteral("Total sum: %s"));
    EXPECT_EQ(LoadResString(MSG_HAS_BEEN), QStringLiteral("%s\r\n has been %s.\r\nSum: %s."));
    SetMsgProgram(TMsgProgram::Config);
    EXPECT_EQ(LoadResString(MSG_APP_TITLE), QStringLiteral("Config tarvo (Velmo)"));
    EXPECT_EQ(LoadResString(MSG_SAVE_CHANGES), QStringLiteral("Save changes?"));
    EXPECT_EQ(BuiltInResString(MSG_SAVE_CHANGES, TMsgProgram::FrontDesk), QString());
    EXPECT_EQ(LoadResString(247), QString()); // a number neither program uses

    const std::vector<int> lFront = CatalogueIds(TMsgProgram::FrontDesk);
    EXPECT_EQ(lFront.front(), 1);
    EXPECT_EQ(std::count(lFront.begin(), lFront.end(), MSG_NOT_OUT_LINE), 1);
    EXPECT_TRUE(std::is_sorted(lFront.begin(), lFront.end()));
    // The first catalogue ends at 282; messages added since are numbered from 1000.
    for (TMsgProgram lProgram : {TMsgProgram::FrontDesk, TMsgProgram::Config})
        for (int lId : CatalogueIds(lProgram))
            EXPECT_TRUE(lId <= MSG_NOT_OUT_LINE || lId >= 1000) << lId;
    EXPECT_EQ(std::count(lFront.begin(), lFront.end(), MSG_SAVE_CHANGES), 0);
    EXPECT_EQ(std::count(lFront.begin(), lFront.end(), MSG_FILTER_CSV), 1);
    for (TMsgProgram lProgram : {TMsgProgram::FrontDesk, TMsgProgram::Config})
        for (int lId : CatalogueIds(lProgram))
            EXPECT_FALSE(BuiltInResString(lId, lProgram).isEmpty()) << lId;
}

TEST_F(TMessagesTest, TranslationsComeFromTheInstalledLookup) {
    SetMsgLookup([](int AId, QString& VText) {
        if (AId != MSG_NOT_OUT)
            return false;
        VText = QStringLiteral("Nicht gegangen:");
        return true;
    });
    EXPECT_EQ(LoadResString(MSG_NOT_OUT), QStringLiteral("Nicht gegangen:"));
    EXPECT_EQ(LoadResString(MSG_TOTAL_SUM), QStringLiteral("Total sum: %s"));
    SetMsgLookup({});
    EXPECT_EQ(LoadResString(MSG_NOT_OUT), QStringLiteral("Not out:"));
}

// A kept message is made into text when asked for: in the language loaded then, with the arguments it
// was kept with in their order; a fixed text is given back as it stands, directives and all.
TEST_F(TMessagesTest, KeptMessagesReadInTheLanguageLoadedWhenAskedFor) {
    const std::vector<TResText> lKept = {
        TResText(MSG_LOAD_NO_CARD, {std::int64_t(3), QStringLiteral("\"a%sb.xml\"")}),
        TResText::Fixed(QStringLiteral("50% of %s")),
        TResText(MSG_NOT_OUT, {}),
    };
    EXPECT_TRUE(TResText().IsEmpty());
    EXPECT_EQ(TResText().Text(), QString());
    EXPECT_FALSE(lKept[1].IsEmpty());
    const QStringList lEnglish = {
        QStringLiteral("None of the 3 cards in \"a%sb.xml\" could be read: no card would be recognised at "
                       "the desk."),
        QStringLiteral("50% of %s"),
        QStringLiteral("Not out:"),
    };
    EXPECT_EQ(ResTexts(lKept), lEnglish);
    // Arguments fill the translation's directives in their order, whatever their kind.
    SetMsgLookup([](int AId, QString& VText) {
        VText = QStringLiteral("<%1> %s / %d").arg(AId);
        return true;
    });
    EXPECT_EQ(ResTexts(lKept), (QStringList{QStringLiteral("<1027> 3 / \"a%sb.xml\""),
                                            QStringLiteral("50% of %s"), QStringLiteral("<281>  / ")}));
    SetMsgLookup({});
    EXPECT_EQ(ResTexts(lKept), lEnglish);
}

// Language files hold line breaks as CR LF. A message the program breaks with LF alone gets its
// translation's breaks as LF (the toolkit would show the CR); one it breaks with CR LF keeps them.
TEST_F(TMessagesTest, TranslatedLineBreaksTakeTheFormOfTheBuiltInText) {
    SetMsgLookup([](int AId, QString& VText) {
        VText = QStringLiteral("<%1>\r\nzwei\r\n").arg(AId);
        return true;
    });
    const struct {
        int m_nId;
        const char* m_sExpected;
    } cCases[] = {
        {MSG_LOAD_PROBLEMS, "<1013>\nzwei\n"}, // "...:\n\n%s"
        {MSG_EXIT_QUESTION, "<1003>\nzwei\n"}, // no break at all
        {MSG_HAS_BEEN, "<249>\r\nzwei\r\n"},   // "%s\r\n has been..."
        {MSG_RCPT_PAID_TIME, "<255>\r\nzwei\r\n"},
    };
    for (const auto& c : cCases)
        EXPECT_EQ(LoadResString(c.m_nId).toStdString(), c.m_sExpected) << c.m_nId;
}

TEST_F(TMessagesTest, FormatFillsDirectivesAndSurvivesBadTexts) {
    struct TCase {
        const char* m_sFormat;
        std::initializer_list<TMsgArg> m_aArgs;
        const char* m_sExpected;
    };
    const TCase cCases[] = {
        {"%4d %s %s-%s %s",
         {std::int64_t(0), QStringLiteral("\"A B\""), QStringLiteral("10:00:05"), QStringLiteral("11:30:00"),
          QStringLiteral("90.00")},
         "   0 \"A B\" 10:00:05-11:30:00 90.00"},
        {"%4d|%-4d|%04d", {std::int64_t(-7), std::int64_t(7), std::int64_t(-7)}, "  -7|7   |-007"},
        {"Time zone \"%.2d:%.2d\"", {std::int64_t(9), std::int64_t(5)}, "Time zone \"09:05\""},
        {"%d in / %d out", {std::int64_t(12345678901LL), std::int64_t(0)}, "12345678901 in / 0 out"},
        {"100%% %s", {QStringLiteral("done")}, "100% done"},
        {"%.3s|%5s", {QStringLiteral("abcdef"), QStringLiteral("ab")}, "abc|   ab"},
        {"%x %X", {std::int64_t(255), std::int64_t(255)}, "ff FF"},
        // Translated texts are outside input: more directives than arguments, swapped kinds, unknown ones.
        {"%s %d %s", {QStringLiteral("only")}, "only  "},
        {"%d", {QStringLiteral("text")}, "text"},
        {"%s", {std::int64_t(42)}, "42"},
        {"%n %p %q 50%", {}, "%n %p %q 50%"},
        {"%", {}, "%"},
        {"%999999999999d|", {std::int64_t(1)}, nullptr}, // width capped: 256 characters
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sFormat);
        const QString lResult = FormatMsg(QString::fromUtf8(c.m_sFormat), c.m_aArgs);
        if (c.m_sExpected != nullptr)
            EXPECT_EQ(lResult, QString::fromUtf8(c.m_sExpected));
        else
            EXPECT_EQ(lResult, QString(255, QLatin1Char(' ')) + QStringLiteral("1|"));
    }
    EXPECT_EQ(FormatResString(MSG_IN_OUT_COUNTS, {std::int64_t(3), std::int64_t(2)}),
              QStringLiteral("3 in / 2 out"));
}
