#pragma once
// Records shared by both programs' documents: tariff time zones and cards, and the lists owning them.

#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class TTarvoTimeZone {
public:
    std::int32_t m_nId = 0; // > 0, unique; names the zone's element "Item<id>" in the data file
    QString m_sName;
    TTime m_tStartTime = 0;   // hours and minutes
    Extended m_nBaseCost = 0; // cost per tariff unit at level 0
    Extended m_nMinCost = 0;  // cost per tariff unit at the highest level
};

class TCard {
public:
    std::int32_t m_nId = 0; // > 0, unique; names the card's element "Item<id>"
    TOrv_KEYNUM m_Number{};
    QString m_sUserName;
    QString m_sComment;
    std::int32_t m_nLevel = 0;
};

// An owning list of records: freeing the list or deleting an entry frees the record.
template <class T> class TOwningList {
public:
    int Count() const { return static_cast<int>(m_aItems.size()); }
    bool IsEmpty() const { return m_aItems.empty(); }
    // 0 <= AIdx < Count(), else assertion (uTarvoDoc).
    T* Get(int AIdx) const {
        TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), "uTarvoDoc");
        return m_aItems[static_cast<size_t>(AIdx)].get();
    }
    T* GetItem(int AIdx) const { return Get(AIdx); }
    T* Add(std::unique_ptr<T> AItem) {
        m_aItems.push_back(std::move(AItem));
        return m_aItems.back().get();
    }
    // 0 <= AIdx <= Count(), else assertion (uTarvoDoc).
    T* Insert(int AIdx, std::unique_ptr<T> AItem) {
        TARVO_ASSERT(AIdx >= 0 && AIdx <= Count(), "uTarvoDoc");
        return m_aItems.insert(m_aItems.begin() + AIdx, std::move(AItem))->get();
    }
    // Frees the entry; a bad index raises EListError.
    void Delete(int AIdx) {
        if (AIdx < 0 || AIdx >= Count())
            throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
        m_aItems.erase(m_aItems.begin() + AIdx);
    }
    void Clear() { m_aItems.clear(); }

protected:
    std::vector<std::unique_ptr<T>> m_aItems;
};

// Zones and cards carry identifiers that are handed out once per run and never reused.
template <class T> class TIdList : public TOwningList<T> {
public:
    // Next identifier: the first call makes it one more than the largest present (at least 1).
    // Raises EListError when no identifier is left.
    std::int32_t GenNewId();

    std::int32_t m_nNextId = 0; // 0: not computed yet; -1: identifiers exhausted
};

class TTimeZoneList : public TIdList<TTarvoTimeZone> {
public:
    TTarvoTimeZone* GetZone(int AIdx) const { return Get(AIdx); }
    // By start time of day ascending, millisecond resolution.
    void SortByTime();
};

class TCardList : public TIdList<TCard> {
public:
    TCard* GetCard(int AIdx) const { return Get(AIdx); }
    // First card whose number equals ANumber over the shorter length (SameKeyNum), or -1.
    int FindByNumber(const TOrv_KEYNUM& ANumber) const;
    // First card whose user name equals AName without regard to case, or -1.
    int FindByUserName(const QString& AName) const;
};

extern template class TIdList<TTarvoTimeZone>;
extern template class TIdList<TCard>;
