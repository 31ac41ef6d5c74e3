// The report list: the day's finished visits, sortable by its columns.

#include "base/uKeyNum.h"
#include "frontdesk/uViewData.h"

#include <cmath>
#include <cstdlib>

namespace Tarvo {

namespace {

template <class T> int Sign(T A, T B) {
    return A < B ? -1 : (B < A ? 1 : 0);
}

const TRepItem& Visit(const TRepViewData& AOwner, int AIdx) {
    return *AOwner.Doc().Report().Get(AIdx);
}

class TRepIdxComparer : public TRepComparer {
public:
    using TRepComparer::TRepComparer;

protected:
    int CompareKey(int ALeft, int ARight) const override { return Sign(ALeft, ARight); }
};

class TRepKeyComparer : public TCachedKeyComparer<TRepViewData, TOrv_KEYNUM> {
public:
    using TCachedKeyComparer::TCachedKeyComparer;

protected:
    TOrv_KEYNUM Key(int AIdx) const override { return Visit(m_pOwner, AIdx).m_pCard->m_Number; }
    int CompareKeys(const TOrv_KEYNUM& ALeft, const TOrv_KEYNUM& ARight) const override {
        return CompareKeyNums(ALeft, ARight);
    }
};

class TRepUserComparer : public TRepComparer {
public:
    explicit TRepUserComparer(const TRepViewData& AOwner)
        : TRepComparer(AOwner, std::make_unique<TRepKeyComparer>(AOwner)) {}
    void Prepare() override {
        const TRepList& list = m_pOwner.Doc().Report();
        std::vector<const TCard*> cards(static_cast<size_t>(list.Count()));
        for (int i = 0; i < list.Count(); ++i)
            cards[static_cast<size_t>(i)] = list.Get(i)->m_pCard;
        m_aRanks = UserNameRanks(cards);
        TRepComparer::Prepare();
    }

protected:
    int CompareKey(int ALeft, int ARight) const override {
        return Sign(m_aRanks[static_cast<size_t>(ALeft)], m_aRanks[static_cast<size_t>(ARight)]);
    }

private:
    std::vector<int> m_aRanks;
};

// A key of the visit, the user name breaking ties.
template <class TKey> class TRepUserPlusComparer : public TCachedKeyComparer<TRepViewData, TKey> {
public:
    explicit TRepUserPlusComparer(const TRepViewData& AOwner)
        : TCachedKeyComparer<TRepViewData, TKey>(AOwner, std::make_unique<TRepUserComparer>(AOwner)) {}
};

class TRepLevelComparer : public TRepUserPlusComparer<std::int32_t> {
public:
    using TRepUserPlusComparer::TRepUserPlusComparer;

protected:
    std::int32_t Key(int AIdx) const override { return Visit(m_pOwner, AIdx).m_pCard->m_nLevel; }
};

// Time of day only, equal within the same millisecond.
class TRepTimeOfDayComparer : public TRepUserPlusComparer<TDateTime> {
public:
    using TRepUserPlusComparer::TRepUserPlusComparer;

protected:
    int CompareKeys(const TDateTime& ALeft, const TDateTime& ARight) const override {
        return CompareTimeOfDay(ALeft, ARight);
    }
};

class TRepTimeInComparer : public TRepTimeOfDayComparer {
public:
    using TRepTimeOfDayComparer::TRepTimeOfDayComparer;

protected:
    TDateTime Key(int AIdx) const override { return Visit(m_pOwner, AIdx).m_dtTimeIn; }
};

class TRepTimeOutComparer : public TRepTimeOfDayComparer {
public:
    using TRepTimeOfDayComparer::TRepTimeOfDayComparer;

protected:
    TDateTime Key(int AIdx) const override { return Visit(m_pOwner, AIdx).m_dtTimeOut; }
};

class TRepSumComparer : public TRepUserPlusComparer<Extended> {
public:
    using TRepUserPlusComparer::TRepUserPlusComparer;

protected:
    Extended Key(int AIdx) const override { return Visit(m_pOwner, AIdx).m_nSum; }
};

} // namespace

int TRepViewData::DocCount() const {
    return FDoc.Report().Count();
}

std::unique_ptr<TRepComparer> TRepViewData::MakeComparer(int AColumn) const {
    switch (AColumn) {
    case rcIdx:
        return std::make_unique<TRepIdxComparer>(*this);
    case rcUser:
        return std::make_unique<TRepUserComparer>(*this);
    case rcLevel:
        return std::make_unique<TRepLevelComparer>(*this);
    case rcTimeIn:
        return std::make_unique<TRepTimeInComparer>(*this);
    case rcTimeOut:
        return std::make_unique<TRepTimeOutComparer>(*this);
    case rcSum:
        return std::make_unique<TRepSumComparer>(*this);
    default:
        return nullptr; // "Camera", "Comment" and unknown columns keep document order
    }
}

TDateTime TRepViewData::DisplayTimeOut(TDateTime ATimeIn, TDateTime ATimeOut, TTariffication AUnit) {
    const TDateTime dtIn = RoundForView(ATimeIn, AUnit);
    const std::int64_t nUnitMs = TTarvoDoc::UnitMSecs(ShowsSeconds(AUnit) ? TARIF_SECOND : AUnit);
    // The stay in whole milliseconds first, so that exactly half a unit is exactly half and goes to the
    // even number of units as the rounding rule says, whatever the floating error of the moments.
    const double fSpanMs = std::fabs(ATimeOut - ATimeIn) * MSecsPerDay;
    if (!(fSpanMs < 1e15))
        return dtIn;
    const std::int64_t nSpanMs = std::llround(fSpanMs);
    std::int64_t nUnits = nSpanMs / nUnitMs;
    const std::int64_t nRest = nSpanMs % nUnitMs;
    if (2 * nRest > nUnitMs || (2 * nRest == nUnitMs && nUnits % 2 != 0))
        ++nUnits;
    return dtIn + double(nUnits * nUnitMs) / MSecsPerDay;
}

std::uint64_t TRepViewData::DocRowId(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < FDoc.Report().Count(), "uReportView");
    const TRepItem* pVisit = FDoc.Report().Get(AIdx);
    TARVO_ASSERT(pVisit && pVisit->m_pCard, "uReportView");
    TRowIdHash h;
    AddKeyToRowId(h, pVisit->m_pCard->m_Number);
    h.AddDouble(pVisit->m_dtTimeIn).AddDouble(pVisit->m_dtTimeOut);
    return h.Value();
}

void TRepViewData::FillViewItem(int AIdx, TRepViewItem& VItem) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < FDoc.Report().Count(), "uReportView");
    const TRepItem* pVisit = FDoc.Report().Get(AIdx);
    TARVO_ASSERT(pVisit && pVisit->m_pCard, "uReportView");
    const TTariffication unit = FDoc.Tariffication();
    const TCard& card = *pVisit->m_pCard;
    VItem.m_pObj = pVisit;
    VItem.m_sIdx = QString::number(AIdx + 1);
    VItem.m_sUser = UserOrKeyText(card.m_sUserName, card.m_Number, FDoc.KeyView());
    VItem.m_sComment = FDoc.GetLogItemComment(pVisit->m_dtTimeIn);
    VItem.m_sLevel = QString::number(card.m_nLevel);
    VItem.m_szTimeIn = ViewTimeText(RoundForView(pVisit->m_dtTimeIn, unit), unit);
    VItem.m_szTimeOut = ViewTimeText(DisplayTimeOut(pVisit->m_dtTimeIn, pVisit->m_dtTimeOut, unit), unit);
    VItem.m_sSum = TTarvoDoc::PriceToStr(pVisit->m_nSum, FDoc.AccPrice());
}

void TRepViewData::GetData(int ARow, TListViewRow& VItem) {
    const TRepViewItem& item = RetrieveItem(ARow);
    VItem.m_sCaption.clear();
    VItem.m_nImageIndex = LV_IMAGE_CAMERA;
    VItem.m_aSubItems = {item.m_sIdx,     item.m_sUser,     item.m_sComment, item.m_sLevel,
                         item.m_szTimeIn, item.m_szTimeOut, item.m_sSum};
    VItem.m_aSubImages.clear();
}

} // namespace Tarvo
