#pragma once
// The front desk's document: its settings, the tariff time zones and registered cards read from
// "Tarvo.xml", and the state of the current business day (event log, guests inside, report).
// Views observe it through OnChange and the change bits; card events through OnUserIn/OnUserOut.

#include "base/uDataFile.h"
#include "base/uDateTime.h"
#include "base/uDocUpdate.h"
#include "base/uExceptions.h"
#include "base/uRecords.h"
#include "frontdesk/uTariff.h"
#include "frontdesk/uTarvoRecords.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class TMemXml;
class TMXNode;

namespace Tarvo {

// Change bits of the front desk; each has one meaning across the program.
using ::DCH_MODIFIED;
inline constexpr std::uint32_t DCH_READER = 0x00002;         // reader settings; Open
inline constexpr std::uint32_t DCH_LANGUAGE = 0x00080;       // Language; Open
inline constexpr std::uint32_t DCH_LOG = 0x00100;            // log list changed
inline constexpr std::uint32_t DCH_INUSERS = 0x00200;        // a guest checked in or out
inline constexpr std::uint32_t DCH_REPORT = 0x00400;         // report list changed; Open
inline constexpr std::uint32_t DCH_TOTALS = 0x00800;         // report totals changed
inline constexpr std::uint32_t DCH_POPUP = 0x01000;          // popup settings
inline constexpr std::uint32_t DCH_CAMERA = 0x02000;         // photo settings
inline constexpr std::uint32_t DCH_VI = 0x04000;             // video-server settings
inline constexpr std::uint32_t DCH_KORVEL_OUTPUTS = 0x08000; // base-station outputs (with DCH_READER)
inline constexpr std::uint32_t DCH_KORVEL_WIEGAND = 0x10000; // base-station number format (with DCH_READER)
inline constexpr std::uint32_t DCH_REPVIEW = 0x20000;        // what the report view shows

// Language identifier meaning "none chosen yet": Open replaces it by the system's language when a
// language file for it is installed.
inline constexpr std::uint32_t LANG_NONE_CHOSEN = 127;
inline constexpr const char* LANG_FILE_PREFIX = "Tarvo-";

// Video-server address put into an empty VIServer by Open. A server on the desk's own machine is the
// usual installation, and the text shows the operator the expected form (scheme, host, port). The
// client only connects when login and password are set as well, so the default alone contacts nothing.
inline constexpr const char* VI_DEFAULT_SERVER = "http://127.0.0.1:80";

class TTarvoDoc : public TDocUpdate {
public:
    using TDocEvent = std::function<void(TTarvoDoc& ASender)>;

    TTarvoDoc();
    ~TTarvoDoc() override;
    TTarvoDoc(const TTarvoDoc&) = delete;
    TTarvoDoc& operator=(const TTarvoDoc&) = delete;

    const QString& FileName() const { return m_sFileName; }
    void SetFileName(const QString& AFileName) { m_sFileName = AFileName; }
    // Folder searched for language files when Open resolves LANG_NONE_CHOSEN; empty: LanguagesDir().
    const QString& LangDir() const { return m_sLangDir; }
    void SetLangDir(const QString& ADir) { m_sLangDir = ADir; }

    // Fills the document from FileName (a missing file leaves the defaults) and starts the business day.
    // Nested calls only count. A reading error goes to the caller: the update still ends, the open count
    // stays, the items read before the error stay and LoadFailed() becomes true.
    void Open();
    // The call matching the first Open closes the business day when due; an unmatched Close does nothing.
    void Close();
    // Writes the document into FileName (assertion when empty) and clears Modifyed. While LoadFailed()
    // it raises EDataFileIncomplete unless AOverwriteDamaged: the operator has agreed to lose what could
    // not be read.
    void Save(bool AOverwriteDamaged = false);
    void SetDefaults();
    int OpenRef() const { return m_nOpenRef; }

    // True when the last load stopped at an error; cleared by a complete load, Open of a missing file and
    // a save. LoadError() is the error's message.
    bool LoadFailed() const { return m_fLoadFailed; }
    const QString& LoadError() const { return m_sLoadError; }
    // What keeps the desk from billing or recognising cards after a complete load, one sentence each
    // for the operator, naming the file: a data file that is not one, no tariff zone, a cost or start
    // time that did not read, no card read from a non-empty list. Empty when there is no file (a first
    // start) and after a load that stopped at an error (LoadError() tells that one). Filled by Open and
    // LoadFromXml (uTarvoDocFile.cpp). Kept as messages, so they read in the language loaded when
    // asked for: the file's own language is applied only once it has been read.
    QStringList LoadProblems() const { return ResTexts(m_aLoadProblems); }

    // ---- data file ---------------------------------------------------------------------------------
    void LoadFromFile(const QString& AFileName);
    void LoadFromXml(TMemXml& AXml);
    // Re-reads the file, replaces the front desk's items and writes it back.
    void SaveToFile(const QString& AFileName) const;
    void SaveToXml(TMemXml& AXml) const;

    // ---- events ------------------------------------------------------------------------------------
    const TDocEvent& OnUserIn() const { return FOnUserIn; }
    void SetOnUserIn(TDocEvent AEvent) { FOnUserIn = std::move(AEvent); }
    const TDocEvent& OnUserOut() const { return FOnUserOut; }
    void SetOnUserOut(TDocEvent AEvent) { FOnUserOut = std::move(AEvent); }
    void DoUserIn();
    void DoUserOut();

    // ---- business day ------------------------------------------------------------------------------
    // Rebuilds the day's events, guests inside, report and counters from the day's log file.
    void LoadDayFromLog();
    // Reads the bookings of the guests inside and drops the stored ones of cards that are not inside.
    void LoadBookings();
    // Closes the business day with its summary when a new one has begun.
    void CheckReportDate();

    // ==== tariff: declarations owned by the tariff work (uTarvoDocTariff.cpp) ==========================
    // None of these change the document. Moments must be finite and inside the calendar (years 1 to
    // 9999); CalcSum2 and CalcStayAmount raise EConvertError otherwise.

    // Zone in force at the time of day of ATime: the last zone starting at or before it (within one
    // millisecond); a time before the first zone's start belongs to the last zone. -1 without zones.
    int FindTzByTime(TDateTime ATime) const;
    // Whole seconds from zone AIdx's start to the next zone's start (the last zone: to the first zone's
    // start on the next day). AIdx must be a valid index (assertion).
    std::int64_t GetTzSeconds(int AIdx) const;
    // Unit price for a card level: ABaseCost at level 0, AMinCost at MaxLevel(), linear between.
    Extended CalcPrice(Extended ABaseCost, Extended AMinCost, std::int32_t ALevel) const;
    // ATotal units at APrice, rounded to a multiple of 10^AAccPrice with halves away from zero;
    // TARIFF_ACC_UNROUNDED leaves the product as it is.
    static Extended CalcSum(Extended ATotal, Extended APrice, std::int32_t AAccPrice);
    // Amount of the stay between the two moments by the time zones, without entrance fee and minimum.
    // VSegments, when given, receives the walk's segments in order (it is cleared first).
    Extended CalcSum2(TDateTime ATimeIn, TDateTime ATimeOut, std::int32_t ALevel,
                      TTariffSegments* VSegments = nullptr) const;
    // Adds the entrance fee and applies the minimum amount.
    Extended CalcSum3(Extended ASum) const;
    // Amount charged at check-out ANow for a stay that began at ATimeIn, on the booking ABooking: the
    // stay or the booked interval by the zones (or the day price), overdue units, entrance fee, minimum.
    // The business day is that of ANow. VBill, when given, receives the breakdown for the receipt.
    Extended CalcStayAmount(TDateTime ATimeIn, TDateTime ANow, std::int32_t ALevel,
                            const TStayBooking& ABooking, TStayBill* VBill = nullptr) const;

    // A moment rounded to the nearest unit; exactly half a unit rounds down. The date is kept (23:59:45
    // to the minute is 00:00 of the next day).
    static TDateTime RoundToHours(TDateTime ADateTime);
    static TDateTime RoundToMinutes(TDateTime ADateTime);
    static TDateTime RoundToSeconds(TDateTime ADateTime);
    // One of the three by the unit; any unit other than minute and hour counts as the second.
    static TDateTime RoundToUnit(TDateTime ADateTime, TTariffication AUnit);
    // Seconds to units: minutes with half a minute up, hours from those minutes with half an hour up.
    static std::int64_t SecondsToUnits(std::int64_t ASeconds, TTariffication AUnit);
    // Milliseconds in one unit: 1000, 60000 or 3600000.
    static std::int64_t UnitMSecs(TTariffication AUnit);
    // ==== end tariff ====

    // ==== log and report files, day rebuild (uTarvoDocLog.cpp, uTarvoDocDay.cpp) ====================
    // Told at once, with the file and the reason, whenever a log, report or summary line (or another
    // file of the business day) could not be written, or the day's log file could not be read for the
    // rebuild. The event that wrote it stays done.
    using TWriteErrorEvent = std::function<void(const QString& AMessage)>;
    const TWriteErrorEvent& OnWriteError() const { return FOnWriteError; }
    void SetOnWriteError(TWriteErrorEvent AEvent) { FOnWriteError = std::move(AEvent); }
    void DoWriteError(const QString& AMessage);
    // What the document repaired by itself, for the debug log (nothing the operator must act on).
    const TWriteErrorEvent& OnDebugMessage() const { return FOnDebugMessage; }
    void SetOnDebugMessage(TWriteErrorEvent AEvent) { FOnDebugMessage = std::move(AEvent); }
    void DoDebugMessage(const QString& AMessage);

    // "<data folder>/Logs/<name>" and "<data folder>/Report/<name>" of the business day ADate by the
    // file settings. AForceDir creates the folder with its parents (failure raises EInOutError).
    QString GetLogPath(TDate ADate, bool AForceDir) const;
    QString GetReportPath(TDate ADate, bool AForceDir) const;

    // Records one event: appends the item to the day's log when ATime belongs to the current business
    // day (its index is the result, else -1) and the line to the log file of ADate's business day.
    // ACard must be given (assertion). A line that cannot be written goes to OnWriteError.
    int AddLog(TDateTime ATime, TCard* ACard, bool AIn, Extended ASum, TDateTime ADate, bool AReserv,
               TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst, const QString& AComment);
    // Records one finished visit in the day's report and its report file; the index is the result.
    int AddReport(TCard* ACard, TDateTime ATimeIn, TDateTime ATimeOut, Extended ASum, bool AReserv,
                  TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst);
    // Writes the summary of the closed business day ARepDate (total, counts, guests still inside) to
    // its report file. Called by SetReportDate before the day's lists are emptied.
    void AddReport(TDate ARepDate, Extended ATotalSum, std::int32_t AInUsers, std::int32_t AOutUsers,
                   const TInUserList& AInUsersL);

    // The comment of the day's log item at moment ATime (within one millisecond). Setting a different
    // text rewrites the day's part of the log file (RewriteDayLog; its errors reach the caller).
    void SetLogItemComment(TDateTime ATime, const QString& AValue);
    QString GetLogItemComment(TDateTime ATime) const;
    // Index in LogList() of the item at moment ATime, or -1 (binary search; the list is chronological).
    int _FindLogItemByTime(TDateTime ATime) const;

    // Append to the in-memory lists only; AddRepItem adds ASum to the day's total.
    int AddLogItem(TCard* ACard, bool AIn, const QString& AComment, Extended ASum, TDateTime ATime);
    int AddRepItem(TCard* ACard, TDateTime ATimeIn, TDateTime ATimeOut, Extended ASum, bool AReserv,
                   TDateTime ARFrom, TDateTime ARTo, bool ARAllDay, bool ARConst);

    // Rebuilds business day ADate (log, guests inside, report, counters) from its log file without
    // billing anything again. LoadDayFromLog() rebuilds ReportDate() and then restores the report
    // lines of rebuilt visits that the report file lacks (RestoreReportLines).
    void LoadDayFromLog(TDate ADate);
    // Appends to the day's report file the lines of the visits in Report() that it does not hold,
    // numbered as in Report(); told through OnDebugMessage.
    void RestoreReportLines();
    // Replaces the day's lines of its log file by the lines of LogList(); lines of other days stay.
    // Raises EInOutError when the file cannot be opened or written.
    void RewriteDayLog();
    // ==== end log ====

    // ==== card events and bookings (uTarvoDocEvents.cpp, uTarvoDocBooking.cpp) =======================
    // One presented card: checks a registered card in, or the guest inside out with the stay billed.
    // Closes the business day first when a new one has begun. An unregistered card changes nothing.
    // OnUserIn/OnUserOut fire inside the update, before OnChange.
    void FireCard(const TOrv_KEYNUM& ANumber);
    // Sets the business day; a change of calendar date closes the old day with its summary first.
    void SetReportDate(TDate AValue);

    // Lookups; key numbers match by SameKeyNum, the first match in list order wins; -1 when none.
    int FindInUserByKeyNum(const TOrv_KEYNUM& ANumber) const;
    int FindInUserByDate(TDateTime ADate) const;    // check-in on the calendar date of ADate
    int FindInUserByRepDate(TDateTime ADate) const; // check-in on the business day ADate
    int FindCardByKeyNum(const TOrv_KEYNUM& ANumber) const;
    int FindCardByUserName(const QString& AName) const; // letter case ignored
    // A guest inside with this card and check-in moment, not booked; returns its index.
    int AddInUser(TCard* ACard, TDateTime ATime);
    void DeleteInUser(int AIdx);

    // Bookings of guests inside, kept across restarts in "Reserved.ini" beside the data file.
    // The outputs are 0/false unless the card is inside; the result is whether it is booked.
    bool GetBookingForCard(const TOrv_KEYNUM& ANumber, TDateTime& VFrom, TDateTime& VTo, bool& VAllDay) const;
    // The card must be inside (assertion). The booking holds in memory at once; false when it could
    // not be stored in "Reserved.ini" (then OnWriteError has told the operator).
    bool SetBookingForCard(const TOrv_KEYNUM& ANumber, bool AEnabled, TDateTime AFrom, TDateTime ATo,
                           bool AAllDay);
    // Marks the document modified when any value changes (times compared exactly).
    void SetRecentBooking(TDateTime AFrom, TDateTime ATo, bool AAllDay);
    // Store or remove the entry of this key text in "Reserved.ini", which is replaced whole. False when
    // it could not be written (reported by OnWriteError); the entry is put right by the next write.
    bool WriteBooking(const TOrv_KEYNUM& ANumber, bool AAllDay, TDateTime AFrom, TDateTime ATo);
    bool DeleteBooking(const TOrv_KEYNUM& ANumber);
    QString GetBookingsPath() const; // "<data folder>/Reserved.ini"

    // Entry value "hh:nn-hh:nn " plus "D" for a whole day.
    static QString FormatBookingValue(TDateTime AFrom, TDateTime ATo, bool AAllDay);
    // Reads an entry value back; false unless both times read as valid hours and minutes. The times
    // are times of day on day 0.
    static bool ReadBookingValue(const QString& AValue, TDateTime& VFrom, TDateTime& VTo, bool& VAllDay);

    // "Reserved.ini" in memory: its sections with their key/value lines in file order. Reads any bytes;
    // writes the 8-bit code page with CR LF. Keys compare without letter case.
    class TBookingsIni {
    public:
        // Files larger than this are read up to their last line end within it.
        static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;
        // A missing file is empty; false (VError set) when the file exists but cannot be read.
        bool LoadFromFile(const QString& AFileName, QString* VError);
        void SetBytes(const QByteArray& ABytes);
        QByteArray GetBytes() const;
        // Key/value lines of the section "Cards", in file order.
        std::vector<std::pair<QString, QString>> CardEntries() const;
        QString ReadCard(const QString& AKey) const; // empty when absent
        // True when the section changed. Writing replaces the first entry of the key and drops later ones.
        bool WriteCard(const QString& AKey, const QString& AValue);
        bool DeleteCard(const QString& AKey);
        // Keeps the entries of "Cards" for which AKeep(key, value) holds, in order, in one pass; true
        // when any was dropped.
        bool KeepCards(const std::function<bool(const QString&, const QString&)>& AKeep);

    private:
        struct TSection {
            QString m_sName;
            std::vector<std::pair<QString, QString>> m_aLines;
        };
        TSection& Cards();
        const TSection* FindCards() const;
        std::vector<TSection> m_aSections;
    };
    // ==== end events ====

    TDate ReportDate() const { return m_dtRepDate; }
    Extended TotalSum() const { return m_nRepTotalSum; }
    std::int32_t RepInUsers() const { return m_nRepInUsers; }
    std::int32_t RepOutUsers() const { return m_nRepOutUsers; }
    std::int32_t MaxLevel() const { return m_nMaxLevel; }
    TTime StartDay() const { return m_tStartDay; }
    std::int32_t KeyView() const { return m_nKeyView; }

    const TTimeZoneList& TZs() const { return m_oTZs; }
    const TCardList& Cards() const { return m_oCards; }
    const TLogList& LogList() const { return m_oLogList; }
    const TInUserList& InUsers() const { return m_oInUsers; }
    const TRepList& Report() const { return m_oReport; }

    // The recent booking offered for the next guest without one; "active" is only kept for the file.
    void GetRecentBooking(TDateTime& VFrom, TDateTime& VTo, bool& VAllDay) const;
    bool RecentBookingActive() const { return m_fReserv; }

    // ---- settings ----------------------------------------------------------------------------------
    std::uint32_t Language() const { return m_nLanguage; }
    void SetLanguage(std::uint32_t AValue) { SetSetting(m_nLanguage, AValue, DCH_LANGUAGE); }
    std::int32_t LogFileFormat() const { return m_nLogFileFormat; }
    void SetLogFileFormat(std::int32_t AValue) { SetSetting(m_nLogFileFormat, AValue, DCH_REPVIEW); }
    std::int32_t LogFilePeriod() const { return m_nLogFilePeriod; }
    void SetLogFilePeriod(std::int32_t AValue) { SetSetting(m_nLogFilePeriod, AValue, DCH_REPVIEW); }
    TTariffication Tariffication() const { return m_nTariff; }
    void SetTariffication(TTariffication AValue) { SetSetting(m_nTariff, AValue, DCH_REPVIEW); }
    Extended Entrance() const { return m_nEntrance; }
    void SetEntrance(Extended AValue) { SetSetting(m_nEntrance, AValue, 0u); }
    Extended MinAmount() const { return m_nMinAmount; }
    void SetMinAmount(Extended AValue) { SetSetting(m_nMinAmount, AValue, 0u); }
    std::int32_t AccPrice() const { return m_nAccPrice; }
    void SetAccPrice(std::int32_t AValue) {
        SetSetting(m_nAccPrice, AValue, DCH_REPVIEW | DCH_REPORT | DCH_TOTALS);
    }
    Extended OverdueCost() const { return m_nOverdueCost; }
    void SetOverdueCost(Extended AValue) { SetSetting(m_nOverdueCost, AValue, 0u); }
    Extended DayCost() const { return m_nDayCost; }
    void SetDayCost(Extended AValue) { SetSetting(m_nDayCost, AValue, 0u); }
    bool AutoPrintRep() const { return m_fAutoPrintRep; }
    void SetAutoPrintRep(bool AValue) { SetSetting(m_fAutoPrintRep, AValue, 0u); }
    const QString& Printer() const { return m_sPrinter; }
    void SetPrinter(const QString& AValue) { SetSetting(m_sPrinter, AValue, 0u); }
    std::int32_t ReaderSn() const { return m_nReaderSn; } // set only by loading
    const QString& ReaderPort() const { return m_sReaderPort; }
    void SetReaderPort(const QString& AValue) { SetSetting(m_sReaderPort, AValue, DCH_READER); }
    std::uint32_t CardRegMin() const { return m_nCardRegMin; }
    void SetCardRegMin(std::uint32_t AValue) { SetSetting(m_nCardRegMin, AValue, DCH_READER); }
    const TKorvelOutputsArray& KorvelOutputs() const { return m_aKorvelOutputs; }
    void SetKorvelOutputs(const TKorvelOutputsArray& AValue) {
        SetSetting(m_aKorvelOutputs, AValue, DCH_KORVEL_OUTPUTS | DCH_READER);
    }
    // AIdx 0 (entry) or 1 (exit), else assertion.
    const TKorvelOutputs& GetKorvelOutput(int AIdx) const;
    void SetKorvelOutput(int AIdx, const TKorvelOutputs& AValue);
    bool KorvelWiegand() const { return m_fKorvelWiegand; }
    void SetKorvelWiegand(bool AValue) {
        SetSetting(m_fKorvelWiegand, AValue, DCH_KORVEL_WIEGAND | DCH_READER);
    }
    const QString& PopupFontName() const { return m_sPopupFontName; }
    void SetPopupFontName(const QString& AValue) { SetSetting(m_sPopupFontName, AValue, DCH_POPUP); }
    std::int32_t PopupFontSize() const { return m_nPopupFontSize; }
    void SetPopupFontSize(std::int32_t AValue) { SetSetting(m_nPopupFontSize, AValue, DCH_POPUP); }
    std::int32_t PopupMax() const { return m_nPopupMax; }
    void SetPopupMax(std::int32_t AValue) { SetSetting(m_nPopupMax, AValue, DCH_POPUP); }
    std::uint32_t PopupTimeOut() const { return m_nPopupTimeOut; }
    void SetPopupTimeOut(std::uint32_t AValue) { SetSetting(m_nPopupTimeOut, AValue, DCH_POPUP); }
    const TRect& RcptWinPos() const { return m_rcRcptWinPos; }
    void SetRcptWinPos(const TRect& AValue) { SetSetting(m_rcRcptWinPos, AValue, 0u); }
    Extended NDS() const { return m_dNDS; }
    void SetNDS(Extended AValue) { SetSetting(m_dNDS, AValue, 0u); }
    std::int32_t CamSource() const { return m_nCamSource; }
    void SetCamSource(std::int32_t AValue) { SetSetting(m_nCamSource, AValue, DCH_CAMERA); }
    std::int32_t ArchScale() const { return m_nArchScale; }
    void SetArchScale(std::int32_t AValue) { SetSetting(m_nArchScale, AValue, DCH_CAMERA); }
    const TRect& ArchWinPos() const { return m_rcArchWinPos; }
    void SetArchWinPos(const TRect& AValue) { SetSetting(m_rcArchWinPos, AValue, DCH_CAMERA); }
    const QString& WebCamera() const { return m_sWebCamera; }
    void SetWebCamera(const QString& AValue) { SetSetting(m_sWebCamera, AValue, DCH_CAMERA); }
    std::int32_t WebcamMode() const { return m_nWebcamMode; }
    void SetWebcamMode(std::int32_t AValue) { SetSetting(m_nWebcamMode, AValue, DCH_CAMERA); }
    std::int32_t WebcamNumShots() const { return m_nWebcamNumShots; }
    void SetWebcamNumShots(std::int32_t AValue) { SetSetting(m_nWebcamNumShots, AValue, DCH_CAMERA); }
    // Days the archive keeps its photos; 0 keeps them all.
    std::int32_t KeepPhotoDays() const { return m_nKeepPhotoDays; }
    void SetKeepPhotoDays(std::int32_t AValue) { SetSetting(m_nKeepPhotoDays, AValue, DCH_CAMERA); }
    std::uint32_t WebcamInterval() const { return m_nWebcamInterval; } // not stored in the file
    void SetWebcamInterval(std::uint32_t AValue) { SetSetting(m_nWebcamInterval, AValue, DCH_CAMERA); }
    const QString& VIServer() const { return m_sVIServer; }
    void SetVIServer(const QString& AValue) { SetSetting(m_sVIServer, AValue, DCH_VI); }
    const QString& VILogin() const { return m_sVILogin; }
    void SetVILogin(const QString& AValue) { SetSetting(m_sVILogin, AValue, DCH_VI); }
    const QString& VIPasswMd5() const { return m_sVIPasswMd5; }
    void SetVIPasswMd5(const QString& AValue) { SetSetting(m_sVIPasswMd5, AValue, DCH_VI); }
    const QString& VICamera() const { return m_sVICamera; }
    void SetVICamera(const QString& AValue) { SetSetting(m_sVICamera, AValue, DCH_VI); }
    const QString& VICameraTitle() const { return m_sVICameraTitle; }
    void SetVICameraTitle(const QString& AValue) { SetSetting(m_sVICameraTitle, AValue, DCH_VI); }
    std::int32_t VITimeOffs() const { return m_nVITimeOffs; }
    void SetVITimeOffs(std::int32_t AValue) { SetSetting(m_nVITimeOffs, AValue, DCH_VI); }
    std::int32_t VIStepViewing() const { return m_nVIStepViewing; }
    void SetVIStepViewing(std::int32_t AValue) { SetSetting(m_nVIStepViewing, AValue, DCH_VI); }
    std::uint32_t VIReqTimeOut() const { return m_nVIReqTimeOut; }
    void SetVIReqTimeOut(std::uint32_t AValue) { SetSetting(m_nVIReqTimeOut, AValue, DCH_VI); }

    // ---- helpers -----------------------------------------------------------------------------------
    // Text of an amount with max(-AAcc, 0) decimals in the user's locale.
    static QString PriceToStr(Extended AValue, int AAcc);
    // Business day of a moment: its date, or the day before when it is earlier than AStartDay's time.
    static TDate _GetRepDateForTime(TDateTime ATime, TDateTime AStartDay);
    // "<data folder>/Photo", created with its parents when AForceDir (failure raises EInOutError).
    QString GetArchFotoDir(bool AForceDir) const;
    // The archived photo of a moment: GetArchFotoDir + "/ddmmyyyy-hhnnss.<ms>.jpg".
    QString GetArchFotoPath(TDateTime ATime, bool AForceDir) const;

private:
    // ==== private: tariff ====
    // ==== end private tariff ====
    // ==== private: log and report files, day rebuild ====
    // Appends lines to the log (or report) file of business day ADate, creating its folder; false
    // (after OnWriteError, which shows the lines that are missing) when they could not all be written.
    bool AppendDayLines(const QStringList& ALines, bool AReport, TDate ADate);
    TWriteErrorEvent FOnWriteError;
    TWriteErrorEvent FOnDebugMessage;
    // ==== end private log ====
    // ==== private: card events and bookings ====
    // Reads, edits and replaces "Reserved.ini" whole; entries left wrong by an earlier failed write are
    // put right in the same write. False (reported by OnWriteError) when it could not be written.
    bool UpdateBookingsFile(const TOrv_KEYNUM& ANumber, const QString* AValue);
    // Cards whose entry in "Reserved.ini" may disagree with the bookings in memory.
    std::vector<TOrv_KEYNUM> m_aBookingsUnsaved;
    // ==== end private events ====

    void LoadFromXmlUnguarded(TMemXml& AXml);
    void LoadCameraV11(const TMXNode& ARoot);
    void LoadCamera(const TMXNode& ACamera);
    void LoadMain(const TMXNode& AMain);
    void LoadReader(const TMXNode& AReader, std::int32_t AMinor);
    void LoadFailedWith(const QString& AMessage);

    QString m_sFileName;
    QString m_sLangDir;
    int m_nOpenRef = 0;
    bool m_fLoadFailed = false;
    QString m_sLoadError;
    std::vector<TResText> m_aLoadProblems;
    TDocEvent FOnUserIn;
    TDocEvent FOnUserOut;

    // Settings.
    std::uint32_t m_nLanguage = 0;
    std::int32_t m_nLogFileFormat = 0;
    std::int32_t m_nLogFilePeriod = 0;
    TTariffication m_nTariff = TARIF_SECOND;
    Extended m_nEntrance = 0;
    Extended m_nMinAmount = 0;
    std::int32_t m_nAccPrice = 0;
    Extended m_nOverdueCost = 0;
    Extended m_nDayCost = 0;
    bool m_fAutoPrintRep = false;
    QString m_sPrinter;
    std::int32_t m_nReaderSn = 0;
    QString m_sReaderPort;
    std::uint32_t m_nCardRegMin = 0;
    TKorvelOutputsArray m_aKorvelOutputs{};
    bool m_fKorvelWiegand = false;
    QString m_sPopupFontName;
    std::int32_t m_nPopupFontSize = 0;
    std::int32_t m_nPopupMax = 0;
    std::uint32_t m_nPopupTimeOut = 0;
    TRect m_rcRcptWinPos;
    Extended m_dNDS = 0;
    std::int32_t m_nCamSource = 0;
    std::int32_t m_nArchScale = 0;
    TRect m_rcArchWinPos;
    QString m_sWebCamera;
    std::int32_t m_nWebcamMode = 0;
    std::int32_t m_nWebcamNumShots = 0;
    std::uint32_t m_nWebcamInterval = 0;
    std::int32_t m_nKeepPhotoDays = 0;
    QString m_sVIServer;
    QString m_sVILogin;
    QString m_sVIPasswMd5;
    QString m_sVICamera;
    QString m_sVICameraTitle;
    std::int32_t m_nVITimeOffs = 0;
    std::int32_t m_nVIStepViewing = 0;
    std::uint32_t m_nVIReqTimeOut = 0;

    std::int32_t m_nMaxLevel = 10;
    TTime m_tStartDay = 0;       // edited by the configuration program only
    std::int32_t m_nKeyView = 0; // edited by the configuration program only

    TTimeZoneList m_oTZs;
    TCardList m_oCards;
    TLogList m_oLogList;
    TInUserList m_oInUsers;
    std::int32_t m_nRepInUsers = 0;
    std::int32_t m_nRepOutUsers = 0;
    TRepList m_oReport;
    Extended m_nRepTotalSum = 0;
    TDate m_dtRepDate = 0;

    bool m_fReserv = false;
    TDateTime m_dtRFrom = 0;
    TDateTime m_dtRTo = 0;
    bool m_fRAllDay = false;
};

// ---- text forms of the front desk's data file items ---------------------------------------------
// "hh:nn:ss".
QString TimeToXmlStr(TTime ATime);
// ScanFormat "%d:%d:%d"; true with three numbers forming a valid time of day (date part 0).
bool XmlStrToTime(const QString& AText, TTime& VTime);
// "%d, %s": "0, txt", "1, csv".
QString LogFileFormatToStr(std::int32_t AValue);
bool StrToLogFileFormat(const QString& AText, std::int32_t& VValue);
// "%d, %s": "0, day", "1, week", "2, month".
QString LogFilePeriodToStr(std::int32_t AValue);
bool StrToLogFilePeriod(const QString& AText, std::int32_t& VValue);
// Sets (AValue) or clears bit ABit (0..31) of VMask.
void SetMaskBit(std::uint32_t& VMask, int ABit, bool AValue);

} // namespace Tarvo
