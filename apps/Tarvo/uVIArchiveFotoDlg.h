#pragma once
// The archive photo viewer: the photos of one visit from the photo archive. Opened from the camera
// icon of a log or report row with the visit's check-in and check-out moments; the In and Out buttons
// switch between the two, the scroll bar browses every photo of the archive. A moment without a
// photo of its own second shows "No photo". The image's context menu chooses between the photo's
// original size (the window grows to show it whole) and fitting it into the window; the choice and
// the window's place are kept in the document (ArchScale, ArchWinPos).

#include "base/uDateTime.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <array>
#include <vector>

class QAction;
class QLabel;
class QMenu;
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

    TfmVIArchiveFotoDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc);
    ~TfmVIArchiveFotoDlg() override;

    // Prepares the viewer for a visit (0 = moment unknown) and shows the moment ATimeIdx (0 check-in,
    // 1 check-out). AStepViewing is the step of the video server's archive, unused for files.
    void SetParameters(TDateTime ATimeIn, TDateTime ATimeOut, int ATimeIdx, int AStepViewing);
    // Shows the photo for a moment: the archive's photo nearest to it within its second.
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

    Tarvo::TTarvoDoc* FDoc;
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
