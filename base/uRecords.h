#pragma once
// Records shared by both programs' documents: tariff time zones and cards, and the lists owning them.

#include "base/uDateTime.h"
#include "base/uKeyNum.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TTarvoTimeZone {
public:
    std::int32_t m_nId = 0;   // > 0, unique; names the zone's element "Item<id>" in the data file
    QString m_sName;
    TTime m_tStartTime = 0;   // hours and minutes
    Extended m_nBaseCost = 0; // cost per tariff unit at level 0
    Extended m_nMinCost = 0;  // cost per tariff unit at the highest level
};

class TCard {
public:
    std::int32_t m_nId = 0;   // > 0, unique; names the card's element "Item<id>"
    TOrv_KEYNUM m_Number{};
    QString m_sUserName;
    QString m_sComment;
    std::int32_t m_nLevel = 0;
};

// An owning list of records with a checked accessor and identifiers that are never reused in a run.
template <class T>
class TOwningList {
public:
    int Count() const { return static_cast<int>(m_aItems.size()); }
    bool IsEmpty() const { return m_aItems.empty(); }
    // 0 <= AIdx < Count(), else assertion (uTarvoDoc).
    T* Get(int AIdx) const;
    T* Add(std::unique_ptr<T> AItem);
    void Delete(int AIdx);  // bad index raises EListError
    void Clear() { m_aItems.clear(); }
    // Next identifier: the first call makes it one more than the largest present (at least 1).
    std::int32_t GenNewId();

    std::int32_t m_nNextId = 0;  // 0: not computed yet; -1: identifiers exhausted

protected:
    std::vector<std::unique_ptr<T>> m_aItems;
};

class TTimeZoneList : public TOwningList<TTarvoTimeZone> {
public:
    TTarvoTimeZone* GetZone(int AIdx) const { return Get(AIdx); }
    // By start time of day ascending, millisecond resolution.
    void SortByTime();
};

class TCardList : public TOwningList<TCard> {
public:
    TCard* GetCard(int AIdx) const { return Get(AIdx); }
};

extern template class TOwningList<TTarvoTimeZone>;
extern template class TOwningList<TCard>;
