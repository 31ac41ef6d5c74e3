// The front desk with a (fake) webcam: the camera source after the settings dialog, the photo series
// at check-in and check-out under the replaceable clock, a shot that cannot be saved, the camera lost
// and back, the settings dialog's Camera page and the live photo dialog.

#include "apps/Tarvo/uDlgSettings.h"
#include "apps/Tarvo/uFmMain.h"
#include "apps/Tarvo/uVIArchiveFotoDlg.h"
#include "apps/Tarvo/uVILiveFotoDlg.h"

#include "base/uClock.h"
#include "camera/uWebCam.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uListView.h"
#include "gui/uPopupMsg.h"
#include "tests/common/FakeCam.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

const char* const cCamName = "Tarvo Test Camera";
const TOrv_KEYNUM cAnn = MakeKeyNum({0x0C, 0x0B, 0x0A});

QByteArray DataFile(int AMode, int ANumShots) {
    return QByteArray(
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
               "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication></Main>\r\n"
               "<Reader cardRegInterval=\"0\"/>\r\n"
               "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
               "</TimeZones>\r\n<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
               "</Cards>\r\n<Popup timeOut=\"60\" max=\"20\"/>\r\n<Camera source=\"1\"><WebCam camera=\"") +
           cCamName + "\" mode=\"" + QByteArray::number(AMode) + "\" numShots=\"" +
           QByteArray::number(ANumShots) + "\"/></Camera>\r\n</Tarvo>\r\n";
}

// Runs AAction, rejecting (or with AAccept accepting) the modal dialog it opens after AInspect saw it.
void WithModal(const std::function<void()>& AAction, const std::function<void(QDialog*)>& AInspect = {},
               bool AAccept = false) {
    QTimer lWatch;
    lWatch.setInterval(5);
    QObject::connect(&lWatch, &QTimer::timeout, [&] {
        if (auto* lDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            lWatch.stop();
            if (AInspect)
                AInspect(lDlg);
            if (AAccept)
                lDlg->accept();
            else
                lDlg->reject();
        }
    });
    lWatch.start();
    AAction();
}

int PopupsNamed(TfmMain& AMain, const QString& AName) {
    int lCount = 0;
    for (int i = 0; i < AMain.Popups().Count(); ++i)
        if (AMain.Popups().GetItem(i)->objectName() == AName)
            ++lCount;
    return lCount;
}

QSize JpegSize(const QString& APath) {
    QImageReader lReader(APath, "jpeg");
    return lReader.size();
}

} // namespace

class TestWebcamPhotos : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TFakeCamEnv> m_oCams;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TFixedClock> m_oClock;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    // The desk started on the data file; the camera sources applied as after the settings dialog.
    std::unique_ptr<TfmMain> StartDesk(int AMode, int ANumShots) {
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile(AMode, ANumShots));
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().Open();
        lMain->show();
        WithModal([&] { lMain->DoSettingsDlg(); });
        return lMain;
    }
    static bool WaitForFrame(TWebCam& ACam) {
        return QTest::qWaitFor([&] { return ACam.GetActive() && ACam.IsImageAvailable(); }, 10000);
    }
    QString PhotoPath(TfmMain& AMain, TDateTime ATime) const {
        return AMain.Doc().GetArchFotoPath(ATime, false);
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit());
        if (!TFakeCamEnv::PluginBuilt())
            QSKIP("the fake camera plugin is not built");
        m_oCams = std::make_unique<TFakeCamEnv>();
    }
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>();
        m_oClock = std::make_unique<TFixedClock>(MakeDateTime(2025, 1, 1, 10, 0, 0, 250), 1000);
        m_oDir = std::make_unique<TTempDir>();
        QVERIFY(m_oCams->Plug(QStringLiteral("cam1"), QLatin1String(cCamName)));
        // The provider sees the camera at its next look at the folder.
        QVERIFY(QTest::qWaitFor(
            [] {
                QStringList lNames;
                GetWebCamList(lNames);
                return lNames.contains(QLatin1String(cCamName));
            },
            10000));
    }
    void cleanup() {
        m_oCams->Unplug(QStringLiteral("cam1"));
        m_oDir.reset();
        m_oClock.reset();
        m_oLocale.reset();
    }

    // The first shot carries the event's own moment, the others the moments of their ticks.
    void seriesAtCheckInAndOut() {
        auto lMain = StartDesk(2, 3);
        TWebCam* lCam = lMain->WebCam();
        QVERIFY(lCam && lCam->GetActive());
        QCOMPARE(lCam->GetCamera(), QLatin1String(cCamName));
        QCOMPARE(lCam->GetCurrentMode(), 2);
        QVERIFY(WaitForFrame(*lCam));
        lMain->Doc().SetWebcamInterval(700);

        const TDateTime lIn = m_oClock->Get();
        lMain->HandleCard(1, cAnn);
        QVERIFY(QFile::exists(PhotoPath(*lMain, lIn)));
        QCOMPARE(JpegSize(PhotoPath(*lMain, lIn)), QSize(320, 240));
        QCOMPARE(lMain->WebcamShotsLeft(), 2);
        QVERIFY(lMain->timerShots->isActive());
        QCOMPARE(lMain->timerShots->interval(), 700);
        // The log's camera icon shows the check-in's photo.
        Q_EMIT lMain->lvLog->iconClicked(0);
        QVERIFY(lMain->ArchFotoDlg());
        QCOMPARE(lMain->ArchFotoDlg()->ShownFile(), PhotoPath(*lMain, lIn));
        QCOMPARE(lMain->ArchFotoDlg()->Image1->Picture().size(), QSize(320, 240));
        lMain->ArchFotoDlg()->close();

        m_oClock->AdvanceMs(700);
        lMain->timerShotsTimer();
        QVERIFY(QFile::exists(PhotoPath(*lMain, MakeDateTime(2025, 1, 1, 10, 0, 0, 950))));
        QCOMPARE(lMain->WebcamShotsLeft(), 1);
        QVERIFY(lMain->timerShots->isActive());
        m_oClock->AdvanceMs(700);
        lMain->timerShotsTimer();
        QVERIFY(QFile::exists(PhotoPath(*lMain, MakeDateTime(2025, 1, 1, 10, 0, 1, 650))));
        QCOMPARE(lMain->WebcamShotsLeft(), 0);
        QVERIFY(!lMain->timerShots->isActive());
        QCOMPARE(QDir(lMain->Doc().GetArchFotoDir(false)).entryList(QDir::Files).size(), 3);

        // The check-out starts its own series, replacing one still running.
        m_oClock->Set(MakeDateTime(2025, 1, 1, 10, 30, 0, 5));
        lMain->HandleCard(1, cAnn);
        QCOMPARE(lMain->Doc().Report().Count(), 1);
        QVERIFY(QFile::exists(PhotoPath(*lMain, MakeDateTime(2025, 1, 1, 10, 30, 0, 5))));
        QCOMPARE(lMain->WebcamShotsLeft(), 2);
        QCOMPARE(lMain->ShotFailures(), 0);
        // The archive folder is for its owner only.
        QCOMPARE(QFile::permissions(lMain->Doc().GetArchFotoDir(false)) &
                     (QFileDevice::ReadGroup | QFileDevice::ReadOther | QFileDevice::ExeOther),
                 QFileDevice::Permissions());
    }

    // A shot that cannot be saved is skipped and counted; the card event stays done.
    void failedShotIsSkippedAndCounted() {
        auto lMain = StartDesk(3, 1);
        QVERIFY(WaitForFrame(*lMain->WebCam()));
        m_oDir->WriteFile(QStringLiteral("Photo"), "a file where the archive folder belongs");
        lMain->HandleCard(1, cAnn);
        QCOMPARE(lMain->Doc().InUsers().Count(), 1);
        QCOMPARE(lMain->ShotFailures(), 1);
        QCOMPARE(lMain->WebcamShotsLeft(), 0);
        QFile lLog(m_oDir->FilePath(QStringLiteral("Tarvo.log")));
        QVERIFY(lLog.open(QIODevice::ReadOnly));
        const QByteArray lText = lLog.readAll();
        QVERIFY2(lText.contains("Photo of 01.01.2025 10:00:00.250 skipped (1 skipped"), lText.constData());
    }

    void cameraLostShowsOnePopupAndComesBack() {
        auto lMain = StartDesk(3, 2);
        TWebCam* lCam = lMain->WebCam();
        QVERIFY(WaitForFrame(*lCam));
        QVERIFY(m_oCams->Unplug(QStringLiteral("cam1")));
        QTRY_VERIFY_WITH_TIMEOUT(!lCam->GetActive(), 10000);
        QCOMPARE(PopupsNamed(*lMain, QStringLiteral("fmCameraLost")), 1);
        // Events go on without photos and without a second popup.
        lMain->HandleCard(1, cAnn);
        QCOMPARE(lMain->Doc().InUsers().Count(), 1);
        QVERIFY(!QFile::exists(PhotoPath(*lMain, m_oClock->Get())));
        QCOMPARE(PopupsNamed(*lMain, QStringLiteral("fmCameraLost")), 1);

        QVERIFY(m_oCams->Plug(QStringLiteral("cam1"), QLatin1String(cCamName)));
        QTRY_VERIFY_WITH_TIMEOUT(lCam->GetActive(), 10000);
        QTRY_COMPARE(PopupsNamed(*lMain, QStringLiteral("fmCameraLost")), 0);
        QVERIFY(WaitForFrame(*lCam));
        m_oClock->AdvanceMs(60000);
        lMain->HandleCard(1, cAnn);
        QVERIFY(QFile::exists(PhotoPath(*lMain, m_oClock->Get())));
    }

    // A camera name that no device has: one popup says so at once, no photos.
    void cameraNotFoundIsTold() {
        m_oCams->Unplug(QStringLiteral("cam1"));
        QVERIFY(QTest::qWaitFor(
            [] {
                QStringList lNames;
                GetWebCamList(lNames);
                return lNames.isEmpty();
            },
            10000));
        auto lMain = StartDesk(0, 2);
        QVERIFY(!lMain->WebCam()->GetActive());
        QCOMPARE(PopupsNamed(*lMain, QStringLiteral("fmCameraLost")), 1);
        lMain->HandleCard(1, cAnn);
        QVERIFY(!QFileInfo::exists(lMain->Doc().GetArchFotoDir(false)));
    }

    // Photos older than the days to keep go at start-up and when a new business day has begun.
    void oldPhotosPrunedAtStartAndNewDay() {
        QByteArray lData = DataFile(2, 1);
        lData.replace("</Camera>", "<KeepPhotos days=\"2\"/></Camera>");
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), lData);
        m_oDir->WriteFile(QStringLiteral("Photo/29122024-095959.0.jpg"), "old");  // 3 days
        m_oDir->WriteFile(QStringLiteral("Photo/31122024-120000.0.jpg"), "kept"); // within 2 days
        m_oDir->WriteFile(QStringLiteral("Photo/party.jpg"), "not an archive photo");
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().Open();
        QCOMPARE(lMain->Doc().KeepPhotoDays(), 2);
        WithModal([&] { lMain->DoSettingsDlg(); });
        const QString lPhoto = lMain->Doc().GetArchFotoDir(false);
        QCOMPARE(QDir(lPhoto).entryList(QDir::Files, QDir::Name),
                 QStringList({"31122024-120000.0.jpg", "party.jpg"}));
        QFile lLog(m_oDir->FilePath(QStringLiteral("Tarvo.log")));
        QVERIFY(lLog.open(QIODevice::ReadOnly));
        QVERIFY(lLog.readAll().contains("Photos older than 2 days deleted: 1"));

        QVERIFY(WaitForFrame(*lMain->WebCam()));
        lMain->HandleCard(1, cAnn); // the same day: nothing more goes
        QCOMPARE(QDir(lPhoto).entryList(QDir::Files).size(), 3);
        m_oClock->Set(MakeDateTime(2025, 1, 3, 12, 0, 0));
        lMain->HandleCard(1, cAnn);
        QCOMPARE(QDir(lPhoto).entryList(QDir::Files, QDir::Name),
                 QStringList({"03012025-120000.0.jpg", "party.jpg"}));
    }

    void cameraPageListsCamerasAndSizes() {
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile(-1, 3));
        Tarvo::TTarvoDoc lDoc;
        lDoc.SetFileName(lFile);
        lDoc.Open();
        TWebCam lCam;
        TfmSettingsDlg lDlg(nullptr, lDoc);
        lDlg.SetWebCam(&lCam);
        int lLiveRuns = 0;
        lDlg.FRunLiveFoto = [&](QWidget*, TWebCam& AWebCam) {
            ++lLiveRuns;
            QVERIFY(AWebCam.GetActive());
        };
        lDlg.show();
        lDlg.pcSettings->setCurrentWidget(lDlg.pcSettings->findChild<QWidget*>(QStringLiteral("tsCamera")));
        QVERIFY(lDlg.InitPages() & TfmSettingsDlg::PAGE_CAMERA);
        QCOMPARE(lDlg.pcCamSources->currentWidget(), lDlg.tsCamWeb);
        QCOMPARE(lDlg.cbCamWeb->currentText(), QLatin1String(cCamName));
        // The Webcam page switched the webcam on with the values being edited.
        QVERIFY(lCam.GetActive());
        QCOMPARE(lDlg.cbCamWeb->count(), 0); // filled when dropped down
        lDlg.cbCamWeb->showPopup();
        lDlg.cbCamWeb->hidePopup();
        QVERIFY(lDlg.cbCamWeb->findText(QLatin1String(cCamName)) >= 0);
        QCOMPARE(lDlg.cbCamWeb->currentText(), QLatin1String(cCamName));

        lDlg.cbCamWebSize->showPopup();
        lDlg.cbCamWebSize->hidePopup();
        QVERIFY(lDlg.WebcamSizesFilled());
        QCOMPARE(lDlg.cbCamWebSize->count(), lCam.GetModeList().Count());
        QCOMPARE(lDlg.cbCamWebSize->itemText(2), QStringLiteral("2 - 320x240x12 (15 fps)"));
        QCOMPARE(lDlg.cbCamWebSize->currentText(), QString()); // mode -1 shows nothing
        struct TCase {
            int m_nMode;
            int m_nMin;
        } const cCases[] = {{2, 66}, {3, 100}, {0, 33}};
        for (const TCase& lCase : cCases) {
            lDlg.cbCamWebSize->setCurrentIndex(lCase.m_nMode);
            QCOMPARE(lDlg.edtCamWebInterval->minimum(), lCase.m_nMin);
        }
        lDlg.cbCamWebSize->setEditText(QStringLiteral("garbage"));
        QCOMPARE(lDlg.edtCamWebInterval->minimum(), 10);
        lDlg.cbCamWebSize->setCurrentIndex(2);

        QTest::mouseClick(lDlg.btnCamWebFoto, Qt::LeftButton);
        QCOMPARE(lLiveRuns, 1);
        QCOMPARE(lCam.GetCurrentMode(), 2);

        // Another camera's name clears the size.
        lDlg.cbCamWeb->setEditText(QStringLiteral("Nobody's camera"));
        QCOMPARE(lDlg.cbCamWebSize->currentText(), QString());
        QVERIFY(!lDlg.WebcamSizesFilled());
        QTest::mouseClick(lDlg.btnCamWebFoto, Qt::LeftButton);
        QCOMPARE(lLiveRuns, 1); // no such camera: nothing to show
        lDlg.cbCamWeb->setEditText(QLatin1String(cCamName));
        lDlg.cbCamWebSize->setEditText(QStringLiteral("3 - whatever"));
        lDlg.edtCamWebNum->setValue(5);
        lDlg.edtKeepPhotoDays->setValue(30);

        // The video server's page shows in the webcam's place and back again.
        lDlg.findChild<QRadioButton*>(QStringLiteral("rbCamVI"))->click();
        QCOMPARE(lDlg.pcCamSources->currentWidget(), lDlg.tsCamVI);
        QVERIFY(lDlg.edtServer->isVisible());
        QVERIFY(!lDlg.cbCamWeb->isVisible());
        lDlg.findChild<QRadioButton*>(QStringLiteral("rbCamWeb"))->click();

        QVERIFY(lDlg.StoreSettings());
        QCOMPARE(lDoc.CamSource(), 1);
        QCOMPARE(lDoc.WebCamera(), QLatin1String(cCamName));
        QCOMPARE(lDoc.WebcamMode(), 3);
        QCOMPARE(lDoc.WebcamNumShots(), 5);
        QCOMPARE(lDoc.KeepPhotoDays(), 30);
        QVERIFY(!lDoc.Modifyed()); // saved
    }

    // The live view: natural size, busy bar until the first frame, refresh as frames come.
    void liveViewShowsTheFrameAtItsSize() {
        QVERIFY(m_oCams->Pause(QStringLiteral("cam1"), true));
        TWebCam lCam;
        lCam.SetCamera(QLatin1String(cCamName));
        lCam.SetCurrentMode(2);
        lCam.SetActive(true);
        QVERIFY(lCam.GetActive());
        TfmVILiveFotoDlg lDlg(nullptr);
        lDlg.SetWebCam(&lCam);
        lDlg.show();
        QCOMPARE(lDlg.objectName(), QStringLiteral("TfmVILiveFotoDlg"));
        QCOMPARE(lDlg.windowTitle(), QLatin1String(cCamName));
        QVERIFY(lDlg.ProgressBar1->isVisible());
        QVERIFY(lDlg.Timer1->isActive());
        QCOMPARE(lDlg.Timer1->interval(), 30);
        const QSize lBefore = lDlg.size();
        const QSize lImageBefore = lDlg.Image1->size();

        QVERIFY(m_oCams->Pause(QStringLiteral("cam1"), false));
        QTRY_VERIFY_WITH_TIMEOUT(!lDlg.ProgressBar1->isVisible(), 10000);
        QTRY_VERIFY(!lDlg.Image1->pixmap().isNull());
        QCOMPARE(lDlg.Image1->pixmap().size(), QSize(320, 240));
        QCOMPARE(lDlg.size(), lBefore + (QSize(320, 240) - lImageBefore));
        // Without auto refresh the timer stops after the first frame.
        QTRY_VERIFY(!lDlg.Timer1->isActive());
        const std::int32_t lShown = lDlg.Counter();
        QVERIFY(QTest::qWaitFor([&] { return lCam.GetImageCounter() > lShown; }, 5000));
        QTest::mouseClick(lDlg.btnRefresh, Qt::LeftButton);
        QVERIFY(lDlg.Counter() > lShown);

        QTest::mouseClick(lDlg.chkAuto, Qt::LeftButton);
        QVERIFY(lDlg.AutoRefresh());
        QVERIFY(lDlg.Timer1->isActive());
        const std::int32_t lAt = lDlg.Counter();
        QTRY_VERIFY_WITH_TIMEOUT(lDlg.Counter() > lAt, 5000);
        QTest::mouseClick(lDlg.chkAuto, Qt::LeftButton);
        QVERIFY(!lDlg.Timer1->isActive());
        lDlg.reject();
        QVERIFY(!lDlg.Timer1->isActive());
    }

    // Writes the pictures for the documentation when TARVO_SCREENSHOT_DIR names a folder: the Camera
    // page, the live view and the archive viewer on a check-in's photo.
    void screenshots() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        auto save = [&](QWidget& AWindow, const char* AName) {
            QCoreApplication::processEvents();
            QVERIFY(AWindow.grab().save(QDir(lDir).filePath(QLatin1String(AName))));
        };
        auto lMain = StartDesk(0, 1);
        TWebCam* lCam = lMain->WebCam();
        QVERIFY(WaitForFrame(*lCam));
        lMain->HandleCard(1, cAnn);
        Q_EMIT lMain->lvLog->iconClicked(0);
        QVERIFY(lMain->ArchFotoDlg());
        lMain->ArchFotoDlg()->resize(680, 560);
        QTest::qWait(50);
        save(*lMain->ArchFotoDlg(), "archive-photo.png");
        lMain->ArchFotoDlg()->close();

        TfmSettingsDlg lDlg(nullptr, lMain->Doc());
        lDlg.SetWebCam(lCam);
        lDlg.show();
        lDlg.pcSettings->setCurrentWidget(lDlg.pcSettings->findChild<QWidget*>(QStringLiteral("tsCamera")));
        lDlg.FillWebcamCameras();
        lDlg.FillWebcamSizes();
        save(lDlg, "settings-webcam.png");
        lDlg.reject();

        TfmVILiveFotoDlg lLive(nullptr);
        lLive.SetWebCam(lCam);
        lLive.show();
        QTRY_VERIFY_WITH_TIMEOUT(!lLive.Image1->pixmap().isNull(), 10000);
        save(lLive, "live-photo.png");
    }
};

QTEST_MAIN(TestWebcamPhotos)
#include "test_webcamphotos.moc"
