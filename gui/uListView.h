#pragma once
// The list view both programs use: report style, whole-row and multiple selection, read-only, over a
// TListViewModel. It turns the operator's gestures into plain signals with row numbers.

#include "gui/uListViewModel.h"

#include <QList>
#include <QPoint>
#include <QTreeView>

class TListView : public QTreeView {
    Q_OBJECT
public:
    explicit TListView(QWidget* AParent = nullptr);

    // Shows AModel (not owned) and applies its column widths, alignments and the filling column.
    void SetListModel(TListViewModel* AModel);
    TListViewModel* ListModel() const { return m_pModel; }

    // Clickable column headers (sortable lists).
    void SetHeaderClickable(bool AValue);
    // Shows the sort order: ASortColumn > 0 ascending by 1-based column ASortColumn, < 0 descending,
    // 0 no indicator.
    void ShowSortColumn(int ASortColumn);

    // Selected rows in ascending order; FirstSelectedRow is -1 when none.
    QList<int> SelectedRows() const;
    int FirstSelectedRow() const;
    // Row under a point of the viewport, -1 when none.
    int RowAt(const QPoint& APos) const;
    // Takes the model's row count (TListViewModel::UpdateAll) and, when AScrollToLast and there are
    // rows, scrolls the last row into view.
    void UpdateAllView(bool AScrollToLast);

Q_SIGNALS:
    // Enter or Return without Shift, Ctrl, Alt or Meta.
    void enterPressed();
    // Double-click on a row.
    void rowDoubleClicked(int ARow);
    // Click on a column header (0-based section), only while headers are clickable.
    void headerClicked(int AColumn);
    // Click on a row's icon in the first column.
    void iconClicked(int ARow);
    // Context menu asked for over the rows (not over the header); AGlobalPos in screen coordinates.
    void contextMenuRequested(const QPoint& AGlobalPos);

protected:
    void keyPressEvent(QKeyEvent* AEvent) override;
    void mousePressEvent(QMouseEvent* AEvent) override;
    void mouseDoubleClickEvent(QMouseEvent* AEvent) override;
    void paintEvent(QPaintEvent* AEvent) override;
    void contextMenuEvent(QContextMenuEvent* AEvent) override;

private:
    void ApplyColumns();
    bool HitsIcon(const QPoint& APos, int& VRow) const;

    TListViewModel* m_pModel = nullptr;
};
