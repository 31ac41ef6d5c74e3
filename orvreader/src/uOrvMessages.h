#pragma once
// The library's message table: a text for every failure and qualified success it returns.

#include <cstdint>

namespace Orv {

// The text of a code, or nullptr when the table has none.
const char* MessageText(std::int32_t ACode);
// Every code of the table, for checks.
const std::int32_t* MessageCodes(int& VCount);

} // namespace Orv
