#include "base/uVirtualListViewData.h"

#include <algorithm>
#include <cstring>

QString TListViewRow::ColumnText(int AColumn) const {
    if (AColumn == 0)
        return m_sCaption;
    if (AColumn > 0 && AColumn <= m_aSubItems.size())
        return m_aSubItems.at(AColumn - 1);
    return QString();
}

int TListViewRow::ColumnImage(int AColumn) const {
    if (AColumn == 0)
        return m_nImageIndex;
    if (AColumn > 0 && AColumn <= m_aSubImages.size())
        return m_aSubImages.at(AColumn - 1);
    return -1;
}

TVirtualListViewData::~TVirtualListViewData() {
    const std::vector<TListViewDataWatcher*> aWatchers = std::move(m_aWatchers);
    for (TListViewDataWatcher* w : aWatchers)
        w->ListViewDataDestroyed();
}

void TVirtualListViewData::RemoveWatcher(TListViewDataWatcher* AWatcher) {
    m_aWatchers.erase(std::remove(m_aWatchers.begin(), m_aWatchers.end(), AWatcher), m_aWatchers.end());
}

void TVirtualListViewData::Update() {
    UpdateAllView();
}

void TVirtualListViewData::UpdateAllView() {
    if (FOnUpdateAllView)
        FOnUpdateAllView(*this);
}

std::uint64_t TVirtualListViewData::GetRowId(int ARow) const {
    return static_cast<std::uint64_t>(ARow);
}

TRowIdHash& TRowIdHash::AddBytes(const void* AData, std::size_t ASize) {
    const auto* p = static_cast<const unsigned char*>(AData);
    for (std::size_t i = 0; i < ASize; ++i) {
        m_nHash ^= p[i];
        m_nHash *= 1099511628211ull;
    }
    return *this;
}

TRowIdHash& TRowIdHash::AddDouble(double AValue) {
    std::uint64_t nBits = 0;
    std::memcpy(&nBits, &AValue, sizeof nBits);
    return AddBytes(&nBits, sizeof nBits);
}

TRowIdHash& TRowIdHash::AddPointer(const void* APointer) {
    const auto nValue = reinterpret_cast<std::uintptr_t>(APointer);
    return AddBytes(&nValue, sizeof nValue);
}
