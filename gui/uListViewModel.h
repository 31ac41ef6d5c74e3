#pragma once
// Qt item model over a TVirtualListViewData: the rows are asked from the adapter only when a view
// paints them, the first column carries the row's icon, and the view's visible range reaches the
// adapter as its data hint.

#include "base/uVirtualListViewData.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QString>

#include <vector>

// One column of a list view.
struct TListViewColumn {
    QString m_sCaption;
    int m_nWidth = 0; // pixels; 0 or less: the default width
    Qt::Alignment m_nAlign = Qt::AlignLeft | Qt::AlignVCenter;
    bool m_fFill = false; // takes the width the other columns leave
};

class TListViewModel : public QAbstractTableModel, private TListViewDataWatcher {
    Q_OBJECT
public:
    static constexpr int DefaultColumnWidth = 50;

    // AData is not owned. When it goes first, the model shows no rows from then on.
    TListViewModel(TVirtualListViewData& AData, std::vector<TListViewColumn> AColumns,
                   QObject* AParent = nullptr);
    ~TListViewModel() override;

    // The adapter, or null once it is gone.
    TVirtualListViewData* Data() const { return m_pData; }
    const std::vector<TListViewColumn>& Columns() const { return m_aColumns; }
    // Replaces the column captions (language change); the count stays.
    void SetColumnCaptions(const QStringList& ACaptions);
    // Icons by the rows' image index (the list's image list).
    void SetImageList(const QList<QIcon>& AIcons);
    const QList<QIcon>& ImageList() const { return m_aIcons; }

    // Takes the adapter's rows and tells the views that the rows last hinted changed. The selection
    // and the current row stay on the same entries (by the adapter's row identities) wherever the
    // update moved them; entries gone lose theirs. The OnUpdateAllView handler of the adapter calls it
    // (TListView::UpdateAllView also repaints the whole view).
    void UpdateAll();
    // Passes the view's visible rows on to the adapter (clipped to the row count).
    void HintRows(int AFirst, int ALast);
    // The row count the views were last told.
    int Count() const { return m_nCount; }

    int rowCount(const QModelIndex& AParent = QModelIndex()) const override;
    int columnCount(const QModelIndex& AParent = QModelIndex()) const override;
    QVariant data(const QModelIndex& AIndex, int ARole = Qt::DisplayRole) const override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation,
                        int ARole = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& AIndex) const override;

private:
    // The row most recently asked for: a view asks for every column and role of a row in a row.
    const TListViewRow& Row(int ARow) const;
    // Moves every persistent index (selections, current rows) from its row to the row where the
    // entry it showed is now; AIds are the identities of the new rows.
    void RemapPersistentRows(const std::vector<std::uint64_t>& AIds);
    void ListViewDataDestroyed() override;

    TVirtualListViewData* m_pData;
    std::vector<TListViewColumn> m_aColumns;
    QList<QIcon> m_aIcons;
    int m_nCount = 0;
    std::vector<std::uint64_t> m_aRowIds;    // identities of the rows the views were last told of
    int m_nHintFirst = -1, m_nHintLast = -1; // rows of the last hint
    mutable int m_nRowNo = -1;
    mutable TListViewRow m_rRow;
};
