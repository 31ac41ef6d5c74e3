#include "orvreader/src/pcsc/uOrvPcscCard.h"

#include "orvreader/OrvReader.h"

#include <algorithm>
#include <map>

namespace Orv {

bool PcscUidFromAnswer(const std::uint8_t* AAnswer, std::size_t ACount, std::vector<std::uint8_t>& VUid) {
    VUid.clear();
    if (!AAnswer || ACount < 3 || AAnswer[ACount - 2] != 0x90 || AAnswer[ACount - 1] != 0x00)
        return false;
    VUid.assign(AAnswer, AAnswer + ACount - 2);
    return true;
}

std::uint32_t PcscCardTypeFromAtr(const std::uint8_t* AAtr, std::size_t ACount) {
    // Initial bytes, historical bytes' category and the registered application provider (PC/SC).
    static const std::uint8_t c_aHead[] = {0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F,
                                           0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06};
    if (!AAtr || ACount < sizeof c_aHead + 3 || !std::equal(c_aHead, c_aHead + sizeof c_aHead, AAtr))
        return ORVR_CD_UNDEF;
    const unsigned lName = unsigned(AAtr[sizeof c_aHead + 1]) << 8 | AAtr[sizeof c_aHead + 2];
    switch (lName) {
    case 0x0001:
        return ORVR_CD_MF_1K;
    case 0x0002:
        return ORVR_CD_MF_4K;
    case 0x0003:
        return ORVR_CD_UL;
    case 0x0026:
        return ORVR_CD_MF_MINI;
    case 0x0030:
        return ORVR_CD_TOPAZ;
    case 0x0036:
    case 0x0038:
        return ORVR_CD_MF_PLUS_1K;
    case 0x0037:
    case 0x0039:
        return ORVR_CD_MF_PLUS_4K;
    case 0x003A:
        return ORVR_CD_ULC;
    case 0x003B:
        return ORVR_CD_FELICA;
    default:
        return ORVR_CD_UNDEF;
    }
}

bool PcscIgnoredReader(std::string_view AName, bool AAllowVirtual) {
    return !AAllowVirtual && AName.substr(0, 11) == "Virtual PCD";
}

namespace {

bool IsHexPair(std::string_view AText) {
    auto hex = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    };
    return AText.size() == 2 && hex(AText[0]) && hex(AText[1]);
}

// The name without pcsc-lite's reader number: "<name> RR SS" gives "<name> SS".
std::string WithoutReaderNumber(const std::string& AName) {
    const std::size_t n = AName.size();
    if (n >= 7 && AName[n - 3] == ' ' && AName[n - 6] == ' ' &&
        IsHexPair(std::string_view(AName).substr(n - 5, 2)) &&
        IsHexPair(std::string_view(AName).substr(n - 2)))
        return AName.substr(0, n - 6) + AName.substr(n - 3);
    return AName;
}

} // namespace

std::vector<std::string> PcscIdentities(const std::vector<std::string>& AReaders) {
    std::vector<std::string> lIds;
    std::map<std::string, int> lSeen;
    for (const std::string& r : AReaders) {
        std::string lId = WithoutReaderNumber(r);
        int lNth = ++lSeen[lId];
        if (lNth > 1)
            lId += " #" + std::to_string(lNth);
        lIds.push_back(std::move(lId));
    }
    return lIds;
}

std::int32_t PcscSerial(std::string_view AIdentity) {
    // A decimal serial in the last parentheses or brackets of the name.
    for (const char* lPair : {"()", "[]"}) {
        std::size_t lOpen = AIdentity.rfind(lPair[0]);
        std::size_t lClose = lOpen == std::string_view::npos ? lOpen : AIdentity.find(lPair[1], lOpen);
        if (lClose == std::string_view::npos || lClose - lOpen < 2 || lClose - lOpen > 10)
            continue;
        std::string_view lDigits = AIdentity.substr(lOpen + 1, lClose - lOpen - 1);
        if (!std::all_of(lDigits.begin(), lDigits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        std::int64_t lValue = 0;
        for (char c : lDigits)
            lValue = lValue * 10 + (c - '0');
        if (lValue > 0 && lValue <= 0x7FFFFFFF)
            return std::int32_t(lValue);
    }
    // FNV-1a of the identity, kept positive and non-zero.
    std::uint32_t h = 2166136261u;
    for (char c : AIdentity) {
        h ^= std::uint8_t(c);
        h *= 16777619u;
    }
    h &= 0x7FFFFFFFu;
    return h == 0 ? 1 : std::int32_t(h);
}

} // namespace Orv
