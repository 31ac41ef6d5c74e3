#pragma once
// Pieces of "Tarvo.xml" that both programs read and write alike: the text forms of values, the root
// element and its version, and the zone and card lists.

#include "base/uDateTime.h"
#include "base/uMemXml.h"
#include "base/uRecords.h"

#include <QString>

#include <cstdint>
#include <memory>

inline constexpr const char* DATA_FILE_NAME = "Tarvo.xml";
inline constexpr const char* DATA_ROOT_NAME = "Tarvo";
inline constexpr const char* DATA_VERSION = "1.2";

// Window placement rectangle; the programs keep left, top, width, height in its four fields.
struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool operator==(const TRect&) const = default;
};

// ---- text forms -------------------------------------------------------------------------------------
QString IntToXml(std::int64_t AValue);                            // decimal, "-" before negatives
bool XmlToInt(const QString& AText, std::int32_t& VValue);        // optional sign; false on anything else
bool XmlToUInt(const QString& AText, std::uint32_t& VValue);      // as XmlToInt, into an unsigned field
QString LangIdToXml(std::uint32_t AValue);                        // upper-case hex, at least 4 digits
bool XmlToLangId(const QString& AText, std::uint32_t& VValue);    // hexadecimal; false on anything else
QString BoolToXml(bool AValue);                                   // "True" / "False"
bool XmlToBool(const QString& AText, bool& VValue);               // True/False any case, or a number
QString PointFloatToXml(Extended AValue);                         // locale float with "." as separator
Extended XmlToPointFloat(const QString& AText);                   // 0 when it does not convert
QString HourMinToXml(TTime AValue);                               // "%.2d:%.2d"
// ScanFormat "%d:%d": false with fewer than two numbers; an hour above 23 or a minute above 59 raises
// EConvertError "Invalid argument to time encode".
bool XmlToHourMin(const QString& AText, TTime& VValue);
QString RectToXml(const TRect& AValue);                           // "[%d,%d,%d,%d]"
void XmlToRect(const QString& AText, TRect& VValue);              // fills the fields as far as found

// "Item<id>" child names: the first four characters are ignored, the rest must be an integer > 0.
bool ItemIdOfName(const QString& AName, std::int32_t& VId);
QString ItemNameOfId(std::int32_t AId);

// ---- the file ---------------------------------------------------------------------------------------
// A store on AFileName with the UTF-8 encoding (the file is read at once).
std::unique_ptr<TMemXml> OpenDataXml(const QString& AFileName);
// The root element "Tarvo" when the store has one whose version has major number 1; VMinor gets the
// minor number (0 for a bare "1"). Null otherwise: nothing is to be read.
TMXNode* FindRootForLoad(TMemXml& AXml, std::int32_t& VMinor);
// Saving starts here: declaration version/encoding when missing; the root found or created; a root of
// another major version (or none) emptied; version set to "1.2". Returns the root.
TMXNode& PrepareRootForSave(TMemXml& AXml);

// Appends the zones of a "TimeZones" element to AList in file order (children with a bad id skipped).
// A start time with an hour above 23 or a minute above 59 raises EConvertError (the zone is not added).
void LoadZonesFromXml(const TMXNode& ATimeZones, TTimeZoneList& AList);
// Appends the cards of a "Cards" element (bad id or key number skipped). Returns the largest level read,
// or 0 when none is above 0.
std::int32_t LoadCardsFromXml(const TMXNode& ACards, TCardList& AList);
