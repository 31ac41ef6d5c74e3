// The list of guests inside, sortable by its columns.

#include "base/uKeyNum.h"
#include "base/uLocale.h"
#include "frontdesk/uViewData.h"

#include <QCollator>

#include <unordered_map>

namespace Tarvo {

std::vector<int> UserNameRanks(const std::vector<const TCard*>& ACards) {
    // Collate each distinct card once; a day has many visits but few cards.
    std::unordered_map<const TCard*, int> distinct;
    std::vector<const TCard*> cards;
    for (const TCard* p : ACards)
        if (distinct.emplace(p, 0).second)
            cards.push_back(p);
    QCollator coll(UserLocale());
    coll.setCaseSensitivity(Qt::CaseSensitive);
    std::sort(cards.begin(), cards.end(), [&coll](const TCard* A, const TCard* B) {
        return coll.compare(A->m_sUserName, B->m_sUserName) < 0;
    });
    int nRank = 0;
    for (size_t i = 0; i < cards.size(); ++i) {
        if (i > 0 && coll.compare(cards[i - 1]->m_sUserName, cards[i]->m_sUserName) != 0)
            ++nRank;
        distinct[cards[i]] = nRank;
    }
    std::vector<int> ranks(ACards.size());
    for (size_t i = 0; i < ACards.size(); ++i)
        ranks[i] = distinct[ACards[i]];
    return ranks;
}

namespace {

template <class T> int Sign(T A, T B) {
    return A < B ? -1 : (B < A ? 1 : 0);
}

const TInUser& Guest(const TInViewData& AOwner, int AIdx) {
    return *AOwner.Doc().InUsers().Get(AIdx);
}

class TInIdxComparer : public TInComparer {
public:
    using TInComparer::TInComparer;

protected:
    int CompareKey(int ALeft, int ARight) const override { return Sign(ALeft, ARight); }
};

class TInKeyComparer : public TCachedKeyComparer<TInViewData, TOrv_KEYNUM> {
public:
    using TCachedKeyComparer::TCachedKeyComparer;

protected:
    TOrv_KEYNUM Key(int AIdx) const override { return Guest(m_pOwner, AIdx).m_pCard->m_Number; }
    int CompareKeys(const TOrv_KEYNUM& ALeft, const TOrv_KEYNUM& ARight) const override {
        return CompareKeyNums(ALeft, ARight);
    }
};

class TInUserComparer : public TInComparer {
public:
    explicit TInUserComparer(const TInViewData& AOwner)
        : TInComparer(AOwner, std::make_unique<TInKeyComparer>(AOwner)) {}
    void Prepare() override {
        const TInUserList& list = m_pOwner.Doc().InUsers();
        std::vector<const TCard*> cards(static_cast<size_t>(list.Count()));
        for (int i = 0; i < list.Count(); ++i)
            cards[static_cast<size_t>(i)] = list.Get(i)->m_pCard;
        m_aRanks = UserNameRanks(cards);
        TInComparer::Prepare();
    }

protected:
    int CompareKey(int ALeft, int ARight) const override {
        return Sign(m_aRanks[static_cast<size_t>(ALeft)], m_aRanks[static_cast<size_t>(ARight)]);
    }

private:
    std::vector<int> m_aRanks;
};

// A moment of the guest's record, the user name breaking ties.
class TInMomentComparer : public TCachedKeyComparer<TInViewData, TDateTime> {
public:
    explicit TInMomentComparer(const TInViewData& AOwner)
        : TCachedKeyComparer(AOwner, std::make_unique<TInUserComparer>(AOwner)) {}
};

class TInTimeComparer : public TInMomentComparer {
public:
    using TInMomentComparer::TInMomentComparer;

protected:
    TDateTime Key(int AIdx) const override { return Guest(m_pOwner, AIdx).m_dtTime; }
    // Equal within one millisecond.
    int CompareKeys(const TDateTime& ALeft, const TDateTime& ARight) const override {
        return CompareDateTimeMs(ALeft, ARight);
    }
};

class TInBookingFromComparer : public TInMomentComparer {
public:
    using TInMomentComparer::TInMomentComparer;

protected:
    TDateTime Key(int AIdx) const override { return Guest(m_pOwner, AIdx).m_dtRFrom; }
};

class TInBookingToComparer : public TInMomentComparer {
public:
    using TInMomentComparer::TInMomentComparer;

protected:
    TDateTime Key(int AIdx) const override { return Guest(m_pOwner, AIdx).m_dtRTo; }
};

} // namespace

int TInViewData::DocCount() const {
    return FDoc.InUsers().Count();
}

std::unique_ptr<TInComparer> TInViewData::MakeComparer(int AColumn) const {
    switch (AColumn) {
    case icIdx:
        return std::make_unique<TInIdxComparer>(*this);
    case icUser:
        return std::make_unique<TInUserComparer>(*this);
    case icKey:
        return std::make_unique<TInKeyComparer>(*this);
    case icTime:
        return std::make_unique<TInTimeComparer>(*this);
    case icBookingFrom:
        return std::make_unique<TInBookingFromComparer>(*this);
    case icBookingTo:
        return std::make_unique<TInBookingToComparer>(*this);
    default:
        return nullptr; // "Comment" and unknown columns keep document order
    }
}

std::uint64_t TInViewData::DocRowId(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < FDoc.InUsers().Count(), "uInView");
    const TInUser* pUser = FDoc.InUsers().Get(AIdx);
    TARVO_ASSERT(pUser && pUser->m_pCard, "uInView");
    // A card is inside at most once; its check-in moment tells it from its earlier stays.
    TRowIdHash h;
    AddKeyToRowId(h, pUser->m_pCard->m_Number);
    h.AddDouble(pUser->m_dtTime);
    return h.Value();
}

void TInViewData::FillViewItem(int AIdx, TInViewItem& VItem) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < FDoc.InUsers().Count(), "uInView");
    const TInUser* pUser = FDoc.InUsers().Get(AIdx);
    TARVO_ASSERT(pUser && pUser->m_pCard, "uInView");
    const TTariffication unit = FDoc.Tariffication();
    VItem.m_pObj = pUser;
    VItem.m_sIdx = QString::number(AIdx + 1);
    VItem.m_sKey = KeyNumToStr(pUser->m_pCard->m_Number, FDoc.KeyView());
    VItem.m_sEnterTime = ViewTimeText(RoundForView(pUser->m_dtTime, unit), unit);
    VItem.m_sBookingFrom = BookingTimeText(pUser->m_dtRFrom, unit);
    VItem.m_sBookingTo = BookingTimeText(pUser->m_dtRTo, unit);
    if (pUser->m_fRAllDay && pUser->m_dtRTo != 0)
        VItem.m_sBookingTo += QLatin1Char('*');
}

void TInViewData::GetData(int ARow, TListViewRow& VItem) {
    const TInViewItem& item = RetrieveItem(ARow);
    const TCard& card = *item.m_pObj->m_pCard;
    VItem.m_sCaption = item.m_sIdx;
    VItem.m_nImageIndex = -1;
    VItem.m_aSubItems = {card.m_sUserName,  card.m_sComment,     item.m_sKey,
                         item.m_sEnterTime, item.m_sBookingFrom, item.m_sBookingTo};
    VItem.m_aSubImages.clear();
}

} // namespace Tarvo
