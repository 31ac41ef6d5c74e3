// .xls (the older binary workbooks), read with freexl. freexl reads stored values only: the results
// of formulas are not in what it can show, so such cells read as empty.

#include "sheet/uSheet.h"
#include "sheet/uSheetCells.h"
#include "sheet/uZipEntry.h"

#include <QFile>

#include <freexl.h>

namespace {

QString FreexlError(int ACode) {
    switch (ACode) {
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("the file does not exist.");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("there is not enough memory.");
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("the workbook's character set is not supported.");
    default:
        return QStringLiteral("it is not a readable .xls workbook (error %1).").arg(ACode);
    }
}

} // namespace

TSheetRows ReadXls(const QString& AFileName) {
    const void* lHandle = nullptr;
    int lRc = freexl_open(QFile::encodeName(AFileName).constData(), &lHandle);
    if (lRc != FREEXL_OK) {
        if (lHandle != nullptr)
            freexl_close(lHandle);
        RaiseSheetRead(AFileName, FreexlError(lRc));
    }
    struct TCloser {
        const void* m_pHandle;
        ~TCloser() { freexl_close(m_pHandle); }
    } lCloser{lHandle};
    unsigned int lInfo = 0;
    if (freexl_get_info(lHandle, FREEXL_BIFF_PASSWORD, &lInfo) == FREEXL_OK &&
        lInfo == FREEXL_BIFF_OBFUSCATED)
        RaiseSheetRead(AFileName, QStringLiteral("the workbook is protected by a password."));
    if (freexl_get_info(lHandle, FREEXL_BIFF_SHEET_COUNT, &lInfo) != FREEXL_OK || lInfo == 0)
        RaiseSheetRead(AFileName, QStringLiteral("the workbook has no worksheet."));
    if ((lRc = freexl_select_active_worksheet(lHandle, 0)) != FREEXL_OK)
        RaiseSheetRead(AFileName, FreexlError(lRc));
    unsigned int lRows = 0;
    unsigned short lCols = 0;
    if ((lRc = freexl_worksheet_dimensions(lHandle, &lRows, &lCols)) != FREEXL_OK)
        RaiseSheetRead(AFileName, FreexlError(lRc));
    if (lRows > unsigned(SheetMaxRows))
        RaiseSheetRead(AFileName, QStringLiteral("the worksheet has more than %1 rows.").arg(SheetMaxRows));
    if (lCols > SheetMaxColumns)
        RaiseSheetRead(AFileName,
                       QStringLiteral("the worksheet has more than %1 columns.").arg(SheetMaxColumns));
    TSheetCells lCells(AFileName);
    for (unsigned int r = 0; r < lRows; ++r)
        for (unsigned short c = 0; c < lCols; ++c) {
            FreeXL_CellValue lCell{};
            if (freexl_get_cell_value(lHandle, r, c, &lCell) != FREEXL_OK)
                continue;
            QString lText;
            switch (lCell.type) {
            case FREEXL_CELL_INT:
                lText = QString::number(lCell.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                lText = QString::number(lCell.value.double_value, 'g', 15);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                lText = QString::fromUtf8(lCell.value.text_value);
                break;
            default:
                break;
            }
            lCells.Set(r, c, lText);
        }
    return lCells.Rows();
}
