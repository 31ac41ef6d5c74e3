#pragma once
// Tables as a list shows them, for exports: a header row of the list's column captions and one row
// per entry in the list's current order, with the texts the list shows.

#include "base/uVirtualListViewData.h"

#include <QStringList>

#include <vector>

using TTextRows = std::vector<QStringList>;

// Columns AFirstColumn .. ACaptions.size() - 1 of AData: ACaptions as the header, then every row.
TTextRows ListRows(TVirtualListViewData& AData, const QStringList& ACaptions, int AFirstColumn = 0);

// Writes ARows as a CSV file of the system's dialect (replaced whole, crash-safe); EInOutError when it
// cannot be written.
void WriteCsvRows(const QString& AFileName, const TTextRows& ARows);
// Reads a CSV file into rows: every row as wide as the first; EInOutError when it cannot be read.
TTextRows ReadCsvRows(const QString& AFileName);
