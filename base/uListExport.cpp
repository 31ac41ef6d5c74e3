#include "base/uListExport.h"

#include "base/uCsv.h"

#include <algorithm>

TTextRows ListRows(TVirtualListViewData& AData, const QStringList& ACaptions, int AFirstColumn) {
    TTextRows lRows;
    lRows.push_back(ACaptions.mid(AFirstColumn));
    const int lCount = AData.GetCount();
    if (lCount > 0)
        AData.DataHint(0, lCount - 1);
    TListViewRow lItem;
    for (int r = 0; r < lCount; ++r) {
        AData.GetData(r, lItem);
        QStringList lRow;
        for (int c = AFirstColumn; c < ACaptions.size(); ++c)
            lRow << lItem.ColumnText(c);
        lRows.push_back(lRow);
    }
    return lRows;
}

void WriteCsvRows(const QString& AFileName, const TTextRows& ARows) {
    int lColumns = 0;
    for (const QStringList& lRow : ARows)
        lColumns = std::max(lColumns, int(lRow.size()));
    ExportToCsv(AFileName, lColumns, int(ARows.size()), nullptr, {},
                [&](TTableTarget*, int ARow, void*, QStringList& VFields, int) {
                    const QStringList& lRow = ARows[size_t(ARow)];
                    for (int c = 0; c < lRow.size(); ++c)
                        VFields[c] = lRow.at(c);
                    return true;
                });
}

TTextRows ReadCsvRows(const QString& AFileName) {
    TTextRows lRows;
    ImportFromCsv(AFileName, nullptr, [&](TTableTarget*, int, void*, QStringList& VFields, int) {
        lRows.push_back(VFields);
        return true;
    });
    return lRows;
}
