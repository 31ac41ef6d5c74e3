// The .xlsx reader from any bytes: the worksheet and shared strings (split at the first NUL byte) of
// a workbook that is otherwise well formed, or any file. See SheetFuzz.h.
#include "fuzz/SheetFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    return SheetFuzz::Run(AData, ASize, "xlsx", [](const QByteArray& ABytes) {
        const qsizetype lSplit = ABytes.indexOf('\0');
        std::map<QString, QByteArray> lParts = {
            {QStringLiteral("xl/workbook.xml"),
             "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
             "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
            {QStringLiteral("xl/_rels/workbook.xml.rels"),
             "<Relationships><Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
            {QStringLiteral("xl/worksheets/sheet1.xml"), lSplit < 0 ? ABytes : ABytes.left(lSplit)},
            {QStringLiteral("xl/styles.xml"),
             "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"dd.mm.yyyy hh:mm\"/></numFmts>"
             "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"4\"/><xf numFmtId=\"164\"/><xf numFmtId=\"10\"/></cellXfs>"
             "</styleSheet>"}};
        if (lSplit >= 0)
            lParts[QStringLiteral("xl/sharedStrings.xml")] = ABytes.mid(lSplit + 1);
        return lParts;
    });
}
