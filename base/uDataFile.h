#pragma once
// Pieces of "Tarvo.xml" that both programs read and write alike: the text forms of values, the root
// element and its version, and the zone and card lists.

#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "base/uMemXml.h"
#include "base/uMessages.h"
#include "base/uRecords.h"

#include <QString>
#include <QStringList>

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
QString IntToXml(std::int64_t AValue);                           // decimal, "-" before negatives
bool XmlToInt(const QString& AText, std::int32_t& VValue);       // optional sign; false on anything else
bool XmlToUInt(const QString& AText, std::uint32_t& VValue);     // as XmlToInt, into an unsigned field
QString LangIdToXml(std::uint32_t AValue);                       // upper-case hex, at least 4 digits
bool XmlToLangId(const QString& AText, std::uint32_t& VValue);   // hexadecimal; false on anything else
QString BoolToXml(bool AValue);                                  // "True" / "False"
bool XmlToBool(const QString& AText, bool& VValue);              // True/False any case, or a number
QString PointFloatToXml(Extended AValue);                        // locale float with "." as separator
Extended XmlToPointFloat(const QString& AText);                  // 0 when it does not convert
bool TryXmlToPointFloat(const QString& AText, Extended& VValue); // as XmlToPointFloat; false, V unchanged
QString HourMinToXml(TTime AValue);                              // "%.2d:%.2d"
// ScanFormat "%d:%d": false with fewer than two numbers; an hour above 23 or a minute above 59 raises
// EConvertError "Invalid argument to time encode".
bool XmlToHourMin(const QString& AText, TTime& VValue);
QString RectToXml(const TRect& AValue);              // "[%d,%d,%d,%d]"
void XmlToRect(const QString& AText, TRect& VValue); // fills the fields as far as found

// "Item<id>" child names: the first four characters are ignored, the rest must be an integer > 0.
bool ItemIdOfName(const QString& AName, std::int32_t& VId);
QString ItemNameOfId(std::int32_t AId);

// ---- the file ---------------------------------------------------------------------------------------
// A store on AFileName with the UTF-8 encoding (the file is read at once).
std::unique_ptr<TMemXml> OpenDataXml(const QString& AFileName);
// The root element "Tarvo" when the store has one whose version has major number 1; VMinor gets the
// minor number (0 for a bare "1"). Null otherwise: nothing is to be read. A version with a sign and no
// digits raises EConvertError naming the attribute and its value.
TMXNode* FindRootForLoad(TMemXml& AXml, std::int32_t& VMinor);
// Why FindRootForLoad finds nothing in a store read from AFileName, as a sentence for the operator;
// empty when it finds the root, and when the store was read from a file that does not exist (a first
// start has nothing to read and nothing lost).
TResText DataRootProblem(TMemXml& AXml, const QString& AFileName);
// Saving starts here: declaration version/encoding when missing; the root found or created; a root of
// another major version (or none) emptied; version set to "1.2". Returns the root.
TMXNode& PrepareRootForSave(TMemXml& AXml);

// ---- reading errors ---------------------------------------------------------------------------------
// The text of an item for messages: "time zone "Day" (Item3)", or "time zone Item3" without a name.
QString DataItemText(const char* AKind, const QString& AName, const QString& AElement);
// Raises EConvertError "<item> has <attr>="<value>" (<reason>)"; AAttr "text" means the element's text
// ("<item> has the text "<value>" (<reason>)").
[[noreturn]] void RaiseDataValueError(const QString& AItem, const char* AAttr, const QString& AValue,
                                      const QString& AReason);
// Runs ARead (a conversion of AValue); an EConvertError it raises is raised again naming the item, the
// attribute (or "text" for an element's text) and the value.
template <class TRead>
auto ReadDataValue(const QString& AItem, const char* AAttr, const QString& AValue, TRead ARead) {
    try {
        return ARead();
    } catch (const EConvertError& E) {
        RaiseDataValueError(AItem, AAttr, AValue, E.Message());
    }
}
// The message of a load of AFileName that stopped at AError: "The data file "..." could not be read: ...".
QString DataLoadErrorText(const QString& AFileName, const QString& AError);

// Appends the zones of a "TimeZones" element to AList in file order (children with a bad id skipped).
// A start time with an hour above 23 or a minute above 59 raises EConvertError (the zone is not added)
// naming the zone and the value. With VProblems, a start time or cost that is missing or does not
// convert (the zone keeps 00:00 or 0) adds a sentence naming the zone and AFileName.
void LoadZonesFromXml(const TMXNode& ATimeZones, TTimeZoneList& AList, const QString& AFileName = QString(),
                      QStringList* VProblems = nullptr);
// Appends the cards of a "Cards" element (bad id or key number skipped). Returns the largest level read,
// or 0 when none is above 0. A card whose number is missing or empty is skipped too unless
// AKeepUnnumbered: its key would equal every key presented, so only a program that lets the owner give
// it a number keeps it.
std::int32_t LoadCardsFromXml(const TMXNode& ACards, TCardList& AList, bool AKeepUnnumbered = false);
