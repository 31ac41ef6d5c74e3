#pragma once
// The configuration program's main window: tab "Main" (reader, language, start of the day, key view),
// tab "Time Zones" and tab "Cards" with their owner-data lists. It owns the document, the list data,
// the reader session and the port list, follows the reader library's device detector, applies cards
// presented at the reader in the chosen mode, saves on request and hands over to the front desk.

#include "base/uLangFiles.h"
#include "config/uTarvoDoc.h"

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimeEdit;
class QTimer;
class QToolBar;
class QToolButton;
class QWidget;
class TListView;
class TListViewModel;
class TIniLanguage;
class TMainWindowPresence;
class TOrvMsgWindow;
class TOrvReader;
class TfmProcessingDlg;
struct TOrvR_CARD_INFO;
struct TOrvP_PORT_INFO;

namespace ConfigTarvo {

class TTimeZonesViewData;
class TCardsViewData;
class TCardFilterViewData;
class TRdPortList;

class TfmMain : public QMainWindow {
    Q_OBJECT
public:
    // Bits of m_nInitPages.
    static constexpr std::uint32_t PAGE_MAIN = 1;
    static constexpr std::uint32_t PAGE_CARDS = 4;
    // The window's own messages: the detector's rescan request and the detector itself.
    static constexpr std::uint32_t WM_RESCAN = 1026;
    static constexpr std::uint32_t WM_DETECTOR = 1027;
    // Devices of the detector and the searches.
    static constexpr std::uint32_t READER_DEVICE_MASK = 473;

    // ADataFile empty: "Tarvo.xml" in the data folder. The deferred start-up is queued unless
    // ADeferStartup is false (tests call DeferredStartup themselves).
    explicit TfmMain(const QString& ADataFile = QString(), bool ADeferStartup = true);
    ~TfmMain() override;

    // Releases the start mutex, starts the reader library and the detector, scans the ports, creates
    // the reader session and opens the document. False when the program has to end (exit code 1 is
    // then requested).
    bool DeferredStartup();

    // ---- commands ------------------------------------------------------------------------------------
    void DoTzAdd();
    void DoTzChange();
    void DoTzDelete();
    void DoTzClear();
    void DoCardAdd();
    void DoCardChange();
    void DoCardDelete();
    void DoCardClear();
    void DoFindReader();
    void DoReaderDevices();
    void DoReleasePort();
    void DoRunTarvo();
    void DoAboutDlg();
    // Commits the Main controls and saves when modified; false when the operator refused or it failed
    // (the error was shown).
    bool Save();
    void btnOkClick();
    void btnCancelClick();

    // ---- the reader side -------------------------------------------------------------------------------
    void RescanPorts(bool AQuick);
    void FillPortCombo();
    // Opens the session on the configured port while tab "Cards" is shown and a reading mode is set.
    // False when opening failed; VRetryUseful then tells whether trying again may help.
    bool OpenCardReader(bool AReport, bool& VRetryUseful);
    void OnCardPresented(const TOrvR_CARD_INFO* AInfo);
    void RescanRequest();
    void DetectorMessage();
    void timerOpenPortTimer();

    // Main controls to the document (serial number, port, start of the day).
    void CommitMainControls();
    void FillMainControls();
    // Clears the selection, selects and focuses row AIdx (-1: none) and scrolls it into view, centred
    // when ACentre.
    static void SelectListItem(TListView* AList, int AIdx, bool ACentre);
    // Selects the row of card ADocIdx in the cards list as SelectListItem does; a card the filter
    // hides clears the filter first, so the card chosen is the card shown.
    void SelectCard(int ADocIdx, bool ACentre);
    // Document indexes of the selected rows of the cards list, ascending; the current row's, -1: none.
    std::vector<int> SelectedCardIndexes() const;
    int CurrentCardIndex() const;
    TCardFilterViewData& CardFilter() { return *m_oCardFilter; }

    TTarvoDoc& Doc() { return *m_oDoc; }
    TOrvReader* Reader() { return m_oRd.get(); }
    TRdPortList* Ports() { return m_oPorts.get(); }
    bool SearchMode() const { return m_fRdSearchMode; }
    // The processing box of a running "Find" (tests and screenshots look at it); null otherwise.
    TfmProcessingDlg* FindDlg() const { return m_pFindDlg; }
    void UpdateCaption();
    // The status bar's reader line: open on its port, lost (its port vanished while open) or none.
    void UpdateReaderState();
    // Re-evaluates the enabled state of the actions (also done whenever the program is idle).
    void UpdateActions();

    // ---- table export and import of the zones and the cards (uFmMainExport.cpp) ---------------------
    // ACards: the cards list, else the zones list. The commands without a file name ask for one; the
    // ones with a name do the work and raise on failure, the others show failures in the error box.
    void DoExportToExcel(bool ACards);
    void DoExportToCsv(bool ACards);
    void DoImportFromExcel(bool ACards);
    void DoImportFromCsv(bool ACards);
    void ExportToFile(bool ACards, const QString& AFileName);
    // The new workbook opened with the desktop's application; returns its path.
    QString ExportToApplication(bool ACards);
    // Reads AFileName whole, then replaces the list by its rows; the number of rows taken. A table of
    // more than ImportBoxRows rows is taken in the processing box, which can cancel it.
    static constexpr size_t ImportBoxRows = 300;
    int ImportFromFile(bool ACards, const QString& AFileName);
    // The list's column captions as shown now.
    QStringList ListCaptions(bool ACards) const;
    // Whether the desktop has an application for .xlsx workbooks (asked once, at the window's start).
    bool HasXlsxApplication() const { return !m_sXlsxApp.isEmpty(); }

    // ---- controls ------------------------------------------------------------------------------------
    QTabWidget* pcMain = nullptr;
    QWidget* tsMain = nullptr;
    QWidget* tsZones = nullptr;
    QWidget* tsCards = nullptr;
    QGroupBox* grReader = nullptr;
    QSpinBox* edtRdSn = nullptr;
    QComboBox* cbRdPort = nullptr;
    QPushButton* btnRdFind = nullptr;
    QPushButton* btnRdDevices = nullptr; // "Reader devices..." (uDlgReaderDevices)
    QPushButton* btnReleasePort = nullptr;
    QCheckBox* chkWiegand = nullptr;
    QGroupBox* grLanguage = nullptr;
    QComboBox* cbLanguage = nullptr;
    QTimeEdit* dtpStartDay = nullptr;
    QComboBox* cbKeyView = nullptr;
    TListView* lvZones = nullptr;
    TListView* lvCards = nullptr;
    QComboBox* cbCardRdMode = nullptr;
    QLineEdit* edtCardFilter = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QToolBar* tbMain = nullptr;
    QToolButton* btnStartTarvo = nullptr;
    QToolButton* btnImport = nullptr;
    QToolButton* btnExport = nullptr;
    QMenu* pmZones = nullptr;
    QMenu* pmCards = nullptr;
    QMenu* pmImport = nullptr;
    QMenu* pmExport = nullptr;
    QAction* miKeyViewHex = nullptr;
    QAction* miKeyViewWinPak = nullptr;
    QTimer* timerOpenPort = nullptr;
    QLabel* labReaderState = nullptr;

    QAction *actRdFind = nullptr, *actReleasePort = nullptr;
    QAction *actTzAdd = nullptr, *actTzChange = nullptr, *actTzDelete = nullptr, *actTzClear = nullptr;
    QAction *actCardAdd = nullptr, *actCardChange = nullptr, *actCardDelete = nullptr,
            *actCardClear = nullptr;
    QAction *actTzExportExcel = nullptr, *actTzImportExcel = nullptr, *actTzExportCsv = nullptr,
            *actTzImportCsv = nullptr;
    QAction *actCardExportExcel = nullptr, *actCardImportExcel = nullptr, *actCardExportCsv = nullptr,
            *actCardImportCsv = nullptr;
    QAction *actExportExcel = nullptr, *actImportExcel = nullptr, *actExportCsv = nullptr,
            *actImportCsv = nullptr;
    QAction *actImport = nullptr, *actExport = nullptr, *actRunTarvo = nullptr, *actAbout = nullptr;
    QAction *actCardFilter = nullptr, *actExit = nullptr;

Q_SIGNALS:
    // The program has to end with AExitCode (the program entry ends the event loop with it).
    void endRequested(int AExitCode);

protected:
    void closeEvent(QCloseEvent* AEvent) override;
    void keyPressEvent(QKeyEvent* AEvent) override;
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    // Table export and import (uFmMainExport.cpp).
    void CreateTableExport();
    void UpdateTableActions();
    // VCards: whether the shown tab is the cards list; false when neither list is shown.
    bool CurrentListIsCards(bool& VCards) const;
    QString m_sXlsxApp;

    // Form building (uFmMainForm.cpp).
    void CreateActions();
    void CreateForm();
    QWidget* CreateMainPage();
    QWidget* CreateZonesPage();
    QWidget* CreateCardsPage();
    void CreateMenus();
    void CreateViews();

    void DocChange(std::uint32_t AMask);
    void pcMainChange(int AIndex);
    void InitMainPage();
    void FillLanguageCombo();
    void ApplyLanguage();
    void cbRdPortChange(int AIndex);
    void cbCardRdModeChange(int AIndex);
    void SetKorvelFormat();
    void ShowListMenu(TListView* AList, QMenu* AMenu, const QPoint& AGlobalPos);
    void EndProgram(int AExitCode);
    bool SaveDocument(bool ACommit);

    // Reader library (uFmMainReader.cpp).
    void StartDetector();
    void FinishReaderLibrary();
    void MergeSearchResults();
    void OpenSessionOnConfiguredPort();

    // The document's serial number, port and start of the day as the Main controls last agreed with
    // them (filled or committed).
    void NoteMainControlsShown();
    // Port of the session closed by its port's removal; empty when the reader was not lost.
    QString m_sLostPort;
    bool m_fMainFilled = false;
    std::int32_t m_nShownSn = 0;
    QString m_sShownPort;
    TTime m_tShownStartDay = 0;

    std::uint32_t m_nInitPages = 0;
    int m_nCtrlUpdate = 0;
    bool m_fOrvRInit = false;
    bool m_fRdSearchMode = false;
    bool m_fClosing = false;
    bool m_fStarted = false;
    int m_nShownTab = -1;
    std::unique_ptr<TMainWindowPresence> m_oPresence;
    std::unique_ptr<TIniLanguage> m_oLang; // the program's translator, installed for every window
    TALangs m_aLangs;                      // the language files of the combo, in its order
    std::unique_ptr<TTarvoDoc> m_oDoc;
    std::unique_ptr<TRdPortList> m_oPorts;
    std::uintptr_t m_hRdDetector = 0;
    std::unique_ptr<TOrvMsgWindow> m_oDetectorWnd;
    std::unique_ptr<TOrvReader> m_oRd;
    std::unique_ptr<TTimeZonesViewData> m_oTzVD;
    std::unique_ptr<TCardsViewData> m_oCardVD;
    std::unique_ptr<TCardFilterViewData> m_oCardFilter;
    TListViewModel* m_pTzModel = nullptr;
    TListViewModel* m_pCardModel = nullptr;
    TfmProcessingDlg* m_pFindDlg = nullptr;
    bool m_fAboutShown = false;
};

} // namespace ConfigTarvo
