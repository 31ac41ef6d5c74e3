#pragma once
// The main window's photo state: the webcam, the video-server client, the running photo series, the
// archive viewer and the pruning of old photos. A child object of the main window, so it goes with the
// window, after the document; the video client goes before the webcam.

#include "base/uDateTime.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class TVI;
class TWebCam;
class TfmVIArchiveFotoDlg;
class TfmPopupMessageDlg;
namespace Tarvo {
class TTarvoDoc;
}

// The video server is the photo source: CamSource 2 with server, login and password digest given.
bool VideoServerWanted(const Tarvo::TTarvoDoc& ADoc);
// Brings the client in line with the document's video-server settings: a new server, login or digest
// ends the session first (only while wanted); camera, its title, the time offset and the request
// time-out are taken as they are; active exactly when wanted.
void ApplyVideoServer(TVI& AVI, const Tarvo::TTarvoDoc& ADoc);

class TDeskPhotos : public QObject {
public:
    explicit TDeskPhotos(QObject* AParent);
    ~TDeskPhotos() override;

    std::unique_ptr<TWebCam> m_oWebCam;
    std::unique_ptr<TVI> m_oVI; // after the webcam: freed before it
    int m_nWebcamShots = 0;   // shots still to take in the current series
    int m_nShotFailures = 0;  // shots that could not be saved since the start
    int m_nShotsSaved = 0;    // shots saved since the start
    QString m_sLastShotError; // why the last failed shot failed
    bool m_fCameraLostShown = false;
    TDate m_dtPrunedDay = 0; // business day of the last pruning
    int m_nPrunedDays = 0;   // the days to keep it pruned with
    QPointer<TfmVIArchiveFotoDlg> m_pArchFotoDlg;
    QPointer<TfmPopupMessageDlg> m_pLostPopup;
};
