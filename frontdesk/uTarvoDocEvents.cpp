// Card events and the business day: a presented card checks a guest in or out, the stay is billed,
// logged and reported, and the day is closed with its summary when a new one has begun.

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uKeyNum.h"

#include <algorithm>
#include <memory>

namespace Tarvo {

void TTarvoDoc::FireCard(const TOrv_KEYNUM& ANumber) {
    TUpdateScope lUpdate(*this);
    // One moment for every step, so the log, the bill and the report agree to the millisecond.
    const TDateTime lNow = Now();
    const TDate lRepDate = _GetRepDateForTime(lNow, m_tStartDay);
    if (m_dtRepDate == 0 || DateOf(m_dtRepDate) != DateOf(lRepDate))
        SetReportDate(lRepDate);

    const int lInIdx = FindInUserByKeyNum(ANumber);
    if (lInIdx < 0) {
        const int lCardIdx = FindCardByKeyNum(ANumber);
        if (lCardIdx < 0)
            return;
        TCard* lCard = m_oCards.GetCard(lCardIdx);
        const int lNewIdx = AddInUser(lCard, lNow);
        AddLog(lNow, lCard, true, 0, lNow, false, 0, 0, false, false, QString());
        ++m_nRepInUsers;
        // A booking entry that could not be removed at this card's last check-out must not come back
        // as the booking of this new stay after a restart.
        if (std::any_of(m_aBookingsUnsaved.begin(), m_aBookingsUnsaved.end(),
                        [&](const TOrv_KEYNUM& AKey) { return SameKeyNum(AKey, lCard->m_Number); }))
            DeleteBooking(lCard->m_Number);
        if (lNewIdx != -1)
            DoUserIn();
        return;
    }

    // The guest's record goes with DeleteInUser; everything needed afterwards is copied first.
    const TInUser lGuest = *m_oInUsers.Get(lInIdx);
    TCard* lCard = lGuest.m_pCard;
    const Extended lSum = CalcStayAmount(lGuest.m_dtTime, lNow, lCard->m_nLevel, StayBookingOf(lGuest));
    const bool lFixed = m_nDayCost != 0;
    AddLog(lNow, lCard, false, lSum, lNow, lGuest.m_fReserv, lGuest.m_dtRFrom, lGuest.m_dtRTo,
           lGuest.m_fRAllDay, lFixed, QString());
    // Only once the out-line is on disk: should the program end before, the restart finds the guest
    // inside with the booking still in place. An entry left behind for a guest who is out is dropped
    // by the next start. It is removed under the card's own key text, the one it was stored under; a
    // failure is told to the operator and does not stop the check-out.
    if (lGuest.m_fReserv)
        DeleteBooking(lCard->m_Number);
    ++m_nRepOutUsers;
    const int lRepIdx = AddReport(lCard, lGuest.m_dtTime, lNow, lSum, lGuest.m_fReserv, lGuest.m_dtRFrom,
                                  lGuest.m_dtRTo, lGuest.m_fRAllDay, lFixed);
    DeleteInUser(lInIdx);
    if (lRepIdx != -1)
        DoUserOut();
}

void TTarvoDoc::CheckReportDate() {
    SetReportDate(_GetRepDateForTime(Now(), m_tStartDay));
}

void TTarvoDoc::SetReportDate(TDate AValue) {
    TUpdateScope lUpdate(*this);
    if (m_dtRepDate == 0) {
        m_dtRepDate = AValue;
        return;
    }
    if (DateOf(AValue) == DateOf(m_dtRepDate))
        return;
    // The summary goes out before anything is emptied: should it raise (the report folder cannot be
    // created), the day stays open with its lists and counters and is closed at the next event.
    AddReport(m_dtRepDate, m_nRepTotalSum, m_nRepInUsers, m_nRepOutUsers, m_oInUsers);
    if (!m_oLogList.IsEmpty()) {
        m_oLogList.Clear();
        AddChange(DCH_LOG, false);
    }
    m_oReport.Clear();
    m_nRepTotalSum = 0;
    m_nRepInUsers = 0;
    m_nRepOutUsers = 0;
    AddChange(DCH_REPORT | DCH_TOTALS, false);
    m_dtRepDate = AValue;
}

// ---- lookups -----------------------------------------------------------------------------------------

int TTarvoDoc::FindInUserByKeyNum(const TOrv_KEYNUM& ANumber) const {
    for (int i = 0; i < m_oInUsers.Count(); ++i)
        if (SameKeyNum(m_oInUsers.Get(i)->m_pCard->m_Number, ANumber))
            return i;
    return -1;
}

int TTarvoDoc::FindInUserByDate(TDateTime ADate) const {
    const TDate lDate = DateOf(ADate);
    for (int i = 0; i < m_oInUsers.Count(); ++i)
        if (DateOf(m_oInUsers.Get(i)->m_dtTime) == lDate)
            return i;
    return -1;
}

int TTarvoDoc::FindInUserByRepDate(TDateTime ADate) const {
    const TDate lDate = DateOf(ADate);
    for (int i = 0; i < m_oInUsers.Count(); ++i)
        if (_GetRepDateForTime(m_oInUsers.Get(i)->m_dtTime, m_tStartDay) == lDate)
            return i;
    return -1;
}

int TTarvoDoc::FindCardByKeyNum(const TOrv_KEYNUM& ANumber) const {
    return m_oCards.FindByNumber(ANumber);
}

int TTarvoDoc::FindCardByUserName(const QString& AName) const {
    return m_oCards.FindByUserName(AName);
}

// ---- guests inside -----------------------------------------------------------------------------------

int TTarvoDoc::AddInUser(TCard* ACard, TDateTime ATime) {
    TARVO_ASSERT(ACard != nullptr, "uTarvoDoc");
    TUpdateScope lUpdate(*this);
    auto lUser = std::make_unique<TInUser>();
    lUser->m_pCard = ACard;
    lUser->m_dtTime = ATime;
    m_oInUsers.Add(std::move(lUser));
    AddChange(DCH_INUSERS, false);
    return m_oInUsers.Count() - 1;
}

void TTarvoDoc::DeleteInUser(int AIdx) {
    TUpdateScope lUpdate(*this);
    m_oInUsers.Delete(AIdx);
    AddChange(DCH_INUSERS, false);
}

} // namespace Tarvo
