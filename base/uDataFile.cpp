#include "base/uDataFile.h"

#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "base/uLocale.h"
#include "base/uMessages.h"
#include "base/uScanFormat.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace {

// Optional sign and decimal digits only, within 64 bits.
bool ParseDecimal(QStringView AText, std::int64_t& VValue) {
    // The form every number is written in, "-" and up to 18 digits, is read here directly.
    const qsizetype nLen = AText.size();
    const qsizetype nFirst = nLen > 0 && AText.front() == u'-' ? 1 : 0;
    if (nLen > nFirst && nLen - nFirst <= 18) {
        std::int64_t lValue = 0;
        qsizetype i = nFirst;
        for (; i < nLen; ++i) {
            const char16_t c = AText[i].unicode();
            if (c < u'0' || c > u'9')
                break;
            lValue = lValue * 10 + (c - u'0');
        }
        if (i == nLen) {
            VValue = nFirst ? -lValue : lValue;
            return true;
        }
    }
    bool lOk = false;
    const qlonglong lValue = AText.toLongLong(&lOk, 10);
    if (!lOk)
        return false;
    // toLongLong accepts surrounding blanks; the stored forms never have them.
    if (AText.isEmpty() || AText.front().isSpace() || AText.back().isSpace())
        return false;
    VValue = lValue;
    return true;
}

bool ViewToInt(QStringView AText, std::int32_t& VValue) {
    std::int64_t lValue = 0;
    if (!ParseDecimal(AText, lValue) || lValue < std::numeric_limits<std::int32_t>::min() ||
        lValue > std::numeric_limits<std::int32_t>::max())
        return false;
    VValue = static_cast<std::int32_t>(lValue);
    return true;
}

// "Item<id>": the first four characters are ignored, the rest must be an integer > 0.
bool IdOfItemName(QStringView AName, std::int32_t& VId) {
    std::int32_t lId = 0;
    if (AName.size() <= 4 || !ViewToInt(AName.sliced(4), lId) || lId <= 0)
        return false;
    VId = lId;
    return true;
}

// A value of the store handed to a reader that takes a QString, without a copy; the reader does not keep
// it.
QString Borrowed(QStringView AText) {
    return AText.isEmpty() ? QString() : QString::fromRawData(AText.data(), AText.size());
}

// A value as messages quote it: a hand-edited file may hold anything, so long values are cut.
QString QuotedValue(QStringView AValue) {
    constexpr qsizetype kMaxShown = 40;
    QString lText = AValue.size() > kMaxShown ? AValue.left(kMaxShown).toString() + QStringLiteral("...")
                                              : AValue.toString();
    return QLatin1Char('"') + lText + QLatin1Char('"');
}

QString ShownFileName(const QString& AFileName) {
    return QLatin1Char('"') + QDir::toNativeSeparators(AFileName) + QLatin1Char('"');
}

} // namespace

QString IntToXml(std::int64_t AValue) {
    return QString::number(AValue);
}

bool XmlToInt(const QString& AText, std::int32_t& VValue) {
    return ViewToInt(AText, VValue);
}

bool XmlToUInt(const QString& AText, std::uint32_t& VValue) {
    std::int64_t lValue = 0;
    // A negative text is read as its 32-bit pattern, as an unsigned field written by an older build
    // would have been.
    if (!ParseDecimal(AText, lValue) || lValue < std::numeric_limits<std::int32_t>::min() ||
        lValue > std::numeric_limits<std::uint32_t>::max())
        return false;
    VValue = static_cast<std::uint32_t>(lValue);
    return true;
}

QString LangIdToXml(std::uint32_t AValue) {
    return QStringLiteral("%1").arg(AValue, 4, 16, QLatin1Char('0')).toUpper();
}

bool XmlToLangId(const QString& AText, std::uint32_t& VValue) {
    if (AText.isEmpty() || AText.size() > 8)
        return false;
    for (QChar lCh : AText) {
        const char16_t c = lCh.unicode();
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    bool lOk = false;
    const uint lValue = AText.toUInt(&lOk, 16);
    if (!lOk)
        return false;
    VValue = lValue;
    return true;
}

QString BoolToXml(bool AValue) {
    return AValue ? QStringLiteral("True") : QStringLiteral("False");
}

bool XmlToBool(const QString& AText, bool& VValue) {
    if (AText.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        VValue = true;
        return true;
    }
    if (AText.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        VValue = false;
        return true;
    }
    Extended lNumber = 0;
    if (!TryStrToFloat(AText, lNumber))
        return false;
    VValue = lNumber != 0;
    return true;
}

QString PointFloatToXml(Extended AValue) {
    QString lText = FloatToStr(AValue);
    lText.replace(DecimalSeparator(), QLatin1Char('.'));
    return lText;
}

Extended XmlToPointFloat(const QString& AText) {
    Extended lValue = 0;
    return TryXmlToPointFloat(AText, lValue) ? lValue : 0;
}

bool TryXmlToPointFloat(const QString& AText, Extended& VValue) {
    QString lText = AText;
    lText.replace(QLatin1Char('.'), DecimalSeparator());
    Extended lValue = 0;
    if (!TryStrToFloat(lText, lValue))
        return false;
    VValue = lValue;
    return true;
}

QString HourMinToXml(TTime AValue) {
    int lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeTime(AValue, lHour, lMin, lSec, lMSec);
    return QStringLiteral("%1:%2").arg(lHour, 2, 10, QLatin1Char('0')).arg(lMin, 2, 10, QLatin1Char('0'));
}

bool XmlToHourMin(const QString& AText, TTime& VValue) {
    std::int32_t lHour = 0, lMin = 0;
    if (ScanFormat(AText, QStringLiteral("%d:%d"), {&lHour, &lMin}) < 2)
        return false;
    VValue = EncodeTime(lHour, lMin, 0, 0); // raises on an hour above 23 or a minute above 59
    return true;
}

QString RectToXml(const TRect& AValue) {
    return QStringLiteral("[%1,%2,%3,%4]")
        .arg(AValue.Left)
        .arg(AValue.Top)
        .arg(AValue.Right)
        .arg(AValue.Bottom);
}

void XmlToRect(const QString& AText, TRect& VValue) {
    ScanFormat(AText, QStringLiteral("[%d,%d,%d,%d]"),
               {&VValue.Left, &VValue.Top, &VValue.Right, &VValue.Bottom});
}

bool ItemIdOfName(const QString& AName, std::int32_t& VId) {
    return IdOfItemName(AName, VId);
}

QString ItemNameOfId(std::int32_t AId) {
    // Called for every zone and card on each save: the digits are put down directly.
    char16_t lBuf[16];
    char16_t* lEnd = lBuf + 16;
    char16_t* lDigit = lEnd;
    std::uint32_t lValue = AId < 0 ? 0u - std::uint32_t(AId) : std::uint32_t(AId);
    do {
        *--lDigit = char16_t(u'0' + lValue % 10);
        lValue /= 10;
    } while (lValue != 0);
    if (AId < 0)
        *--lDigit = u'-';
    QString lName(4 + (lEnd - lDigit), Qt::Uninitialized);
    char16_t* const lOut = reinterpret_cast<char16_t*>(lName.data());
    std::copy(lDigit, lEnd, std::copy_n(u"Item", 4, lOut));
    return lName;
}

std::unique_ptr<TMemXml> OpenDataXml(const QString& AFileName) {
    return std::make_unique<TMemXml>(AFileName, TXmlEncoding::Utf8);
}

TMXNode* FindRootForLoad(TMemXml& AXml, std::int32_t& VMinor) {
    TMXNode* lRoot = AXml.RootNode().ChildNodes().GetNodeByName(QLatin1String(DATA_ROOT_NAME));
    if (!lRoot)
        return nullptr;
    std::int32_t lMajor = 0, lMinor = 0;
    const QString lVersion = lRoot->GetNodeAttr(QStringLiteral("version"));
    const int lCount = ReadDataValue(QStringLiteral("the element Tarvo"), "version", lVersion, [&] {
        return ScanFormat(lVersion, QStringLiteral("%d.%d"), {&lMajor, &lMinor});
    });
    // A bare major version "1" is read too (as 1.0): saving keeps such a root's children, so leaving them
    // unread would let the next save put defaults over the settings and delete every zone and card.
    if (lCount < 1 || lMajor != 1)
        return nullptr;
    VMinor = lMinor;
    return lRoot;
}

TResText DataRootProblem(TMemXml& AXml, const QString& AFileName) {
    if (!AXml.FileName().isEmpty() && !QFileInfo::exists(AXml.FileName()))
        return TResText();
    const QString lFile = ShownFileName(AFileName);
    TMXNode* lRoot = AXml.RootNode().ChildNodes().GetNodeByName(QLatin1String(DATA_ROOT_NAME));
    if (!lRoot) {
        const QFileInfo lInfo(AXml.FileName());
        if (!AXml.FileName().isEmpty() && lInfo.size() == 0)
            return TResText(MSG_LOAD_FILE_EMPTY, {lFile});
        return TResText(MSG_LOAD_NOT_DATA_FILE, {lFile});
    }
    std::int32_t lMinor = 0;
    try {
        if (FindRootForLoad(AXml, lMinor))
            return TResText();
    } catch (const EConvertError&) {
        // The load itself reports a version it cannot convert.
        return TResText();
    }
    const QString lVersion = lRoot->GetNodeAttr(QStringLiteral("version"));
    if (lVersion.isEmpty())
        return TResText(MSG_LOAD_NO_VERSION, {lFile});
    return TResText(MSG_LOAD_BAD_VERSION, {lFile, QuotedValue(lVersion)});
}

QString DataItemText(const char* AKind, const QString& AName, const QString& AElement) {
    if (AName.isEmpty())
        return QStringLiteral("%1 %2").arg(QLatin1String(AKind), AElement);
    return QStringLiteral("%1 %2 (%3)").arg(QLatin1String(AKind), QuotedValue(AName), AElement);
}

void RaiseDataValueError(const QString& AItem, const char* AAttr, const QString& AValue,
                         const QString& AReason) {
    // An attribute is quoted as it stands in the file; "text" is the element's own text.
    const QString lWhat = qstrcmp(AAttr, "text") == 0
                              ? QStringLiteral("the text ") + QuotedValue(AValue)
                              : QLatin1String(AAttr) + QLatin1Char('=') + QuotedValue(AValue);
    throw EConvertError(QStringLiteral("%1 has %2 (%3)").arg(AItem, lWhat, AReason));
}

QString DataLoadErrorText(const QString& AFileName, const QString& AError) {
    return QStringLiteral("The data file %1 could not be read: %2.").arg(ShownFileName(AFileName), AError);
}

TMXNode& PrepareRootForSave(TMemXml& AXml) {
    TMXNode& lDecl = AXml.RootNode();
    if (!lDecl.AttrExists(QStringLiteral("version")))
        lDecl.SetNodeAttr(QStringLiteral("version"), QStringLiteral("1.0"));
    if (!lDecl.AttrExists(QStringLiteral("encoding")))
        lDecl.SetNodeAttr(QStringLiteral("encoding"), QStringLiteral("utf-8"));

    TMXNode& lRoot = *lDecl.ChildNodes().FindNode(QLatin1String(DATA_ROOT_NAME), true);
    std::int32_t lMajor = 0, lMinor = 0;
    int lCount = 0;
    try {
        lCount = ScanFormat(lRoot.GetNodeAttr(QStringLiteral("version")), QStringLiteral("%d.%d"),
                            {&lMajor, &lMinor});
    } catch (const EConvertError&) {
        lCount = 0; // a version that is no number at all is treated as none: the save must still go through
    }
    if (!(lCount >= 2 && lMajor == 1 && lMinor == 2)) {
        if (lCount < 1 || lMajor != 1)
            lRoot.ClearNodes();
        lRoot.SetNodeAttr(QStringLiteral("version"), QLatin1String(DATA_VERSION));
    }
    return lRoot;
}

void LoadZonesFromXml(const TMXNode& ATimeZones, TTimeZoneList& AList, const QString& AFileName,
                      QStringList* VProblems) {
    const TMXNodeList& lItems = ATimeZones.ChildNodes();
    for (int i = 0; i < lItems.Count(); ++i) {
        std::int32_t lId = 0;
        if (!IdOfItemName(lItems.NameView(i), lId))
            continue;
        const TMXNode& lNode = *lItems.GetNode(i);
        auto lZone = std::make_unique<TTarvoTimeZone>();
        lZone->m_nId = lId;
        lZone->m_sName = lNode.GetNodeAttr(QStringLiteral("name"));
        // Built only when a message needs it: the lists of a data file can be long.
        const auto lItemText = [&] { return DataItemText("time zone", lZone->m_sName, lItems.Get(i)); };
        // A value that is missing or does not convert leaves the zone's field as it is; the operator is
        // told which, since the zone then bills from 00:00 or at a cost of 0.
        const auto lNote = [&](const char* AWhat, QStringView AValue, const char* ATaken) {
            if (!VProblems)
                return;
            const QString lHow = AValue.isEmpty()
                                     ? QStringLiteral("is missing")
                                     : QStringLiteral("could not be read (%1)").arg(QuotedValue(AValue));
            VProblems->append(QStringLiteral("The %1 of %2 in %3 %4: it is taken as %5.")
                                  .arg(QLatin1String(AWhat), lItemText(), ShownFileName(AFileName), lHow,
                                       QLatin1String(ATaken)));
        };
        const QStringView lStart = lNode.GetNodeAttrView(QStringLiteral("startTime"));
        bool lStartRead = false;
        try {
            lStartRead = XmlToHourMin(Borrowed(lStart), lZone->m_tStartTime);
        } catch (const EConvertError& E) {
            RaiseDataValueError(lItemText(), "startTime", lStart.toString(), E.Message());
        }
        if (!lStartRead)
            lNote("start time", lStart, "00:00");
        const QStringView lBase = lNode.GetNodeAttrView(QStringLiteral("baseCost"));
        if (!TryXmlToPointFloat(Borrowed(lBase), lZone->m_nBaseCost))
            lNote("base cost", lBase, "0");
        const QStringView lMin = lNode.GetNodeAttrView(QStringLiteral("minCost"));
        if (!TryXmlToPointFloat(Borrowed(lMin), lZone->m_nMinCost))
            lNote("minimum cost", lMin, "0");
        AList.Add(std::move(lZone));
    }
}

std::int32_t LoadCardsFromXml(const TMXNode& ACards, TCardList& AList, bool AKeepUnnumbered) {
    std::int32_t lMaxLevel = 0;
    const TMXNodeList& lItems = ACards.ChildNodes();
    for (int i = 0; i < lItems.Count(); ++i) {
        std::int32_t lId = 0;
        if (!IdOfItemName(lItems.NameView(i), lId))
            continue;
        const TMXNode& lNode = *lItems.GetNode(i);
        // A missing or empty number parses to length 0, which equals every key presented: such a card is
        // only kept where the owner can give it a number, never where keys are matched.
        TOrv_KEYNUM lNumber{};
        const QStringView lNumberText = lNode.GetNodeAttrView(QStringLiteral("number"));
        if (lNumberText.isEmpty() ? !AKeepUnnumbered : !HexToKeyNum(Borrowed(lNumberText), lNumber))
            continue;
        auto lCard = std::make_unique<TCard>();
        lCard->m_Number = lNumber;
        lCard->m_nId = lId;
        lCard->m_sUserName = lNode.GetNodeAttr(QStringLiteral("name"));
        if (const TMXNode* lComment = lNode.ChildNodes().GetNodeByName(QStringLiteral("Commant")))
            lCard->m_sComment = lComment->GetNodeText();
        ViewToInt(lNode.GetNodeAttrView(QStringLiteral("level")), lCard->m_nLevel);
        if (lCard->m_nLevel > lMaxLevel)
            lMaxLevel = lCard->m_nLevel;
        AList.Add(std::move(lCard));
    }
    return lMaxLevel;
}
