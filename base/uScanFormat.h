#pragma once
// The small pattern scanner that reads numbers out of the data file, log files and "Reserved.ini".
// Directives %d (32-bit integer), %x (hexadecimal), %f (extended float, locale separator), %s (string).
// Returns the number of values converted; each is stored at once, so a partial match leaves the earlier
// targets filled. A %d or %f with a sign but no digits, or a malformed float, raises EConvertError.

#include "base/uDateTime.h"

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <variant>

using TScanTarget = std::variant<std::int32_t*, Extended*, QString*>;

int ScanFormat(const QString& AText, const QString& APattern, std::initializer_list<TScanTarget> ATargets);
