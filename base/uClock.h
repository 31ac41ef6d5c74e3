#pragma once
// The one source of "now" and of the millisecond tick counter. Tests replace both.

#include "base/uDateTime.h"

#include <cstdint>
#include <functional>

using TNowFunc = std::function<TDateTime()>;
using TTickFunc = std::function<std::uint32_t()>;

TDateTime Now();                 // local date and time
TDate Today();                   // DateOf(Now())
std::uint32_t GetTickCount();    // steady milliseconds, 32 bits, wraps around

// Replace the clock (an empty function restores the system clock).
void SetNowFunc(TNowFunc AFunc);
void SetTickFunc(TTickFunc AFunc);
