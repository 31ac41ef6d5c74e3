#include "gui/uListViewModel.h"

#include <algorithm>
#include <unordered_map>

namespace {

std::vector<std::uint64_t> RowIds(const TVirtualListViewData& AData, int ACount) {
    std::vector<std::uint64_t> ids(static_cast<size_t>(ACount));
    for (int i = 0; i < ACount; ++i)
        ids[static_cast<size_t>(i)] = AData.GetRowId(i);
    return ids;
}

} // namespace

TListViewModel::TListViewModel(TVirtualListViewData& AData, std::vector<TListViewColumn> AColumns,
                               QObject* AParent)
    : QAbstractTableModel(AParent), m_pData(&AData), m_aColumns(std::move(AColumns)) {
    m_nCount = std::max(AData.GetCount(), 0);
    m_aRowIds = RowIds(AData, m_nCount);
    AData.AddWatcher(this);
}

TListViewModel::~TListViewModel() {
    if (m_pData)
        m_pData->RemoveWatcher(this);
}

void TListViewModel::ListViewDataDestroyed() {
    beginResetModel();
    m_pData = nullptr;
    m_nCount = 0;
    m_aRowIds.clear();
    m_nRowNo = -1;
    m_nHintFirst = m_nHintLast = -1;
    endResetModel();
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
    if (!m_pData)
        return;
    const int nNew = std::max(m_pData->GetCount(), 0);
    std::vector<std::uint64_t> aIds = RowIds(*m_pData, nNew);
    // New rows are added at the end first, so that every entry has a row to move to; rows left over
    // go only after the move, so no selected entry is dropped with them.
    if (nNew > m_nCount) {
        beginInsertRows(QModelIndex(), m_nCount, nNew - 1);
        m_nCount = nNew;
        endInsertRows();
    }
    RemapPersistentRows(aIds);
    m_aRowIds = std::move(aIds);
    if (nNew < m_nCount) {
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

void TListViewModel::RemapPersistentRows(const std::vector<std::uint64_t>& AIds) {
    // Nothing selected and no current row anywhere: nothing to carry over.
    if (persistentIndexList().isEmpty())
        return;
    const size_t nKept = std::min(AIds.size(), m_aRowIds.size());
    if (AIds.size() >= m_aRowIds.size() && std::equal(AIds.begin(), AIds.begin() + nKept, m_aRowIds.begin()))
        return; // every known entry is where it was
    std::unordered_map<std::uint64_t, int> aRowOf;
    aRowOf.reserve(AIds.size());
    for (size_t i = 0; i < AIds.size(); ++i)
        aRowOf.emplace(AIds[i], static_cast<int>(i));
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // Asked only now: the selection models keep their rows as persistent indexes from the signal on.
    const QModelIndexList aFrom = persistentIndexList();
    QModelIndexList aTo;
    aTo.reserve(aFrom.size());
    for (const QModelIndex& idx : aFrom) {
        const size_t nRow = static_cast<size_t>(idx.row());
        const auto it = nRow < m_aRowIds.size() ? aRowOf.find(m_aRowIds[nRow]) : aRowOf.end();
        aTo.append(it == aRowOf.end() ? QModelIndex() : index(it->second, idx.column()));
    }
    changePersistentIndexList(aFrom, aTo);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TListViewModel::HintRows(int AFirst, int ALast) {
    AFirst = std::max(AFirst, 0);
    ALast = std::min(ALast, m_nCount - 1);
    if (AFirst > ALast || !m_pData)
        return;
    m_pData->DataHint(AFirst, ALast);
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
        m_pData->GetData(ARow, m_rRow);
        m_nRowNo = ARow;
    }
    return m_rRow;
}

QVariant TListViewModel::data(const QModelIndex& AIndex, int ARole) const {
    if (!AIndex.isValid() || AIndex.row() >= m_nCount || AIndex.column() >= columnCount())
        return QVariant();
    // The adapter may have fewer rows than the views were told until its next UpdateAll.
    if (!m_pData || AIndex.row() >= m_pData->GetCount())
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
