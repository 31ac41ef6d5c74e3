#include "config/uViewData.h"

#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "base/uLocale.h"
#include "config/uTarvoDoc.h"

#include <algorithm>
#include <cstdio>

namespace ConfigTarvo {

template <class TItem> void TDocListViewData<TItem>::DataHint(int AStartIndex, int AEndIndex) {
    const int lCacheEnd = m_nCacheStart + CacheCount() - 1;
    if (AStartIndex >= m_nCacheStart && AEndIndex <= lCacheEnd)
        return;
    m_nCacheStart = std::max(AStartIndex, 0);
    m_aCache.resize(size_t(std::max(AEndIndex - m_nCacheStart + 1, 0)));
    FillCache();
}

template <class TItem> void TDocListViewData<TItem>::FillCache() {
    // The document may have shrunk since the view asked: never build rows past its end.
    const int lRows = std::max(GetCount() - m_nCacheStart, 0);
    if (CacheCount() > lRows)
        m_aCache.resize(size_t(lRows));
    for (int i = 0; i < CacheCount(); ++i)
        BuildItem(GetItemDocIndex(m_nCacheStart + i), m_aCache[size_t(i)]);
}

template <class TItem> const TItem& TDocListViewData<TItem>::RetrieveItem(int ARow) {
    if (ARow >= m_nCacheStart && ARow < m_nCacheStart + CacheCount() && ARow < GetCount()) {
        TItem& lItem = m_aCache[size_t(ARow - m_nCacheStart)];
        const int lDocIdx = GetItemDocIndex(ARow);
        if (lItem.m_pObj != DocObjectAt(lDocIdx))
            BuildItem(lDocIdx, lItem);
        return lItem;
    }
    BuildItem(GetItemDocIndex(ARow), m_rTempViewItem);
    return m_rTempViewItem;
}

template <class TItem> void TDocListViewData<TItem>::UpdateAllView() {
    FillCache();
    TVirtualListViewData::UpdateAllView();
}

template class TDocListViewData<TTzViewItem>;
template class TDocListViewData<TCardViewItem>;

// ---- time zones -------------------------------------------------------------------------------------

int TTimeZonesViewData::GetCount() const {
    return FDoc.TZs().Count();
}

void TTimeZonesViewData::BuildItem(int ADocIdx, TTzViewItem& VItem) const {
    const TTarvoTimeZone* lZone = FDoc.TZs().GetZone(ADocIdx);
    VItem.m_sIdx = QString::number(ADocIdx + 1);
    int lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeTime(lZone->m_tStartTime, lHour, lMin, lSec, lMSec);
    std::snprintf(VItem.m_szTime, sizeof(VItem.m_szTime), "%.2d:%.2d", lHour, lMin);
    VItem.m_sBaseCost = FloatToStr(lZone->m_nBaseCost);
    VItem.m_sMinCost = FloatToStr(lZone->m_nMinCost);
    VItem.m_pObj = lZone;
}

void TTimeZonesViewData::GetData(int ARow, TListViewRow& VItem) {
    const TTzViewItem& lItem = RetrieveItem(ARow);
    VItem.m_sCaption = lItem.m_sIdx;
    VItem.m_nImageIndex = -1;
    VItem.m_aSubItems = QStringList{lItem.m_pObj->m_sName, QString::fromLatin1(lItem.m_szTime),
                                    lItem.m_sBaseCost, lItem.m_sMinCost};
}

std::uint64_t TTimeZonesViewData::GetRowId(int ARow) const {
    const TTarvoTimeZone* lZone = FDoc.TZs().GetZone(GetItemDocIndex(ARow));
    return TRowIdHash().AddPointer(lZone).AddInt(lZone->m_nId).Value();
}

const void* TTimeZonesViewData::DocObjectAt(int ADocIdx) const {
    return FDoc.TZs().GetZone(ADocIdx);
}

const TTarvoTimeZone* TTimeZonesViewData::ObjectOf(int ARow) {
    return RetrieveItem(ARow).m_pObj;
}

// ---- cards ------------------------------------------------------------------------------------------

int TCardsViewData::GetCount() const {
    return FDoc.Cards().Count();
}

void TCardsViewData::BuildItem(int ADocIdx, TCardViewItem& VItem) const {
    const TCard* lCard = FDoc.Cards().GetCard(ADocIdx);
    VItem.m_sIdx = QString::number(ADocIdx + 1);
    VItem.m_sNumber = KeyNumToStr(lCard->m_Number, FDoc.KeyView());
    VItem.m_sLevel = QString::number(lCard->m_nLevel);
    VItem.m_pObj = lCard;
}

void TCardsViewData::GetData(int ARow, TListViewRow& VItem) {
    const TCardViewItem& lItem = RetrieveItem(ARow);
    VItem.m_sCaption = lItem.m_sIdx;
    VItem.m_nImageIndex = -1;
    VItem.m_aSubItems =
        QStringList{lItem.m_sNumber, lItem.m_pObj->m_sUserName, lItem.m_sLevel, lItem.m_pObj->m_sComment};
}

std::uint64_t TCardsViewData::GetRowId(int ARow) const {
    const TCard* lCard = FDoc.Cards().GetCard(GetItemDocIndex(ARow));
    return TRowIdHash().AddPointer(lCard).AddInt(lCard->m_nId).Value();
}

const void* TCardsViewData::DocObjectAt(int ADocIdx) const {
    return FDoc.Cards().GetCard(ADocIdx);
}

const TCard* TCardsViewData::ObjectOf(int ARow) {
    return RetrieveItem(ARow).m_pObj;
}

} // namespace ConfigTarvo
