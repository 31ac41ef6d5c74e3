#include "gui/uListView.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include <algorithm>

TListView::TListView(QWidget* AParent) : QTreeView(AParent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // rows are asked for on demand: no measuring of every row
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false); // the adapters sort; the header only reports clicks
    setIconSize(QSize(16, 16));
    setTextElideMode(Qt::ElideRight);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSortIndicatorShown(false);
    header()->setSectionsClickable(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int ASection) {
        if (header()->sectionsClickable())
            Q_EMIT headerClicked(ASection);
    });
}

void TListView::SetListModel(TListViewModel* AModel) {
    m_pModel = AModel;
    setModel(AModel);
    ApplyColumns();
}

void TListView::ApplyColumns() {
    if (!m_pModel)
        return;
    header()->setMinimumSectionSize(16);
    const auto& cols = m_pModel->Columns();
    for (size_t i = 0; i < cols.size(); ++i) {
        const int n = static_cast<int>(i);
        const int w = cols[i].m_nWidth > 0 ? cols[i].m_nWidth : TListViewModel::DefaultColumnWidth;
        header()->setSectionResizeMode(n, cols[i].m_fFill ? QHeaderView::Stretch : QHeaderView::Interactive);
        header()->resizeSection(n, w);
    }
}

void TListView::SetHeaderClickable(bool AValue) {
    header()->setSectionsClickable(AValue);
}

void TListView::ShowSortColumn(int ASortColumn) {
    if (ASortColumn == 0) {
        header()->setSortIndicatorShown(false);
        return;
    }
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(std::abs(ASortColumn) - 1,
                               ASortColumn > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

QList<int> TListView::SelectedRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    const QModelIndexList sel = selectionModel()->selectedRows();
    rows.reserve(sel.size());
    for (const QModelIndex& idx : sel)
        rows.append(idx.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

int TListView::FirstSelectedRow() const {
    const QList<int> rows = SelectedRows();
    return rows.isEmpty() ? -1 : rows.first();
}

int TListView::RowAt(const QPoint& APos) const {
    const QModelIndex idx = indexAt(APos);
    return idx.isValid() ? idx.row() : -1;
}

void TListView::UpdateAllView(bool AScrollToLast) {
    if (!m_pModel)
        return;
    m_pModel->UpdateAll();
    if (AScrollToLast && m_pModel->Count() > 0)
        scrollTo(m_pModel->index(m_pModel->Count() - 1, 0));
    viewport()->update();
}

void TListView::keyPressEvent(QKeyEvent* AEvent) {
    if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
        // The keypad flag is not a modifier the operator holds.
        const Qt::KeyboardModifiers held = AEvent->modifiers() & ~Qt::KeypadModifier;
        if (held == Qt::NoModifier)
            Q_EMIT enterPressed();
        AEvent->accept();
        return;
    }
    QTreeView::keyPressEvent(AEvent);
}

bool TListView::HitsIcon(const QPoint& APos, int& VRow) const {
    const QModelIndex idx = indexAt(APos);
    if (!idx.isValid() || idx.column() != 0)
        return false;
    if (!idx.data(Qt::DecorationRole).isValid())
        return false;
    const QRect cell = visualRect(idx);
    // The icon sits at the start of the first cell, with the item's small margin around it.
    const int nIconRight = cell.left() + iconSize().width() +
                           2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 2;
    if (APos.x() > nIconRight)
        return false;
    VRow = idx.row();
    return true;
}

void TListView::mousePressEvent(QMouseEvent* AEvent) {
    QTreeView::mousePressEvent(AEvent);
    int nRow = -1;
    if (AEvent->button() == Qt::LeftButton && HitsIcon(AEvent->position().toPoint(), nRow))
        Q_EMIT iconClicked(nRow);
}

void TListView::mouseDoubleClickEvent(QMouseEvent* AEvent) {
    QTreeView::mouseDoubleClickEvent(AEvent);
    if (AEvent->button() != Qt::LeftButton)
        return;
    const int nRow = RowAt(AEvent->position().toPoint());
    if (nRow >= 0)
        Q_EMIT rowDoubleClicked(nRow);
}

void TListView::paintEvent(QPaintEvent* AEvent) {
    // Tell the adapter which rows are about to be asked for, so it formats them once.
    if (m_pModel && m_pModel->Count() > 0) {
        const QModelIndex first = indexAt(QPoint(0, 0));
        const QModelIndex last = indexAt(QPoint(0, viewport()->height() - 1));
        const int nFirst = first.isValid() ? first.row() : 0;
        const int nLast = last.isValid() ? last.row() : m_pModel->Count() - 1;
        m_pModel->HintRows(nFirst, nLast);
    }
    QTreeView::paintEvent(AEvent);
}

void TListView::contextMenuEvent(QContextMenuEvent* AEvent) {
    // Only the rows' area reaches here; the header is a widget of its own.
    Q_EMIT contextMenuRequested(AEvent->globalPos());
    AEvent->accept();
}
