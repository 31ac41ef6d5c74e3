#pragma once
// The live photo dialog: the camera's current picture at its own size, so the operator can check the
// camera while setting up photos. Its source is the webcam or the video server.
// Webcam: "Refresh" shows the newest frame, "Auto refresh" follows the frames as they come (polled every
// 30 ms); the busy bar shows while no frame has arrived yet.
// Video server: the dialog borrows the client's live-frame event while shown. "Refresh" asks for a new
// frame, "Auto refresh" keeps exactly one request in flight, each arrival starting the next; the busy
// bar shows while a request is pending. A failed request shows one error box and ends auto refresh.

#include "vi/uVI.h"

#include <QDialog>
#include <QImage>

#include <cstdint>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TWebCam;

class TfmVILiveFotoDlg : public QDialog {
    Q_OBJECT
public:
    // Inner size as designed, and the picture area within it.
    static constexpr int DESIGN_WIDTH = 632;
    static constexpr int DESIGN_HEIGHT = 542;

    explicit TfmVILiveFotoDlg(QWidget* AOwner);
    ~TfmVILiveFotoDlg() override;

    // The source; set before showing.
    void SetWebCam(TWebCam* AWebCam) { FWebCam = AWebCam; }
    TWebCam* WebCam() const { return FWebCam; }
    // The video server as the source instead of the webcam; set before showing.
    void SetVI(TVI* AVI) { FVI = AVI; }
    TVI* VI() const { return FVI; }
    // Switches continuous refresh.
    void SetAutoRefresh(bool AValue);
    bool AutoRefresh() const { return m_fAutoRefresh; }
    // The number of the last frame shown.
    std::int32_t Counter() const { return m_nCounter; }

    QWidget* panImage = nullptr;
    QLabel* Image1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* btnRefresh = nullptr;
    QCheckBox* chkAuto = nullptr;
    QTimer* Timer1 = nullptr;

    // The handlers, as the timer and the controls call them.
    void Timer1Timer();
    void btnRefreshClick();

    void done(int AResult) override;
    // The handler the dialog installs as the client's live-frame event while shown.
    void LiveFotoDone(TVI& ASender);

protected:
    void showEvent(QShowEvent* AEvent) override;

private:
    void CreateControls();
    void chkAutoClick();
    void ShowCurrentPicture();
    void UpdateBusyBar();
    bool FrameAvailable() const;
    void StartLiveRequest();
    void ReturnLiveFotoDone();

    int m_nCtrlUpdate = 0;
    // The client's live-frame handler as it was before the dialog replaced it.
    TVI::TNotifyEvent m_pOldLFD;
    bool m_fLFDBorrowed = false;
    QImage m_oTempBmp;
    std::int32_t m_nCounter = 0;
    TWebCam* FWebCam = nullptr;
    TVI* FVI = nullptr;
    bool m_fAutoRefresh = false;
};

// Runs the live photo dialog modally on AWebCam, centred on AOwner.
void ExecLiveFotoDlg(QWidget* AOwner, TWebCam& AWebCam);
// Runs the live photo dialog modally on the video server's current camera, centred on AOwner.
void ExecLiveFotoDlg(QWidget* AOwner, TVI& AVI);
