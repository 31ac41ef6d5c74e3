#pragma once
// The displayed text of a number in a workbook cell through its number format, for the common
// formats: General, fixed decimals with or without grouping, percentages, text ("@"), and dates and
// times (days since 1899-12-30). Colours, conditions and locale tags in brackets are ignored; what is
// beyond these shows the number as General does.

#include <QString>

// The format code of a built-in number format id of the xlsx format (0 General ... 49 "@"); empty for
// ids without a fixed code.
QString BuiltInNumFmt(int AId);

QString FormatSheetNumber(double AValue, const QString& AFormatCode);
