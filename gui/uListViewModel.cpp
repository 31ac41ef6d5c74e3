#include "gui/uListViewModel.h"

#include <algorithm>

TListViewModel::TListViewModel(TVirtualListViewData& AData, std::vector<TListViewColumn> AColumns,
                               QObject* AParent)
    : QAbstractTableModel(AParent), m_rData(AData), m_aColumns(std::move(AColumns)) {
    m_nCount = std::max(m_rData.GetCount(), 0);
}

void TListViewModel::SetColumnCaptions(const QStringList& ACaptions) {
    const int n = std::min(static_cast<int>(m_aColumns.size()), static_cast<int>(ACaptions.size()));
    for (int i = 0; i < n; ++i)
        m_aColumns[static_cast<size_t>(i)].m_sCaption = ACaptions.at(i);
    if (n > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, n - 1);
}

void TListViewModel::SetImageList(const QList<QIcon>& AIcons) {
    m_aIcons = AIcons;
    if (m_nCount > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_nCount - 1, columnCount() - 1), {Qt::DecorationRole});
}

void TListViewModel::UpdateAll() {
    m_nRowNo = -1;
    const int nNew = std::max(m_rData.GetCount(), 0);
    // Rows come and go at the end, so row numbers (and the selection on them) stay, as they do in an
    // owner-data list whose item count is set.
    if (nNew > m_nCount) {
        beginInsertRows(QModelIndex(), m_nCount, nNew - 1);
        m_nCount = nNew;
        endInsertRows();
    } else if (nNew < m_nCount) {
        beginRemoveRows(QModelIndex(), nNew, m_nCount - 1);
        m_nCount = nNew;
        endRemoveRows();
    }
    // Only the rows last shown can show stale texts; a change signal over every row would make a
    // view measure each of them.
    const int nLast = std::min(m_nHintLast, m_nCount - 1);
    if (m_nHintFirst >= 0 && m_nHintFirst <= nLast && !m_aColumns.empty())
        Q_EMIT dataChanged(index(m_nHintFirst, 0), index(nLast, columnCount() - 1));
}

void TListViewModel::HintRows(int AFirst, int ALast) {
    AFirst = std::max(AFirst, 0);
    ALast = std::min(ALast, m_nCount - 1);
    if (AFirst > ALast)
        return;
    m_rData.DataHint(AFirst, ALast);
    m_nHintFirst = AFirst;
    m_nHintLast = ALast;
    m_nRowNo = -1;
}

int TListViewModel::rowCount(const QModelIndex& AParent) const {
    return AParent.isValid() ? 0 : m_nCount;
}

int TListViewModel::columnCount(const QModelIndex& AParent) const {
    return AParent.isValid() ? 0 : static_cast<int>(m_aColumns.size());
}

const TListViewRow& TListViewModel::Row(int ARow) const {
    if (ARow != m_nRowNo) {
        m_rRow = TListViewRow();
        m_rData.GetData(ARow, m_rRow);
        m_nRowNo = ARow;
    }
    return m_rRow;
}

QVariant TListViewModel::data(const QModelIndex& AIndex, int ARole) const {
    if (!AIndex.isValid() || AIndex.row() >= m_nCount || AIndex.column() >= columnCount())
        return QVariant();
    // The adapter may have fewer rows than the views were told until its next UpdateAll.
    if (AIndex.row() >= m_rData.GetCount())
        return QVariant();
    switch (ARole) {
    case Qt::DisplayRole:
        return Row(AIndex.row()).ColumnText(AIndex.column());
    case Qt::DecorationRole: {
        const int nImg = Row(AIndex.row()).ColumnImage(AIndex.column());
        if (nImg >= 0 && nImg < m_aIcons.size())
            return m_aIcons.at(nImg);
        return QVariant();
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(m_aColumns[static_cast<size_t>(AIndex.column())].m_nAlign);
    default:
        return QVariant();
    }
}

QVariant TListViewModel::headerData(int ASection, Qt::Orientation AOrientation, int ARole) const {
    if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= columnCount())
        return QVariant();
    const TListViewColumn& col = m_aColumns[static_cast<size_t>(ASection)];
    if (ARole == Qt::DisplayRole)
        return col.m_sCaption;
    if (ARole == Qt::TextAlignmentRole)
        return QVariant::fromValue((col.m_nAlign & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    return QVariant();
}

Qt::ItemFlags TListViewModel::flags(const QModelIndex& AIndex) const {
    if (!AIndex.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
