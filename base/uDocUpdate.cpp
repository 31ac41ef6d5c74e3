#include "base/uDocUpdate.h"

#include <exception>

void TDocUpdate::BeginUpdate() {
    if (m_nUpdate == 0)
        m_nChangeMask = 0;
    ++m_nUpdate;
}

void TDocUpdate::EndUpdate() {
    --m_nUpdate;
    if (m_nUpdate == 0 && m_nChangeMask != 0)
        DoChange();
}

void TDocUpdate::AddChange(std::uint32_t AMask, bool AModify) {
    m_nChangeMask |= AMask;
    if (AModify && !m_fModifyed)
        SetModifyedFlag(true);
}

void TDocUpdate::SetModifyedFlag(bool AModifyed) {
    if (m_fModifyed == AModifyed)
        return;
    TUpdateScope lUpdate(*this);
    m_fModifyed = AModifyed;
    AddChange(DCH_MODIFIED, false);
}

void TDocUpdate::DoChange() {
    if (FOnChange)
        FOnChange(*this);
}

TDocUpdate::TUpdateScope::TUpdateScope(TDocUpdate& ADoc)
    : m_pDoc(ADoc), m_nUncaught(std::uncaught_exceptions()) {
    m_pDoc.BeginUpdate();
}

TDocUpdate::TUpdateScope::~TUpdateScope() noexcept(false) {
    if (std::uncaught_exceptions() == m_nUncaught) {
        m_pDoc.EndUpdate();
        return;
    }
    // Leaving through an exception: the listener still hears of the change, but a second exception from
    // it must not end the program; the first one is what the caller gets.
    try {
        m_pDoc.EndUpdate();
    } catch (...) {
    }
}
