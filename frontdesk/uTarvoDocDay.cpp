// The business day and its log file: the rebuild of the day at start-up and the rewrite of the day's
// lines after a comment was changed.

#include "frontdesk/uTarvoDoc.h"

#include "base/uAppendLine.h"
#include "base/uCodePage.h"
#include "base/uMessages.h"
#include "base/uSafeFile.h"
#include "frontdesk/uLogLines.h"

#include <QFile>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Tarvo {

namespace {

// What a rebuild holds at most: far beyond any real business day, but a damaged or hostile file
// cannot fill the memory. Beyond the limits lines are skipped (events) or comments dropped.
constexpr int MaxDayEvents = 1000000;
constexpr qsizetype MaxDayCommentChars = 16 * 1024 * 1024;

// AMsgId: a message of the file and why, "...\"%s\": %s".
[[noreturn]] void RaiseFileError(int AMsgId, const QString& AFileName, const QString& AWhy) {
    throw EInOutError(FormatResString(AMsgId, {AFileName, AWhy}));
}

[[noreturn]] void RaiseFileError(int AMsgId, const QString& AFileName, int AErrno) {
    RaiseFileError(AMsgId, AFileName, QString::fromLocal8Bit(std::strerror(AErrno)));
}

} // namespace

void TTarvoDoc::LoadDayFromLog() {
    LoadDayFromLog(m_dtRepDate);
    RestoreReportLines();
}

void TTarvoDoc::LoadDayFromLog(TDate ADate) {
    TUpdateScope lUpdate(*this);
    const QString lPath = GetLogPath(ADate, false);
    QFile lFile(lPath);
    if (!lFile.exists())
        return;
    if (!lFile.open(QIODevice::ReadOnly)) {
        DoWriteError(FormatResString(MSG_DAY_NOT_REBUILT, {lPath, lFile.errorString()}));
        return;
    }
    const bool lCsv = m_nLogFileFormat == LOG_FORMAT_CSV;
    const TDateTime lDayStart = DateOf(ADate) + TimeOf(m_tStartDay);
    const TDateTime lDayEnd = lDayStart + 1;
    qsizetype lCommentChars = 0;

    // Names looked up as FindCardByUserName does (letter case ignored, first card wins), hashed once:
    // a month file names thousands of guests.
    QHash<QString, int> lByName;
    for (int i = m_oCards.Count() - 1; i >= 0; --i)
        lByName.insert(m_oCards.GetCard(i)->m_sUserName.toCaseFolded(), i);

    TLogFileReader lReader(lFile);
    QByteArray lBytes;
    qint64 lOffset = 0;
    bool lTooLong = false;
    TLogLine lLine;
    while (lReader.Next(lBytes, lOffset, lTooLong)) {
        if (lTooLong)
            continue;
        // Lines of earlier days in week and month files are passed over without decoding them.
        TDateTime lTime = 0;
        if (StrictLogLineMoment(lBytes.constData(), lBytes.size(), m_nLogFileFormat, lTime) &&
            CompareDateTimeMs(lTime, lDayStart) < 0)
            continue;
        const QString lText = FromAnsi(lBytes);
        if (!(lCsv ? ParseLogLineCsv(lText, ADate, lLine) : ParseLogLineTxt(lText, ADate, lLine)))
            continue;
        if (CompareDateTimeMs(lLine.m_dtTime, lDayStart) < 0)
            continue;
        if (CompareDateTimeMs(lLine.m_dtTime, lDayEnd) >= 0)
            break;
        if (lLine.m_nKind == TLogKind::None)
            continue;

        int lCardIdx = -1;
        if (lLine.m_fKey && lLine.m_Number[0] >= 1)
            lCardIdx = FindCardByKeyNum(lLine.m_Number);
        else if (!lLine.m_sName.isEmpty()) // an empty name would pick any card without a user name
            lCardIdx = lByName.value(lLine.m_sName.toCaseFolded(), -1);
        if (lCardIdx < 0)
            continue;
        if (m_oLogList.Count() >= MaxDayEvents)
            break;
        TCard* lCard = m_oCards.GetCard(lCardIdx);
        lCommentChars += lLine.m_sComment.size();
        if (lCommentChars > MaxDayCommentChars)
            lLine.m_sComment.clear();

        const int lInIdx = FindInUserByKeyNum(lCard->m_Number);
        if (lLine.m_nKind == TLogKind::In) {
            AddLogItem(lCard, true, lLine.m_sComment, 0, lLine.m_dtTime);
            ++m_nRepInUsers;
            if (lInIdx < 0)
                AddInUser(lCard, lLine.m_dtTime);
        } else {
            AddLogItem(lCard, false, lLine.m_sComment, lLine.m_nSum, lLine.m_dtTime);
            ++m_nRepOutUsers;
            if (lInIdx >= 0) {
                const TLogBooking& lBooking = lLine.m_Booking;
                AddRepItem(lCard, m_oInUsers.Get(lInIdx)->m_dtTime, lLine.m_dtTime, lLine.m_nSum,
                           lBooking.m_fReserv, lBooking.m_dtRFrom, lBooking.m_dtRTo, lBooking.m_fRAllDay,
                           lBooking.m_fRConst);
                DeleteInUser(lInIdx);
            }
        }
        AddChange(DCH_TOTALS, false);
    }
}

void TTarvoDoc::RewriteDayLog() {
    if (m_oLogList.IsEmpty())
        return;
    // Lines hold whole seconds: the first event's own line (09:00:00 for 09:00:00.250) is part of the
    // rewritten day, not a line before it.
    TDateTime lFirst = m_oLogList.Get(0)->m_dtTime;
    {
        int lH, lM, lS, lMs;
        DecodeTime(lFirst, lH, lM, lS, lMs);
        lFirst = DateOf(lFirst) + EncodeTime(lH, lM, lS, 0);
    }
    const QString lPath = GetLogPath(m_dtRepDate, false);
    // The same whole-file lock that every append takes, held until the new file has replaced the old
    // one: no line is added meanwhile, and an append that waited finds the new file (it checks).
    TLockedLineFile lLocked(lPath, O_RDWR | O_CREAT);
    if (lLocked.Handle() < 0)
        RaiseFileError(MSG_CANNOT_OPEN_FILE, lPath, lLocked.Error());

    // Where the day's lines begin: the first line at or after the day's first event.
    QFile lFile;
    if (!lFile.open(lLocked.Handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        RaiseFileError(MSG_CANNOT_READ_FILE, lPath, lFile.errorString());
    qint64 lWritePos = -1;
    {
        TLogFileReader lReader(lFile);
        QByteArray lBytes;
        qint64 lOffset = 0;
        bool lTooLong = false;
        while (lReader.Next(lBytes, lOffset, lTooLong)) {
            TDateTime lTime = 0;
            if (!lTooLong &&
                StrictLogLineMoment(lBytes.constData(), lBytes.size(), m_nLogFileFormat, lTime) &&
                CompareDateTimeMs(lTime, lFirst) < 0)
                continue;
            if (!lTooLong && LogLineMoment(FromAnsi(lBytes), m_dtRepDate, lTime) &&
                CompareDateTimeMs(lTime, lFirst) >= 0) {
                lWritePos = lOffset;
                break;
            }
        }
        if (lReader.Failed())
            RaiseFileError(MSG_CANNOT_READ_FILE, lPath, lFile.errorString());
    }

    // The lines before the day (earlier days of a week or month file) are kept byte for byte.
    QByteArray lOut;
    if (lWritePos < 0) {
        struct stat lStat {};
        if (::fstat(lLocked.Handle(), &lStat) != 0)
            RaiseFileError(MSG_CANNOT_READ_FILE, lPath, errno);
        lWritePos = lStat.st_size;
    }
    if (!lFile.seek(0))
        RaiseFileError(MSG_CANNOT_READ_FILE, lPath, lFile.errorString());
    lOut = lFile.read(lWritePos);
    if (lOut.size() != lWritePos)
        RaiseFileError(MSG_CANNOT_READ_FILE, lPath, lFile.errorString());
    lFile.close();
    // A last line without its end (edited by hand) must not run into the first rewritten one.
    if (!lOut.isEmpty() && !lOut.endsWith('\n'))
        lOut += lOut.endsWith('\r') ? "\n" : "\r\n";

    for (int i = 0; i < m_oLogList.Count(); ++i) {
        const TLogItem& lItem = *m_oLogList.Get(i);
        TLogLine lLine;
        lLine.m_dtTime = lItem.m_dtTime;
        lLine.m_nKind = lItem.m_fIn ? TLogKind::In : TLogKind::Out;
        SetLogLineCard(lLine, *lItem.m_pCard);
        lLine.m_nSum = lItem.m_nSum;
        lLine.m_sComment = lItem.m_sComment;
        if (!lItem.m_fIn) {
            // The booking the visit was billed on, as its out-line said when it was first written.
            for (int r = m_oReport.Count() - 1; r >= 0; --r) {
                const TRepItem& lRep = *m_oReport.Get(r);
                if (lRep.m_pCard == lItem.m_pCard && SameDateTimeMs(lRep.m_dtTimeOut, lItem.m_dtTime)) {
                    lLine.m_Booking.m_fReserv = lRep.m_fReserv;
                    lLine.m_Booking.m_dtRFrom = lRep.m_dtRFrom;
                    lLine.m_Booking.m_dtRTo = lRep.m_dtRTo;
                    lLine.m_Booking.m_fRAllDay = lRep.m_fRAllDay;
                    lLine.m_Booking.m_fRConst = lRep.m_fRConst;
                    break;
                }
            }
        }
        const bool lWithDate = LogTimeWithDate(lItem.m_dtTime, m_dtRepDate, m_nLogFilePeriod);
        lOut += ToAnsi(m_nLogFileFormat == LOG_FORMAT_CSV ? FormatLogLineCsv(lLine, lWithDate, m_nAccPrice)
                                                          : FormatLogLineTxt(lLine, lWithDate, m_nAccPrice));
        lOut += "\r\n";
    }

    // A new file beside the old one, flushed and renamed over it: a full disk or a crash leaves the old
    // log whole, never a file cut in the middle of the day.
    WriteFileAtomically(lPath, lOut);
}

} // namespace Tarvo
