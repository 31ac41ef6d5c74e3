#include "base/uRecords.h"

#include "base/uExceptions.h"

#include <algorithm>
#include <climits>

template <class T>
T* TOwningList<T>::Get(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), "uTarvoDoc");
    return m_aItems[static_cast<size_t>(AIdx)].get();
}

template <class T>
T* TOwningList<T>::Add(std::unique_ptr<T> AItem) {
    m_aItems.push_back(std::move(AItem));
    return m_aItems.back().get();
}

template <class T>
void TOwningList<T>::Delete(int AIdx) {
    if (AIdx < 0 || AIdx >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
    m_aItems.erase(m_aItems.begin() + AIdx);
}

template <class T>
std::int32_t TOwningList<T>::GenNewId() {
    if (m_nNextId == 0) {
        std::int64_t lNext = 1;
        for (const auto& lItem : m_aItems)
            if (lItem->m_nId >= lNext)
                lNext = std::int64_t(lItem->m_nId) + 1;
        // A file may hold the largest identifier there is; handing out a wrapped one would clash.
        m_nNextId = lNext > INT32_MAX ? -1 : static_cast<std::int32_t>(lNext);
    }
    if (m_nNextId <= 0)
        throw EListError(QStringLiteral("No free identifier is left"));
    const std::int32_t lId = m_nNextId;
    m_nNextId = lId == INT32_MAX ? -1 : lId + 1;
    return lId;
}

template class TOwningList<TTarvoTimeZone>;
template class TOwningList<TCard>;

void TTimeZoneList::SortByTime() {
    std::stable_sort(m_aItems.begin(), m_aItems.end(), [](const auto& A, const auto& B) {
        return CompareTimeOfDay(A->m_tStartTime, B->m_tStartTime) < 0;
    });
}
