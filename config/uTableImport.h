#pragma once
// The configuration program's tables in and out: the zone and card lists as exported (header row of
// the list's captions, the texts the list shows) and the row consumers of an import, which replace the
// list by the rows of a table read whole beforehand.
//
// Imported rows are read by position: zones name, start time, base cost, minimum cost in columns 2-5;
// cards key (hexadecimal), user name, level, comment. Column 1 only tells a header row (a first row
// whose first field is no integer) from data.

#include "base/uListExport.h"
#include "config/uTarvoDoc.h"

#include <functional>

namespace ConfigTarvo {

// Asked before each row; true stops the import there (the operator cancelled).
using TImportCancelled = std::function<bool()>;

// Zone row AIdx of a table: appended to the document when it is taken. False ends the import (fewer
// than two fields, or cancelled). A start time that reads as hour and minute outside the day raises
// EConvertError naming the row.
bool TzImportRow(TTarvoDoc& ADoc, int AIdx, const QStringList& AFields);
// Card row AIdx: a row whose key is not hexadecimal is skipped; an empty key is taken.
bool CardImportRow(TTarvoDoc& ADoc, int AIdx, const QStringList& AFields);

// Replaces the zones (or cards) by the rows, in one document update; the rows before an error stay.
// Returns the number of rows taken.
int ImportTimeZones(TTarvoDoc& ADoc, const TTextRows& ARows, const TImportCancelled& ACancelled = {});
int ImportCards(TTarvoDoc& ADoc, const TTextRows& ARows, const TImportCancelled& ACancelled = {});

// The lists' column captions in English, for a program without the list windows.
QStringList TzListCaptions();
QStringList CardListCaptions();
// The lists as exported: ACaptions as the header row, then every entry as the list shows it.
TTextRows TzExportRows(const TTarvoDoc& ADoc, const QStringList& ACaptions);
TTextRows CardExportRows(const TTarvoDoc& ADoc, const QStringList& ACaptions);

} // namespace ConfigTarvo
