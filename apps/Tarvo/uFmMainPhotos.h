#pragma once
// The main window's photo state: the webcam, the running photo series, the archive viewer and the
// pruning of old photos. A child object of the main window, so it goes with the window, after the
// document.

#include "base/uDateTime.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class TWebCam;
class TfmVIArchiveFotoDlg;
class TfmPopupMessageDlg;

class TDeskPhotos : public QObject {
public:
    explicit TDeskPhotos(QObject* AParent);
    ~TDeskPhotos() override;

    std::unique_ptr<TWebCam> m_oWebCam;
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
