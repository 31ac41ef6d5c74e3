#pragma once
// Tables of text moved in and out of the programs: rows of text fields handed over through callbacks.
// An export asks its caller for each row, an import hands each row read to its caller; the routines
// know nothing of zones, cards or reports. The same callbacks drive CSV files and spreadsheets.
// Rows are numbered from 0; by convention row 0 is a header row.

#include <QString>
#include <QStringList>

#include <functional>

// The spreadsheet being filled or read. CSV routines pass none (nullptr): callers test for it to know
// whether they write into a spreadsheet.
class TTableTarget {
public:
    virtual ~TTableTarget() = default;
};

// Fills VFields (sized to the column count, all empty) for row ARow of ARowCount rows. The result false
// asks the export to stop; only the spreadsheet export obeys it.
using TExportRowFunc =
    std::function<bool(TTableTarget* ATarget, int ARow, void* AParam, QStringList& VFields, int ARowCount)>;
// Called once before the rows and once after them, so that callers can add their own content.
using TExportHookProc = std::function<void(TTableTarget* ATarget, void* AParam)>;
// Receives row ARow (ARowCount is -1 when the row count is not known beforehand); false stops the import.
using TImportRowFunc =
    std::function<bool(TTableTarget* ATarget, int ARow, void* AParam, QStringList& VFields, int ARowCount)>;
