#pragma once
// Spreadsheet files as tables of displayed texts. One worksheet; rows from A1, every cell a text.
// Reading gives the texts of the first worksheet from A1 to its last used cell, row by row, empty cells
// as empty texts; what a file may hold in memory is capped, and any damage raises ESheetError naming
// the file.

#include "base/uExceptions.h"

#include <QString>
#include <QStringList>

#include <vector>

using TSheetRows = std::vector<QStringList>;

class ESheetError : public Exception {
public:
    using Exception::Exception;
};

// What a read may hold: far beyond any cafe's cards, zones or report, but a hostile file cannot fill
// the memory with rows, columns or decompressed bytes.
inline constexpr int SheetMaxRows = 1000000;
inline constexpr int SheetMaxColumns = 1024;
inline constexpr qint64 SheetMaxCells = 4000000;
inline constexpr qint64 SheetMaxEntryBytes = 512LL * 1024 * 1024; // one decompressed part of a workbook

enum class TSheetKind { None, Xlsx, Ods, Xls };
// By the file name's extension (letter case ignored).
TSheetKind SheetKindOf(const QString& AFileName);

// Writes ARows as the only worksheet ASheetName of a new or replaced file; the kind by its extension
// (.xlsx or .ods). Column widths fit each column's longest text (wide characters count double).
void WriteSheetFile(const QString& AFileName, const TSheetRows& ARows, const QString& ASheetName);
// The displayed texts of the first worksheet (.xlsx, .ods or .xls by the extension).
TSheetRows ReadSheetFile(const QString& AFileName);

// The width of a column in characters for its texts: the longest line of any cell, characters of East
// Asian wide or full width counting double, plus a little room; at least 4, at most 100.
double SheetColumnWidth(const TSheetRows& ARows, int AColumn);

// A new file "<cache>/tarvo/exports/<ABaseName>.<AExt>" ($XDG_CACHE_HOME, else ~/.cache), never an
// existing one: "<ABaseName> (2).<AExt>" and so on. The folder is created; ESheetError when it cannot.
QString NewExportPath(const QString& ABaseName, const QString& AExt);

// Readers and writers of each kind (uSheetXlsx.cpp, uSheetOds.cpp, uSheetXls.cpp).
void WriteXlsx(const QString& AFileName, const TSheetRows& ARows, const QString& ASheetName);
void WriteOds(const QString& AFileName, const TSheetRows& ARows, const QString& ASheetName);
TSheetRows ReadXlsx(const QString& AFileName);
TSheetRows ReadOds(const QString& AFileName);
TSheetRows ReadXls(const QString& AFileName);
