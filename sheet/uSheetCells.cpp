#include "sheet/uSheetCells.h"

#include "sheet/uZipEntry.h"

void TSheetCells::Set(qint64 ARow, qint64 ACol, const QString& AText) {
    if (AText.isEmpty())
        return;
    if (ARow < 0 || ACol < 0)
        RaiseSheetRead(m_sFileName, QStringLiteral("a cell lies outside the worksheet."));
    if (ARow >= SheetMaxRows)
        RaiseSheetRead(m_sFileName, QStringLiteral("the worksheet has more than %1 rows.").arg(SheetMaxRows));
    if (ACol >= SheetMaxColumns)
        RaiseSheetRead(m_sFileName,
                       QStringLiteral("the worksheet has more than %1 columns.").arg(SheetMaxColumns));
    if (qint64(m_aCells.size()) >= SheetMaxCells)
        RaiseSheetRead(m_sFileName,
                       QStringLiteral("the worksheet has more than %1 cells.").arg(SheetMaxCells));
    m_aCells.push_back({ARow, ACol, AText});
    m_nLastRow = std::max(m_nLastRow, ARow);
    m_nLastCol = std::max(m_nLastCol, ACol);
}

TSheetRows TSheetCells::Rows() const {
    TSheetRows lRows;
    if (m_aCells.empty())
        return lRows;
    if ((m_nLastRow + 1) * (m_nLastCol + 1) > SheetMaxCells)
        RaiseSheetRead(m_sFileName,
                       QStringLiteral("the worksheet has more than %1 cells.").arg(SheetMaxCells));
    QStringList lEmptyRow;
    lEmptyRow.reserve(m_nLastCol + 1);
    for (qint64 c = 0; c <= m_nLastCol; ++c)
        lEmptyRow << QString();
    lRows.assign(size_t(m_nLastRow + 1), lEmptyRow);
    // In file order, so that a cell given twice keeps its last text.
    for (const TCell& lCell : m_aCells)
        lRows[size_t(lCell.m_nRow)][lCell.m_nCol] = lCell.m_sText;
    return lRows;
}

bool ParseCellRef(const QString& ARef, qint64& VRow, qint64& VCol) {
    qsizetype i = 0;
    qint64 lCol = 0;
    while (i < ARef.size() && ARef.at(i).isLetter() && ARef.at(i).unicode() < 128) {
        lCol = lCol * 26 + (ARef.at(i).toUpper().unicode() - 'A' + 1);
        if (lCol > 1000000)
            return false;
        ++i;
    }
    if (i == 0 || i == ARef.size())
        return false;
    bool lOk = false;
    const qint64 lRow = ARef.mid(i).toLongLong(&lOk);
    if (!lOk || lRow < 1)
        return false;
    VRow = lRow - 1;
    VCol = lCol - 1;
    return true;
}
