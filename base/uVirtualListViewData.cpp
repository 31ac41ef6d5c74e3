#include "base/uVirtualListViewData.h"

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

void TVirtualListViewData::Update() {
    UpdateAllView();
}

void TVirtualListViewData::UpdateAllView() {
    if (FOnUpdateAllView)
        FOnUpdateAllView(*this);
}
