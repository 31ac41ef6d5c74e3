#pragma once
// The user's locale as the programs see it: decimal separator, language identifier, number texts.
// Everything locale-dependent goes through here so tests can fix it.

#include "base/uDateTime.h"

#include <QChar>
#include <QLocale>
#include <QString>

#include <cstdint>

// QLocale() : the system's locale unless QLocale::setDefault chose another.
QLocale UserLocale();
QChar DecimalSeparator();
// Windows language identifier of the system's default locale (1033 English, 1049 Russian, ...).
std::uint32_t SystemLangId();
// The identifier of a locale by its language and territory; 1033 for the "C" locale, 0 when unknown.
std::uint32_t LangIdOfLocale(const QLocale& ALocale);

// Test control: override the decimal separator and the system language id; Reset restores the locale's.
void SetDecimalSeparator(QChar ASep);
void SetSystemLangId(std::uint32_t AId);
void ResetLocaleOverrides();

// General float format, up to 15 significant digits, the locale's decimal separator ("18", "0.5", "0,5",
// "1E20").
QString FloatToStr(Extended AValue);
// Converts with the locale's decimal separator; blanks around are allowed; false on anything else.
bool TryStrToFloat(const QString& AText, Extended& VValue);
// As TryStrToFloat; raises EConvertError "'<text>' is not a valid floating point value".
Extended StrToFloat(const QString& AText);
// Integer text: optional leading blanks, optional sign, decimal digits, or "$" / "0x" and hexadecimal
// digits (a 32-bit pattern: $FFFFFFFF is -1); nothing may follow. StrToInt raises EConvertError
// "'<text>' is not a valid integer value".
bool TryStrToInt(const QString& AText, std::int32_t& VValue);
std::int32_t StrToInt(const QString& AText);

// Fixed-point text of an amount with max(-AAcc, 0) decimals (at most 18), the locale's separator, no
// grouping; an amount that rounds to zero has no minus sign.
QString PriceToStr(Extended AValue, int AAcc);
