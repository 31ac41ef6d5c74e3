#pragma once
// A table file of any kind the system exchanges, chosen by its extension: .csv in the system's CSV
// dialect, .xlsx and .ods workbooks, and .xls for reading.

#include "base/uListExport.h"

#include <QString>

// Raises ESheetError or EInOutError naming the file when it cannot be read.
TTextRows ReadTableFile(const QString& AFileName);
// .xlsx or .ods as a workbook (ASheetName names the worksheet), anything else as CSV.
void WriteTableFile(const QString& AFileName, const TTextRows& ARows, const QString& ASheetName);
