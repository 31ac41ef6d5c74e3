#pragma once
// The front desk's log and report files line by line: file names per period, the layouts of log,
// report and day-summary lines in text and CSV, and the two readers of log lines. Pure functions: the
// document decides what is written where (uTarvoDocLog.cpp, uTarvoDocDay.cpp).

#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "base/uRecords.h"
#include "frontdesk/uTarvoRecords.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace Tarvo {

inline constexpr std::int32_t LOG_FORMAT_TXT = 0;
inline constexpr std::int32_t LOG_FORMAT_CSV = 1;
inline constexpr std::int32_t LOG_PERIOD_DAY = 0;
inline constexpr std::int32_t LOG_PERIOD_WEEK = 1;
inline constexpr std::int32_t LOG_PERIOD_MONTH = 2;

// ---- file names ----------------------------------------------------------------------------------
// ISO 8601 week number (1..53) of a date: weeks begin on Monday, week 1 holds the year's first Thursday.
int IsoWeekOfDate(TDate ADate);
// The part of a file name naming the period of business day ADate: "ddmmyyyy" (day), "W" + week +
// "yyyy" (week; the calendar year of ADate even when the ISO week belongs to the neighbouring year),
// month right-aligned in two characters padded with a blank + "yyyy" (month).
QString LogPeriodPart(TDate ADate, std::int32_t APeriod);
// APrefix ("L" or "R") + period part + ".log" (text) or ".csv" (CSV).
QString LogFileName(const QString& APrefix, TDate ADate, std::int32_t APeriod, std::int32_t AFormat);

// ---- field texts ---------------------------------------------------------------------------------
// Text containing a blank or a double quote goes between double quotes with inner quotes doubled.
QString QuoteText(const QString& AText);
// "hh:nn:ss", or "dd.mm.yyyy hh:nn:ss" with AWithDate.
QString LogTimeText(TDateTime ATime, bool AWithDate);
// A moment written into the file of business day AFileDate carries its date when the period is not
// a day or when its calendar date is not AFileDate.
bool LogTimeWithDate(TDateTime ATime, TDate AFileDate, std::int32_t APeriod);
// Amount with the decimals of AAccPrice and "." as the separator whatever the locale.
QString LogAmountText(Extended ASum, std::int32_t AAccPrice);

// A stay's booking as written into log and summary lines: "R", "D" for a whole day, "F" when a day
// price was configured, then "hh:nn-hh:nn".
struct TLogBooking {
    bool m_fReserv = false;
    TDateTime m_dtRFrom = 0;
    TDateTime m_dtRTo = 0;
    bool m_fRAllDay = false;
    bool m_fRConst = false;
};
QString BookingText(const TLogBooking& ABooking);

// ---- log lines -----------------------------------------------------------------------------------
enum class TLogKind { None, In, Out };

// One log line's content. Writing uses the card's user name (or its key number in braces when the
// name is empty) and level; reading fills m_sName with the name field as read and, when that field was
// a key number in braces, m_fKey and m_Number.
struct TLogLine {
    TDateTime m_dtTime = 0;
    TLogKind m_nKind = TLogKind::None;
    QString m_sName;
    bool m_fKey = false;
    TOrv_KEYNUM m_Number{};
    std::int32_t m_nLevel = 0;
    Extended m_nSum = 0;
    TLogBooking m_Booking;
    QString m_sComment;
};

// Fills the name, key and level of ALine from a card.
void SetLogLineCard(TLogLine& VLine, const TCard& ACard);

// One log line without its line end. Line breaks inside names and comments become blanks: a line
// must stay one line to be read back.
QString FormatLogLineTxt(const TLogLine& ALine, bool AWithDate, std::int32_t AAccPrice);
QString FormatLogLineCsv(const TLogLine& ALine, bool AWithDate, std::int32_t AAccPrice);

// Read one log line (without its line end) back; false rejects it. A line holding only a time of day
// gets the date ARepDate. Any text is accepted without fault.
bool ParseLogLineTxt(const QString& AText, TDate ARepDate, TLogLine& VLine);
bool ParseLogLineCsv(const QString& AText, TDate ARepDate, TLogLine& VLine);

// The moment at the start of a line as the day rewrite sees it: a time of day (third character ":")
// on ARepDate, or a full date and time. False when the line has none.
bool LogLineMoment(const QString& AText, TDate ARepDate, TDateTime& VTime);

// Fast check on the raw bytes of a line: true with VTime when the line begins with exactly
// "dd.mm.yyyy hh:nn:ss" followed by " [" (text) or ";" (CSV) and these digits form a valid moment.
// For such a line the readers above give the same moment, so a caller may skip it unparsed.
bool StrictLogLineMoment(const char* AData, qsizetype ALen, std::int32_t AFormat, TDateTime& VTime);

// ---- report lines and the day summary ------------------------------------------------------------
QString FormatReportLine(std::int32_t AFormat, int AIdx, const TCard& ACard, TDateTime ATimeIn,
                         TDateTime ATimeOut, Extended ASum, bool AWithDate, std::int32_t AAccPrice);

// The lines closing business day ARepDate: total, counts and, when guests are inside, the heading and
// one line per guest. ADayCost: a day price is configured (the "F" of the guests' booking texts).
QStringList FormatDaySummary(std::int32_t AFormat, std::int32_t APeriod, TDate ARepDate, Extended ATotalSum,
                             std::int32_t AInUsers, std::int32_t AOutUsers, const TInUserList& AInUsersL,
                             bool ADayCost, std::int32_t AAccPrice);

// ---- reading files line by line ------------------------------------------------------------------
// Reads an open file from its current position line by line with the byte offset of each line. A line
// ends at LF, CR LF or a lone CR. Lines longer than MaxLineLength are reported as too long and their
// bytes are not kept, so any file is read in bounded memory.
class TLogFileReader {
public:
    static constexpr qsizetype MaxLineLength = 64 * 1024;

    explicit TLogFileReader(QFile& AFile, qint64 AStartOffset = 0);
    // False at the end of the file. VLine holds the line without its end (empty when too long).
    bool Next(QByteArray& VLine, qint64& VOffset, bool& VTooLong);
    // True when reading stopped at an error rather than at the end of the file.
    bool Failed() const { return m_fFailed; }

private:
    bool Fill();
    QFile& m_pFile;
    QByteArray m_aBuf;
    qsizetype m_nPos = 0;
    qint64 m_nBufOffset = 0;
    bool m_fEof = false;
    bool m_fFailed = false;
};

} // namespace Tarvo
