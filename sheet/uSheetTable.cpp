#include "sheet/uSheetTable.h"

#include "sheet/uSheet.h"

TTextRows ReadTableFile(const QString& AFileName) {
    if (SheetKindOf(AFileName) != TSheetKind::None)
        return ReadSheetFile(AFileName);
    return ReadCsvRows(AFileName);
}

void WriteTableFile(const QString& AFileName, const TTextRows& ARows, const QString& ASheetName) {
    const TSheetKind lKind = SheetKindOf(AFileName);
    if (lKind == TSheetKind::Xlsx || lKind == TSheetKind::Ods)
        WriteSheetFile(AFileName, ARows, ASheetName);
    else
        WriteCsvRows(AFileName, ARows);
}
