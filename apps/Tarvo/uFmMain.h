#pragma once
// The front desk's main window: the program's hub. It owns the document, the reader session and the
// list-view data, lives in the system tray (or shown, where the desktop has no tray), turns presented
// cards into check-ins and check-outs with a popup each, drives the base station's outputs and ends
// through Exit (or SIGTERM/SIGINT), saving what changed.

#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "base/uRecords.h"
#include "frontdesk/uReceiptData.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QLineEdit;
class QMessageBox;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;
class QToolBar;
class QWidget;
class TListView;
class TListViewModel;
class TLogWritten;
class TMainWindowPresence;
class TOrvMsgWindow;
class TOrvReader;
class TPopupMsgMngr;
class TfmPopupMessageDlg;
class TInstanceListener;
class TDeskPhotos;
class TVI;
class TWebCam;
class TfmVIArchiveFotoDlg;
class TIniLanguage;
struct TOrvR_CARD_INFO;
struct TOrvP_PORT_INFO;

namespace Tarvo {
class TTarvoDoc;
class TLogViewData;
class TInViewData;
class TRepViewData;
} // namespace Tarvo

// How much larger the application font is than the compact font the window's sizes were laid out
// for (a line height of 13 pixels); at least 1.
double FontScale();

class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    // Page flags of m_nInitPages.
    static constexpr std::uint32_t PAGE_LOG = 1;
    static constexpr std::uint32_t PAGE_IN = 2;
    static constexpr std::uint32_t PAGE_REPORT = 4;
    // Message numbers of the window's own queue: the deferred start-up and the device detector.
    static constexpr std::uint32_t WM_STARTUP = 1025;
    static constexpr std::uint32_t WM_DETECTOR = 1026;
    // Device mask of the detector and the reader search.
    static constexpr std::uint32_t READER_DEVICE_MASK = 473;

    // Form creation. ADataFile empty: "Tarvo.xml" in the data folder. The deferred start-up is queued
    // unless ADeferStartup is false (tests call DeferredStartup themselves, or not at all).
    explicit TfmMain(const QString& ADataFile = QString(), bool ADeferStartup = true);
    ~TfmMain() override;

    // ---- operations other parts call ------------------------------------------------------------------
    void DoAboutDlg();
    void DoSettingsDlg();
    void DoRunTarvoConfig();
    void DoReceiptDlg();
    void DoBookingDlg();
    bool DoLogItemDlg(int AIdx);
    bool DoConnectReader(bool AReportError);
    void ShowMainWnd(bool AShow);
    void ShowReceipt(const Tarvo::TReceiptData& AData, bool AAutoPrint);
    void ShowCameraArchFoto(TDateTime ATimeIn, TDateTime ATimeOut, int ATimeIdx);
    // Exit: saves the document when modified, closes it and ends the program (the event loop).
    void DoExit();

    // The deferred start-up: reader library, document, reader connection; shows the window when asked.
    // False when the program has to end (wrong reader library: exit code 1 is then requested).
    bool DeferredStartup();

    // ---- state, for the program and its tests -------------------------------------------------------
    Tarvo::TTarvoDoc& Doc() const { return *m_oDoc; }
    TOrvReader* Reader() const { return m_oRd.get(); }
    Tarvo::TLogViewData& LogVD() const { return *m_oLogVD; }
    Tarvo::TInViewData& InVD() const { return *m_oInVD; }
    Tarvo::TRepViewData& RepVD() const { return *m_oRepVD; }
    TPopupMsgMngr& Popups() const { return *m_oPopups; }
    std::uint32_t InitPages() const { return m_nInitPages; }
    bool HasTray() const { return m_fHasTray; }
    bool ExitRequested() const { return m_fExitDone; }

    // "%s v%s" with the product name and the file version, plus " (port)" while the reader is open.
    QString BuildCaption() const;
    // A card's name as popups show it: its user name, or its key number in braces.
    QString DisplayName(const TCard& ACard) const;

    // Card handling of the reader attachment (the session's OnCardInsert calls it): drops a repeat of
    // the same card within CardRegMin ms, shortens Wiegand keys of the base station, then FireCard.
    void HandleCard(std::uint32_t ACardType, const TOrv_KEYNUM& ANumber);

    // Visual components, by their component names.
    QTabWidget* pcMain = nullptr;
    QWidget* tsLog = nullptr;
    QWidget* tsIn = nullptr;
    QWidget* tsReport = nullptr;
    TListView* lvLog = nullptr;
    TListView* lvIn = nullptr;
    TListView* lvReport = nullptr;
    QLineEdit* edtTotalSum = nullptr;
    QToolBar* tbMain = nullptr;
    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* menuTray = nullptr;
    QMenu* menuReport = nullptr;
    QMenu* menuProgram = nullptr;
    QTimer* timerOpenPort = nullptr;
    QTimer* timerShots = nullptr;
    QAction* actShowMainWnd = nullptr;
    QAction* actSettings = nullptr;
    QAction* actAbout = nullptr;
    QAction* actExit = nullptr;
    QAction* actRunTarvoConfig = nullptr;
    QAction* actRepExportCsv = nullptr;
    QAction* actRepExportExcel = nullptr;
    QAction* actRepExportOOCalc = nullptr;

protected:
    void closeEvent(QCloseEvent* AEvent) override;
    void changeEvent(QEvent* AEvent) override;

private:
    // ---- form and lifecycle (uFmMain.cpp) -------------------------------------------------------------
    void CreateActions();
    void CreateForm();
    void CreateTray();
    void UpdateCaption();
    void ApplyLanguage();
    void ApplyCameraSources();
    void CloseDocument();
    void EndProgram(int AExitCode);
    void ShowWriteErrors();

    // ---- reader attachment (uFmMainReader.cpp) --------------------------------------------------------
    bool StartReaderLibrary();
    void FinishReaderLibrary();
    void OpenOnConfiguredPort();
    void AfterReaderOpened();
    bool SearchReaderPort(QString& VPortName);
    bool TryOpenReader(bool& VRetry);
    void timerOpenPortTimer();
    void DetectorMessage();
    void ReaderError();
    bool IsKorvel() const;
    void ApplyKorvelOutputs();
    void StartKorvelPulse();
    void KorvelTimerTick(int AOutput);
    void DriveKorvelOutput(int AOutput, bool AOn);
    void SetKorvelFormat();

    // ---- views and document events (uFmMainViews.cpp) -----------------------------------------------
    void CreateViews();
    void pcMainChange(int AIdx);
    void InitPage(int AIdx);
    void UpdateTotalSum();
    void DocChange();
    void DocUserIn();
    void DocUserOut();
    void PopupShowReceipt(TfmPopupMessageDlg& APopup);
    void lvLogIconClick(int ARow);
    void lvReportIconClick(int ARow);
    void SortColumnClick(bool AReport, int AColumn);

    // The document, the views' data and the window's own services.
    std::unique_ptr<TMainWindowPresence> m_oPresence;
    std::unique_ptr<TIniLanguage> m_oLang; // the program's translator, installed for every window
    std::unique_ptr<Tarvo::TTarvoDoc> m_oDoc;
    std::unique_ptr<Tarvo::TLogViewData> m_oLogVD;
    std::unique_ptr<Tarvo::TInViewData> m_oInVD;
    std::unique_ptr<Tarvo::TRepViewData> m_oRepVD;
    TListViewModel* m_oLogModel = nullptr;
    TListViewModel* m_oInModel = nullptr;
    TListViewModel* m_oRepModel = nullptr;
    std::unique_ptr<TLogWritten> m_oDebugLog;
    TPopupMsgMngr* m_oPopups = nullptr;

    std::uint32_t m_nInitPages = 0;
    int m_nCtrlUpdate = 0;
    bool m_fHasTray = false;
    bool m_fExitDone = false;
    bool m_fClosing = false;
    QStringList m_aWriteErrors; // write failures waiting to be shown
    bool m_fWriteErrorsQueued = false;

    // Reader attachment.
    bool m_fOrvRInit = false;
    TOrv_KEYNUM m_LastNum{};
    std::uint32_t m_nLastCard = 0;
    std::uint32_t m_nLastCardTick = 0;
    std::unique_ptr<TOrvReader> m_oRd;
    std::unique_ptr<TOrvMsgWindow> m_oDetectorWnd;
    std::uintptr_t m_hRdDetector = 0;
    std::array<QTimer*, 4> m_aKorvelTimers{};
    std::uint32_t m_nKorvelState = 0;
    std::array<bool, 4> m_aKorvelPulseIdle{}; // idle state of each output's running pulse
    bool m_fExit = false;

    // ---- report export (uFmMainExport.cpp) ------------------------------------------------------------
public:
    // "Spreadsheet file...": the report as .xlsx or .ods wherever the operator saves it.
    QAction* actRepExportSheet = nullptr;
    // The exported table: the report list's captions as shown (without the photo column), then the
    // visits in the list's current order.
    std::vector<QStringList> RepExportRows() const;
    // Asks for the file, then writes it; cancelling ends the command.
    void DoRepExportToCsv();
    void DoRepExportToCsv(const QString& AFileName);
    // A new workbook in the exports folder, opened with the desktop's application for its type.
    void DoRepExportToExcel();
    void DoRepExportToOOCalc();
    // Asks for the file and its type, then writes it.
    void DoRepExportToSheet();
    void DoRepExportToSheet(const QString& AFileName);

private:
    void CreateRepExport();
    void RepExportToApplication(const QString& AExt);
    // "Report <yyyy-mm-dd of the business day>".
    QString RepExportName() const;

    // ---- desk conduct: write-failure box, closing, reader lost and back, second start ---------------
    // (uFmMainDesk.cpp)
public:
    // The write-failure box while it is open, else null.
    QMessageBox* WriteErrorBox() const;
    // Whether the configured reader is not connected now (the tray icon shows it).
    bool ReaderLost() const { return m_fReaderLost; }
    // A second start asked for the main window: shown as "show" does.
    void ShowForSecondStart();
    // The text of the last tray message (empty when none); kept also where no tray can show it.
    const QString& LastTrayMessage() const { return m_sLastTrayMessage; }

private:
    void QueueWriteError(const QString& AMessage);
    void LogWriteError(const QString& AMessage);
    QString WriteErrorText() const;
    void ShowTrayMessage(const QString& ATitle, const QString& AText, bool AWarning);
    bool ConfirmExit();
    // Follows the session's state after anything that may have opened or closed it: the tray icon,
    // the lost popup and tray message, the back popup. AReason is appended to the lost message.
    void UpdateReaderState(const QString& AReason = QString());
    void ReportReaderNotFound();
    void ShowLoadProblems();
    QString ReaderPlace() const;

    QPointer<QMessageBox> m_pWriteBox; // the open write-failure box
    int m_nWriteMore = 0;              // failures counted into it beyond the ones it lists
    QString m_sDebugLogError;          // why the debug log could not take them, when it could not
    bool m_fCloseTold = false;         // the first close to the tray has said where the desk went
    bool m_fReaderLost = false;
    bool m_fReaderWasOpen = false; // a lost message needs a reader that was reading
    bool m_fLostShown = false;     // the lost popup was shown; a back popup follows
    QString m_sLostPort;
    QPointer<TfmPopupMessageDlg> m_pLostPopup;
    QString m_sLastTrayMessage;
    std::unique_ptr<TInstanceListener> m_oListener;

    // ---- photos: webcam series, camera lost and back, archive viewer, pruning (uFmMainPhotos.cpp) ----
public:
    TWebCam* WebCam() const;
    // The video-server client; active while the video server is the photo source.
    TVI* VI() const;
    // The open archive viewer, else null.
    TfmVIArchiveFotoDlg* ArchFotoDlg() const;
    int WebcamShotsLeft() const;
    // Shots skipped since the start (no picture, folder or file not writable).
    int ShotFailures() const;
    // timerShots' handler: the next shot of the running series, filed under the current time.
    void timerShotsTimer();
    // One shot now, filed under ATime; false when none was saved (then counted and logged).
    bool TakeWebcamShot(TDateTime ATime);

private:
    void CreatePhotos();
    void StartWebcamSeries(TDateTime ATime);
    void PrunePhotos();
    void WebCamLost();
    void WebCamBack();
    void ShowPhotoPopup(const QString& AText, bool AStays);
    TDeskPhotos* m_oPhotos = nullptr;
};
