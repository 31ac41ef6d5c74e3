#pragma once
// The configuration program's document: cards, tariff time zones, the reader and display settings.
// It shares the records, the key numbers and the data file with the front desk's document, and adds
// what only this program does: new identifiers, adding, changing, deleting and finding zones and cards.

#include "base/uDateTime.h"
#include "base/uDocUpdate.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "base/uRecords.h"

#include <QString>

#include <cstdint>
#include <vector>

class TMemXml;

namespace ConfigTarvo {

// Change bits of this program (some values mean something else in the front desk).
using ::DCH_MODIFIED;
inline constexpr std::uint32_t DCH_READER = 0x0002;          // ReaderSn, ReaderPort, KorvelWiegand; Open
inline constexpr std::uint32_t DCH_TZS = 0x0004;             // zone added, deleted or cleared; Open
inline constexpr std::uint32_t DCH_TZ = 0x0008;              // a zone changed
inline constexpr std::uint32_t DCH_CARDS = 0x0010;           // card added, deleted or cleared; Open
inline constexpr std::uint32_t DCH_CARD = 0x0020;            // a card changed
inline constexpr std::uint32_t DCH_CARDRDMODE = 0x0040;      // CardRdMode; Open
inline constexpr std::uint32_t DCH_LANGUAGE = 0x0080;        // Language; Open
inline constexpr std::uint32_t DCH_STARTDAY = 0x0100;        // StartDay
inline constexpr std::uint32_t DCH_KEYVIEW = 0x0200;         // KeyView
inline constexpr std::uint32_t DCH_KORVEL_WIEGAND = 0x10000; // KorvelWiegand (always with DCH_READER)

// Language identifier meaning "none chosen yet": Open replaces it by the system's language when a
// language file for it is installed.
inline constexpr std::uint32_t LANG_NONE_CHOSEN = 127;
inline constexpr const char* LANG_FILE_PREFIX = "ConfigTarvo-";

// What a card presented at the reader does in the main window.
enum TCardRdMode : std::int32_t { crm_Inactive = 0, crm_Add = 1, crm_Find = 2, crm_Delete = 3 };

class TTarvoDoc : public TDocUpdate {
public:
    TTarvoDoc() = default;
    TTarvoDoc(const TTarvoDoc&) = delete;
    TTarvoDoc& operator=(const TTarvoDoc&) = delete;

    const QString& FileName() const { return m_sFileName; }
    void SetFileName(const QString& AFileName) { m_sFileName = AFileName; }
    // Folder searched for language files when Open resolves LANG_NONE_CHOSEN; empty: LanguagesDir().
    const QString& LangDir() const { return m_sLangDir; }
    void SetLangDir(const QString& ADir) { m_sLangDir = ADir; }

    // Every call reloads the file (a missing file leaves the defaults). Errors of reading go to the
    // caller; the document then holds what was read before the error and LoadFailed() is true.
    void Open();
    // Refuses with EDataFileIncomplete while LoadFailed(), unless AOverwriteDamaged: the operator agreed
    // to lose the items of the file that were never loaded.
    void Save(bool AOverwriteDamaged = false);
    void Close() {}
    void SetDefaults();

    // True when the last load stopped at an error (the document lacks part of the file); cleared by a
    // complete load, Open of a missing file and a save. LoadError() is the error's message.
    bool LoadFailed() const { return m_fLoadFailed; }
    const QString& LoadError() const { return m_sLoadError; }

    void LoadFromFile(const QString& AFileName);
    void LoadFromXml(TMemXml& AXml);
    void SaveToFile(const QString& AFileName);
    void SaveToXml(TMemXml& AXml) const;

    // ---- settings ----------------------------------------------------------------------------------
    TTime StartDay() const { return m_tStartDay; }
    void SetStartDay(TTime AValue) { SetSetting(m_tStartDay, AValue, DCH_STARTDAY); }
    std::uint32_t Language() const { return m_nLanguage; }
    void SetLanguage(std::uint32_t AValue) { SetSetting(m_nLanguage, AValue, DCH_LANGUAGE); }
    std::int32_t ReaderSn() const { return m_nReaderSn; }
    void SetReaderSn(std::int32_t AValue) { SetSetting(m_nReaderSn, AValue, DCH_READER); }
    const QString& ReaderPort() const { return m_sReaderPort; }
    void SetReaderPort(const QString& AValue) { SetSetting(m_sReaderPort, AValue, DCH_READER); }
    bool KorvelWiegand() const { return m_fKorvelWiegand; }
    void SetKorvelWiegand(bool AValue) {
        SetSetting(m_fKorvelWiegand, AValue, DCH_READER | DCH_KORVEL_WIEGAND);
    }
    TCardRdMode CardRdMode() const { return m_nCardRdMode; }
    void SetCardRdMode(TCardRdMode AValue) { SetSetting(m_nCardRdMode, AValue, DCH_CARDRDMODE); }
    std::int32_t KeyView() const { return m_nKeyView; }
    void SetKeyView(std::int32_t AValue) { SetSetting(m_nKeyView, AValue, DCH_KEYVIEW); }
    // Only remembered for the card dialog: a change marks the document modified and raises no other bit.
    std::int32_t KeyEditFormat() const { return m_nKeyEditFormat; }
    void SetKeyEditFormat(std::int32_t AValue) { SetSetting(m_nKeyEditFormat, AValue, 0u); }

    // ---- zones and cards ---------------------------------------------------------------------------
    const TTimeZoneList& TZs() const { return m_oTZs; }
    const TCardList& Cards() const { return m_oCards; }
    // Appends with a new identifier; returns the index. No checks of their own (the callers keep names
    // and numbers unique).
    int AddTimeZone(const QString& AName, TTime AStartTime, Extended ABaseCost, Extended AMinCost);
    int AddCard(const TOrv_KEYNUM& ANumber, const QString& AUserName, const QString& AComment,
                std::int32_t AServiceLevel);
    // Nothing happens when every value equals the stored one exactly (numbers of another length differ).
    // A bad index is an assertion.
    void SetTimeZone(int AIdx, const QString& AName, TTime AStartTime, Extended ABaseCost, Extended AMinCost);
    void SetCard(int AIdx, const TOrv_KEYNUM& ANumber, const QString& AUserName, const QString& AComment,
                 std::int32_t AServiceLevel);

    // Indexes outside the list and duplicates are ignored; the rest keep their order.
    void DeleteTZs(const std::vector<int>& AIdxs);
    void DeleteCards(const std::vector<int>& AIdxs);
    void DeleteCard(int AIdx); // bad index raises EListError
    void ClearTZs();
    void ClearCards();

    // Index of the first match, or -1. Names compare without regard to case (Unicode case folding).
    int FindTimeZoneByName(const QString& AName) const;
    int FindTimeZoneByTime(TTime ATime) const; // same time of day to the millisecond
    // Key number equality (common length); cards without a number never match, an empty one finds none.
    int FindCardByNumber(const TOrv_KEYNUM& ANumber) const;
    int FindCardByUserName(const QString& AName) const; // empty finds the first card without name

private:
    void LoadFromXmlUnguarded(TMemXml& AXml);

    QString m_sFileName;
    QString m_sLangDir;
    TTime m_tStartDay = 0;
    std::uint32_t m_nLanguage = 0;
    std::int32_t m_nReaderSn = 0;
    QString m_sReaderPort;
    bool m_fKorvelWiegand = false;
    TCardRdMode m_nCardRdMode = crm_Inactive;
    std::int32_t m_nKeyView = 0;
    std::int32_t m_nKeyEditFormat = 0;
    TTimeZoneList m_oTZs;
    TCardList m_oCards;
    bool m_fLoadFailed = false;
    QString m_sLoadError;
};

} // namespace ConfigTarvo
