// The business day's log and report files: where they lie, what each event writes into them, and the
// comments of the day's log items.

#include "frontdesk/uTarvoDoc.h"

#include "base/uAppendLine.h"
#include "base/uCodePage.h"
#include "base/uMessages.h"
#include "frontdesk/uLogLines.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace Tarvo {

namespace {

bool SameDate(TDateTime A, TDateTime B) {
    return DateOf(A) == DateOf(B);
}

QString DayFilePath(const QString& ADataFile, const QString& AFolder, const QString& APrefix, TDate ADate,
                    std::int32_t APeriod, std::int32_t AFormat, bool AForceDir) {
    const QString lDir = QFileInfo(ADataFile).absolutePath() + QLatin1Char('/') + AFolder;
    if (AForceDir && !QFileInfo(lDir).isDir()) {
        std::error_code lError;
        std::filesystem::create_directories(std::filesystem::path(QFile::encodeName(lDir).toStdString()),
                                            lError);
        if (lError)
            throw EInOutError(FormatResString(MSG_CANNOT_MAKE_FOLDER_WHY,
                                              {lDir, QString::fromLocal8Bit(lError.message())}));
    }
    return lDir + QLatin1Char('/') + LogFileName(APrefix, ADate, APeriod, AFormat);
}

TLogBooking MakeBooking(bool AReserv, TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst) {
    TLogBooking lBooking;
    lBooking.m_fReserv = AReserv;
    lBooking.m_dtRFrom = ARFrom;
    lBooking.m_dtRTo = ARTo;
    lBooking.m_fRAllDay = ARAllDay;
    lBooking.m_fRConst = ARConst;
    return lBooking;
}

} // namespace

void TTarvoDoc::DoWriteError(const QString& AMessage) {
    if (FOnWriteError)
        FOnWriteError(AMessage);
}

QString TTarvoDoc::GetLogPath(TDate ADate, bool AForceDir) const {
    return DayFilePath(m_sFileName, QStringLiteral("Logs"), QStringLiteral("L"), ADate, m_nLogFilePeriod,
                       m_nLogFileFormat, AForceDir);
}

QString TTarvoDoc::GetReportPath(TDate ADate, bool AForceDir) const {
    return DayFilePath(m_sFileName, QStringLiteral("Report"), QStringLiteral("R"), ADate, m_nLogFilePeriod,
                       m_nLogFileFormat, AForceDir);
}

bool TTarvoDoc::AppendDayLines(const QStringList& ALines, bool AReport, TDate ADate) {
    const auto lLost = [&](const QString& AReason, qsizetype AFrom) {
        const QStringList lMissing = ALines.mid(AFrom);
        DoWriteError(
            QStringLiteral("%1\n%2\n%3")
                .arg(AReason,
                     LoadResString(lMissing.size() == 1 ? MSG_DAY_LINE_MISSING : MSG_DAY_LINES_MISSING),
                     lMissing.join(QLatin1Char('\n'))));
        return false;
    };
    QString lPath;
    try {
        lPath = AReport ? GetReportPath(ADate, true) : GetLogPath(ADate, true);
    } catch (const EInOutError& lError) {
        // The event is done in memory already; failing it now would leave it half recorded.
        return lLost(lError.Message(), 0);
    }
    for (qsizetype i = 0; i < ALines.size(); ++i) {
        QString lError;
        // After the first failure the rest would fail alike; the operator hears of them at once.
        if (!AppendLineToFile(ALines.at(i), lPath, &lError))
            return lLost(lError, i);
    }
    return true;
}

int TTarvoDoc::AddLogItem(TCard* ACard, bool AIn, const QString& AComment, Extended ASum, TDateTime ATime) {
    TUpdateScope lUpdate(*this);
    auto lItem = std::make_unique<TLogItem>();
    lItem->m_dtTime = ATime;
    lItem->m_pCard = ACard;
    lItem->m_fIn = AIn;
    lItem->m_nSum = ASum;
    lItem->m_sComment = AComment;
    m_oLogList.Add(std::move(lItem));
    AddChange(DCH_LOG, false);
    return m_oLogList.Count() - 1;
}

int TTarvoDoc::AddRepItem(TCard* ACard, TDateTime ATimeIn, TDateTime ATimeOut, Extended ASum, bool AReserv,
                          TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst) {
    TUpdateScope lUpdate(*this);
    auto lItem = std::make_unique<TRepItem>();
    lItem->m_pCard = ACard;
    lItem->m_dtTimeIn = ATimeIn;
    lItem->m_dtTimeOut = ATimeOut;
    lItem->m_nSum = ASum;
    lItem->m_fReserv = AReserv;
    lItem->m_dtRFrom = ARFrom;
    lItem->m_dtRTo = ARTo;
    lItem->m_fRAllDay = ARAllDay;
    lItem->m_fRConst = ARConst;
    m_oReport.Add(std::move(lItem));
    m_nRepTotalSum += ASum;
    AddChange(DCH_REPORT | DCH_TOTALS, false);
    return m_oReport.Count() - 1;
}

int TTarvoDoc::AddLog(TDateTime ATime, TCard* ACard, bool AIn, Extended ASum, TDateTime ADate, bool AReserv,
                      TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst,
                      const QString& AComment) {
    TARVO_ASSERT(ACard != nullptr, "uTarvoDoc");
    TUpdateScope lUpdate(*this);
    int lResult = -1;
    const TDate lFileDate = _GetRepDateForTime(ADate, m_tStartDay);
    if (SameDate(_GetRepDateForTime(ATime, m_tStartDay), m_dtRepDate))
        lResult = AddLogItem(ACard, AIn, AComment, ASum, ATime);

    TLogLine lLine;
    lLine.m_dtTime = ATime;
    lLine.m_nKind = AIn ? TLogKind::In : TLogKind::Out;
    SetLogLineCard(lLine, *ACard);
    lLine.m_nSum = ASum;
    lLine.m_Booking = MakeBooking(AReserv, ARFrom, ARTo, ARAllDay, ARConst);
    lLine.m_sComment = AComment;
    const bool lWithDate = LogTimeWithDate(ATime, lFileDate, m_nLogFilePeriod);
    const QString lText = m_nLogFileFormat == LOG_FORMAT_CSV
                              ? FormatLogLineCsv(lLine, lWithDate, m_nAccPrice)
                              : FormatLogLineTxt(lLine, lWithDate, m_nAccPrice);
    (void)AppendDayLines({lText}, false, lFileDate);
    return lResult;
}

int TTarvoDoc::AddReport(TCard* ACard, TDateTime ATimeIn, TDateTime ATimeOut, Extended ASum, bool AReserv,
                         TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst) {
    TARVO_ASSERT(ACard != nullptr, "uTarvoDoc");
    TUpdateScope lUpdate(*this);
    const int lIdx = AddRepItem(ACard, ATimeIn, ATimeOut, ASum, AReserv, ARFrom, ARTo, ARAllDay, ARConst);
    const QString lText = FormatReportLine(m_nLogFileFormat, lIdx, *ACard, ATimeIn, ATimeOut, ASum,
                                           m_nLogFilePeriod != LOG_PERIOD_DAY, m_nAccPrice);
    (void)AppendDayLines({lText}, true, m_dtRepDate);
    return lIdx;
}

void TTarvoDoc::AddReport(TDate ARepDate, Extended ATotalSum, std::int32_t AInUsers, std::int32_t AOutUsers,
                          const TInUserList& AInUsersL) {
    TUpdateScope lUpdate(*this);
    if (SameDate(ARepDate, m_dtRepDate) && ATotalSum != m_nRepTotalSum) {
        m_nRepTotalSum = ATotalSum;
        AddChange(DCH_TOTALS, false);
    }
    const QStringList lLines = FormatDaySummary(m_nLogFileFormat, m_nLogFilePeriod, ARepDate, ATotalSum,
                                                AInUsers, AOutUsers, AInUsersL, m_nDayCost != 0, m_nAccPrice);
    (void)AppendDayLines(lLines, true, ARepDate);
}

namespace {

// The number a report line begins with (blanks before it, a blank or ";" after it), or -1.
int LeadingVisitNumber(const QString& ALine) {
    qsizetype i = 0;
    while (i < ALine.size() && ALine.at(i) == QLatin1Char(' '))
        ++i;
    const qsizetype lStart = i;
    while (i < ALine.size() && ALine.at(i).isDigit() && i - lStart < 9)
        ++i;
    if (i == lStart || i >= ALine.size() ||
        (ALine.at(i) != QLatin1Char(' ') && ALine.at(i) != QLatin1Char(';')))
        return -1;
    return ALine.mid(lStart, i - lStart).toInt();
}

} // namespace

void TTarvoDoc::RestoreReportLines() {
    if (m_oReport.IsEmpty())
        return;
    // The log is the record of the day: a visit rebuilt from it whose report line never reached the
    // report file (the program ended between the two lines) gets its line now, with its own number.
    const QString lPath = GetReportPath(m_dtRepDate, false);
    const auto lUnreadable = [&](const QString& AReason) {
        DoWriteError(FormatResString(MSG_DAY_REPORT_UNCHECKED, {lPath, AReason}));
    };
    // A visit's line is found by its number and its two moments: the name and the amount may read
    // otherwise since (a card renamed, another price accuracy), and lines of other days carry other
    // dates. Lines are indexed by their number, so a month file is read once.
    QHash<int, QStringList> lByNumber;
    QFile lFile(lPath);
    if (lFile.exists()) {
        if (!lFile.open(QIODevice::ReadOnly))
            return lUnreadable(lFile.errorString());
        TLogFileReader lReader(lFile);
        QByteArray lBytes;
        qint64 lOffset = 0;
        bool lTooLong = false;
        while (lReader.Next(lBytes, lOffset, lTooLong)) {
            if (lTooLong || lBytes.isEmpty())
                continue;
            const QString lLine = FromAnsi(lBytes);
            const int lNumber = LeadingVisitNumber(lLine);
            if (lNumber >= 0 && lNumber < m_oReport.Count())
                lByNumber[lNumber] << lLine;
        }
        if (lReader.Failed())
            return lUnreadable(lFile.errorString());
    }
    const bool lWithDate = m_nLogFilePeriod != LOG_PERIOD_DAY;
    QStringList lMissing;
    for (int i = 0; i < m_oReport.Count(); ++i) {
        const TRepItem& lItem = *m_oReport.Get(i);
        const QString lIn = LogTimeText(lItem.m_dtTimeIn, lWithDate);
        const QString lOut = LogTimeText(lItem.m_dtTimeOut, lWithDate);
        const QStringList lLines = lByNumber.value(i);
        if (std::any_of(lLines.begin(), lLines.end(),
                        [&](const QString& ALine) { return ALine.contains(lIn) && ALine.contains(lOut); }))
            continue;
        lMissing << FormatReportLine(m_nLogFileFormat, i, *lItem.m_pCard, lItem.m_dtTimeIn, lItem.m_dtTimeOut,
                                     lItem.m_nSum, lWithDate, m_nAccPrice);
    }
    if (lMissing.isEmpty())
        return;
    DoDebugMessage(QStringLiteral("%1 report line(s) missing from \"%2\" were restored from the log:\n%3")
                       .arg(lMissing.size())
                       .arg(lPath, lMissing.join(QLatin1Char('\n'))));
    (void)AppendDayLines(lMissing, true, m_dtRepDate);
}

void TTarvoDoc::DoDebugMessage(const QString& AMessage) {
    if (FOnDebugMessage)
        FOnDebugMessage(AMessage);
}

int TTarvoDoc::_FindLogItemByTime(TDateTime ATime) const {
    // Binary search for the first item not before ATime; the list is chronological.
    int lLow = 0, lHigh = m_oLogList.Count();
    while (lLow < lHigh) {
        const int lMid = lLow + (lHigh - lLow) / 2;
        if (CompareDateTimeMs(m_oLogList.Get(lMid)->m_dtTime, ATime) < 0)
            lLow = lMid + 1;
        else
            lHigh = lMid;
    }
    if (lLow < m_oLogList.Count() && SameDateTimeMs(m_oLogList.Get(lLow)->m_dtTime, ATime))
        return lLow;
    // A clock set back (daylight saving time ending) leaves the list out of order: look at every item.
    for (int i = 0; i < m_oLogList.Count(); ++i)
        if (SameDateTimeMs(m_oLogList.Get(i)->m_dtTime, ATime))
            return i;
    return -1;
}

QString TTarvoDoc::GetLogItemComment(TDateTime ATime) const {
    const int lIdx = _FindLogItemByTime(ATime);
    return lIdx < 0 ? QString() : m_oLogList.Get(lIdx)->m_sComment;
}

void TTarvoDoc::SetLogItemComment(TDateTime ATime, const QString& AValue) {
    const int lIdx = _FindLogItemByTime(ATime);
    if (lIdx < 0)
        return;
    TLogItem& lItem = *m_oLogList.Get(lIdx);
    if (lItem.m_sComment == AValue)
        return;
    TUpdateScope lUpdate(*this);
    lItem.m_sComment = AValue;
    AddChange(DCH_LOG | DCH_REPVIEW, false);
    RewriteDayLog();
}

} // namespace Tarvo
