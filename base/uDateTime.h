#pragma once
// Moments are days since 1899-12-30 as a double, local time; the time of day is the fraction.
// Money is extended precision. Comparisons of moments treat values within one millisecond as equal.

#include <QDateTime>

using TDateTime = double;
using TDate = double;
using TTime = double;
using Extended = long double;

inline constexpr double MSecsPerDay = 86400000.0;

// Raise EConvertError "Invalid argument to date encode" / "Invalid argument to time encode".
TDateTime EncodeDate(int AYear, int AMonth, int ADay);
TDateTime EncodeTime(int AHour, int AMin, int ASec, int AMSec);
bool TryEncodeDate(int AYear, int AMonth, int ADay, TDateTime& VDate);
bool TryEncodeTime(int AHour, int AMin, int ASec, int AMSec, TDateTime& VTime);
void DecodeDate(TDateTime ADate, int& VYear, int& VMonth, int& VDay);
// Hours, minutes, seconds and milliseconds of the moment's time of day, to the nearest millisecond.
void DecodeTime(TDateTime ATime, int& VHour, int& VMin, int& VSec, int& VMSec);

TDate DateOf(TDateTime AValue);  // whole days
TTime TimeOf(TDateTime AValue);  // fraction: the time of day

// -1, 0, 1; equal when the time-of-day fractions differ by less than one millisecond; dates ignored.
int CompareTimeOfDay(TDateTime A, TDateTime B);
// -1, 0, 1; equal when the moments differ by less than one millisecond.
int CompareDateTimeMs(TDateTime A, TDateTime B);
inline bool SameTimeOfDay(TDateTime A, TDateTime B) { return CompareTimeOfDay(A, B) == 0; }
inline bool SameDateTimeMs(TDateTime A, TDateTime B) { return CompareDateTimeMs(A, B) == 0; }

// Business day of a moment: its date, or the day before when its time of day is earlier than AStartDay's.
TDate GetRepDateForTime(TDateTime ATime, TDateTime AStartDay);

// Conversions to and from Qt's local date-time (millisecond resolution).
QDateTime ToQDateTime(TDateTime AValue);
TDateTime FromQDateTime(const QDateTime& AValue);
