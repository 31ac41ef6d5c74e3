// What the front desk tells the operator after opening "Tarvo.xml": the problems that keep it from
// billing or recognising cards, and the error of a value that stops the reading, both naming the file
// and the item.

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uLocale.h"
#include "base/uMemXml.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

using namespace Tarvo;

namespace {

TDateTime Now20240310() {
    return EncodeDate(2024, 3, 10) + EncodeTime(14, 30, 5, 0);
}

// A data file around the given children of the root element.
QByteArray DataFile(const char* ABody, const char* AVersion = "1.2") {
    return QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"") +
           AVersion + "\">\r\n" + ABody + "</Tarvo>\r\n";
}

const char* const ONE_ZONE = "<TimeZones><Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"2\" "
                             "minCost=\"1\"/></TimeZones>";
const char* const ONE_CARD = "<Cards><Item1 number=\"0A\" name=\"Ann\"/></Cards>";

class TTarvoDocProblemsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_oDir.isValid());
        SetNowFunc(Now20240310);
        SetDecimalSeparator(QLatin1Char('.'));
        SetSystemLangId(1033);
    }
    void TearDown() override {
        SetNowFunc({});
        ResetLocaleOverrides();
    }

    QString FilePath() const { return m_oDir.filePath(QStringLiteral("Tarvo.xml")); }
    // The file as messages quote it.
    QString Quoted() const {
        return QLatin1Char('"') + QDir::toNativeSeparators(FilePath()) + QLatin1Char('"');
    }
    void WriteRaw(const QByteArray& ABytes) {
        QFile lFile(FilePath());
        ASSERT_TRUE(lFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        lFile.write(ABytes);
    }
    std::unique_ptr<TTarvoDoc> NewDoc() {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(FilePath());
        lDoc->SetLangDir(m_oDir.filePath(QStringLiteral("Languages")));
        return lDoc;
    }

    QTemporaryDir m_oDir;
};

} // namespace

// Every way a file leaves the desk unable to bill or to recognise a card gives one sentence naming the
// file; a sound file, and no file at all (a first start), give none.
TEST_F(TTarvoDocProblemsTest, OpenNamesWhatTheDeskCannotDo) {
    struct TCase {
        const char* m_sName;
        std::optional<QByteArray> m_aFile; // none: no file at all
        // Each expected sentence, with %1 for the quoted file name; empty: no problem.
        QStringList m_aExpected;
    };
    const QString lLoss =
        QStringLiteral(": nothing in it was read, so every stay would be billed 0 and no card would be "
                       "recognised.");
    const QString lNoZone =
        QStringLiteral("No tariff zone could be read from %1: every stay would be billed 0.");
    const TCase lCases[] = {
        {"no file", std::nullopt, {}},
        {"a sound file", DataFile((QByteArray(ONE_ZONE) + ONE_CARD).constData()), {}},
        {"an empty file", QByteArray(), {"The data file %1 is empty" + lLoss}},
        {"a file that is not XML",
         QByteArray("zones: Day 08:00 2 1\r\n"),
         {"%1 is not an XML data file of Tarvo (it has no Tarvo element)" + lLoss}},
        {"XML of something else",
         QByteArray("<?xml version=\"1.0\"?>\r\n<Config><Item1/></Config>\r\n"),
         {"%1 is not an XML data file of Tarvo (it has no Tarvo element)" + lLoss}},
        {"another major version",
         DataFile(ONE_ZONE, "2.0"),
         {"The data file %1 has the version \"2.0\", which this program does not read" + lLoss}},
        {"no version",
         QByteArray("<Tarvo>") + ONE_ZONE + "</Tarvo>",
         {"The data file %1 has no version" + lLoss}},
        {"no zones", DataFile(ONE_CARD), {lNoZone}},
        {"zones element without a zone",
         DataFile((QByteArray("<TimeZones><Zone/></TimeZones>") + ONE_CARD).constData()),
         {lNoZone}},
        {"an unreadable base cost",
         DataFile("<TimeZones><Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"2,5\" minCost=\"1\"/>"
                  "<Item2 startTime=\"20:00\" baseCost=\"3\"/></TimeZones>"),
         {"The base cost of time zone \"Day\" (Item1) in %1 could not be read (\"2,5\"): it is taken as 0.",
          "The minimum cost of time zone Item2 in %1 is missing: it is taken as 0."}},
        {"an unreadable start time",
         DataFile(
             "<TimeZones><Item4 name=\"Night\" startTime=\"22h\" baseCost=\"1\" minCost=\"1\"/></TimeZones>"),
         {"The start time of time zone \"Night\" (Item4) in %1 could not be read (\"22h\"): it is taken as "
          "00:00."}},
        {"no card readable",
         DataFile(
             (QByteArray(ONE_ZONE) + "<Cards><Item1 number=\"XYZ\"/><Item2 number=\"\"/><Item3/></Cards>")
                 .constData()),
         {"None of the 3 cards in %1 could be read: no card would be recognised at the desk."}},
        {"the only card unreadable",
         DataFile((QByteArray(ONE_ZONE) + "<Cards><Item7 number=\"0G\"/></Cards>").constData()),
         {"The only card in %1 could not be read: no card would be recognised at the desk."}},
        {"some cards readable",
         DataFile((QByteArray(ONE_ZONE) + "<Cards><Item1 number=\"XYZ\"/><Item2 number=\"0B\"/></Cards>")
                      .constData()),
         {}},
        {"an empty card list", DataFile((QByteArray(ONE_ZONE) + "<Cards RdMode=\"1\"/>").constData()), {}},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        QFile::remove(FilePath());
        if (c.m_aFile)
            WriteRaw(*c.m_aFile);
        auto lDoc = NewDoc();
        ASSERT_NO_THROW(lDoc->Open());
        QStringList lExpected;
        for (const QString& lSentence : c.m_aExpected)
            lExpected << lSentence.arg(Quoted());
        EXPECT_EQ(lDoc->LoadProblems(), lExpected);
        EXPECT_FALSE(lDoc->LoadFailed());
    }
}

// The problems belong to the last load: a later load of a sound file or of no file at all clears them.
TEST_F(TTarvoDocProblemsTest, ProblemsFollowTheLastLoad) {
    WriteRaw(DataFile(ONE_CARD));
    auto lDoc = NewDoc();
    lDoc->Open();
    ASSERT_EQ(lDoc->LoadProblems().size(), 1);
    lDoc->Close();
    ASSERT_TRUE(QFile::remove(FilePath()));
    lDoc->Open();
    EXPECT_EQ(lDoc->LoadProblems(), QStringList());
    lDoc->Close();

    WriteRaw(DataFile(ONE_CARD));
    TMemXml lDamaged(FilePath(), TXmlEncoding::Utf8);
    lDoc->LoadFromXml(lDamaged);
    ASSERT_EQ(lDoc->LoadProblems().size(), 1);
    WriteRaw(DataFile((QByteArray(ONE_ZONE) + ONE_CARD).constData()));
    TMemXml lSound(FilePath(), TXmlEncoding::Utf8);
    lDoc->LoadFromXml(lSound);
    EXPECT_EQ(lDoc->LoadProblems(), QStringList());
}

// A value that stops the reading raises an error that names the file, the item and the value; the
// problems of a load cut short are not listed beside it.
TEST_F(TTarvoDocProblemsTest, ReadingErrorNamesFileItemAndValue) {
    struct TCase {
        const char* m_sName;
        const char* m_sBody;
        const char* m_sDetail; // after "The data file <file> could not be read: "
        const char* m_sVersion = "1.2";
    };
    const TCase lCases[] = {
        {"version", "", "the element Tarvo has version=\"-.2\" ('-' is not a valid integer value).", "-.2"},
        {"start of day", "<Main><StartDayTime>24:00</StartDayTime></Main>",
         "Main/StartDayTime has the text \"24:00\" (Invalid argument to time encode)."},
        {"zone with a name",
         "<TimeZones><Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"1\" minCost=\"1\"/>"
         "<Item3 name=\"Night\" startTime=\"25:00\" baseCost=\"1\" minCost=\"1\"/></TimeZones>",
         "time zone \"Night\" (Item3) has startTime=\"25:00\" (Invalid argument to time encode)."},
        {"zone without a name", "<TimeZones><Item2 startTime=\"09:60\"/></TimeZones>",
         "time zone Item2 has startTime=\"09:60\" (Invalid argument to time encode)."},
        {"receipt window", "<Receipt wndPos=\"[+,1,2,3]\"/>",
         "Receipt has wndPos=\"[+,1,2,3]\" ('+' is not a valid integer value)."},
        {"booking time", "<Main><RecentBooking from=\"-:00:00\"/></Main>",
         "Main/RecentBooking has from=\"-:00:00\" ('-' is not a valid integer value)."},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        WriteRaw(DataFile(c.m_sBody, c.m_sVersion));
        auto lDoc = NewDoc();
        const QString lExpected = QStringLiteral("The data file %1 could not be read: %2")
                                      .arg(Quoted(), QString::fromUtf8(c.m_sDetail));
        try {
            lDoc->Open();
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& E) {
            EXPECT_EQ(E.Message(), lExpected);
        }
        EXPECT_TRUE(lDoc->LoadFailed());
        EXPECT_EQ(lDoc->LoadError(), lExpected);
        EXPECT_EQ(lDoc->LoadProblems(), QStringList());
    }
}
