// Bookings of the guests inside and their file "Reserved.ini" beside the data file. The file only has
// to survive a restart on the same business day; it is replaced whole on every change so that a crash
// never leaves half of it behind.

#include "frontdesk/uTarvoDoc.h"

#include "base/uCodePage.h"
#include "base/uIniFile.h"
#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "base/uSafeFile.h"
#include "base/uScanFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace Tarvo {

namespace {

const QLatin1String cCardsSection("Cards");

bool SameName(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

// "hh:nn" as the pattern scanner reads it; hour 0-23 and minute 0-59.
bool ReadHourMin(const QString& AText, TDateTime& VTime) {
    std::int32_t lHour = 0, lMin = 0;
    try {
        if (ScanFormat(AText, QStringLiteral("%d:%d"), {&lHour, &lMin}) < 2)
            return false;
    } catch (const EConvertError&) {
        return false; // a sign without digits, or a number beyond 32 bits
    }
    return TryEncodeTime(lHour, lMin, 0, 0, VTime);
}

QString ReadError(const QString& AFileName, const QString& AReason) {
    return FormatResString(MSG_BOOKINGS_UNREADABLE, {AFileName, AReason});
}

} // namespace

// ---- the file in memory ------------------------------------------------------------------------------

bool TTarvoDoc::TBookingsIni::LoadFromFile(const QString& AFileName, QString* VError) {
    m_aSections.clear();
    const QFileInfo lInfo(AFileName);
    if (!lInfo.exists())
        return true;
    const auto lFail = [&](const QString& AReason) {
        if (VError != nullptr)
            *VError = ReadError(AFileName, AReason);
        return false;
    };
    if (lInfo.isDir())
        return lFail(LoadResString(MSG_IS_A_FOLDER));
    QFile lFile(AFileName);
    if (!lFile.open(QIODevice::ReadOnly))
        return lFail(lFile.errorString());
    // Read in pieces: the size of a device or pipe reads as 0, and a huge file must not fill memory.
    QByteArray lBytes;
    char lBuf[65536];
    bool lCut = false;
    while (true) {
        const qint64 lRead = lFile.read(lBuf, sizeof lBuf);
        if (lRead < 0)
            return lFail(lFile.errorString());
        if (lRead == 0)
            break;
        const qint64 lKeep = std::min<qint64>(lRead, MaxFileSize - lBytes.size());
        lBytes.append(lBuf, qsizetype(lKeep));
        if (lKeep < lRead) {
            lCut = true;
            break;
        }
    }
    if (lCut) {
        // No booking file grows this large; what lies beyond is damage. The line cut in two would read
        // as a wrong time, so the text ends at the last complete line.
        const qsizetype lEnd = std::max(lBytes.lastIndexOf('\n'), lBytes.lastIndexOf('\r'));
        lBytes.truncate(lEnd < 0 ? 0 : lEnd + 1);
    }
    SetBytes(lBytes);
    return true;
}

void TTarvoDoc::TBookingsIni::SetBytes(const QByteArray& ABytes) {
    m_aSections.clear();
    TMemIniFile lIni;
    lIni.SetBytes(ABytes);
    for (const QString& lName : lIni.Sections())
        m_aSections.push_back(TSection{lName, lIni.ReadSectionValues(lName)});
}

QByteArray TTarvoDoc::TBookingsIni::GetBytes() const {
    QString lText;
    for (const TSection& lSection : m_aSections) {
        lText += QLatin1Char('[') + lSection.m_sName + QLatin1String("]\r\n");
        for (const auto& [lKey, lValue] : lSection.m_aLines)
            lText += lKey + QLatin1Char('=') + lValue + QLatin1String("\r\n");
        lText += QLatin1String("\r\n");
    }
    return ToAnsi(lText);
}

const TTarvoDoc::TBookingsIni::TSection* TTarvoDoc::TBookingsIni::FindCards() const {
    for (const TSection& lSection : m_aSections)
        if (SameName(lSection.m_sName, cCardsSection))
            return &lSection;
    return nullptr;
}

TTarvoDoc::TBookingsIni::TSection& TTarvoDoc::TBookingsIni::Cards() {
    if (const TSection* lFound = FindCards())
        return const_cast<TSection&>(*lFound);
    m_aSections.push_back(TSection{cCardsSection, {}});
    return m_aSections.back();
}

std::vector<std::pair<QString, QString>> TTarvoDoc::TBookingsIni::CardEntries() const {
    const TSection* lCards = FindCards();
    return lCards != nullptr ? lCards->m_aLines : std::vector<std::pair<QString, QString>>();
}

QString TTarvoDoc::TBookingsIni::ReadCard(const QString& AKey) const {
    if (const TSection* lCards = FindCards())
        for (const auto& [lKey, lValue] : lCards->m_aLines)
            if (SameName(lKey, AKey))
                return lValue;
    return QString();
}

bool TTarvoDoc::TBookingsIni::WriteCard(const QString& AKey, const QString& AValue) {
    auto& lLines = Cards().m_aLines;
    const auto lSame = [&](const std::pair<QString, QString>& ALine) { return SameName(ALine.first, AKey); };
    const auto lFirst = std::find_if(lLines.begin(), lLines.end(), lSame);
    if (lFirst == lLines.end()) {
        lLines.emplace_back(AKey, AValue);
        return true;
    }
    // A second entry of the key, from a hand edit, would come back to life once the first is deleted.
    const auto lRest = std::remove_if(lFirst + 1, lLines.end(), lSame);
    bool lChanged = lRest != lLines.end();
    lLines.erase(lRest, lLines.end());
    if (lFirst->first != AKey || lFirst->second != AValue) {
        *lFirst = {AKey, AValue};
        lChanged = true;
    }
    return lChanged;
}

bool TTarvoDoc::TBookingsIni::KeepCards(const std::function<bool(const QString&, const QString&)>& AKeep) {
    const TSection* lFound = FindCards();
    if (lFound == nullptr)
        return false;
    auto& lLines = const_cast<TSection*>(lFound)->m_aLines;
    const auto lRest = std::remove_if(lLines.begin(), lLines.end(),
                                      [&](const auto& ALine) { return !AKeep(ALine.first, ALine.second); });
    const bool lChanged = lRest != lLines.end();
    lLines.erase(lRest, lLines.end());
    return lChanged;
}

bool TTarvoDoc::TBookingsIni::DeleteCard(const QString& AKey) {
    const TSection* lFound = FindCards();
    if (lFound == nullptr)
        return false;
    auto& lLines = const_cast<TSection*>(lFound)->m_aLines;
    const auto lRest = std::remove_if(lLines.begin(), lLines.end(),
                                      [&](const auto& ALine) { return SameName(ALine.first, AKey); });
    const bool lChanged = lRest != lLines.end();
    lLines.erase(lRest, lLines.end());
    return lChanged;
}

// ---- entry values ------------------------------------------------------------------------------------

QString TTarvoDoc::FormatBookingValue(TDateTime AFrom, TDateTime ATo, bool AAllDay) {
    int lFromH = 0, lFromM = 0, lToH = 0, lToM = 0, lSec = 0, lMSec = 0;
    DecodeTime(AFrom, lFromH, lFromM, lSec, lMSec);
    DecodeTime(ATo, lToH, lToM, lSec, lMSec);
    return QString::asprintf("%.2d:%.2d-%.2d:%.2d ", lFromH, lFromM, lToH, lToM) +
           (AAllDay ? QStringLiteral("D") : QString());
}

bool TTarvoDoc::ReadBookingValue(const QString& AValue, TDateTime& VFrom, TDateTime& VTo, bool& VAllDay) {
    VFrom = 0;
    VTo = 0;
    VAllDay = false;
    const qsizetype lDash = AValue.indexOf(QLatin1Char('-'));
    if (lDash < 0)
        return false;
    const QString lRest = AValue.mid(lDash + 1);
    TDateTime lFrom = 0, lTo = 0;
    if (!ReadHourMin(AValue.left(lDash), lFrom) || !ReadHourMin(lRest, lTo))
        return false;
    VFrom = lFrom;
    VTo = lTo;
    const qsizetype lBlank = lRest.indexOf(QLatin1Char(' '));
    if (lBlank >= 0) {
        const qsizetype lWordEnd = lRest.indexOf(QLatin1Char(' '), lBlank + 1);
        const QString lWord = lRest.mid(lBlank + 1, lWordEnd < 0 ? -1 : lWordEnd - lBlank - 1);
        VAllDay = lWord.contains(QLatin1Char('D'));
    }
    return true;
}

// ---- the document's side -----------------------------------------------------------------------------

QString TTarvoDoc::GetBookingsPath() const {
    return QFileInfo(m_sFileName).absolutePath() + QStringLiteral("/Reserved.ini");
}

bool TTarvoDoc::GetBookingForCard(const TOrv_KEYNUM& ANumber, TDateTime& VFrom, TDateTime& VTo,
                                  bool& VAllDay) const {
    VFrom = 0;
    VTo = 0;
    VAllDay = false;
    const int lIdx = FindInUserByKeyNum(ANumber);
    if (lIdx < 0)
        return false;
    const TInUser* lUser = m_oInUsers.Get(lIdx);
    VFrom = lUser->m_dtRFrom;
    VTo = lUser->m_dtRTo;
    VAllDay = lUser->m_fRAllDay;
    return lUser->m_fReserv;
}

bool TTarvoDoc::SetBookingForCard(const TOrv_KEYNUM& ANumber, bool AEnabled, TDateTime AFrom, TDateTime ATo,
                                  bool AAllDay) {
    const int lIdx = FindInUserByKeyNum(ANumber);
    TARVO_ASSERT(lIdx >= 0, "uTarvoDoc");
    TInUser* lUser = m_oInUsers.Get(lIdx);
    lUser->m_fReserv = AEnabled;
    lUser->m_dtRFrom = AEnabled ? AFrom : 0;
    lUser->m_dtRTo = AEnabled ? ATo : 0;
    lUser->m_fRAllDay = AEnabled && AAllDay;
    // Stored under the card's own key text, which is what the start-up looks for; the presented number
    // may be longer or shorter and still match the card.
    const TOrv_KEYNUM& lNumber = lUser->m_pCard->m_Number;
    return AEnabled ? WriteBooking(lNumber, AAllDay, AFrom, ATo) : DeleteBooking(lNumber);
}

void TTarvoDoc::SetRecentBooking(TDateTime AFrom, TDateTime ATo, bool AAllDay) {
    if (m_dtRFrom == AFrom && m_dtRTo == ATo && m_fRAllDay == AAllDay)
        return;
    TUpdateScope lUpdate(*this);
    m_dtRFrom = AFrom;
    m_dtRTo = ATo;
    m_fRAllDay = AAllDay;
    SetModifyedFlag(true);
}

bool TTarvoDoc::WriteBooking(const TOrv_KEYNUM& ANumber, bool AAllDay, TDateTime AFrom, TDateTime ATo) {
    const QString lValue = FormatBookingValue(AFrom, ATo, AAllDay);
    return UpdateBookingsFile(ANumber, &lValue);
}

bool TTarvoDoc::DeleteBooking(const TOrv_KEYNUM& ANumber) {
    return UpdateBookingsFile(ANumber, nullptr);
}

bool TTarvoDoc::UpdateBookingsFile(const TOrv_KEYNUM& ANumber, const QString* AValue) {
    const QString lPath = GetBookingsPath();
    QString lError;
    TBookingsIni lIni;
    bool lDone = lIni.LoadFromFile(lPath, &lError);
    if (lDone) {
        bool lChanged = false;
        // Entries that an earlier failed write left behind are put right from the bookings in memory.
        for (const TOrv_KEYNUM& lUnsaved : m_aBookingsUnsaved) {
            if (lUnsaved == ANumber)
                continue;
            const QString lKey = KeyNumToStr(lUnsaved, KEYVIEW_HEX);
            const int lIdx = FindInUserByKeyNum(lUnsaved);
            const TInUser* lUser = lIdx < 0 ? nullptr : m_oInUsers.Get(lIdx);
            if (lUser != nullptr && lUser->m_fReserv)
                lChanged |= lIni.WriteCard(
                    lKey, FormatBookingValue(lUser->m_dtRFrom, lUser->m_dtRTo, lUser->m_fRAllDay));
            else
                lChanged |= lIni.DeleteCard(lKey);
        }
        const QString lKey = KeyNumToStr(ANumber, KEYVIEW_HEX);
        lChanged |= AValue != nullptr ? lIni.WriteCard(lKey, *AValue) : lIni.DeleteCard(lKey);
        if (lChanged) {
            try {
                WriteFileAtomically(lPath, lIni.GetBytes());
            } catch (const EInOutError& E) {
                lError = E.Message();
                lDone = false;
            }
        }
    }
    if (!lDone) {
        if (std::find(m_aBookingsUnsaved.begin(), m_aBookingsUnsaved.end(), ANumber) ==
            m_aBookingsUnsaved.end())
            m_aBookingsUnsaved.push_back(ANumber);
        DoWriteError(lError);
        return false;
    }
    m_aBookingsUnsaved.clear();
    return true;
}

void TTarvoDoc::LoadBookings() {
    m_aBookingsUnsaved.clear();
    const QString lPath = GetBookingsPath();
    if (!QFileInfo::exists(lPath))
        return;
    TBookingsIni lIni;
    QString lError;
    if (!lIni.LoadFromFile(lPath, &lError)) {
        // The file stays as it is: the operator can repair it, or set the bookings again.
        DoWriteError(lError);
        return;
    }
    // Entries are stored under the key text of the guest's own card, and only those are ever read or
    // deleted again: an entry under any other key (a guest who is out, damage, a hand edit) is dropped.
    // One pass with hashed keys: the file may hold hundreds of thousands of lines.
    QSet<QString> lInside;
    for (int i = 0; i < m_oInUsers.Count(); ++i)
        lInside.insert(KeyNumToStr(m_oInUsers.Get(i)->m_pCard->m_Number, KEYVIEW_HEX).toCaseFolded());
    QHash<QString, QString> lValues;
    const bool lDropped = lIni.KeepCards([&](const QString& AKey, const QString& AValue) {
        const QString lFolded = AKey.toCaseFolded();
        // A second entry of a key, from a hand edit, would come back to life once the first is deleted.
        if (!lInside.contains(lFolded) || lValues.contains(lFolded))
            return false;
        lValues.insert(lFolded, AValue);
        return true;
    });
    for (int i = 0; i < m_oInUsers.Count(); ++i) {
        TInUser* lUser = m_oInUsers.Get(i);
        const QString lValue =
            lValues.value(KeyNumToStr(lUser->m_pCard->m_Number, KEYVIEW_HEX).toCaseFolded());
        TDateTime lFrom = 0, lTo = 0;
        bool lAllDay = false;
        lUser->m_fReserv = ReadBookingValue(lValue, lFrom, lTo, lAllDay);
        lUser->m_dtRFrom = lFrom;
        lUser->m_dtRTo = lTo;
        lUser->m_fRAllDay = lAllDay;
    }
    if (lDropped) {
        try {
            WriteFileAtomically(lPath, lIni.GetBytes());
        } catch (const EInOutError& E) {
            DoWriteError(E.Message());
        }
    }
}

} // namespace Tarvo
