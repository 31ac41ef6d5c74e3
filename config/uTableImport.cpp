#include "config/uTableImport.h"

#include "base/uKeyNum.h"
#include "base/uLocale.h"
#include "base/uScanFormat.h"
#include "config/uViewData.h"

namespace ConfigTarvo {

namespace {

bool IsHeaderRow(int AIdx, const QStringList& AFields) {
    std::int32_t lNumber = 0;
    return AIdx == 0 && !TryStrToInt(AFields.at(0), lNumber);
}

QString Field(const QStringList& AFields, int AIdx) {
    return AIdx < AFields.size() ? AFields.at(AIdx) : QString();
}

// The integer at the start of a text ("3 stars" is 3), 0 when it starts with none.
std::int32_t LeadingInt(const QString& AText) {
    qsizetype i = 0;
    while (i < AText.size() && AText.at(i) == QLatin1Char(' '))
        ++i;
    qsizetype lEnd = i;
    if (lEnd < AText.size() && (AText.at(lEnd) == QLatin1Char('+') || AText.at(lEnd) == QLatin1Char('-')))
        ++lEnd;
    while (lEnd < AText.size() && AText.at(lEnd).isDigit() && AText.at(lEnd).unicode() < 128 && lEnd - i < 11)
        ++lEnd;
    std::int32_t lValue = 0;
    return TryStrToInt(AText.mid(i, lEnd - i), lValue) ? lValue : 0;
}

Extended CostOf(const QString& AText) {
    Extended lValue = 0;
    return TryStrToFloat(AText, lValue) ? lValue : 0;
}

} // namespace

bool TzImportRow(TTarvoDoc& ADoc, int AIdx, const QStringList& AFields) {
    if (AFields.size() < 2)
        return false;
    if (IsHeaderRow(AIdx, AFields))
        return true;
    TTime lStart = 0;
    std::int32_t lHour = 0, lMin = 0;
    int lRead = 0;
    try {
        lRead = ScanFormat(Field(AFields, 2), QStringLiteral("%d:%d"), {&lHour, &lMin});
    } catch (const EConvertError&) {
        lRead = 0; // a number beyond 32 bits: no time given
    }
    if (lRead == 2 && !TryEncodeTime(lHour, lMin, 0, 0, lStart))
        throw EConvertError(
            QStringLiteral("Row %1: \"%2\" is no time of day.").arg(AIdx + 1).arg(Field(AFields, 2)));
    ADoc.AddTimeZone(Field(AFields, 1), lStart, CostOf(Field(AFields, 3)), CostOf(Field(AFields, 4)));
    return true;
}

bool CardImportRow(TTarvoDoc& ADoc, int AIdx, const QStringList& AFields) {
    if (AFields.size() < 2)
        return false;
    TOrv_KEYNUM lNumber{};
    if (IsHeaderRow(AIdx, AFields) || !HexToKeyNum(Field(AFields, 1), lNumber))
        return true;
    ADoc.AddCard(lNumber, Field(AFields, 2), Field(AFields, 4), LeadingInt(Field(AFields, 3)));
    return true;
}

namespace {

int ImportRows(TTarvoDoc& ADoc, const TTextRows& ARows, const TImportCancelled& ACancelled, bool AZones) {
    // One update: the lists and the modified mark change once, also when a row stops the import.
    ADoc.BeginUpdate();
    int lTaken = 0;
    try {
        if (AZones)
            ADoc.ClearTZs();
        else
            ADoc.ClearCards();
        for (size_t r = 0; r < ARows.size(); ++r) {
            if (ACancelled && ACancelled())
                break;
            const int lBefore = AZones ? ADoc.TZs().Count() : ADoc.Cards().Count();
            if (!(AZones ? TzImportRow(ADoc, int(r), ARows[r]) : CardImportRow(ADoc, int(r), ARows[r])))
                break;
            lTaken += (AZones ? ADoc.TZs().Count() : ADoc.Cards().Count()) - lBefore;
        }
    } catch (...) {
        ADoc.EndUpdate();
        throw;
    }
    ADoc.EndUpdate();
    return lTaken;
}

} // namespace

int ImportTimeZones(TTarvoDoc& ADoc, const TTextRows& ARows, const TImportCancelled& ACancelled) {
    return ImportRows(ADoc, ARows, ACancelled, true);
}

int ImportCards(TTarvoDoc& ADoc, const TTextRows& ARows, const TImportCancelled& ACancelled) {
    return ImportRows(ADoc, ARows, ACancelled, false);
}

QStringList TzListCaptions() {
    return {QStringLiteral("#"), QStringLiteral("Zone Name"), QStringLiteral("Start time"),
            QStringLiteral("Base cost per minute"), QStringLiteral("Minimum cost per minute")};
}

QStringList CardListCaptions() {
    return {QStringLiteral("#"), QStringLiteral("Key"), QStringLiteral("User name"),
            QStringLiteral("Level of service"), QStringLiteral("Comment")};
}

TTextRows TzExportRows(const TTarvoDoc& ADoc, const QStringList& ACaptions) {
    TTimeZonesViewData lData(ADoc);
    return ListRows(lData, ACaptions);
}

TTextRows CardExportRows(const TTarvoDoc& ADoc, const QStringList& ACaptions) {
    TCardsViewData lData(ADoc);
    return ListRows(lData, ACaptions);
}

} // namespace ConfigTarvo
