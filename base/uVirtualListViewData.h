#pragma once
// Base of the owner-data list adapters of both programs: a list view asks its adapter, row by row,
// for the texts of the rows it is about to paint, and hints the range it will ask for next. The
// adapter holds no widget types, so it is tested and used without a window.

#include <QList>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// One row as a list view shows it: the first column's text (often empty when it shows only an
// icon), the texts of the further columns in order, and the first column's icon (-1: none).
struct TListViewRow {
    QString m_sCaption;
    QStringList m_aSubItems;
    int m_nImageIndex = -1;
    // Image of a further column by its sub-item index (-1 or beyond the list: none), such as the
    // log's check-in and check-out arrows.
    QList<int> m_aSubImages;

    // Text of 0-based column AColumn: the caption for 0, a sub-item after it, empty beyond.
    QString ColumnText(int AColumn) const;
    // Image index of 0-based column AColumn, -1 when none.
    int ColumnImage(int AColumn) const;
};

// Builds a row identity from the values that tell one entry from another (FNV-1a over their bytes).
class TRowIdHash {
public:
    TRowIdHash& AddBytes(const void* AData, std::size_t ASize);
    TRowIdHash& AddInt(std::int64_t AValue) { return AddBytes(&AValue, sizeof AValue); }
    // By its bits: moments and amounts are compared exactly, never within a tolerance.
    TRowIdHash& AddDouble(double AValue);
    TRowIdHash& AddPointer(const void* APointer);
    std::uint64_t Value() const { return m_nHash; }

private:
    std::uint64_t m_nHash = 14695981039346656037ull;
};

// Told when an adapter goes, so that a view over it never asks an adapter that no longer exists (a
// window may free its adapters before the views on them are gone).
class TListViewDataWatcher {
public:
    virtual void ListViewDataDestroyed() = 0;

protected:
    ~TListViewDataWatcher() = default;
};

class TVirtualListViewData {
public:
    using TNotifyEvent = std::function<void(TVirtualListViewData& ASender)>;

    TVirtualListViewData() = default;
    virtual ~TVirtualListViewData();
    TVirtualListViewData(const TVirtualListViewData&) = delete;
    TVirtualListViewData& operator=(const TVirtualListViewData&) = delete;

    // Number of rows.
    virtual int GetCount() const = 0;
    // Fills every field of VItem with row ARow, 0 <= ARow < GetCount().
    virtual void GetData(int ARow, TListViewRow& VItem) = 0;
    // The view is about to ask for rows AStartIndex..AEndIndex (inclusive).
    virtual void DataHint(int AStartIndex, int AEndIndex) = 0;
    // Identity of the entry shown in row ARow, 0 <= ARow < GetCount(): an entry keeps it while rows
    // come, go and are sorted, and two entries shown at once never share it, so a view keeps its
    // selection on entries rather than on row numbers. The base answers the row number: rows keep their
    // place.
    virtual std::uint64_t GetRowId(int ARow) const;
    // Rebuilds the row order from the data and then calls UpdateAllView. The base only calls
    // UpdateAllView.
    virtual void Update();
    // Refreshes what the adapter caches and tells the view (OnUpdateAllView) to show every row anew.
    virtual void UpdateAllView();

    // A watcher is told once, from the destructor; it must not call the adapter then.
    void AddWatcher(TListViewDataWatcher* AWatcher) { m_aWatchers.push_back(AWatcher); }
    void RemoveWatcher(TListViewDataWatcher* AWatcher);

    const TNotifyEvent& OnUpdateAllView() const { return FOnUpdateAllView; }
    void SetOnUpdateAllView(TNotifyEvent AEvent) { FOnUpdateAllView = std::move(AEvent); }

protected:
    TNotifyEvent FOnUpdateAllView;

private:
    std::vector<TListViewDataWatcher*> m_aWatchers;
};
