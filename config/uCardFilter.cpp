#include "config/uCardFilter.h"

#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "config/uTarvoDoc.h"
#include "config/uViewData.h"

#include <algorithm>

namespace ConfigTarvo {

TCardFilterViewData::TCardFilterViewData(const TTarvoDoc& ADoc, TCardsViewData& ACards)
    : FDoc(ADoc), m_rCards(ACards) {
    m_rCards.SetOnUpdateAllView([this](TVirtualListViewData&) { UpdateAllView(); });
    MapRows();
}

void TCardFilterViewData::SetFilterText(const QString& AText) {
    const QString lText = AText.trimmed();
    if (lText == m_sFilter)
        return;
    m_sFilter = lText;
    UpdateAllView();
}

bool TCardFilterViewData::CardMatches(int ADocIdx) const {
    if (ADocIdx < 0 || ADocIdx >= FDoc.Cards().Count())
        return false;
    if (m_sFilter.isEmpty())
        return true;
    const TCard* lCard = FDoc.Cards().GetCard(ADocIdx);
    return lCard->m_sUserName.contains(m_sFilter, Qt::CaseInsensitive) ||
           lCard->m_sComment.contains(m_sFilter, Qt::CaseInsensitive) ||
           KeyNumToStr(lCard->m_Number, FDoc.KeyView()).contains(m_sFilter, Qt::CaseInsensitive);
}

int TCardFilterViewData::GetItemDocIndex(int ARow) const {
    TARVO_ASSERT(ARow >= 0 && ARow < GetCount(), "uCardFilter");
    return m_aRows[size_t(ARow)];
}

int TCardFilterViewData::FindDocIndex(int ADocIdx) const {
    // Rows are in document order.
    const auto lIt = std::lower_bound(m_aRows.begin(), m_aRows.end(), ADocIdx);
    return lIt != m_aRows.end() && *lIt == ADocIdx ? int(lIt - m_aRows.begin()) : -1;
}

int TCardFilterViewData::GetCount() const {
    return int(m_aRows.size());
}

void TCardFilterViewData::GetData(int ARow, TListViewRow& VItem) {
    const int lDocIdx = GetItemDocIndex(ARow);
    // A view asking between a document change and its notification gets an empty row, never a card
    // that is gone.
    if (lDocIdx >= FDoc.Cards().Count()) {
        VItem = TListViewRow();
        return;
    }
    m_rCards.GetData(lDocIdx, VItem);
}

void TCardFilterViewData::DataHint(int AStartIndex, int AEndIndex) {
    // Filtered rows lie scattered over the cards: a cache over the whole span between them could be
    // far larger than the rows shown, so the rows are then built as they are asked for.
    if (IsFiltered() || AStartIndex < 0 || AEndIndex < AStartIndex || AEndIndex >= GetCount())
        return;
    const int lLast = std::min(m_aRows[size_t(AEndIndex)], FDoc.Cards().Count() - 1);
    if (m_aRows[size_t(AStartIndex)] <= lLast)
        m_rCards.DataHint(m_aRows[size_t(AStartIndex)], lLast);
}

std::uint64_t TCardFilterViewData::GetRowId(int ARow) const {
    const int lDocIdx = GetItemDocIndex(ARow);
    return lDocIdx < FDoc.Cards().Count() ? m_rCards.GetRowId(lDocIdx) : std::uint64_t(ARow);
}

void TCardFilterViewData::Update() {
    m_rCards.Update();
}

void TCardFilterViewData::UpdateAllView() {
    MapRows();
    TVirtualListViewData::UpdateAllView();
}

void TCardFilterViewData::MapRows() {
    m_aRows.clear();
    const int lCount = FDoc.Cards().Count();
    m_aRows.reserve(size_t(lCount));
    for (int i = 0; i < lCount; ++i)
        if (CardMatches(i))
            m_aRows.push_back(i);
}

} // namespace ConfigTarvo
