#pragma once
// Base of the owner-data list adapters of both programs: a list view asks its adapter, row by row,
// for the texts of the rows it is about to paint, and hints the range it will ask for next. The
// adapter holds no widget types, so it is tested and used without a window.

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

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

class TVirtualListViewData {
public:
    using TNotifyEvent = std::function<void(TVirtualListViewData& ASender)>;

    TVirtualListViewData() = default;
    virtual ~TVirtualListViewData() = default;
    TVirtualListViewData(const TVirtualListViewData&) = delete;
    TVirtualListViewData& operator=(const TVirtualListViewData&) = delete;

    // Number of rows.
    virtual int GetCount() const = 0;
    // Fills every field of VItem with row ARow, 0 <= ARow < GetCount().
    virtual void GetData(int ARow, TListViewRow& VItem) = 0;
    // The view is about to ask for rows AStartIndex..AEndIndex (inclusive).
    virtual void DataHint(int AStartIndex, int AEndIndex) = 0;
    // Rebuilds the row order from the data and then calls UpdateAllView. The base only calls
    // UpdateAllView.
    virtual void Update();
    // Refreshes what the adapter caches and tells the view (OnUpdateAllView) to show every row anew.
    virtual void UpdateAllView();

    const TNotifyEvent& OnUpdateAllView() const { return FOnUpdateAllView; }
    void SetOnUpdateAllView(TNotifyEvent AEvent) { FOnUpdateAllView = std::move(AEvent); }

protected:
    TNotifyEvent FOnUpdateAllView;
};
