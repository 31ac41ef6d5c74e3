#include "orvreader/src/uOrvBusFormat.h"

#include "orvreader/OrvPort.h"
#include "orvreader/OrvReader.h"
#include "orvreader/src/uOrvCardNumber.h"

#include <limits>
#include <vector>

namespace Orv {

namespace {

struct TField {
    std::string_view sName;
    std::string_view sValue;
};

// Splits "name=value" lines; false on a line without '=', a control character or a record too long
// to be ours. A trailing line break is optional; CR before LF is tolerated.
bool SplitRecord(std::string_view AText, std::vector<TField>& VFields) {
    if (AText.size() > MaxRecordBytes)
        return false;
    while (!AText.empty()) {
        std::size_t lEnd = AText.find('\n');
        std::string_view lLine = AText.substr(0, lEnd);
        AText = lEnd == std::string_view::npos ? std::string_view() : AText.substr(lEnd + 1);
        if (!lLine.empty() && lLine.back() == '\r')
            lLine.remove_suffix(1);
        if (lLine.empty())
            continue;
        // Our records never hold control characters; a value with one would not write back the same.
        for (char c : lLine)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                return false;
        std::size_t lEq = lLine.find('=');
        if (lEq == std::string_view::npos || lEq == 0)
            return false;
        VFields.push_back({lLine.substr(0, lEq), lLine.substr(lEq + 1)});
    }
    return true;
}

// The value of a field that must occur exactly once.
bool Single(const std::vector<TField>& AFields, std::string_view AName, std::string_view& VValue) {
    int lCount = 0;
    for (const TField& f : AFields)
        if (f.sName == AName) {
            VValue = f.sValue;
            ++lCount;
        }
    return lCount == 1;
}

bool SingleU(const std::vector<TField>& AFields, std::string_view AName, std::uint64_t AMax,
             std::uint64_t& VValue) {
    std::string_view lValue;
    return Single(AFields, AName, lValue) && ParseUInt(lValue, AMax, VValue);
}

bool ParsePortFields(const std::vector<TField>& AFields, TBusPort& VPort) {
    std::string_view lName, lFriendly, lSn;
    std::uint64_t lType = 0, lModel = 0, lVersion = 0, lPlugged = 0;
    if (!Single(AFields, "name", lName) || !Single(AFields, "friendly", lFriendly) ||
        !SingleU(AFields, "ptype", ORVP_PORT_IPS, lType) ||
        !SingleU(AFields, "model", ORVR_RD_TYPE_COUNT - 1, lModel) || !Single(AFields, "sn", lSn) ||
        !SingleU(AFields, "version", std::numeric_limits<std::uint32_t>::max(), lVersion) ||
        !SingleU(AFields, "plugged", std::numeric_limits<std::uint64_t>::max(), lPlugged))
        return false;
    TBusPort lPort;
    if (!Utf8ToUtf16(lName, lPort.sName) || !Utf8ToUtf16(lFriendly, lPort.sFriendly) ||
        !ParseInt32(lSn, lPort.nSn))
        return false;
    if (CheckPortName(lPort.sName) != TNameCheck::Ok || lPort.sName != CanonicalPortName(lPort.sName))
        return false;
    if (!lPort.sFriendly.empty() && CheckPortName(lPort.sFriendly) != TNameCheck::Ok)
        return false;
    // The type follows from the name; a record saying otherwise is not ours.
    if (lType != (IsComName(lPort.sName) ? ORVP_PORT_COM : ORVP_PORT_FT))
        return false;
    lPort.nPortType = std::uint32_t(lType);
    lPort.nModel = std::uint32_t(lModel);
    lPort.nVersion = std::uint32_t(lVersion);
    lPort.nPluggedMs = lPlugged;
    VPort = std::move(lPort);
    return true;
}

void AppendPortFields(std::string& VText, const TBusPort& APort) {
    VText += "name=" + Utf16ToUtf8(APort.sName) + "\n";
    VText += "friendly=" + Utf16ToUtf8(APort.sFriendly) + "\n";
    VText += "ptype=" + std::to_string(APort.nPortType) + "\n";
    VText += "model=" + std::to_string(APort.nModel) + "\n";
    VText += "sn=" + std::to_string(APort.nSn) + "\n";
    VText += "version=" + std::to_string(APort.nVersion) + "\n";
    VText += "plugged=" + std::to_string(APort.nPluggedMs) + "\n";
}

bool IsBlank(char16_t AUnit) {
    return AUnit == u' ' || AUnit == 0x00A0 || AUnit == 0x1680 || (AUnit >= 0x2000 && AUnit <= 0x200A) ||
           AUnit == 0x2028 || AUnit == 0x2029 || AUnit == 0x202F || AUnit == 0x205F || AUnit == 0x3000 ||
           AUnit == 0xFEFF;
}

} // namespace

std::string FormatPort(const TBusPort& APort) {
    std::string lText;
    AppendPortFields(lText, APort);
    return lText;
}

bool ParsePort(std::string_view AText, TBusPort& VPort) {
    std::vector<TField> lFields;
    return SplitRecord(AText, lFields) && lFields.size() == 7 && ParsePortFields(lFields, VPort);
}

std::string FormatMessage(const TBusMessage& AMsg) {
    std::string lText;
    switch (AMsg.nKind) {
    case TBusMsgKind::Card:
        lText = "kind=card\ntype=" + std::to_string(AMsg.nCardType) + "\nkey=" + KeyToHex(AMsg.aKey) + "\n";
        break;
    case TBusMsgKind::Gone:
        lText = "kind=gone\n";
        break;
    case TBusMsgKind::Arrival:
    case TBusMsgKind::Removal:
        lText = AMsg.nKind == TBusMsgKind::Arrival ? "kind=arrival\n" : "kind=removal\n";
        AppendPortFields(lText, AMsg.rPort);
        break;
    }
    return lText;
}

bool ParseMessage(std::string_view AText, TBusMessage& VMsg) {
    std::vector<TField> lFields;
    std::string_view lKind;
    if (!SplitRecord(AText, lFields) || !Single(lFields, "kind", lKind))
        return false;
    TBusMessage lMsg;
    if (lKind == "card") {
        std::uint64_t lType = 0;
        std::string_view lKey;
        if (lFields.size() != 3 || !SingleU(lFields, "type", ORVR_CD_TYPE_COUNT - 1, lType) ||
            !Single(lFields, "key", lKey) || !ParseKeyHex(lKey, lMsg.aKey))
            return false;
        lMsg.nKind = TBusMsgKind::Card;
        lMsg.nCardType = std::uint32_t(lType);
    } else if (lKind == "gone") {
        if (lFields.size() != 1)
            return false;
        lMsg.nKind = TBusMsgKind::Gone;
    } else if (lKind == "arrival" || lKind == "removal") {
        if (lFields.size() != 8 || !ParsePortFields(lFields, lMsg.rPort))
            return false;
        lMsg.nKind = lKind == "arrival" ? TBusMsgKind::Arrival : TBusMsgKind::Removal;
    } else {
        return false;
    }
    VMsg = std::move(lMsg);
    return true;
}

namespace {
constexpr std::string_view OutputNames[boCount] = {"green", "red", "beep", "power"};
}

std::string FormatOutputs(const TBusOutputs& AOutputs) {
    std::string lText;
    for (int i = 0; i < boCount; ++i)
        lText += std::string(OutputNames[i]) + "=" + (AOutputs.aOn[i] ? "1" : "0") + "\n";
    lText += "format=" + Utf16ToUtf8(AOutputs.sFormat) + "\n";
    return lText;
}

bool ParseOutputs(std::string_view AText, TBusOutputs& VOutputs) {
    std::vector<TField> lFields;
    if (!SplitRecord(AText, lFields) || lFields.size() != boCount + 1)
        return false;
    TBusOutputs lOut;
    for (int i = 0; i < boCount; ++i) {
        std::uint64_t lOn = 0;
        if (!SingleU(lFields, OutputNames[i], 1, lOn))
            return false;
        lOut.aOn[i] = std::uint8_t(lOn);
    }
    std::string_view lFormat;
    if (!Single(lFields, "format", lFormat) || !Utf8ToUtf16(lFormat, lOut.sFormat))
        return false;
    VOutputs = std::move(lOut);
    return true;
}

bool IsComName(std::u16string_view AName) {
    if (AName.size() < 4)
        return false;
    for (int i = 0; i < 3; ++i) {
        char16_t c = AName[i];
        if (c >= u'a' && c <= u'z')
            c = char16_t(c - u'a' + u'A');
        if (c != u"COM"[i])
            return false;
    }
    std::u16string_view lNum = AName.substr(3);
    bool lNeg = lNum[0] == u'-';
    if (lNum[0] == u'+' || lNeg)
        lNum.remove_prefix(1);
    if (lNum.empty())
        return false;
    std::uint64_t lValue = 0;
    for (char16_t c : lNum) {
        if (c < u'0' || c > u'9')
            return false;
        lValue = lValue * 10 + (c - u'0');
        if (lValue > 2147483648ull)
            return false;
    }
    return lNeg || lValue <= 2147483647ull;
}

std::u16string CanonicalPortName(std::u16string_view AName) {
    if (!IsComName(AName))
        return std::u16string(AName);
    // One number is one port: COM03, com3 and COM+3 all name COM3.
    std::u16string_view lNum = AName.substr(3);
    const bool lNeg = lNum[0] == u'-';
    if (lNum[0] == u'+' || lNeg)
        lNum.remove_prefix(1);
    std::int64_t lValue = 0;
    for (char16_t c : lNum)
        lValue = lValue * 10 + (c - u'0');
    const std::string lDigits = std::to_string(lNeg ? -lValue : lValue);
    std::u16string lName = u"COM";
    lName.append(lDigits.begin(), lDigits.end());
    return lName;
}

TNameCheck CheckPortName(std::u16string_view AName) {
    if (AName.empty())
        return TNameCheck::Empty;
    if (AName.size() > MaxPortNameUnits)
        return TNameCheck::TooLong;
    for (char16_t c : AName)
        if (c < 0x20 || (c >= 0x7F && c < 0xA0) || IsBlank(c))
            return TNameCheck::BadChar;
    return TNameCheck::Ok;
}

std::string PortFolderName(std::u16string_view AName) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string lName;
    for (char16_t c : AName) {
        if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' ||
            c == u'_') {
            lName += char(c);
        } else {
            lName += '%';
            for (int s = 12; s >= 0; s -= 4)
                lName += Hex[(c >> s) & 0xF];
        }
    }
    return lName;
}

bool ParseKeyHex(std::string_view AText, TKey& VKey) {
    if (AText.empty() || AText.size() > 30)
        return false;
    TKey lKey{};
    std::size_t lDigits = 0;
    for (std::size_t i = AText.size(); i-- > 0; ++lDigits) {
        int d = HexDigit(AText[i]);
        if (d < 0)
            return false;
        lKey[1 + lDigits / 2] |= std::uint8_t(lDigits % 2 ? d << 4 : d);
    }
    lKey[0] = std::uint8_t((lDigits + 1) / 2);
    VKey = lKey;
    return true;
}

std::string KeyToHex(const TKey& AKey) {
    static const char Hex[] = "0123456789ABCDEF";
    std::string lText;
    int lCount = AKey[0] > 15 ? 15 : AKey[0];
    for (int i = lCount; i >= 1; --i) {
        lText += Hex[AKey[i] >> 4];
        lText += Hex[AKey[i] & 0xF];
    }
    return lText;
}

bool Utf8ToUtf16(std::string_view AText, std::u16string& VText) {
    std::u16string lOut;
    lOut.reserve(AText.size());
    for (std::size_t i = 0; i < AText.size();) {
        unsigned char c = static_cast<unsigned char>(AText[i]);
        std::uint32_t lCode = 0;
        std::size_t lLen = 0;
        if (c < 0x80) {
            lCode = c;
            lLen = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            lCode = c & 0x1F;
            lLen = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            lCode = c & 0x0F;
            lLen = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            lCode = c & 0x07;
            lLen = 4;
        } else {
            return false;
        }
        if (i + lLen > AText.size())
            return false;
        for (std::size_t k = 1; k < lLen; ++k) {
            unsigned char cc = static_cast<unsigned char>(AText[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            lCode = (lCode << 6) | (cc & 0x3F);
        }
        if (lCode == 0 || (lLen == 3 && lCode < 0x800) ||
            (lLen == 4 && (lCode < 0x10000 || lCode > 0x10FFFF)) || (lCode >= 0xD800 && lCode <= 0xDFFF))
            return false;
        if (lCode >= 0x10000) {
            lCode -= 0x10000;
            lOut += char16_t(0xD800 + (lCode >> 10));
            lOut += char16_t(0xDC00 + (lCode & 0x3FF));
        } else {
            lOut += char16_t(lCode);
        }
        i += lLen;
    }
    VText = std::move(lOut);
    return true;
}

std::string Utf16ToUtf8(std::u16string_view AText) {
    std::string lOut;
    for (std::size_t i = 0; i < AText.size(); ++i) {
        std::uint32_t c = AText[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < AText.size() && AText[i + 1] >= 0xDC00 &&
            AText[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (AText[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            lOut += char(c);
        } else if (c < 0x800) {
            lOut += char(0xC0 | (c >> 6));
            lOut += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            lOut += char(0xE0 | (c >> 12));
            lOut += char(0x80 | ((c >> 6) & 0x3F));
            lOut += char(0x80 | (c & 0x3F));
        } else {
            lOut += char(0xF0 | (c >> 18));
            lOut += char(0x80 | ((c >> 12) & 0x3F));
            lOut += char(0x80 | ((c >> 6) & 0x3F));
            lOut += char(0x80 | (c & 0x3F));
        }
    }
    return lOut;
}

bool ParseUInt(std::string_view AText, std::uint64_t AMax, std::uint64_t& VValue) {
    if (AText.empty() || AText.size() > 20)
        return false;
    std::uint64_t lValue = 0;
    for (char c : AText) {
        if (c < '0' || c > '9')
            return false;
        std::uint64_t d = std::uint64_t(c - '0');
        if (d > AMax || lValue > (AMax - d) / 10)
            return false;
        lValue = lValue * 10 + d;
    }
    VValue = lValue;
    return true;
}

bool ParseInt32(std::string_view AText, std::int32_t& VValue) {
    bool lNeg = !AText.empty() && AText[0] == '-';
    if (lNeg)
        AText.remove_prefix(1);
    std::uint64_t lValue = 0;
    if (!ParseUInt(AText, lNeg ? 2147483648ull : 2147483647ull, lValue))
        return false;
    VValue = lNeg ? std::int32_t(-std::int64_t(lValue)) : std::int32_t(lValue);
    return true;
}

} // namespace Orv
