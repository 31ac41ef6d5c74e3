// Workbooks without an office suite: every text comes back as written through .xlsx and .ods, cells
// read sparse and repeated as the formats allow, numbers through their formats, and damaged or hostile
// files end in an error that names the file instead of a crash or a full memory.
#include "sheet/uSheet.h"
#include "sheet/uSheetNumFmt.h"

#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <zip.h>

#include <list>
#include <map>

namespace {

// A zip archive of the given parts, for workbooks made by hand.
void MakeZip(const QString& APath, const std::map<QString, QByteArray>& AParts) {
    int lError = 0;
    zip_t* lZip = zip_open(QFile::encodeName(APath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &lError);
    ASSERT_NE(lZip, nullptr);
    std::list<QByteArray> lKeep;
    for (const auto& [lName, lBytes] : AParts) {
        lKeep.push_back(lBytes);
        zip_source_t* lSource =
            zip_source_buffer(lZip, lKeep.back().constData(), zip_uint64_t(lKeep.back().size()), 0);
        ASSERT_GE(zip_file_add(lZip, lName.toUtf8().constData(), lSource, ZIP_FL_ENC_UTF_8), 0);
    }
    ASSERT_EQ(zip_close(lZip), 0);
}

// The smallest .xlsx around a sheet's <sheetData> content and a shared-strings part.
std::map<QString, QByteArray> XlsxParts(const QByteArray& ASheetData,
                                        const QByteArray& AStrings = QByteArray(),
                                        const QByteArray& AStyles = QByteArray()) {
    std::map<QString, QByteArray> lParts = {
        {QStringLiteral("xl/workbook.xml"),
         "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
         "<sheet name=\"First\" sheetId=\"1\" r:id=\"rId7\"/><sheet name=\"Other\" sheetId=\"2\" "
         "r:id=\"rId8\"/>"
         "</sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId8\" Target=\"worksheets/other.xml\"/>"
         "<Relationship Id=\"rId7\" Target=\"worksheets/first.xml\"/></Relationships>"},
        {QStringLiteral("xl/worksheets/first.xml"),
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>" +
             ASheetData + "</sheetData></worksheet>"},
        {QStringLiteral("xl/worksheets/other.xml"),
         "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>"
         "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>second "
         "sheet</t></is></c></row></sheetData></worksheet>"},
    };
    if (!AStrings.isEmpty())
        lParts[QStringLiteral("xl/sharedStrings.xml")] =
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + AStrings + "</sst>";
    if (!AStyles.isEmpty())
        lParts[QStringLiteral("xl/styles.xml")] =
            "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">" + AStyles +
            "</styleSheet>";
    return lParts;
}

std::map<QString, QByteArray> OdsParts(const QByteArray& ATables) {
    return {
        {QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
        {QStringLiteral("content.xml"),
         "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
         "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
         "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>" +
             ATables + "</office:spreadsheet></office:body></office:document-content>"}};
}

TSheetRows Rows(std::initializer_list<QStringList> ARows) {
    return TSheetRows(ARows);
}

class SheetTest : public ::testing::Test {
protected:
    QString Path(const char* AName) const { return m_oDir.FilePath(QString::fromLatin1(AName)); }
    TTempDir m_oDir;
};

TEST_F(SheetTest, EveryTextComesBackThroughBothWorkbookKinds) {
    const TSheetRows lRows = Rows({
        {QStringLiteral("Key"), QStringLiteral("Name"), QStringLiteral("Level"), QStringLiteral("Comment")},
        {QStringLiteral("0090"), QStringLiteral("=SUM(A1)"), QStringLiteral("3"), QStringLiteral("1e5")},
        {QStringLiteral("00AB12"), QStringLiteral("  two  blanks "), QString(), QStringLiteral("tab\there")},
        {},
        {QString(), QStringLiteral("Line one\nline two"),
         QStringLiteral("\u65e5\u672c\u8a9e \u0416\u0451\u043b"),
         QStringLiteral("_x0041_ & <b>\"quoted\"</b>")},
        {QStringLiteral("TRUE"), QStringLiteral("'apostrophe"), QStringLiteral("\u00e9\u00e8"),
         QStringLiteral("")},
    });
    // Read back from A1 to the last used cell: every row as wide as the widest.
    TSheetRows lExpected = lRows;
    for (QStringList& lRow : lExpected)
        while (lRow.size() < 4)
            lRow << QString();
    for (const char* lName : {"cards.xlsx", "cards.ods"}) {
        SCOPED_TRACE(lName);
        WriteSheetFile(Path(lName), lRows, QStringLiteral("Cards"));
        EXPECT_EQ(ReadSheetFile(Path(lName)), lExpected);
    }
    // Nothing written: nothing read.
    for (const char* lName : {"empty.xlsx", "empty.ods"}) {
        WriteSheetFile(Path(lName), {}, QStringLiteral("Cards"));
        EXPECT_TRUE(ReadSheetFile(Path(lName)).empty()) << lName;
    }
}

TEST_F(SheetTest, XlsxCellsSparseSharedRichAndEscaped) {
    MakeZip(
        Path("hand.xlsx"),
        XlsxParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"s\"><v>1</v></c></row>"
                  "<row r=\"3\"><c t=\"inlineStr\"><is><t>no ref</t></is></c><c t=\"b\"><v>1</v></c>"
                  "<c r=\"D3\" t=\"str\"><f>A1</f><v>formula text</v></c><c r=\"E3\" "
                  "t=\"e\"><v>#DIV/0!</v></c></row>"
                  "<row r=\"4\"><c r=\"B4\" s=\"1\"><v>1234.5</v></c><c r=\"C4\" s=\"2\"><v>45361.5</v></c>"
                  "<c r=\"D4\"><v>0.30000000000000004</v></c></row>",
                  "<si><t>plain</t></si><si><r><t>rich </t></r><r><rPr><b/></rPr><t>text</t></r>"
                  "<rPh><t>phonetic</t></rPh><t>_x000D_</t></si>",
                  "<numFmts><numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy hh:mm\"/></numFmts>"
                  "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"4\"/><xf numFmtId=\"164\"/></cellXfs>"));
    EXPECT_EQ(ReadSheetFile(Path("hand.xlsx")),
              Rows({{QStringLiteral("plain"), QString(), QStringLiteral("rich text\r"), QString(), QString()},
                    {QString(), QString(), QString(), QString(), QString()},
                    {QStringLiteral("no ref"), QStringLiteral("TRUE"), QString(),
                     QStringLiteral("formula text"), QStringLiteral("#DIV/0!")},
                    {QString(), QStringLiteral("1,234.50"), QStringLiteral("10.03.2024 12:00"),
                     QStringLiteral("0.3"), QString()}}));
}

// A first table with repeated cells and rows, paragraphs, a comment and a merged cell after AEmptyRows
// empty rows; a second table that is not read.
QByteArray RepeatedTables(int AEmptyRows) {
    return "<table:table table:name=\"First\">"
           "<table:table-row><table:table-cell table:number-columns-repeated=\"2\">"
           "<text:p>twice</text:p></table:table-cell><table:table-cell table:number-columns-repeated=\"16000\"/>"
           "</table:table-row>"
           "<table:table-row table:number-rows-repeated=\"2\"><table:table-cell/>"
           "<table:table-cell><text:p>a<text:s text:c=\"3\"/>b<text:tab/>c</text:p>"
           "<text:p><text:span>second</text:span> <text:a>line</text:a><text:line-break/>end</text:p>"
           "<office:annotation><text:p>a comment</text:p></office:annotation></table:table-cell>"
           "</table:table-row>"
           "<table:table-row table:number-rows-repeated=\"" +
           QByteArray::number(AEmptyRows) +
           "\"><table:table-cell table:number-columns-repeated=\"1024\"/></table:table-row>"
           "<table:table-row><table:table-cell table:number-columns-spanned=\"2\"><text:p>merged</text:p>"
           "</table:table-cell><table:covered-table-cell/><table:table-cell><text:p>after</text:p>"
           "</table:table-cell></table:table-row>"
           "<table:table-row table:number-rows-repeated=\"1048000\"><table:table-cell/></table:table-row>"
           "</table:table><table:table table:name=\"Other\"><table:table-row><table:table-cell><text:p>"
           "second sheet</text:p></table:table-cell></table:table-row></table:table>";
}

TEST_F(SheetTest, OdsRepeatsCoveredCellsAndParagraphs) {
    // Empty rows only count; the trailing ones are not rows at all.
    MakeZip(Path("small.ods"), OdsParts(RepeatedTables(5)));
    const QString lCell = QStringLiteral("a   b\tc\nsecond line\nend");
    TSheetRows lExpected = Rows({{QStringLiteral("twice"), QStringLiteral("twice"), QString()},
                                 {QString(), lCell, QString()},
                                 {QString(), lCell, QString()}});
    for (int i = 0; i < 5; ++i)
        lExpected.push_back({QString(), QString(), QString()});
    lExpected.push_back({QStringLiteral("merged"), QString(), QStringLiteral("after")});
    EXPECT_EQ(ReadSheetFile(Path("small.ods")), lExpected);
    // A used row beyond a million rows is beyond what a read holds.
    MakeZip(Path("far.ods"), OdsParts(RepeatedTables(1048570)));
    EXPECT_THROW(ReadSheetFile(Path("far.ods")), ESheetError);
}

TEST_F(SheetTest, DamagedAndHostileWorkbooksEndInAnErrorNamingTheFile) {
    const QByteArray lBomb =
        "<!DOCTYPE sst [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
        "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">]>";
    const struct {
        const char* m_pName;
        std::map<QString, QByteArray> m_aParts; // empty: the file holds m_aBytes
        QByteArray m_aBytes;
    } cCases[] = {
        {"text.xlsx", {}, "Key;Name\r\n"},
        {"empty.ods", {}, ""},
        {"noworkbook.xlsx", {{QStringLiteral("other.xml"), "<a/>"}}, {}},
        {"index.xlsx",
         XlsxParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>99</v></c></row>", "<si><t>x</t></si>"),
         {}},
        {"notnumber.xlsx",
         XlsxParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>x</v></c></row>", "<si><t>x</t></si>"),
         {}},
        {"rows.xlsx",
         XlsxParts("<row r=\"2000000\"><c r=\"A2000000\" t=\"inlineStr\"><is><t>x</t></is></c></row>"),
         {}},
        {"columns.xlsx",
         XlsxParts("<row r=\"1\"><c r=\"ZZZ1\" t=\"inlineStr\"><is><t>x</t></is></c></row>"),
         {}},
        {"broken.xlsx", XlsxParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>x</is></row>"), {}},
        {"entities.xlsx", XlsxParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c></row>", QByteArray()), {}},
        {"noodscontent.ods",
         {{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"}},
         {}},
        {"columns.ods",
         OdsParts("<table:table><table:table-row><table:table-cell table:number-columns-repeated=\"5000\">"
                  "<text:p>x</text:p></table:table-cell></table:table-row></table:table>"),
         {}},
        {"binary.xls", {}, QByteArray(4096, '\x01')},
    };
    for (const auto& c : cCases) {
        SCOPED_TRACE(c.m_pName);
        const QString lPath = Path(c.m_pName);
        if (c.m_aParts.empty()) {
            QFile lFile(lPath);
            ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
            lFile.write(c.m_aBytes);
        } else if (QByteArray(c.m_pName) == "entities.xlsx") {
            auto lParts = c.m_aParts;
            lParts[QStringLiteral("xl/sharedStrings.xml")] =
                lBomb + "<sst "
                        "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><si><t>&f;</t></"
                        "si></sst>";
            MakeZip(lPath, lParts);
        } else {
            MakeZip(lPath, c.m_aParts);
        }
        try {
            ReadSheetFile(lPath);
            ADD_FAILURE() << "no error";
        } catch (const ESheetError& E) {
            EXPECT_TRUE(E.Message().contains(QString::fromLatin1(c.m_pName))) << E.Message().toStdString();
        }
    }
    // A file cut in half.
    WriteSheetFile(Path("whole.xlsx"), Rows({{QStringLiteral("a")}}), QStringLiteral("x"));
    QFile lWhole(Path("whole.xlsx"));
    ASSERT_TRUE(lWhole.open(QIODevice::ReadOnly));
    const QByteArray lBytes = lWhole.readAll();
    QFile lCut(Path("cut.xlsx"));
    ASSERT_TRUE(lCut.open(QIODevice::WriteOnly));
    lCut.write(lBytes.left(lBytes.size() / 2));
    lCut.close();
    EXPECT_THROW(ReadSheetFile(Path("cut.xlsx")), ESheetError);
    EXPECT_THROW(ReadSheetFile(Path("cards.csv")), ESheetError);
}

TEST(SheetNumFmt, DisplayedTexts) {
    const struct {
        double m_dValue;
        const char* m_pCode;
        const char* m_pText;
    } cCases[] = {
        {42, "General", "42"},
        {0.1 + 0.2, "General", "0.3"},
        {-3.5, "", "-3.5"},
        {1234.5, "0", "1235"},
        {2.5, "0", "3"},
        {90, "0000", "0090"},
        {0.5, "#.00", ".50"},
        {1234.567, "#,##0.00", "1,234.57"},
        {-1234.567, "#,##0.00", "-1,234.57"},
        {1234567, "#,##0", "1,234,567"},
        {0.125, "0.00%", "12.50%"},
        {0.5, "0%", "50%"},
        {-5, "#,##0;(#,##0)", "(5)"},
        {12.3, "\"EUR \"0.00", "EUR 12.30"},
        {12.3, "[Red]0.0", "12.3"},
        {45361, "dd.mm.yyyy", "10.03.2024"},
        {45361, "mm-dd-yy", "03-10-24"},
        {45361, "yyyy-mm-dd", "2024-03-10"},
        {45361, "d-mmm-yy", "10-Mar-24"},
        {45361.75, "hh:mm", "18:00"},
        {45361.75, "h:mm AM/PM", "6:00 PM"},
        {0.5 + 1.0 / 86400 * 5, "hh:mm:ss", "12:00:05"},
        {1.25, "[h]:mm:ss", "30:00:00"},
        {45361.5, "m/d/yy h:mm", "3/10/24 12:00"},
        {7, "@", "7"},
    };
    for (const auto& c : cCases)
        EXPECT_EQ(FormatSheetNumber(c.m_dValue, QString::fromLatin1(c.m_pCode)),
                  QString::fromLatin1(c.m_pText))
            << c.m_pCode;
}

TEST_F(SheetTest, ExportsGoToNewFilesNeverOverwriting) {
    qputenv("XDG_CACHE_HOME", m_oDir.Path().toLocal8Bit());
    const QString lFirst = NewExportPath(QStringLiteral("Report 2024-03-10"), QStringLiteral("xlsx"));
    EXPECT_EQ(lFirst, m_oDir.FilePath(QStringLiteral("tarvo/exports/Report 2024-03-10.xlsx")));
    const QString lSecond = NewExportPath(QStringLiteral("Report 2024-03-10"), QStringLiteral("xlsx"));
    EXPECT_EQ(lSecond, m_oDir.FilePath(QStringLiteral("tarvo/exports/Report 2024-03-10 (2).xlsx")));
    EXPECT_EQ(NewExportPath(QStringLiteral("a/b"), QStringLiteral("ods")),
              m_oDir.FilePath(QStringLiteral("tarvo/exports/a_b.ods")));
    qunsetenv("XDG_CACHE_HOME");
}

TEST(SheetWidth, ColumnsFitTheLongestLineWideCharactersDouble) {
    const TSheetRows lRows = {{QStringLiteral("abc"), QStringLiteral("\u65e5\u672c")},
                              {QStringLiteral("abcdefghij\nxy")}};
    EXPECT_EQ(SheetColumnWidth(lRows, 0), 12.0);
    EXPECT_EQ(SheetColumnWidth(lRows, 1), 6.0);
    EXPECT_EQ(SheetColumnWidth(lRows, 5), 4.0);
}

} // namespace

namespace {

// Workbooks saved by LibreOffice Calc from tests/sheet/data/sample.fods (soffice --headless
// --convert-to xlsx, xls, ods), and the same sheet as LibreOffice shows it (sample.csv: its CSV export
// of the displayed texts). Sparse cells, rich text, a merged cell, number, percent, date and time
// formats, and a second sheet that must not be read.
QString Sample(const char* AExt) {
    return QStringLiteral(TARVO_SOURCE_DIR "/tests/sheet/data/sample.") + QString::fromLatin1(AExt);
}

TSheetRows ShownByTheOfficeSuite() {
    QFile lFile(Sample("csv"));
    EXPECT_TRUE(lFile.open(QIODevice::ReadOnly));
    TSheetRows lRows;
    for (const QByteArray& lLine : lFile.readAll().split('\n'))
        if (!lLine.isEmpty())
            lRows.push_back(QString::fromUtf8(lLine).split(QLatin1Char(';')));
    return lRows;
}

TEST(SheetFromAnOfficeSuite, WorkbooksReadToTheTextsTheSuiteShows) {
    const TSheetRows lShown = ShownByTheOfficeSuite();
    ASSERT_EQ(lShown.size(), 6u);
    EXPECT_EQ(ReadSheetFile(Sample("xlsx")), lShown);
    EXPECT_EQ(ReadSheetFile(Sample("ods")), lShown);
}

TEST(SheetFromAnOfficeSuite, OldWorkbooksGiveStoredValuesWithoutTheirFormats) {
    // The .xls reader has the stored values only: numbers without their formats.
    TSheetRows lShown = ShownByTheOfficeSuite();
    lShown[1][3] = QStringLiteral("1234.5");
    lShown[2][0] = QStringLiteral("90");
    lShown[2][3] = QStringLiteral("0.125");
    const TSheetRows lRead = ReadSheetFile(Sample("xls"));
    ASSERT_EQ(lRead.size(), lShown.size());
    for (size_t r = 0; r < lRead.size(); ++r) {
        if (r == 4) // the date and time row is checked below
            continue;
        EXPECT_EQ(lRead[r], lShown[r]) << "row " << r;
    }
    EXPECT_EQ(lRead[4][0], QStringLiteral("2024-03-10"));
    EXPECT_EQ(lRead[4][3], QStringLiteral("0.5"));
}

} // namespace
