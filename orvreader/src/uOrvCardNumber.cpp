#include "orvreader/src/uOrvCardNumber.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace Orv {

namespace {

struct TFormatName {
    TNumFormat nFormat;
    const char* pName;
};
constexpr TFormatName cFormatNames[cNumFormatCount] = {
    {TNumFormat::Em4100, "em4100"},      {TNumFormat::Facility35, "3+5"}, {TNumFormat::Hex, "hex"},
    {TNumFormat::HexReversed, "hexrev"}, {TNumFormat::Dec, "dec"},        {TNumFormat::DecReversed, "decrev"},
};

constexpr std::size_t cMaxUid = 10;

bool IsDigit(char AChar) {
    return AChar >= '0' && AChar <= '9';
}

std::string_view Trim(std::string_view AText) {
    while (!AText.empty() && (AText.front() == ' ' || AText.front() == '\t'))
        AText.remove_prefix(1);
    while (!AText.empty() && (AText.back() == ' ' || AText.back() == '\t'))
        AText.remove_suffix(1);
    return AText;
}

bool AllDigits(std::string_view AText) {
    return !AText.empty() && std::all_of(AText.begin(), AText.end(), IsDigit);
}

// Bytes in card order (UID0 first) as a key number: UID0 becomes the most significant byte.
void CardOrderToKey(const std::uint8_t* ABytes, std::size_t ACount, TCardNumber& VNumber) {
    VNumber.aKey[0] = std::uint8_t(ACount);
    for (std::size_t i = 0; i < ACount; ++i)
        VNumber.aKey[ACount - i] = ABytes[i];
}

// A value of at most 8 bytes as a key number of ACount bytes.
void ValueToKey(std::uint64_t AValue, std::size_t ACount, TCardNumber& VNumber) {
    VNumber.aKey[0] = std::uint8_t(ACount);
    for (std::size_t i = 1; i <= ACount; ++i, AValue >>= 8)
        VNumber.aKey[i] = std::uint8_t(AValue & 0xFF);
}

bool ReadEm4100(std::string_view AText, TCardNumber& VNumber) {
    if (AText.size() != 10 || !AllDigits(AText))
        return false;
    std::uint64_t lValue = 0;
    for (char c : AText)
        lValue = lValue * 10 + std::uint64_t(c - '0');
    if (lValue > 0xFFFFFFFFull)
        return false;
    ValueToKey(lValue, 4, VNumber);
    VNumber.nCardType = ORVR_CD_EM_MARINE;
    return true;
}

bool ReadFacility35(std::string_view AText, TCardNumber& VNumber) {
    std::string_view lFacility, lCard;
    if (AText.size() == 8) {
        lFacility = AText.substr(0, 3);
        lCard = AText.substr(3);
    } else if (AText.size() == 9 && std::string_view(",:/- ").find(AText[3]) != std::string_view::npos) {
        lFacility = AText.substr(0, 3);
        lCard = AText.substr(4);
    } else {
        return false;
    }
    if (!AllDigits(lFacility) || !AllDigits(lCard))
        return false;
    std::uint32_t f = 0, c = 0;
    for (char ch : lFacility)
        f = f * 10 + std::uint32_t(ch - '0');
    for (char ch : lCard)
        c = c * 10 + std::uint32_t(ch - '0');
    if (f > 255 || c > 65535)
        return false;
    ValueToKey((std::uint64_t(f) << 16) | c, 3, VNumber);
    VNumber.nCardType = ORVR_CD_EM_MARINE;
    return true;
}

// Hex pairs, all joined or all separated by one separator character between pairs.
bool ReadHexBytes(std::string_view AText, std::vector<std::uint8_t>& VBytes) {
    VBytes.clear();
    char lSep = 0;
    std::size_t i = 0;
    while (i < AText.size()) {
        if (!VBytes.empty() && lSep != 0) {
            if (AText[i] != lSep)
                return false;
            ++i;
        }
        if (i + 2 > AText.size())
            return false;
        int hi = HexDigit(AText[i]), lo = HexDigit(AText[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        VBytes.push_back(std::uint8_t(hi << 4 | lo));
        if (VBytes.size() > cMaxUid)
            return false;
        i += 2;
        if (VBytes.size() == 1 && i < AText.size() && HexDigit(AText[i]) < 0) {
            lSep = AText[i];
            if (lSep != ':' && lSep != '-' && lSep != ' ')
                return false;
        }
    }
    return true;
}

bool ReadHex(std::string_view AText, bool AReversed, TCardNumber& VNumber) {
    std::vector<std::uint8_t> lBytes;
    if (!ReadHexBytes(AText, lBytes) || lBytes.size() < 3)
        return false;
    if (AReversed)
        std::reverse(lBytes.begin(), lBytes.end());
    CardOrderToKey(lBytes.data(), lBytes.size(), VNumber);
    VNumber.nCardType = lBytes.size() == 5 ? ORVR_CD_EM_MARINE : ORVR_CD_UNDEF;
    return true;
}

// A decimal UID: its value as bytes, least significant first, in the smallest UID length that holds
// it (4, 7 or 10 bytes).
bool ReadDec(std::string_view AText, bool AReversed, TCardNumber& VNumber) {
    // 10 bytes hold at most 25 decimal digits; leading zeros beyond that are not a card's.
    if (!AllDigits(AText) || AText.size() > 25)
        return false;
    std::uint8_t lLow[11] = {}; // one byte more than a UID to see an overflow
    for (char c : AText) {
        unsigned lCarry = unsigned(c - '0');
        for (std::uint8_t& b : lLow) {
            unsigned v = unsigned(b) * 10 + lCarry;
            b = std::uint8_t(v & 0xFF);
            lCarry = v >> 8;
        }
        if (lCarry != 0)
            return false;
    }
    if (lLow[10] != 0)
        return false;
    std::size_t lUsed = 10;
    while (lUsed > 0 && lLow[lUsed - 1] == 0)
        --lUsed;
    std::size_t lCount = lUsed <= 4 ? 4 : lUsed <= 7 ? 7 : 10;
    std::uint8_t lCard[cMaxUid];
    for (std::size_t i = 0; i < lCount; ++i)
        lCard[i] = AReversed ? lLow[i] : lLow[lCount - 1 - i];
    CardOrderToKey(lCard, lCount, VNumber);
    return true;
}

} // namespace

int HexDigit(char AChar) {
    if (AChar >= '0' && AChar <= '9')
        return AChar - '0';
    if (AChar >= 'A' && AChar <= 'F')
        return AChar - 'A' + 10;
    if (AChar >= 'a' && AChar <= 'f')
        return AChar - 'a' + 10;
    return -1;
}

const char* NumFormatName(TNumFormat AFormat) {
    for (const TFormatName& n : cFormatNames)
        if (n.nFormat == AFormat)
            return n.pName;
    return "hex";
}

// A number of zero bytes is what a reader sends when it read nothing: never a card.
static bool AllZero(const TCardNumber& ANumber) {
    return std::all_of(ANumber.aKey.begin() + 1, ANumber.aKey.end(), [](std::uint8_t b) { return b == 0; });
}

bool ParseNumFormat(std::string_view AName, TNumFormat& VFormat) {
    for (const TFormatName& n : cFormatNames) {
        std::string_view lName(n.pName);
        if (lName.size() == AName.size() &&
            std::equal(lName.begin(), lName.end(), AName.begin(),
                       [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); })) {
            VFormat = n.nFormat;
            return true;
        }
    }
    return false;
}

bool TextToCardNumber(std::string_view AText, TNumFormat AFormat, TCardNumber& VNumber) {
    VNumber = TCardNumber{};
    if (AText.size() > cMaxNumberText)
        return false;
    AText = Trim(AText);
    TCardNumber lNumber;
    bool lOk = false;
    switch (AFormat) {
    case TNumFormat::Em4100:
        lOk = ReadEm4100(AText, lNumber);
        break;
    case TNumFormat::Facility35:
        lOk = ReadFacility35(AText, lNumber);
        break;
    case TNumFormat::Hex:
    case TNumFormat::HexReversed:
        lOk = ReadHex(AText, AFormat == TNumFormat::HexReversed, lNumber);
        break;
    case TNumFormat::Dec:
    case TNumFormat::DecReversed:
        lOk = ReadDec(AText, AFormat == TNumFormat::DecReversed, lNumber);
        break;
    }
    if (lOk && AllZero(lNumber))
        lOk = false;
    if (lOk)
        VNumber = lNumber;
    return lOk;
}

bool UidToCardNumber(const std::uint8_t* AUid, std::size_t ACount, TCardNumber& VNumber) {
    VNumber = TCardNumber{};
    if (AUid == nullptr || (ACount != 4 && ACount != 7 && ACount != 10))
        return false;
    TCardNumber lNumber;
    CardOrderToKey(AUid, ACount, lNumber);
    if (AllZero(lNumber))
        return false;
    VNumber = lNumber;
    return true;
}

std::array<TFormatReading, cNumFormatCount> ReadInEveryFormat(std::string_view AText) {
    std::array<TFormatReading, cNumFormatCount> lAll;
    for (int i = 0; i < cNumFormatCount; ++i) {
        lAll[std::size_t(i)].nFormat = cFormatNames[i].nFormat;
        lAll[std::size_t(i)].fOk =
            TextToCardNumber(AText, cFormatNames[i].nFormat, lAll[std::size_t(i)].rNumber);
    }
    return lAll;
}

std::string KeyNumHex(const TKeyNum& AKey) {
    static const char cDigits[] = "0123456789ABCDEF";
    std::string lText;
    for (std::size_t i = std::min<std::size_t>(AKey[0], 15); i >= 1; --i) {
        lText += cDigits[AKey[i] >> 4];
        lText += cDigits[AKey[i] & 0x0F];
    }
    return lText;
}

} // namespace Orv
