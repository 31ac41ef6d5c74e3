#include "frontdesk/uLogLines.h"

#include "base/uCsv.h"
#include "base/uExceptions.h"
#include "base/uLocale.h"
#include "base/uMessages.h"
#include "base/uScanFormat.h"

#include <QDate>

#include <cmath>

namespace Tarvo {

namespace {

const QChar cBlank = QLatin1Char(' ');
const QChar cQuote = QLatin1Char('"');

QDate QDateOf(TDate ADate) {
    int lYear = 0, lMonth = 0, lDay = 0;
    DecodeDate(ADate, lYear, lMonth, lDay);
    return QDate(lYear, lMonth, lDay);
}

// A line of the file must stay one line: breaks inside free text become blanks.
QString OneLine(const QString& AText) {
    if (!AText.contains(QLatin1Char('\r')) && !AText.contains(QLatin1Char('\n')))
        return AText;
    QString lText = AText;
    lText.replace(QLatin1Char('\r'), cBlank).replace(QLatin1Char('\n'), cBlank);
    return lText;
}

// The name field of a line: the user name (quoted for text files), or the key number in braces.
QString NameText(const QString& AName, const TOrv_KEYNUM& ANumber, bool AQuote) {
    if (AName.isEmpty())
        return QLatin1Char('{') + KeyNumToStr(ANumber, KEYVIEW_HEX) + QLatin1Char('}');
    const QString lName = OneLine(AName);
    return AQuote ? QuoteText(lName) : lName;
}

// ScanFormat raises on numbers that do not fit; for a line that is just a line that does not read.
int SafeScan(const QString& AText, const QString& APattern, std::initializer_list<TScanTarget> ATargets) {
    try {
        return ScanFormat(AText, APattern, ATargets);
    } catch (const EConvertError&) {
        return -1;
    }
}

// A date and a time of day as one moment; before 1899-12-30 the time counts away from zero.
TDateTime Compose(TDate ADate, TTime ATime) {
    return ADate < 0 ? ADate - ATime : ADate + ATime;
}

bool ReadTimeOfDay(const QString& AText, TDate ARepDate, TDateTime& VTime) {
    std::int32_t lHour = 0, lMin = 0, lSec = 0;
    TDateTime lTime = 0;
    if (SafeScan(AText, QStringLiteral("%d:%d:%d"), {&lHour, &lMin, &lSec}) != 3 ||
        !TryEncodeTime(lHour, lMin, lSec, 0, lTime))
        return false;
    VTime = Compose(DateOf(ARepDate), lTime);
    return true;
}

bool EncodeMoment(int ADay, int AMonth, int AYear, int AHour, int AMin, int ASec, TDateTime& VTime) {
    TDateTime lDate = 0, lTime = 0;
    if (!TryEncodeDate(AYear, AMonth, ADay, lDate) || !TryEncodeTime(AHour, AMin, ASec, 0, lTime))
        return false;
    VTime = Compose(lDate, lTime);
    return true;
}

bool ReadFullMoment(const QString& AText, TDateTime& VTime) {
    std::int32_t lDay = 0, lMonth = 0, lYear = 0, lHour = 0, lMin = 0, lSec = 0;
    if (SafeScan(AText, QStringLiteral("%d.%d.%d %d:%d:%d"),
                 {&lDay, &lMonth, &lYear, &lHour, &lMin, &lSec}) != 6)
        return false;
    return EncodeMoment(lDay, lMonth, lYear, lHour, lMin, lSec, VTime);
}

// The amount field: written with "." whatever the locale; 0 when it does not read.
Extended ReadAmount(const QString& AText) {
    QString lText = AText;
    lText.replace(QLatin1Char('.'), DecimalSeparator());
    Extended lValue = 0;
    // Beyond the double range an amount is damage, not money; it must not poison the day's total.
    if (!TryStrToFloat(lText, lValue) || !std::isfinite(double(lValue)))
        return 0;
    return lValue;
}

// "{" hex "}" naming a card by its key number.
bool ReadKeyName(const QString& AText, int AMinLength, TOrv_KEYNUM& VNumber) {
    if (AText.size() < AMinLength || !AText.startsWith(QLatin1Char('{')) || !AText.endsWith(QLatin1Char('}')))
        return false;
    return HexToKeyNum(AText.mid(1, AText.size() - 2), VNumber);
}

// A booking text "R[D][F]hh:nn-hh:nn". AStrict (text files): without the four numbers the text is no
// booking. Otherwise the letters alone make the booking and the times stay 0 when they do not read.
bool ReadBooking(const QString& AText, bool AStrict, TLogBooking& VBooking) {
    qsizetype lEnd = 0;
    while (lEnd < AText.size() && AText.at(lEnd).isLetter())
        ++lEnd;
    if (lEnd == 0 || AText.at(0) != QLatin1Char('R'))
        return false;
    const QString lLetters = AText.left(lEnd);
    std::int32_t lH1 = 0, lM1 = 0, lH2 = 0, lM2 = 0;
    const bool lTimes =
        SafeScan(AText.mid(lEnd), QStringLiteral("%d:%d-%d:%d"), {&lH1, &lM1, &lH2, &lM2}) == 4;
    if (AStrict && !lTimes)
        return false;
    VBooking = TLogBooking();
    VBooking.m_fReserv = true;
    VBooking.m_fRAllDay = lLetters.contains(QLatin1Char('D'));
    VBooking.m_fRConst = lLetters.contains(QLatin1Char('F'));
    if (lTimes) {
        if (!TryEncodeTime(lH1, lM1, 0, 0, VBooking.m_dtRFrom))
            VBooking.m_dtRFrom = 0;
        if (!TryEncodeTime(lH2, lM2, 0, 0, VBooking.m_dtRTo))
            VBooking.m_dtRTo = 0;
    }
    return true;
}

// The comment of a text line, quoted also where a bare token would read back differently: a trailing
// comma is dropped from bare tokens, and a bare token after the amount may be taken for a booking.
QString CommentText(const QString& AComment) {
    TLogBooking lBooking;
    if (AComment.endsWith(QLatin1Char(',')) || ReadBooking(AComment, true, lBooking)) {
        QString lText = AComment;
        lText.replace(cQuote, QStringLiteral("\"\""));
        return cQuote + lText + cQuote;
    }
    return QuoteText(AComment);
}

void SetName(TLogLine& VLine, const QString& AText, int AMinKeyLength) {
    VLine.m_sName = AText;
    VLine.m_fKey = ReadKeyName(AText, AMinKeyLength, VLine.m_Number);
    if (!VLine.m_fKey)
        VLine.m_Number.fill(0);
}

TLogKind KindOfWord(const QString& AWord, Qt::CaseSensitivity ACase) {
    if (AWord.compare(QLatin1String("in"), ACase) == 0)
        return TLogKind::In;
    if (AWord.compare(QLatin1String("out"), ACase) == 0)
        return TLogKind::Out;
    return TLogKind::None;
}

bool IsDigitByte(char c) {
    return c >= '0' && c <= '9';
}

int TwoDigits(const char* p) {
    return (p[0] - '0') * 10 + (p[1] - '0');
}

} // namespace

// ---- file names ------------------------------------------------------------------------------------

int IsoWeekOfDate(TDate ADate) {
    return QDateOf(ADate).weekNumber();
}

QString LogPeriodPart(TDate ADate, std::int32_t APeriod) {
    int lYear = 0, lMonth = 0, lDay = 0;
    DecodeDate(ADate, lYear, lMonth, lDay);
    switch (APeriod) {
    case LOG_PERIOD_WEEK:
        return QString::asprintf("W%d%.4d", IsoWeekOfDate(ADate), lYear);
    case LOG_PERIOD_MONTH:
        return QString::asprintf("%2d%.4d", lMonth, lYear);
    default:
        return QString::asprintf("%.2d%.2d%.4d", lDay, lMonth, lYear);
    }
}

QString LogFileName(const QString& APrefix, TDate ADate, std::int32_t APeriod, std::int32_t AFormat) {
    return APrefix + LogPeriodPart(ADate, APeriod) +
           (AFormat == LOG_FORMAT_CSV ? QStringLiteral(".csv") : QStringLiteral(".log"));
}

// ---- field texts -----------------------------------------------------------------------------------

QString QuoteText(const QString& AText) {
    if (!AText.contains(cBlank) && !AText.contains(cQuote))
        return AText;
    QString lText = AText;
    lText.replace(cQuote, QStringLiteral("\"\""));
    return cQuote + lText + cQuote;
}

QString LogTimeText(TDateTime ATime, bool AWithDate) {
    int lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeTime(ATime, lHour, lMin, lSec, lMSec);
    if (!AWithDate)
        return QString::asprintf("%.2d:%.2d:%.2d", lHour, lMin, lSec);
    int lYear = 0, lMonth = 0, lDay = 0;
    DecodeDate(ATime, lYear, lMonth, lDay);
    return QString::asprintf("%.2d.%.2d.%.4d %.2d:%.2d:%.2d", lDay, lMonth, lYear, lHour, lMin, lSec);
}

bool LogTimeWithDate(TDateTime ATime, TDate AFileDate, std::int32_t APeriod) {
    return APeriod != LOG_PERIOD_DAY || DateOf(ATime) != DateOf(AFileDate);
}

QString LogAmountText(Extended ASum, std::int32_t AAccPrice) {
    QString lText = PriceToStr(ASum, AAccPrice);
    lText.replace(DecimalSeparator(), QLatin1Char('.'));
    return lText;
}

QString BookingText(const TLogBooking& ABooking) {
    int lH1 = 0, lM1 = 0, lH2 = 0, lM2 = 0, lSec = 0, lMSec = 0;
    DecodeTime(ABooking.m_dtRFrom, lH1, lM1, lSec, lMSec);
    DecodeTime(ABooking.m_dtRTo, lH2, lM2, lSec, lMSec);
    QString lText = QStringLiteral("R");
    if (ABooking.m_fRAllDay)
        lText += QLatin1Char('D');
    if (ABooking.m_fRConst)
        lText += QLatin1Char('F');
    return lText + QString::asprintf("%.2d:%.2d-%.2d:%.2d", lH1, lM1, lH2, lM2);
}

// ---- log lines -------------------------------------------------------------------------------------

void SetLogLineCard(TLogLine& VLine, const TCard& ACard) {
    VLine.m_sName = ACard.m_sUserName;
    VLine.m_Number = ACard.m_Number;
    VLine.m_fKey = ACard.m_sUserName.isEmpty();
    VLine.m_nLevel = ACard.m_nLevel;
}

QString FormatLogLineTxt(const TLogLine& ALine, bool AWithDate, std::int32_t AAccPrice) {
    const bool lIn = ALine.m_nKind == TLogKind::In;
    QString lText = LogTimeText(ALine.m_dtTime, AWithDate) +
                    (lIn ? QStringLiteral(" [in] ") : QStringLiteral(" [out] ")) +
                    NameText(ALine.m_sName, ALine.m_Number, true) + QStringLiteral(", ");
    if (lIn) {
        lText += QString::number(ALine.m_nLevel);
    } else {
        lText += LogAmountText(ALine.m_nSum, AAccPrice);
        if (ALine.m_Booking.m_fReserv)
            lText += cBlank + BookingText(ALine.m_Booking);
    }
    if (!ALine.m_sComment.isEmpty())
        lText += cBlank + CommentText(OneLine(ALine.m_sComment));
    return lText;
}

QString FormatLogLineCsv(const TLogLine& ALine, bool AWithDate, std::int32_t AAccPrice) {
    const bool lIn = ALine.m_nKind == TLogKind::In;
    QString lText;
    AddCsvField(lText, LogTimeText(ALine.m_dtTime, AWithDate));
    AddCsvField(lText, lIn ? QStringLiteral("in") : QStringLiteral("out"));
    AddCsvField(lText, NameText(ALine.m_sName, ALine.m_Number, false));
    if (lIn) {
        AddCsvField(lText, QString::number(ALine.m_nLevel));
    } else {
        AddCsvField(lText, LogAmountText(ALine.m_nSum, AAccPrice));
        AddCsvField(lText, ALine.m_Booking.m_fReserv ? BookingText(ALine.m_Booking) : QString());
    }
    AddCsvField(lText, OneLine(ALine.m_sComment));
    return lText;
}

bool ParseLogLineTxt(const QString& AText, TDate ARepDate, TLogLine& VLine) {
    VLine = TLogLine();
    const qsizetype lBracket = AText.indexOf(QLatin1Char('['));
    if (lBracket <= 1)
        return false;
    qsizetype lSep = 0;
    while (lSep < lBracket && AText.at(lSep) != QLatin1Char(':') && AText.at(lSep) != QLatin1Char('.'))
        ++lSep;
    if (lSep == lBracket)
        return false;

    QString lWord;
    if (AText.at(lSep) == QLatin1Char(':')) {
        std::int32_t lHour = 0, lMin = 0, lSec = 0;
        TDateTime lTime = 0;
        if (SafeScan(AText, QStringLiteral("%d:%d:%d [%s]"), {&lHour, &lMin, &lSec, &lWord}) != 4 ||
            !TryEncodeTime(lHour, lMin, lSec, 0, lTime))
            return false;
        VLine.m_dtTime = Compose(DateOf(ARepDate), lTime);
    } else {
        std::int32_t lDay = 0, lMonth = 0, lYear = 0, lHour = 0, lMin = 0, lSec = 0;
        if (SafeScan(AText, QStringLiteral("%d.%d.%d %d:%d:%d [%s]"),
                     {&lDay, &lMonth, &lYear, &lHour, &lMin, &lSec, &lWord}) != 7 ||
            !EncodeMoment(lDay, lMonth, lYear, lHour, lMin, lSec, VLine.m_dtTime))
            return false;
    }
    VLine.m_nKind = KindOfWord(lWord, Qt::CaseInsensitive);

    const qsizetype lClose = AText.indexOf(QLatin1Char(']'), lSep);
    if (lClose < 0)
        return false;
    const qsizetype lLen = AText.size();
    qsizetype i = lClose + 1;
    if (i < lLen && AText.at(i) == cBlank)
        ++i;

    int lToken = 0;
    QString lText;
    while (i < lLen) {
        lText.clear();
        const bool lQuoted = AText.at(i) == cQuote;
        if (lQuoted) {
            qsizetype j = i + 1;
            while (j < lLen) {
                if (AText.at(j) == cQuote) {
                    if (j + 1 < lLen && AText.at(j + 1) == cQuote) {
                        lText += cQuote;
                        j += 2;
                        continue;
                    }
                    break;
                }
                lText += AText.at(j++);
            }
            i = j < lLen ? j + 1 : lLen;
            if (i < lLen && AText.at(i) == QLatin1Char(','))
                ++i;
        } else {
            qsizetype j = AText.indexOf(cBlank, i);
            if (j < 0)
                j = lLen;
            lText = AText.mid(i, j - i);
            if (lText.endsWith(QLatin1Char(',')))
                lText.chop(1);
            i = j;
        }
        if (i < lLen && AText.at(i) == cBlank)
            ++i;

        ++lToken;
        const bool lOut = VLine.m_nKind == TLogKind::Out;
        if (lToken == 1) {
            SetName(VLine, lText, 2);
        } else if (lToken == 2) {
            if (lOut) // the level of an in-line is not read back
                VLine.m_nSum = ReadAmount(lText);
        } else if (lToken != 3 || !lOut || lQuoted || !ReadBooking(lText, true, VLine.m_Booking)) {
            // Booking texts are never quoted: a quoted token is a comment, whatever it looks like.
            VLine.m_sComment = lText;
        }
    }
    return true;
}

bool ParseLogLineCsv(const QString& AText, TDate ARepDate, TLogLine& VLine) {
    VLine = TLogLine();
    qsizetype lPos = 0;
    QString lField;
    int lCount = 0;
    while (NextCsvField(AText, lPos, lField)) {
        ++lCount;
        const bool lOut = VLine.m_nKind == TLogKind::Out;
        switch (lCount) {
        case 1:
            if (lField.size() <= 2)
                return false;
            if (lField.at(2) == QLatin1Char(':') ? !ReadTimeOfDay(lField, ARepDate, VLine.m_dtTime)
                                                 : !ReadFullMoment(lField, VLine.m_dtTime))
                return false;
            break;
        case 2:
            VLine.m_nKind = KindOfWord(lField, Qt::CaseSensitive);
            break;
        case 3:
            SetName(VLine, lField, 3);
            break;
        case 4:
            if (lOut)
                VLine.m_nSum = ReadAmount(lField);
            break;
        case 5:
            if (!lOut)
                VLine.m_sComment = lField;
            else if (!ReadBooking(lField, false, VLine.m_Booking))
                VLine.m_Booking = TLogBooking();
            break;
        default:
            VLine.m_sComment = lField;
            break;
        }
    }
    return lCount >= 4;
}

bool LogLineMoment(const QString& AText, TDate ARepDate, TDateTime& VTime) {
    if (AText.size() < 3)
        return false;
    if (AText.at(2) == QLatin1Char(':'))
        return ReadTimeOfDay(AText, ARepDate, VTime);
    return ReadFullMoment(AText, VTime);
}

bool StrictLogLineMoment(const char* AData, qsizetype ALen, std::int32_t AFormat, TDateTime& VTime) {
    // "dd.mm.yyyy hh:nn:ss" and what must follow it.
    static constexpr char cShape[] = "99.99.9999 99:99:99";
    constexpr qsizetype lShapeLen = sizeof cShape - 1;
    const bool lCsv = AFormat == LOG_FORMAT_CSV;
    if (ALen < lShapeLen + (lCsv ? 1 : 2))
        return false;
    for (qsizetype i = 0; i < lShapeLen; ++i)
        if (cShape[i] == '9' ? !IsDigitByte(AData[i]) : AData[i] != cShape[i])
            return false;
    if (lCsv ? AData[lShapeLen] != ';' : (AData[lShapeLen] != ' ' || AData[lShapeLen + 1] != '['))
        return false;
    const int lYear = TwoDigits(AData + 6) * 100 + TwoDigits(AData + 8);
    return EncodeMoment(TwoDigits(AData), TwoDigits(AData + 3), lYear, TwoDigits(AData + 11),
                        TwoDigits(AData + 14), TwoDigits(AData + 17), VTime);
}

// ---- report lines and the day summary --------------------------------------------------------------

QString FormatReportLine(std::int32_t AFormat, int AIdx, const TCard& ACard, TDateTime ATimeIn,
                         TDateTime ATimeOut, Extended ASum, bool AWithDate, std::int32_t AAccPrice) {
    const QString lIn = LogTimeText(ATimeIn, AWithDate);
    const QString lOut = LogTimeText(ATimeOut, AWithDate);
    const QString lSum = LogAmountText(ASum, AAccPrice);
    if (AFormat != LOG_FORMAT_CSV)
        return FormatResString(
            MSG_REPORT_LINE,
            {std::int64_t(AIdx), NameText(ACard.m_sUserName, ACard.m_Number, true), lIn, lOut, lSum});
    QString lText;
    AddCsvField(lText, QString::number(AIdx));
    AddCsvField(lText, NameText(ACard.m_sUserName, ACard.m_Number, false));
    AddCsvField(lText, lIn);
    AddCsvField(lText, lOut);
    AddCsvField(lText, lSum);
    return lText;
}

QStringList FormatDaySummary(std::int32_t AFormat, std::int32_t APeriod, TDate ARepDate, Extended ATotalSum,
                             std::int32_t AInUsers, std::int32_t AOutUsers, const TInUserList& AInUsersL,
                             bool ADayCost, std::int32_t AAccPrice) {
    const bool lCsv = AFormat == LOG_FORMAT_CSV;
    const QChar cTab = QLatin1Char('\t');
    QStringList lLines;
    const QString lTotal = LogAmountText(ATotalSum, AAccPrice);
    const QString lCounts =
        FormatResString(MSG_IN_OUT_COUNTS, {std::int64_t(AInUsers), std::int64_t(AOutUsers)});
    if (lCsv) {
        // Translated texts may hold the separator: quoted like any field, the columns stay in place.
        QString lLine = QStringLiteral(";;;;");
        AddCsvField(lLine, lTotal);
        lLines << lLine;
        lLine = QStringLiteral(";");
        AddCsvField(lLine, lCounts);
        lLines << lLine + QStringLiteral(";;;");
    } else {
        lLines << FormatResString(MSG_TOTAL_SUM, {lTotal});
        lLines << cTab + lCounts;
    }
    if (AInUsersL.IsEmpty())
        return lLines;

    if (lCsv) {
        QString lLine = QStringLiteral(";");
        AddCsvField(lLine, LoadResString(MSG_NOT_OUT));
        lLines << lLine + QStringLiteral(";;;");
    } else {
        lLines << cTab + LoadResString(MSG_NOT_OUT);
    }
    for (int i = 0; i < AInUsersL.Count(); ++i) {
        const TInUser& lGuest = *AInUsersL.Get(i);
        const TCard& lCard = *lGuest.m_pCard;
        const QString lKey = KeyNumToStr(lCard.m_Number, KEYVIEW_HEX);
        const QString lTime =
            LogTimeText(lGuest.m_dtTime, LogTimeWithDate(lGuest.m_dtTime, ARepDate, APeriod));
        TLogBooking lBooking;
        lBooking.m_fReserv = lGuest.m_fReserv;
        lBooking.m_dtRFrom = lGuest.m_dtRFrom;
        lBooking.m_dtRTo = lGuest.m_dtRTo;
        lBooking.m_fRAllDay = lGuest.m_fRAllDay;
        lBooking.m_fRConst = ADayCost;
        const QString lBookingText = lGuest.m_fReserv ? BookingText(lBooking) : QString();
        if (lCsv) {
            QString lLine;
            AddCsvField(lLine, QString::number(i + 1));
            AddCsvField(lLine, OneLine(lCard.m_sUserName));
            AddCsvField(lLine, lKey);
            AddCsvField(lLine, lTime);
            AddCsvField(lLine, lBookingText);
            AddCsvField(lLine, OneLine(lCard.m_sComment));
            lLines << lLine;
        } else {
            QString lGuestText =
                QuoteText(OneLine(lCard.m_sUserName)) + cBlank + lKey + cBlank + lTime + cBlank;
            if (lGuest.m_fReserv)
                lGuestText += cBlank + lBookingText;
            lGuestText += cBlank + QuoteText(OneLine(lCard.m_sComment));
            lLines << cTab + FormatResString(MSG_NOT_OUT_LINE, {std::int64_t(i + 1), lGuestText});
        }
    }
    return lLines;
}

// ---- reading files line by line --------------------------------------------------------------------

TLogFileReader::TLogFileReader(QFile& AFile, qint64 AStartOffset)
    : m_pFile(AFile), m_nBufOffset(AStartOffset) {
    if (!m_pFile.seek(AStartOffset))
        m_fEof = m_fFailed = true;
}

bool TLogFileReader::Fill() {
    if (m_fEof)
        return false;
    constexpr qint64 cChunk = 256 * 1024;
    m_nBufOffset += m_aBuf.size();
    m_aBuf.resize(cChunk);
    const qint64 lRead = m_pFile.read(m_aBuf.data(), cChunk);
    m_nPos = 0;
    if (lRead <= 0) {
        m_aBuf.resize(0);
        m_fEof = true;
        m_fFailed = lRead < 0;
        return false;
    }
    m_aBuf.resize(lRead);
    return true;
}

bool TLogFileReader::Next(QByteArray& VLine, qint64& VOffset, bool& VTooLong) {
    VLine.resize(0);
    VTooLong = false;
    bool lStarted = false;
    for (;;) {
        if (m_nPos >= m_aBuf.size() && !Fill())
            return lStarted;
        if (!lStarted) {
            VOffset = m_nBufOffset + m_nPos;
            lStarted = true;
        }
        const char* lData = m_aBuf.constData();
        const qsizetype lSize = m_aBuf.size();
        qsizetype i = m_nPos;
        while (i < lSize && lData[i] != '\n' && lData[i] != '\r')
            ++i;
        if (!VTooLong) {
            if (VLine.size() + (i - m_nPos) > MaxLineLength) {
                VTooLong = true;
                VLine.resize(0);
            } else {
                VLine.append(lData + m_nPos, i - m_nPos);
            }
        }
        if (i == lSize) {
            m_nPos = lSize;
            continue;
        }
        m_nPos = i + 1;
        if (lData[i] == '\r') {
            // An LF right after the CR belongs to the same line end, also across a chunk boundary.
            if (m_nPos >= m_aBuf.size())
                Fill();
            if (m_nPos < m_aBuf.size() && m_aBuf.at(m_nPos) == '\n')
                ++m_nPos;
        }
        return true;
    }
}

} // namespace Tarvo
