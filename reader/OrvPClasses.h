#pragma once
// Errors of the reader library and the checks every caller of it uses.

#include "base/uExceptions.h"
#include "base/uKeyNum.h" // CompareKeyNums: the ordering of key numbers the reader layer reports
#include "orvreader/OrvReader.h"

#include <QString>

#include <cstdint>

// A failed call of the reader library, with its 32-bit result code.
class EOrvPError : public Exception {
public:
    EOrvPError(const QString& AMessage, std::int32_t AErrCode) : Exception(AMessage), m_nErrCode(AErrCode) {}
    std::int32_t m_nErrCode;
};

// The class raised for failed library calls; callers may catch either class.
class EOrvRError : public EOrvPError {
public:
    using EOrvPError::EOrvPError;
};

// A negative code raises EOrvRError with the code's text; 0 and positive codes pass.
void CheckOrvResult(std::int32_t ACode);
// The text of a result code followed by a line break: from the reader library's message table for its
// own codes (facility 4), from the system for system error codes; empty when there is none.
QString GetOrvErrorText(std::int32_t ACode);
// Whether the loaded reader library is version 3.29 (the build is not looked at).
bool CheckOrvVersion();

// Key numbers between the library's record and the shared type (the same 16 bytes).
TOrv_KEYNUM CardKeyNum(const TOrvR_CARD_INFO& AInfo);
void SetCardKeyNum(TOrvR_CARD_INFO& VInfo, const TOrv_KEYNUM& ANumber);
