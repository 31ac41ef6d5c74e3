#pragma once
// The archive photo viewer: the photos of one visit from the photo archive. Opened from the camera
// icon of a log or report row with the visit's check-in and check-out moments; the In and Out buttons
// switch between the two, the scroll bar browses every photo of the archive. A moment without a
// photo of its own second shows "No photo". The image's context menu chooses between the photo's
// original size (the window grows to show it whole) and fitting it into the window; the choice and
// the window's place are kept in the document (ArchScale, ArchWinPos).
//
// Created with the desk's video-server client while it is connected, the viewer shows the server's
// recorded frames instead of files: the scroll bar moves through time, one minute to each side of the
// visit's moment, and a frame is asked for at most every half second while the bar is dragged. The
// bar under the picture runs while a frame is awaited; a failed request is told once, with the
// client's error text.

#include "base/uDateTime.h"
#include "vi/uVI.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QString>

#include <array>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QProgressBar;
class QRadioButton;
class QScrollBar;
class QTimer;
namespace Tarvo {
class TTarvoDoc;
}

// The photo itself: centred; in fit mode scaled proportionally into the control.
class TArchFotoImage : public QWidget {
public:
    explicit TArchFotoImage(QWidget* AParent);
    void SetPicture(const QImage& AImage);
    const QImage& Picture() const { return m_oImage; }
    void SetStretch(bool AStretch);
    bool Stretch() const { return m_fStretch; }

protected:
    void paintEvent(QPaintEvent* AEvent) override;

private:
    QImage m_oImage;
    bool m_fStretch = false;
};

class TfmVIArchiveFotoDlg : public QDialog {
    Q_OBJECT
public:
    // Design size of the client area without a stored place.
    static constexpr int DESIGN_WIDTH = 508;
    static constexpr int DESIGN_HEIGHT = 392;
    // ArchScale of the original size; any other value fits the photo into the window.
    static constexpr int SCALE_ORIGINAL = 100;

    // With AVI (the desk's connected video-server client) the viewer is in server mode for its whole
    // life; without, it shows the archive's files.
    TfmVIArchiveFotoDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, TVI* AVI = nullptr);
    ~TfmVIArchiveFotoDlg() override;

    // Prepares the viewer for a visit (0 = moment unknown) and shows the moment ATimeIdx (0 check-in,
    // 1 check-out). AStepViewing is the step of the video server's archive in milliseconds per scroll
    // position (0 or less: 100), unused for files.
    void SetParameters(TDateTime ATimeIn, TDateTime ATimeOut, int ATimeIdx, int AStepViewing);
    // Shows the photo for a moment: the archive's photo nearest to it within its second, or the
    // server's frame of that moment (asked for when it is not the one on screen).
    void SetFotoDateTime(TDateTime AValue);
    // Reads the archive folder again.
    void UpdateFileFotos();

    // The viewer deletes itself when closed (the main window's viewer).
    void SetFreeOnClose(bool AValue);

    TDateTime FotoDateTime() const { return m_dtFoto; }
    const std::vector<TDateTime>& FileFotos() const { return m_aFileFotos; }
    // The file of the photo shown; empty when none is shown.
    const QString& ShownFile() const { return m_sShownFile; }
    bool OriginalSize() const;
    // The video-server client of server mode, else null.
    TVI* VI() const { return FVI; }
    // The last failure box of a server request while it is open, else null.
    QMessageBox* FailureBox() const;

    // Controls, by their component names.
    QLabel* panImage = nullptr; // shows "No photo" where there is no picture
    TArchFotoImage* Image1 = nullptr;
    QRadioButton* btnIn = nullptr;
    QRadioButton* btnOut = nullptr;
    QLabel* labTime = nullptr;
    QScrollBar* ScrollBar1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* miScale = nullptr;
    QAction* miOriginalSize = nullptr;
    QAction* miFitInWindow = nullptr;

    // Checks the menu item of the current scale (called when the menu opens).
    void PopupMenu1Popup();

    void done(int AResult) override;

protected:
    void showEvent(QShowEvent* AEvent) override;

private:
    void CreateControls();
    void btnInClick();
    void btnOutClick();
    void ScrollBar1Scroll(int APos);
    void miOriginalSizeClick();
    void miFitInWindowClick();
    void FitFormToImage();
    void RestoreWinPos();
    void SaveWinPos();
    void ApplyScale();
    void ShowPicture(const QImage& AImage, const QString& AFile);
    void UpdateInOut();
    void Timer1Timer();
    // Server mode: the client's frame when it is the one of m_dtFoto.
    void ShowGraphic();
    // The client's OnArchiveFotoDone while the viewer is open.
    void ArhFotoDone();
    void UpdateProgress();
    void TakeOverArchiveFotoDone();
    void GiveBackArchiveFotoDone();

    Tarvo::TTarvoDoc* FDoc;
    TVI* FVI = nullptr;
    TVI::TNotifyEvent m_pOldAFD;
    bool m_fAFDTaken = false; // the client's handler is the viewer's
    int m_nOldScrollPos = 0;
    QPointer<QMessageBox> m_pFailureBox;
    int m_nCtrlUpdate = 0;
    TDateTime m_dtFoto = 0;
    bool m_fFotoSet = false; // m_dtFoto holds a shown moment
    std::array<TDateTime, 2> m_aTimes{};
    int m_nTimeIdx = 0;
    int FStepViewing = 0;
    std::vector<TDateTime> m_aFileFotos;
    bool m_fFreeOnClose = false;
    QString m_sShownFile;
};
