#include "config/uTarvoDoc.h"

#include "base/uLangFiles.h"

#include <QFileInfo>

#include <exception>
#include <memory>

namespace ConfigTarvo {

namespace {

// Deletes the entries at AIdxs (out-of-range and repeated indexes ignored), keeping the order of the
// rest. True when anything was deleted.
template <class TList> bool DeleteIndexes(TList& AList, const std::vector<int>& AIdxs) {
    std::vector<bool> lDelete(static_cast<size_t>(AList.Count()), false);
    for (int lIdx : AIdxs)
        if (lIdx >= 0 && lIdx < AList.Count())
            lDelete[static_cast<size_t>(lIdx)] = true;
    bool lAny = false;
    for (int i = AList.Count() - 1; i >= 0; --i)
        if (lDelete[static_cast<size_t>(i)]) {
            AList.Delete(i);
            lAny = true;
        }
    return lAny;
}

} // namespace

void TTarvoDoc::Open() {
    TUpdateScope lUpdate(*this);
    SetDefaults();
    m_fLoadFailed = false;
    m_sLoadError.clear();
    std::exception_ptr lError;
    if (!m_sFileName.isEmpty() && QFileInfo::exists(m_sFileName)) {
        try {
            LoadFromFile(m_sFileName);
        } catch (...) {
            lError = std::current_exception();
        }
    }
    // Even after a failed load the views must show what was read, so the rest of the opening runs
    // before the error goes to the caller.
    if (m_nLanguage == LANG_NONE_CHOSEN)
        m_nLanguage = ResolveSystemLanguage(QLatin1String(LANG_FILE_PREFIX), m_sLangDir);
    AddChange(DCH_READER | DCH_TZS | DCH_CARDS | DCH_CARDRDMODE | DCH_LANGUAGE, false);
    SetModifyedFlag(false);
    if (lError)
        std::rethrow_exception(lError);
}

void TTarvoDoc::Save(bool AOverwriteDamaged) {
    TARVO_ASSERT(!m_sFileName.isEmpty(), "uTarvoDoc");
    if (m_fLoadFailed && !AOverwriteDamaged)
        throw EDataFileIncomplete(
            QStringLiteral("The data file \"%1\" could not be read completely (%2). Saving now would delete "
                           "the time zones and cards that follow the error in the file. Repair the file and "
                           "restart the program, or confirm that they may be lost.")
                .arg(m_sFileName, m_sLoadError));
    TUpdateScope lUpdate(*this);
    SaveToFile(m_sFileName);
    // The file now holds exactly this document: nothing of it is left to lose.
    m_fLoadFailed = false;
    m_sLoadError.clear();
    SetModifyedFlag(false);
}

void TTarvoDoc::SetDefaults() {
    m_tStartDay = 0;
    m_nReaderSn = 0;
    m_sReaderPort.clear();
    m_fKorvelWiegand = false;
    m_nCardRdMode = crm_Add;
    m_nKeyView = 0;
    m_oTZs.Clear();
    m_oCards.Clear();
}

int TTarvoDoc::AddTimeZone(const QString& AName, TTime AStartTime, Extended ABaseCost, Extended AMinCost) {
    auto lZone = std::make_unique<TTarvoTimeZone>();
    lZone->m_nId = m_oTZs.GenNewId();
    lZone->m_sName = AName;
    lZone->m_tStartTime = AStartTime;
    lZone->m_nBaseCost = ABaseCost;
    lZone->m_nMinCost = AMinCost;
    TUpdateScope lUpdate(*this);
    m_oTZs.Add(std::move(lZone));
    AddChange(DCH_TZS, true);
    return m_oTZs.Count() - 1;
}

int TTarvoDoc::AddCard(const TOrv_KEYNUM& ANumber, const QString& AUserName, const QString& AComment,
                       std::int32_t AServiceLevel) {
    auto lCard = std::make_unique<TCard>();
    lCard->m_nId = m_oCards.GenNewId();
    lCard->m_Number = ANumber;
    lCard->m_sUserName = AUserName;
    lCard->m_sComment = AComment;
    lCard->m_nLevel = AServiceLevel;
    TUpdateScope lUpdate(*this);
    m_oCards.Add(std::move(lCard));
    AddChange(DCH_CARDS, true);
    return m_oCards.Count() - 1;
}

void TTarvoDoc::SetTimeZone(int AIdx, const QString& AName, TTime AStartTime, Extended ABaseCost,
                            Extended AMinCost) {
    TTarvoTimeZone& lZone = *m_oTZs.GetZone(AIdx);
    if (lZone.m_sName == AName && lZone.m_tStartTime == AStartTime && lZone.m_nBaseCost == ABaseCost &&
        lZone.m_nMinCost == AMinCost)
        return;
    TUpdateScope lUpdate(*this);
    lZone.m_sName = AName;
    lZone.m_tStartTime = AStartTime;
    lZone.m_nBaseCost = ABaseCost;
    lZone.m_nMinCost = AMinCost;
    AddChange(DCH_TZ, true);
}

void TTarvoDoc::SetCard(int AIdx, const TOrv_KEYNUM& ANumber, const QString& AUserName,
                        const QString& AComment, std::int32_t AServiceLevel) {
    TCard& lCard = *m_oCards.GetCard(AIdx);
    // Identity of the number here is the exact one (length included), not the lookup equality.
    if (CompareKeyNums(lCard.m_Number, ANumber) == 0 && lCard.m_sUserName == AUserName &&
        lCard.m_sComment == AComment && lCard.m_nLevel == AServiceLevel)
        return;
    TUpdateScope lUpdate(*this);
    lCard.m_Number = ANumber;
    lCard.m_sUserName = AUserName;
    lCard.m_sComment = AComment;
    lCard.m_nLevel = AServiceLevel;
    AddChange(DCH_CARD, true);
}

void TTarvoDoc::DeleteTZs(const std::vector<int>& AIdxs) {
    TUpdateScope lUpdate(*this);
    if (DeleteIndexes(m_oTZs, AIdxs))
        AddChange(DCH_TZS, true);
}

void TTarvoDoc::DeleteCards(const std::vector<int>& AIdxs) {
    TUpdateScope lUpdate(*this);
    if (DeleteIndexes(m_oCards, AIdxs))
        AddChange(DCH_CARDS, true);
}

void TTarvoDoc::DeleteCard(int AIdx) {
    TUpdateScope lUpdate(*this);
    m_oCards.Delete(AIdx);
    AddChange(DCH_CARDS, true);
}

void TTarvoDoc::ClearTZs() {
    if (m_oTZs.IsEmpty())
        return;
    TUpdateScope lUpdate(*this);
    m_oTZs.Clear();
    AddChange(DCH_TZS, true);
}

void TTarvoDoc::ClearCards() {
    if (m_oCards.IsEmpty())
        return;
    TUpdateScope lUpdate(*this);
    m_oCards.Clear();
    AddChange(DCH_CARDS, true);
}

int TTarvoDoc::FindTimeZoneByName(const QString& AName) const {
    for (int i = 0; i < m_oTZs.Count(); ++i)
        if (m_oTZs.GetZone(i)->m_sName.compare(AName, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

int TTarvoDoc::FindTimeZoneByTime(TTime ATime) const {
    for (int i = 0; i < m_oTZs.Count(); ++i)
        if (SameTimeOfDay(m_oTZs.GetZone(i)->m_tStartTime, ATime))
            return i;
    return -1;
}

int TTarvoDoc::FindCardByNumber(const TOrv_KEYNUM& ANumber) const {
    // A number of length 0 (a card read from the file without one) equals every number over the common
    // length: it is never a match, and an empty number finds nothing.
    if (ANumber[0] == 0)
        return -1;
    for (int i = 0; i < m_oCards.Count(); ++i) {
        const TOrv_KEYNUM& lNumber = m_oCards.GetCard(i)->m_Number;
        if (lNumber[0] != 0 && SameKeyNum(lNumber, ANumber))
            return i;
    }
    return -1;
}

int TTarvoDoc::FindCardByUserName(const QString& AName) const {
    return m_oCards.FindByUserName(AName);
}

} // namespace ConfigTarvo
