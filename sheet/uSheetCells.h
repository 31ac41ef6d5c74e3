#pragma once
// Collecting the cells of a worksheet read in file order into the table of displayed texts: cells may
// come sparse and out of order; empty rows and columns before used ones are filled in, trailing empty
// ones are not, and the caps of uSheet.h hold.

#include "sheet/uSheet.h"

#include <vector>

class TSheetCells {
public:
    explicit TSheetCells(const QString& AFileName) : m_sFileName(AFileName) {}
    // Cell (ARow, ACol), both from 0. Empty texts are not stored.
    void Set(qint64 ARow, qint64 ACol, const QString& AText);
    TSheetRows Rows() const;

private:
    struct TCell {
        qint64 m_nRow;
        qint64 m_nCol;
        QString m_sText;
    };
    QString m_sFileName;
    // In file order: a cell given twice keeps its last text.
    std::vector<TCell> m_aCells;
    qint64 m_nLastRow = -1;
    qint64 m_nLastCol = -1;
};

// Column and row of a cell reference such as "B12" (from 0); false when it is none.
bool ParseCellRef(const QString& ARef, qint64& VRow, qint64& VCol);
