#include "base/uDateTime.h"

#include "base/uExceptions.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr std::int64_t cMSecsPerDay = 86400000;
// 0001-01-01 is day -693593 before 1899-12-30; beyond 9999-12-31 no date exists.
constexpr std::int64_t cMinDay = -693593;
constexpr std::int64_t cMaxDay = 2958465;

bool IsLeapYear(int AYear) {
    return AYear % 4 == 0 && (AYear % 100 != 0 || AYear % 400 == 0);
}

int DaysInMonth(int AYear, int AMonth) {
    static const int cDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return AMonth == 2 && IsLeapYear(AYear) ? 29 : cDays[AMonth - 1];
}

// Days between 1970-01-01 and a date of the proleptic Gregorian calendar (H. Hinnant's algorithm).
constexpr std::int64_t DaysFromCivil(std::int64_t AYear, unsigned AMonth, unsigned ADay) {
    AYear -= AMonth <= 2;
    const std::int64_t lEra = (AYear >= 0 ? AYear : AYear - 399) / 400;
    const unsigned lYoe = static_cast<unsigned>(AYear - lEra * 400);
    const unsigned lDoy = (153 * (AMonth + (AMonth > 2 ? -3 : 9)) + 2) / 5 + ADay - 1;
    const unsigned lDoe = lYoe * 365 + lYoe / 4 - lYoe / 100 + lDoy;
    return lEra * 146097 + static_cast<std::int64_t>(lDoe) - 719468;
}

void CivilFromDays(std::int64_t ADays, int& VYear, int& VMonth, int& VDay) {
    ADays += 719468;
    const std::int64_t lEra = (ADays >= 0 ? ADays : ADays - 146096) / 146097;
    const unsigned lDoe = static_cast<unsigned>(ADays - lEra * 146097);
    const unsigned lYoe = (lDoe - lDoe / 1460 + lDoe / 36524 - lDoe / 146096) / 365;
    const unsigned lDoy = lDoe - (365 * lYoe + lYoe / 4 - lYoe / 100);
    const unsigned lMp = (5 * lDoy + 2) / 153;
    const unsigned lDay = lDoy - (153 * lMp + 2) / 5 + 1;
    const unsigned lMonth = lMp < 10 ? lMp + 3 : lMp - 9;
    VYear = static_cast<int>(static_cast<std::int64_t>(lYoe) + lEra * 400 + (lMonth <= 2));
    VMonth = static_cast<int>(lMonth);
    VDay = static_cast<int>(lDay);
}

constexpr std::int64_t cDelta1970 = DaysFromCivil(1899, 12, 30); // negative: 1899 lies before 1970

// The moment to the nearest millisecond. Values far outside the calendar (and NaN) are clamped so that
// no conversion overflows; they decode to no valid date anyway.
std::int64_t RoundMs(TDateTime AValue) {
    constexpr double cLimit = 1e15; // about 11.5 million days
    const double lMs = AValue * MSecsPerDay;
    if (!(lMs > -cLimit))
        return lMs < 0 || std::isnan(lMs) ? -std::int64_t(1e15) : std::int64_t(1e15);
    if (lMs > cLimit)
        return std::int64_t(1e15);
    return std::llround(lMs);
}

// Day number and millisecond of the day, as the platform's time stamps split a moment: the day counts
// towards zero, and a moment before 1899-12-30 carries its time of day as a positive fraction.
void SplitMs(TDateTime AValue, std::int64_t& VDay, std::int64_t& VMsOfDay) {
    const std::int64_t lMs = RoundMs(AValue);
    VDay = lMs / cMSecsPerDay;
    VMsOfDay = std::llabs(lMs) % cMSecsPerDay;
}

int Sign(std::int64_t AValue) {
    return AValue < 0 ? -1 : (AValue > 0 ? 1 : 0);
}

} // namespace

bool TryEncodeDate(int AYear, int AMonth, int ADay, TDateTime& VDate) {
    if (AYear < 1 || AYear > 9999 || AMonth < 1 || AMonth > 12 || ADay < 1 ||
        ADay > DaysInMonth(AYear, AMonth))
        return false;
    VDate = double(DaysFromCivil(AYear, unsigned(AMonth), unsigned(ADay)) - cDelta1970);
    return true;
}

bool TryEncodeTime(int AHour, int AMin, int ASec, int AMSec, TDateTime& VTime) {
    if (AHour < 0 || AHour > 23 || AMin < 0 || AMin > 59 || ASec < 0 || ASec > 59 || AMSec < 0 || AMSec > 999)
        return false;
    VTime = double(((AHour * 60 + AMin) * 60 + ASec) * 1000 + AMSec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int AYear, int AMonth, int ADay) {
    TDateTime lResult = 0;
    if (!TryEncodeDate(AYear, AMonth, ADay, lResult))
        throw EConvertError(QStringLiteral("Invalid argument to date encode"));
    return lResult;
}

TDateTime EncodeTime(int AHour, int AMin, int ASec, int AMSec) {
    TDateTime lResult = 0;
    if (!TryEncodeTime(AHour, AMin, ASec, AMSec, lResult))
        throw EConvertError(QStringLiteral("Invalid argument to time encode"));
    return lResult;
}

void DecodeDate(TDateTime ADate, int& VYear, int& VMonth, int& VDay) {
    std::int64_t lDay = 0, lMs = 0;
    SplitMs(ADate, lDay, lMs);
    if (lDay < cMinDay || lDay > cMaxDay) {
        VYear = VMonth = VDay = 0;
        return;
    }
    CivilFromDays(lDay + cDelta1970, VYear, VMonth, VDay);
}

void DecodeTime(TDateTime ATime, int& VHour, int& VMin, int& VSec, int& VMSec) {
    std::int64_t lDay = 0, lMs = 0;
    SplitMs(ATime, lDay, lMs);
    VMSec = static_cast<int>(lMs % 1000);
    lMs /= 1000;
    VSec = static_cast<int>(lMs % 60);
    lMs /= 60;
    VMin = static_cast<int>(lMs % 60);
    VHour = static_cast<int>(lMs / 60);
}

TDate DateOf(TDateTime AValue) {
    return std::trunc(AValue);
}

TTime TimeOf(TDateTime AValue) {
    return std::fabs(AValue - std::trunc(AValue));
}

// Both comparisons work on whole milliseconds. Comparing the raw fractions against a tolerance of one
// millisecond would let two moments exactly one millisecond apart (05:59:59.999 and 06:00:00.000) compare
// equal whenever the floating representation makes their distance a hair smaller, and would not be a
// consistent order for sorting.
int CompareTimeOfDay(TDateTime A, TDateTime B) {
    std::int64_t lDayA = 0, lMsA = 0, lDayB = 0, lMsB = 0;
    SplitMs(A, lDayA, lMsA);
    SplitMs(B, lDayB, lMsB);
    return Sign(lMsA - lMsB);
}

int CompareDateTimeMs(TDateTime A, TDateTime B) {
    return Sign(RoundMs(A) - RoundMs(B));
}

TDate GetRepDateForTime(TDateTime ATime, TDateTime AStartDay) {
    std::int64_t lDay = 0, lMs = 0;
    SplitMs(ATime, lDay, lMs);
    if (CompareTimeOfDay(ATime, AStartDay) < 0)
        --lDay;
    return double(lDay);
}

QDateTime ToQDateTime(TDateTime AValue) {
    int lYear = 0, lMonth = 0, lDay = 0, lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeDate(AValue, lYear, lMonth, lDay);
    DecodeTime(AValue, lHour, lMin, lSec, lMSec);
    return QDateTime(QDate(lYear, lMonth, lDay), QTime(lHour, lMin, lSec, lMSec), Qt::LocalTime);
}

TDateTime FromQDateTime(const QDateTime& AValue) {
    if (!AValue.isValid())
        return 0;
    const QDateTime lLocal = AValue.toLocalTime();
    const QDate lDate = lLocal.date();
    const QTime lTime = lLocal.time();
    TDateTime lDay = 0;
    if (!TryEncodeDate(lDate.year(), lDate.month(), lDate.day(), lDay))
        return 0;
    return lDay + EncodeTime(lTime.hour(), lTime.minute(), lTime.second(), lTime.msec());
}
