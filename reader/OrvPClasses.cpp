#include "reader/OrvPClasses.h"

#include <cstring>

static_assert(sizeof(TOrv_KEYNUM) == sizeof(TOrv_KEYNUM_C), "key numbers are 16 bytes on both sides");

void CheckOrvResult(std::int32_t ACode) {
    if (ACode < 0)
        throw EOrvRError(GetOrvErrorText(ACode), ACode);
}

QString GetOrvErrorText(std::int32_t ACode) {
    const std::uint32_t lFacility = ORV_FACILITY(ACode);
    QString lText;
    if (lFacility == ORV_FACILITY_LIB) {
        TOrv_CHAR lBuf[512];
        std::uint32_t n = OrvP_GetMessageText(ACode, lBuf, std::uint32_t(std::size(lBuf)));
        if (n > 0)
            lText = QString::fromUtf16(reinterpret_cast<const char16_t*>(lBuf));
    } else if (lFacility == ORV_FACILITY_OS || (ACode > 0 && ACode < 4096)) {
        // System error codes: errno values, alone or wrapped into a failure code.
        char lBuf[256];
        const char* lMsg = strerror_r(ACode & 0xFFFF, lBuf, sizeof lBuf);
        if (lMsg && !QByteArray(lMsg).startsWith("Unknown error"))
            lText = QString::fromLocal8Bit(lMsg);
    }
    // The platform's message formatter ends its texts with a line break; callers rely on it.
    return lText.isEmpty() ? lText : lText + QStringLiteral("\r\n");
}

bool CheckOrvVersion() {
    const std::uint32_t lVersion = OrvR_GetVersion();
    return (lVersion & 0xFF) == 3 && ((lVersion >> 8) & 0xFF) == 29;
}

TOrv_KEYNUM CardKeyNum(const TOrvR_CARD_INFO& AInfo) {
    TOrv_KEYNUM lNumber;
    std::memcpy(lNumber.data(), AInfo.nNum, lNumber.size());
    return lNumber;
}

void SetCardKeyNum(TOrvR_CARD_INFO& VInfo, const TOrv_KEYNUM& ANumber) {
    std::memcpy(VInfo.nNum, ANumber.data(), ANumber.size());
}
