#pragma once
// Row adapters of the front desk's three lists: the day's event log (newest first), the guests inside
// and the report of finished visits (both sortable by a column). Rows are formatted from the document
// only when a view asks for them; the texts of the rows on screen are cached.

#include "base/uVirtualListViewData.h"
#include "frontdesk/uTarvoDoc.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace Tarvo {

struct TLogViewItem {
    QString m_szTime; // "hh:nn:ss"
    QString m_sUser;
    QString m_sLevel; // check-in: the card's level
    QString m_sSum;   // check-out: the amount
    const TLogItem* m_pObj = nullptr;
};

struct TInViewItem {
    QString m_sIdx; // place in check-in order, 1-based
    QString m_sKey;
    QString m_sEnterTime;
    QString m_sBookingFrom;
    QString m_sBookingTo;
    const TInUser* m_pObj = nullptr;
};

struct TRepViewItem {
    QString m_sIdx;
    QString m_sUser;
    QString m_sComment;
    QString m_sLevel;
    QString m_szTimeIn;
    QString m_szTimeOut;
    QString m_sSum;
    const TRepItem* m_pObj = nullptr;
};

// Images of the log and report lists: 0 the camera of the first column, 1 and 2 the check-in and
// check-out arrows of the log's "Direct" column.
inline constexpr int LV_IMAGE_CAMERA = 0;
inline constexpr int LV_IMAGE_CHECKIN = 1;
inline constexpr int LV_IMAGE_CHECKOUT = 2;

// Cache of formatted rows shared by the three adapters: the rows m_nCacheStart.. of the last hint.
template <class TItem> class TViewCache {
public:
    int m_nCacheStart = 0;
    std::vector<TItem> m_aCache;
    TItem m_rTempViewItem;
    bool Holds(int ARow) const {
        return ARow >= m_nCacheStart && ARow < m_nCacheStart + static_cast<int>(m_aCache.size());
    }
};

// ---- log ---------------------------------------------------------------------------------------------

class TLogViewData : public TVirtualListViewData {
public:
    explicit TLogViewData(TTarvoDoc& ADoc) : FDoc(ADoc) {}

    int GetCount() const override;
    void GetData(int ARow, TListViewRow& VItem) override;
    void DataHint(int AStartIndex, int AEndIndex) override;
    void UpdateAllView() override;
    // The entry's place in the day's log, its moment, card and direction.
    std::uint64_t GetRowId(int ARow) const override;

    // Log entry shown in row ARow (count - 1 - ARow), and the reverse; -1 outside the log.
    int GetItemDocIndex(int ARow) const;
    int FindDocIndex(int AIndex) const;
    // The formatted row; valid until the next call that changes the cache.
    const TLogViewItem& RetrieveItem(int ARow);

    TTarvoDoc& Doc() const { return FDoc; }

private:
    void FillViewItem(int ARow, TLogViewItem& VItem) const;
    void FillCache();

    TTarvoDoc& FDoc;
    TViewCache<TLogViewItem> m_oCache;
};

// ---- guests inside and report: sortable --------------------------------------------------------------

class TInViewData;
class TRepViewData;

// Orders two document list indexes. Ties go to the owned tie-break comparer; the result is negated
// when the owner sorts descending, so a descending sort reverses the tie-breaks too.
template <class TOwner> class TListComparer {
public:
    explicit TListComparer(const TOwner& AOwner, std::unique_ptr<TListComparer> ABaseCmp = nullptr)
        : m_pOwner(AOwner), m_BaseCmp(std::move(ABaseCmp)) {}
    virtual ~TListComparer() = default;
    TListComparer(const TListComparer&) = delete;
    TListComparer& operator=(const TListComparer&) = delete;

    int Compare(int ALeft, int ARight) const {
        const int n = CompareKey(ALeft, ARight);
        if (n != 0)
            return m_pOwner.SortColumn() < 0 ? -n : n;
        return m_BaseCmp ? m_BaseCmp->Compare(ALeft, ARight) : 0;
    }
    // Computes what the comparer needs once per sort (such as the order of the user names).
    virtual void Prepare() {
        if (m_BaseCmp)
            m_BaseCmp->Prepare();
    }

protected:
    // The comparer's own key: -1, 0 or 1, ascending.
    virtual int CompareKey(int ALeft, int ARight) const = 0;
    const TOwner& m_pOwner;
    std::unique_ptr<TListComparer> m_BaseCmp;
};
// A comparer whose key is read once per sort for every document index, so that sorting thousands
// of rows does not walk the document lists again for every comparison.
template <class TOwner, class TKey> class TCachedKeyComparer : public TListComparer<TOwner> {
public:
    using TListComparer<TOwner>::TListComparer;
    void Prepare() override {
        const int n = this->m_pOwner.GetCount();
        m_aKeys.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            m_aKeys[static_cast<size_t>(i)] = Key(i);
        TListComparer<TOwner>::Prepare();
    }

protected:
    virtual TKey Key(int AIdx) const = 0;
    // -1, 0 or 1; plain order unless a key needs its own rule.
    virtual int CompareKeys(const TKey& ALeft, const TKey& ARight) const {
        return ALeft < ARight ? -1 : (ARight < ALeft ? 1 : 0);
    }
    int CompareKey(int ALeft, int ARight) const override {
        return CompareKeys(m_aKeys[static_cast<size_t>(ALeft)], m_aKeys[static_cast<size_t>(ARight)]);
    }

private:
    std::vector<TKey> m_aKeys;
};

using TInComparer = TListComparer<TInViewData>;
using TRepComparer = TListComparer<TRepViewData>;

// Shared part of the two sortable adapters: row order m_aIdxs, sort column, cache.
template <class TItem, class TOwner> class TSortedViewData : public TVirtualListViewData {
public:
    int GetCount() const override { return static_cast<int>(m_aIdxs.size()); }
    void DataHint(int AStartIndex, int AEndIndex) override;
    void UpdateAllView() override;
    // Rebuilds the row order (document order, then sorted by the sort column) and the view.
    void Update() override;
    std::uint64_t GetRowId(int ARow) const override { return DocRowId(GetItemDocIndex(ARow)); }

    // 0 document order; +c ascending by 1-based column c; -c descending.
    int SortColumn() const { return m_nSortColumn; }
    void SetSortColumn(int AValue) { m_nSortColumn = AValue; }
    // The header click on 0-based column AColumn: ascending, or descending when already ascending by
    // it; then Update.
    void ColumnClick(int AColumn);

    // Document list index shown in row ARow (an assertion outside the rows), and the reverse (-1).
    int GetItemDocIndex(int ARow) const;
    int FindDocIndex(int AIndex) const;
    const TItem& RetrieveItem(int ARow);

    TTarvoDoc& Doc() const { return FDoc; }

protected:
    TSortedViewData(TTarvoDoc& ADoc, const char* AUnit) : FDoc(ADoc), m_pUnit(AUnit) {}
    virtual int DocCount() const = 0;
    virtual void FillViewItem(int AIdx, TItem& VItem) const = 0;
    // Identity of document entry AIdx: what tells it from every other entry of its list, never its
    // place in the list (a check-out moves the guests after it).
    virtual std::uint64_t DocRowId(int AIdx) const = 0;
    // Comparer of the 1-based column, or none (document order).
    virtual std::unique_ptr<TListComparer<TOwner>> MakeComparer(int AColumn) const = 0;
    void SortIdxs();
    void FillCache();

    TTarvoDoc& FDoc;
    const char* m_pUnit; // names the unit in assertions
    std::vector<std::int32_t> m_aIdxs;
    int m_nSortColumn = 0;
    TViewCache<TItem> m_oCache;
};

class TInViewData : public TSortedViewData<TInViewItem, TInViewData> {
public:
    explicit TInViewData(TTarvoDoc& ADoc) : TSortedViewData(ADoc, "uInView") {}
    void GetData(int ARow, TListViewRow& VItem) override;

protected:
    int DocCount() const override;
    void FillViewItem(int AIdx, TInViewItem& VItem) const override;
    // The guest's card and check-in moment.
    std::uint64_t DocRowId(int AIdx) const override;
    std::unique_ptr<TInComparer> MakeComparer(int AColumn) const override;
};

class TRepViewData : public TSortedViewData<TRepViewItem, TRepViewData> {
public:
    explicit TRepViewData(TTarvoDoc& ADoc) : TSortedViewData(ADoc, "uReportView") {}
    void GetData(int ARow, TListViewRow& VItem) override;

    // Time-out text of a visit: the rounded check-in plus the stay rounded to whole tariff units.
    static TDateTime DisplayTimeOut(TDateTime ATimeIn, TDateTime ATimeOut, TTariffication AUnit);

protected:
    int DocCount() const override;
    void FillViewItem(int AIdx, TRepViewItem& VItem) const override;
    // The visit's card and its two moments.
    std::uint64_t DocRowId(int AIdx) const override;
    std::unique_ptr<TRepComparer> MakeComparer(int AColumn) const override;
};

// ---- template members -----------------------------------------------------------------------------

template <class TItem, class TOwner> void TSortedViewData<TItem, TOwner>::SortIdxs() {
    if (m_nSortColumn == 0)
        return;
    std::unique_ptr<TListComparer<TOwner>> cmp =
        MakeComparer(m_nSortColumn < 0 ? -m_nSortColumn : m_nSortColumn);
    if (!cmp)
        return;
    cmp->Prepare();
    std::sort(m_aIdxs.begin(), m_aIdxs.end(),
              [&cmp](std::int32_t ALeft, std::int32_t ARight) { return cmp->Compare(ALeft, ARight) < 0; });
}

template <class TItem, class TOwner> void TSortedViewData<TItem, TOwner>::Update() {
    const int n = DocCount();
    m_aIdxs.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        m_aIdxs[static_cast<size_t>(i)] = i;
    SortIdxs();
    UpdateAllView();
}

template <class TItem, class TOwner> void TSortedViewData<TItem, TOwner>::ColumnClick(int AColumn) {
    m_nSortColumn = m_nSortColumn == AColumn + 1 ? -(AColumn + 1) : AColumn + 1;
    Update();
}

template <class TItem, class TOwner> int TSortedViewData<TItem, TOwner>::GetItemDocIndex(int ARow) const {
    TARVO_ASSERT(ARow >= 0 && ARow < GetCount(), m_pUnit);
    return m_aIdxs[static_cast<size_t>(ARow)];
}

template <class TItem, class TOwner> int TSortedViewData<TItem, TOwner>::FindDocIndex(int AIndex) const {
    const auto it = std::find(m_aIdxs.begin(), m_aIdxs.end(), AIndex);
    return it == m_aIdxs.end() ? -1 : static_cast<int>(it - m_aIdxs.begin());
}

template <class TItem, class TOwner> void TSortedViewData<TItem, TOwner>::FillCache() {
    auto& c = m_oCache;
    const int nAvail = std::max(GetCount() - c.m_nCacheStart, 0);
    if (static_cast<int>(c.m_aCache.size()) > nAvail)
        c.m_aCache.resize(static_cast<size_t>(nAvail));
    for (size_t i = 0; i < c.m_aCache.size(); ++i)
        FillViewItem(m_aIdxs[static_cast<size_t>(c.m_nCacheStart) + i], c.m_aCache[i]);
}

template <class TItem, class TOwner>
void TSortedViewData<TItem, TOwner>::DataHint(int AStartIndex, int AEndIndex) {
    auto& c = m_oCache;
    if (AEndIndex < AStartIndex)
        return;
    if (c.m_nCacheStart <= AStartIndex && AEndIndex < c.m_nCacheStart + static_cast<int>(c.m_aCache.size()))
        return;
    c.m_nCacheStart = AStartIndex;
    c.m_aCache.assign(static_cast<size_t>(AEndIndex - AStartIndex + 1), TItem());
    FillCache();
}

template <class TItem, class TOwner> void TSortedViewData<TItem, TOwner>::UpdateAllView() {
    FillCache();
    TVirtualListViewData::UpdateAllView();
}

template <class TItem, class TOwner> const TItem& TSortedViewData<TItem, TOwner>::RetrieveItem(int ARow) {
    if (m_oCache.Holds(ARow))
        return m_oCache.m_aCache[static_cast<size_t>(ARow - m_oCache.m_nCacheStart)];
    FillViewItem(GetItemDocIndex(ARow), m_oCache.m_rTempViewItem);
    return m_oCache.m_rTempViewItem;
}

// Column number (1-based) of each sortable column, as the header shows them.
enum TInColumn { icIdx = 1, icUser, icComment, icKey, icTime, icBookingFrom, icBookingTo };
enum TRepColumn { rcCamera = 1, rcIdx, rcUser, rcComment, rcLevel, rcTimeIn, rcTimeOut, rcSum };

// Times of the guest and report views show seconds for the tariff unit second (and any unit other
// than minute and hour); otherwise hours and minutes of the moment rounded to the minute.
inline bool ShowsSeconds(TTariffication AUnit) {
    return AUnit != TARIF_MINUTE && AUnit != TARIF_HOUR;
}
// A check-in moment rounded as the views show it.
inline TDateTime RoundForView(TDateTime ATime, TTariffication AUnit) {
    return ShowsSeconds(AUnit) ? TTarvoDoc::RoundToSeconds(ATime) : TTarvoDoc::RoundToMinutes(ATime);
}
// Time texts of the guest and report views: "hh:nn" for minute and hour, "hh:nn:ss" for the second.
QString ViewTimeText(TDateTime ATime, TTariffication AUnit);
// Rank of each card's user name in the locale-aware, case-sensitive order (equal names, equal ranks),
// so that sorting compares numbers instead of collating names again and again.
std::vector<int> UserNameRanks(const std::vector<const TCard*>& ACards);
// Adds a card's key number (its significant bytes) to a row identity.
void AddKeyToRowId(TRowIdHash& VHash, const TOrv_KEYNUM& AKey);
// A booking time, or dashes in place of the digits when it is 0.
QString BookingTimeText(TDateTime ATime, TTariffication AUnit);

} // namespace Tarvo
