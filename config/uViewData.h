#pragma once
// Data of the two owner-data lists of the configuration program: the tariff time zones and the cards.
// Rows are shown in document order (row index = document index) and cannot be sorted; the texts of the
// rows on screen are cached.

#include "base/uRecords.h"
#include "base/uVirtualListViewData.h"

#include <QString>

#include <vector>

namespace ConfigTarvo {

class TTarvoDoc;

struct TTzViewItem {
    QString m_sIdx;      // document index + 1
    char m_szTime[8]{};  // start time "HH:MM"
    QString m_sBaseCost; // shortest general number format of the user's locale
    QString m_sMinCost;
    const TTarvoTimeZone* m_pObj = nullptr;
};

struct TCardViewItem {
    QString m_sIdx;
    QString m_sNumber; // in the document's KeyView
    QString m_sLevel;
    const TCard* m_pObj = nullptr;
};

// Shared cache logic of both lists; TItem is the row record, Build fills one from a document index.
template <class TItem> class TDocListViewData : public TVirtualListViewData {
public:
    explicit TDocListViewData(const TTarvoDoc& ADoc) : FDoc(ADoc) {}

    const TTarvoDoc& Doc() const { return FDoc; }
    // Rows in document order: both are the identity.
    int GetItemDocIndex(int ARow) const { return ARow; }
    int FindDocIndex(int ADocIdx) const { return ADocIdx; }

    // Nothing when the range is inside the cache; otherwise the cache is moved to it and refilled.
    void DataHint(int AStartIndex, int AEndIndex) override;
    // The cached row, or a row built into the scratch item (valid until the next call). A cached row
    // whose record is no longer the document's at that index (a change not yet followed by Update) is
    // rebuilt, so a row never refers to a freed record.
    const TItem& RetrieveItem(int ARow);
    // Rebuilds the cache and tells the view (Update of the base comes here too).
    void UpdateAllView() override;

    int CacheStart() const { return m_nCacheStart; }
    int CacheCount() const { return int(m_aCache.size()); }

protected:
    virtual void BuildItem(int ADocIdx, TItem& VItem) const = 0;
    // The document's record shown at ADocIdx.
    virtual const void* DocObjectAt(int ADocIdx) const = 0;
    void FillCache();

    const TTarvoDoc& FDoc;
    std::vector<TItem> m_aCache;
    int m_nCacheStart = 0;
    TItem m_rTempViewItem;
};

class TTimeZonesViewData : public TDocListViewData<TTzViewItem> {
public:
    using TDocListViewData::TDocListViewData;
    int GetCount() const override;
    // Caption: number; sub-items: name, start time, base cost, minimum cost.
    void GetData(int ARow, TListViewRow& VItem) override;
    // The zone record and its identifier: an edit keeps it, a new zone never takes a deleted one's.
    std::uint64_t GetRowId(int ARow) const override;
    const TTarvoTimeZone* ObjectOf(int ARow);

protected:
    void BuildItem(int ADocIdx, TTzViewItem& VItem) const override;
    const void* DocObjectAt(int ADocIdx) const override;
};

class TCardsViewData : public TDocListViewData<TCardViewItem> {
public:
    using TDocListViewData::TDocListViewData;
    int GetCount() const override;
    // Caption: number; sub-items: key, user name, level, comment.
    void GetData(int ARow, TListViewRow& VItem) override;
    // The card record and its identifier, as for the zones.
    std::uint64_t GetRowId(int ARow) const override;
    const TCard* ObjectOf(int ARow);

protected:
    void BuildItem(int ADocIdx, TCardViewItem& VItem) const override;
    const void* DocObjectAt(int ADocIdx) const override;
};

} // namespace ConfigTarvo
