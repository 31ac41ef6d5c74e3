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
    QString& lCell = m_aCells[ARow][ACol];
    if (lCell.isEmpty() && ++m_nCount > SheetMaxCells)
        RaiseSheetRead(m_sFileName,
                       QStringLiteral("the worksheet has more than %1 cells.").arg(SheetMaxCells));
    lCell = AText;
    m_nLastCol = std::max(m_nLastCol, ACol);
}

TSheetRows TSheetCells::Rows() const {
    TSheetRows lRows;
    if (m_aCells.empty())
        return lRows;
    const qint64 lLastRow = m_aCells.rbegin()->first;
    if ((lLastRow + 1) * (m_nLastCol + 1) > SheetMaxCells)
        RaiseSheetRead(m_sFileName,
                       QStringLiteral("the worksheet has more than %1 cells.").arg(SheetMaxCells));
    lRows.assign(size_t(lLastRow + 1), QStringList());
    for (QStringList& lRow : lRows) {
        lRow.reserve(m_nLastCol + 1);
        for (qint64 c = 0; c <= m_nLastCol; ++c)
            lRow << QString();
    }
    for (const auto& [lRow, lCols] : m_aCells)
        for (const auto& [lCol, lText] : lCols)
            lRows[size_t(lRow)][lCol] = lText;
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
