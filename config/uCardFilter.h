#pragma once
// The cards list of tab "Cards" as the filter field narrows it: the rows of the cards whose user name,
// key (as the list shows it) or comment holds the filter text, ignoring letter case, in document order.
// It stands between the cards' list data and the view, so the view's row numbers are mapped to the
// cards' document indexes here and nowhere else; the document and the card order stay untouched.

#include "base/uVirtualListViewData.h"

#include <QString>

#include <vector>

namespace ConfigTarvo {

class TTarvoDoc;
class TCardsViewData;

class TCardFilterViewData : public TVirtualListViewData {
public:
    // ACards is not owned; this object takes over its OnUpdateAllView and must not outlive it.
    TCardFilterViewData(const TTarvoDoc& ADoc, TCardsViewData& ACards);

    // The text is trimmed; an empty text shows every card. Shows the rows anew.
    void SetFilterText(const QString& AText);
    const QString& FilterText() const { return m_sFilter; }
    bool IsFiltered() const { return !m_sFilter.isEmpty(); }
    // Whether card ADocIdx passes the current filter.
    bool CardMatches(int ADocIdx) const;

    // Document index of the card shown in row ARow (0 <= ARow < GetCount(); assertion otherwise).
    int GetItemDocIndex(int ARow) const;
    // Row showing card ADocIdx, -1 when the filter hides it (or there is no such card).
    int FindDocIndex(int ADocIdx) const;

    int GetCount() const override;
    void GetData(int ARow, TListViewRow& VItem) override;
    void DataHint(int AStartIndex, int AEndIndex) override;
    // The card's own identity: a card keeps its selection when the filter changes around it.
    std::uint64_t GetRowId(int ARow) const override;
    // The cards' data rebuild their cache and come back here through UpdateAllView.
    void Update() override;
    // Maps the rows anew from the document and tells the view.
    void UpdateAllView() override;

private:
    void MapRows();

    const TTarvoDoc& FDoc;
    TCardsViewData& m_rCards;
    QString m_sFilter;
    std::vector<int> m_aRows; // document index of each row
};

} // namespace ConfigTarvo
