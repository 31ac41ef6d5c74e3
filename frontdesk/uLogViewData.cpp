// The log list: the day's events, newest first.

#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "frontdesk/uViewData.h"

namespace Tarvo {

QString ViewTimeText(TDateTime ATime, TTariffication AUnit) {
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(ATime, h, n, s, ms);
    if (ShowsSeconds(AUnit))
        return QString::asprintf("%.2d:%.2d:%.2d", h, n, s);
    return QString::asprintf("%.2d:%.2d", h, n);
}

QString BookingTimeText(TDateTime ATime, TTariffication AUnit) {
    if (ATime != 0)
        return ViewTimeText(ATime, AUnit);
    return ShowsSeconds(AUnit) ? QStringLiteral("--:--:--") : QStringLiteral("--:--");
}

void AddKeyToRowId(TRowIdHash& VHash, const TOrv_KEYNUM& AKey) {
    const std::size_t nLen = std::min<std::size_t>(AKey[0], AKey.size() - 1);
    VHash.AddInt(static_cast<std::int64_t>(nLen)).AddBytes(AKey.data() + 1, nLen);
}

int TLogViewData::GetCount() const {
    return FDoc.LogList().Count();
}

int TLogViewData::GetItemDocIndex(int ARow) const {
    const int n = GetCount();
    return ARow >= 0 && ARow < n ? n - 1 - ARow : -1;
}

int TLogViewData::FindDocIndex(int AIndex) const {
    // The order is its own inverse.
    return GetItemDocIndex(AIndex);
}

std::uint64_t TLogViewData::GetRowId(int ARow) const {
    const int nIdx = GetItemDocIndex(ARow);
    TARVO_ASSERT(nIdx >= 0, "uLogView");
    const TLogItem* pItem = FDoc.LogList().Get(nIdx);
    TARVO_ASSERT(pItem && pItem->m_pCard, "uLogView");
    // The log only grows within a day: an entry keeps its place in it. A new day starts at place 0 again
    // with other moments.
    TRowIdHash h;
    h.AddInt(nIdx).AddDouble(pItem->m_dtTime).AddInt(pItem->m_fIn ? 1 : 0);
    AddKeyToRowId(h, pItem->m_pCard->m_Number);
    return h.Value();
}

void TLogViewData::FillViewItem(int ARow, TLogViewItem& VItem) const {
    const int nIdx = GetItemDocIndex(ARow);
    TARVO_ASSERT(nIdx >= 0, "uLogView");
    const TLogItem* pItem = FDoc.LogList().Get(nIdx);
    TARVO_ASSERT(pItem && pItem->m_pCard, "uLogView");
    VItem.m_pObj = pItem;
    VItem.m_sUser = UserOrKeyText(pItem->m_pCard->m_sUserName, pItem->m_pCard->m_Number, FDoc.KeyView());
    int h = 0, n = 0, s = 0, ms = 0;
    DecodeTime(pItem->m_dtTime, h, n, s, ms);
    VItem.m_szTime = QString::asprintf("%.2d:%.2d:%.2d", h, n, s);
    if (pItem->m_fIn) {
        VItem.m_sLevel = QString::number(pItem->m_pCard->m_nLevel);
        VItem.m_sSum.clear();
    } else {
        VItem.m_sLevel.clear();
        VItem.m_sSum = TTarvoDoc::PriceToStr(pItem->m_nSum, FDoc.AccPrice());
    }
}

void TLogViewData::FillCache() {
    auto& c = m_oCache;
    const int nAvail = std::max(GetCount() - c.m_nCacheStart, 0);
    if (static_cast<int>(c.m_aCache.size()) > nAvail)
        c.m_aCache.resize(static_cast<size_t>(nAvail));
    for (size_t i = 0; i < c.m_aCache.size(); ++i)
        FillViewItem(c.m_nCacheStart + static_cast<int>(i), c.m_aCache[i]);
}

void TLogViewData::DataHint(int AStartIndex, int AEndIndex) {
    auto& c = m_oCache;
    if (AEndIndex < AStartIndex)
        return;
    if (c.m_nCacheStart <= AStartIndex && AEndIndex < c.m_nCacheStart + static_cast<int>(c.m_aCache.size()))
        return;
    c.m_nCacheStart = AStartIndex;
    c.m_aCache.assign(static_cast<size_t>(AEndIndex - AStartIndex + 1), TLogViewItem());
    FillCache();
}

void TLogViewData::UpdateAllView() {
    FillCache();
    TVirtualListViewData::UpdateAllView();
}

const TLogViewItem& TLogViewData::RetrieveItem(int ARow) {
    if (m_oCache.Holds(ARow))
        return m_oCache.m_aCache[static_cast<size_t>(ARow - m_oCache.m_nCacheStart)];
    FillViewItem(ARow, m_oCache.m_rTempViewItem);
    return m_oCache.m_rTempViewItem;
}

void TLogViewData::GetData(int ARow, TListViewRow& VItem) {
    const TLogViewItem& item = RetrieveItem(ARow);
    const TLogItem& log = *item.m_pObj;
    VItem.m_sCaption.clear();
    VItem.m_nImageIndex = LV_IMAGE_CAMERA;
    VItem.m_aSubItems = {item.m_szTime,  item.m_sUser,
                         log.m_sComment, LoadResString(log.m_fIn ? MSG_IN : MSG_OUT),
                         item.m_sLevel,  item.m_sSum};
    VItem.m_aSubImages = {-1, -1, -1, log.m_fIn ? LV_IMAGE_CHECKIN : LV_IMAGE_CHECKOUT};
}

} // namespace Tarvo
