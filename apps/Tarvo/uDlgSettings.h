#pragma once
// The front desk's settings dialog. It edits a private copy of the document's settings; OK writes the
// whole copy back in one document update, saves the data file when anything changed and sets the
// autorun entry; Cancel drops the copy. Each page fills its controls when first shown, and only
// filled pages are read back. A control the operator has not touched reads back as the value it was
// loaded from, so values a control cannot show exactly (out of its range, a font or language not in
// its list) survive an OK.

#include "frontdesk/uSettingsCopy.h"
#include "vi/uVI.h"

#include <QDialog>
#include <QSet>

#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTabBar;
class QTabWidget;
class TSpinEditDouble;
class TWebCam;
namespace Tarvo {
class TTarvoDoc;
}

class TfmSettingsDlg : public QDialog {
    Q_OBJECT
public:
    // Page flags of m_nInitPages.
    static constexpr int PAGE_MAIN = 1;
    static constexpr int PAGE_INTERFACE = 2;
    static constexpr int PAGE_READER = 4;
    static constexpr int PAGE_CAMERA = 8;
    // The autorun entry's name.
    static constexpr const char* AUTORUN_NAME = "Tarvo";

    TfmSettingsDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc);
    ~TfmSettingsDlg() override;

    const Tarvo::TSettingsCopy& Copy() const { return m_oCopy; }
    int InitPages() const { return m_nInitPages; }

    // The OK steps: read the filled pages back, write the copy into the document in one update, save
    // the document when modified, set the autorun entry. False (the error shown) when a step failed.
    bool StoreSettings();

    // Controls, by their component names.
    QTabWidget* pcSettings = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    // Main
    QCheckBox* chkAutorun = nullptr;
    QComboBox* cbLogFileFormat = nullptr;
    QComboBox* cbLogFilePeriod = nullptr;
    TSpinEditDouble* edtVAT = nullptr;
    QComboBox* cbTariffication = nullptr;
    TSpinEditDouble* edtEntrance = nullptr;
    TSpinEditDouble* edtMinAmount = nullptr;
    QSpinBox* edtAccPrice = nullptr;
    TSpinEditDouble* edtOverdue = nullptr;
    TSpinEditDouble* edtDayPrice = nullptr;
    QCheckBox* chkAutoPrintRep = nullptr;
    QComboBox* cbPrinter = nullptr;
    // Interface
    QComboBox* cbLanguage = nullptr;
    QComboBox* cbFontName = nullptr;
    QComboBox* cbFontSize = nullptr;
    QSpinBox* edtPopupMax = nullptr;
    QSpinBox* edtPopupTimeOut = nullptr;
    QPushButton* btnTest = nullptr;
    // Reader
    QSpinBox* edtCardRegMin = nullptr;
    QCheckBox* chkKorvelWiegand = nullptr;
    QTabBar* tcKorvel = nullptr;
    std::array<QCheckBox*, 4> chkOutputs{};
    std::array<QLabel*, 4> labDurations{};
    std::array<TSpinEditDouble*, 4> edtDurations{};
    std::array<QCheckBox*, 4> chkInitOn{};
    // Camera
    QGroupBox* rgCamSource = nullptr;
    QButtonGroup* m_oCamSourceGroup = nullptr;
    QSpinBox* edtKeepPhotoDays = nullptr;
    QStackedWidget* pcCamSources = nullptr; // the source's page, without tabs
    QWidget* tsCamWeb = nullptr;
    QWidget* tsCamVI = nullptr;
    QComboBox* cbCamWeb = nullptr;
    QPushButton* btnCamWebFoto = nullptr;
    QPushButton* btnCamWebRefresh = nullptr;
    QComboBox* cbCamWebSize = nullptr;
    QSpinBox* edtCamWebNum = nullptr;
    QSpinBox* edtCamWebInterval = nullptr;
    QLineEdit* edtServer = nullptr;
    QLineEdit* edtLogin = nullptr;
    QLineEdit* edtPassword = nullptr;
    QComboBox* cbCamera = nullptr;
    QPushButton* btnCamVIRefresh = nullptr;
    QPushButton* btnCamVIFoto = nullptr;
    QSpinBox* edtTimeOffs = nullptr;
    QSpinBox* edtStepViewing = nullptr;
    QSpinBox* edtViReqTimeOut = nullptr;

    // The desk's webcam, which the Webcam page switches on with the values being edited.
    void SetWebCam(TWebCam* AWebCam) { FWebCam = AWebCam; }
    // The desk's video-server client, which the VI page lists cameras with and tries out.
    void SetVI(TVI* AVI) { FVI = AVI; }
    TVI* VI() const { return FVI; }
    // Camera sub-page flags of m_nInitCamPages.
    static constexpr int CAMPAGE_WEB = 1;
    static constexpr int CAMPAGE_VI = 2;
    int InitCamPages() const { return m_nInitCamPages; }
    bool WebcamSizesFilled() const { return m_fWebcamSizes; }
    // The Webcam page's commands, as its buttons and lists run them.
    void FillWebcamCameras();
    void FillWebcamSizes();
    void btnCamWebFotoClick();
    // Runs the live photo dialog on the webcam (replaceable for tests).
    std::function<void(QWidget* AOwner, TWebCam& AWebCam)> FRunLiveFoto;
    // The VI page's commands, as its buttons run them.
    void btnCamVIRefreshClick();
    void btnCamVIFotoClick();
    // Runs the live photo dialog on the video server (replaceable for tests).
    std::function<void(QWidget* AOwner, TVI& AVI)> FRunLiveFotoVI;
    // The separator between a camera's link and its title in the VI camera list.
    static QString CameraTitleSeparator() { return QStringLiteral("   // "); }

    static QString DefaultFontText(); // "<default>" in the language shown; stored as "<default>"

    // Closing breaks off the video client's requests and gives back its cameras-done handler.
    void done(int AResult) override;

protected:
    void showEvent(QShowEvent* AEvent) override;

private:
    void CreateControls();
    void btnOkClick();
    void pcSettingsChange(int AIdx);
    // Fills page AIdx of pcSettings on its first showing.
    void InitPage(int AIdx);
    void LoadFilledPages();
    void ReadFilledPages();

    // Main page (uDlgSettingsMain.cpp)
    QWidget* CreateMainPage();
    void InitMainPage();
    void LoadMainPage();
    void ReadMainPage();
    // Interface page (uDlgSettingsInterface.cpp)
    QWidget* CreateInterfacePage();
    void InitInterfacePage();
    void LoadInterfacePage();
    void ReadInterfacePage();
    void btnTestClick();
    // Reader page (uDlgSettingsReader.cpp)
    QWidget* CreateReaderPage();
    void LoadReaderPage();
    void ReadReaderPage();
    void LoadKorvelOutputs();
    void ReadKorvelOutputs();
    void UpdateKorvelEnabled();
    void tcKorvelChange(int AIdx);
    void chkOutputClick(int AOutput);
    // Camera page (uDlgSettingsCamera.cpp)
    QWidget* CreateCameraPage();
    void LoadCameraPage();
    void ReadCameraPage();
    void rgCamSourceClick(int AIdx);
    void ShowCamSourcePage();
    void InitWebcamPage();
    void LoadWebcamPage();
    void ReadWebcamPage();
    void ApplyWebcamSettings();
    void cbCamWebChange(const QString& AText);
    void UpdateIntervalMinimum();
    void InitVIPage();
    void LoadVIPage();
    void ReadVIPage();
    void ReadVICamera();
    void ApplyVISettings();
    void FillVICameras();
    void ShowVICameraText();
    void VICamerasDone(TVI& ASender);
    void cbCameraActivated(int AIdx);
    void BorrowCamerasDone();
    void ReturnCamerasDone();

    // Marks AControl touched whenever ASignal fires outside loading.
    template <class TControl, class TSignal> void Watch(TControl* AControl, TSignal ASignal) {
        connect(AControl, ASignal, this, [this, AControl] {
            if (m_nCtrlUpdate == 0)
                m_aTouched.insert(AControl);
        });
    }
    bool Touched(const QObject* AControl) const { return m_aTouched.contains(AControl); }
    void Untouch(const QObject* AControl) { m_aTouched.remove(AControl); }

    Tarvo::TTarvoDoc* FDoc;
    Tarvo::TSettingsCopy m_oCopy;
    int m_nCtrlUpdate = 0;
    int m_nInitPages = 0;
    int m_nKorvelDirectIdx = 0;
    // The autorun entry could not be read when the dialog opened: it is only written when the operator
    // changes the check box, so an entry we cannot read is never deleted behind the operator's back.
    bool m_fAutorunUnknown = false;
    bool m_fAutorunShown = false;
    QSet<const QObject*> m_aTouched;
    // Camera page.
    TWebCam* FWebCam = nullptr;
    TVI* FVI = nullptr;
    int m_nInitCamPages = 0;
    bool m_fWebcamCameras = false; // the camera list is filled
    bool m_fWebcamSizes = false;   // the video-size list is filled
    // The video client's cameras-done handler while the VI page has replaced it.
    TVI::TNotifyEvent m_pOldCamerasDone;
    bool m_fCamerasDoneBorrowed = false;
};

// Runs the settings dialog modally on ADoc, centred on AOwner or, with ACentreOnScreen, on the screen;
// true when closed with OK.
// AWebCam is the desk's webcam and AVI its video-server client, which the Camera page lists and tries out.
bool ExecSettingsDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, bool ACentreOnScreen = false,
                     TWebCam* AWebCam = nullptr, TVI* AVI = nullptr);
