#pragma once
// The CSV dialect of the system's tables and its file routines.
//
// Every field is followed by ";", the last one of a line included. A field holding a double quote, a ";"
// or a line break is enclosed in double quotes with every quote inside doubled; a quoted field may
// therefore span lines. Lines end with CR LF. Files are written in the 8-bit code page without a
// byte-order mark and read as UTF-8 or UTF-16 when a byte-order mark says so, else in the code page.

#include "base/uTable.h"

#include <QString>
#include <QStringList>

// Appends AField and its ";" to VLine, quoted when needed.
void AddCsvField(QString& VLine, const QString& AField);

// Takes the field at VPos of ALine into VField and moves VPos past it. Start with VPos = 0; when
// nothing follows the field VPos becomes -1 (the line is used up) and the next call returns false.
// A ";" that ends the line ends it (no empty field follows); an empty line gives one empty field.
// Any position outside the line counts as used up, so a walk over any text always ends.
bool NextCsvField(const QString& ALine, qsizetype& VPos, QString& VField);

// All fields of one line (or record).
QStringList SplitCsvLine(const QString& ALine);

// Splits a file's text into records: at CR LF, LF or CR, except inside a quoted field. A quoted field
// that is never closed ends at its line's end, so a stray quote damages one line, not the rest of the
// file. Text after the last line break is the last record; a final line break adds none.
QStringList SplitCsvRecords(const QString& AText);

// Calls ABeforeHook, asks ARowFunc for rows 0 to ARows - 1 with ACols fields each, calls AAfterHook and
// replaces AFileName with the lines (crash-safe). Each hook and the row function are optional.
// Raises EInOutError when the file cannot be written; an error raised by a callback passes out.
void ExportToCsv(const QString& AFileName, int ACols, int ARows, void* AParam,
                 const TExportHookProc& AAfterHook, const TExportRowFunc& ARowFunc,
                 const TExportHookProc& ABeforeHook = {});

// Reads AFileName and hands every record to ARowFunc. The first record's field count holds for the
// whole file: later records are cut to it or filled with empty fields. An empty file calls nothing and
// succeeds; a callback answering false stops the import with false. Raises EInOutError when the file
// cannot be read or is larger than MaxCsvFileSize; an error raised by the callback passes out.
bool ImportFromCsv(const QString& AFileName, void* AParam, const TImportRowFunc& ARowFunc);

// Limits on outside files: what an import reads at most, and the most fields a row is handed over with
// (further fields of the first line are ignored like those beyond the count on later lines).
inline constexpr qint64 MaxCsvFileSize = 64 * 1024 * 1024;
inline constexpr int MaxCsvFields = 1024;
