#include "vi/uViTypes.h"

#include "base/uExceptions.h"

TVICamera* TVICameraList::GetItem(int AIdx) const {
    if (AIdx < 0 || AIdx >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
    return m_aItems[static_cast<std::size_t>(AIdx)].get();
}

void TVICameraList::SetItem(int AIdx, std::unique_ptr<TVICamera> AValue) {
    if (AIdx < 0 || AIdx >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
    m_aItems[static_cast<std::size_t>(AIdx)] = std::move(AValue);
}
