#include "base/uRecords.h"

#include "base/uExceptions.h"

#include <algorithm>
#include <climits>

template <class T> std::int32_t TIdList<T>::GenNewId() {
    if (m_nNextId == 0) {
        std::int64_t lNext = 1;
        for (const auto& lItem : this->m_aItems)
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

template class TIdList<TTarvoTimeZone>;
template class TIdList<TCard>;

void TTimeZoneList::SortByTime() {
    std::stable_sort(m_aItems.begin(), m_aItems.end(), [](const auto& A, const auto& B) {
        return CompareTimeOfDay(A->m_tStartTime, B->m_tStartTime) < 0;
    });
}

int TCardList::FindByNumber(const TOrv_KEYNUM& ANumber) const {
    for (int i = 0; i < Count(); ++i)
        if (SameKeyNum(GetCard(i)->m_Number, ANumber))
            return i;
    return -1;
}

int TCardList::FindByUserName(const QString& AName) const {
    for (int i = 0; i < Count(); ++i)
        if (GetCard(i)->m_sUserName.compare(AName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
