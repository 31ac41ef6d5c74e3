// The live photo dialog with the video server as its source, against the real client and vmssim: the
// caption names the camera, a frame shows at its own size with the busy bar up only while a request is
// pending, auto refresh keeps exactly one request in flight, a failure shows one error box and ends auto
// refresh, and closing breaks the request off and gives the client's live-frame handler back.

#include "apps/Tarvo/uVILiveFotoDlg.h"

#include "tests/common/DialogScript.h"
#include "tests/tarvo/ViDialogCases.h"
#include "tests/vi/ViTestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

using ViTest::cAdminMd5;
using ViTest::TVmsSim;

namespace {

const QString cLivePath = QStringLiteral("/live-video-frame.dyn");

void Configure(TVI& AVI, const TVmsSim& ASim, const QString& ACamera, const QString& ATitle = QString()) {
    AVI.SetServer(ASim.Server());
    AVI.SetLogin(QStringLiteral("admin"));
    AVI.SetPasswMd5(cAdminMd5);
    AVI.SetCurrentCamera(ACamera);
    AVI.SetCurrCamTitle(ATitle);
    AVI.SetReqTimeout(5000);
}

bool WaitWhilePending(TVI& AVI) {
    return QTest::qWaitFor([&] { return AVI.GetCmdStatus(viLiveFoto) != viPending; }, ViTest::Patience);
}

// Logs in with a camera-list request, so every live request after it is a single line at the server.
bool OpenSession(TVI& AVI) {
    AVI.SetActive(true);
    AVI.StartRefreshCameras();
    return QTest::qWaitFor([&] { return AVI.GetCmdStatus(viCameras) != viPending; }, ViTest::Patience) &&
           AVI.GetCmdStatus(viCameras) == viSuccess;
}

} // namespace

class TLiveFotoVITest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The caption is the camera's title, else its link in braces, else the dialog's own.
    void captionNamesTheCamera_data() {
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::newRow("title") << QStringLiteral("Cam 2 Id") << QStringLiteral("Kassa Käyttö 2")
                               << QStringLiteral("Kassa Käyttö 2");
        QTest::newRow("no title") << QStringLiteral("Cam 2 Id") << QString() << QStringLiteral("{Cam 2 Id}");
        QTest::newRow("nothing") << QString() << QString() << QStringLiteral("Live foto");
    }
    void captionNamesTheCamera() {
        QFETCH(QString, camera);
        QFETCH(QString, title);
        QFETCH(QString, caption);
        TVI lVI;
        lVI.SetCurrentCamera(camera);
        lVI.SetCurrCamTitle(title);
        TfmVILiveFotoDlg lDlg(nullptr);
        lDlg.SetVI(&lVI);
        lDlg.show();
        QCOMPARE(lDlg.windowTitle(), caption);
        QVERIFY(lDlg.ProgressBar1->isHidden()); // an inactive client is asked nothing
    }

    // Showing asks for the camera's frame; the busy bar is up until it arrives, then the frame shows at
    // its own size (the window follows by exactly the difference). "Refresh" asks again.
    void frameShowsAtItsOwnSize() {
        // Each answer comes late, so the pending request is there to be seen.
        TVmsSim lSim({QStringLiteral("--fault"), QStringLiteral("slow"), QStringLiteral("--delay-ms"),
                      QStringLiteral("300")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        TVI lVI;
        Configure(lVI, lSim, QStringLiteral("Cam 2 Id"));
        lVI.SetActive(true);
        TfmVILiveFotoDlg lDlg(nullptr);
        lDlg.SetVI(&lVI);
        lDlg.show();
        const QSize lChrome = lDlg.size() - lDlg.Image1->size();
        QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viPending);
        QVERIFY(lDlg.ProgressBar1->isVisible());

        QVERIFY(QTest::qWaitFor([&] { return !lDlg.Image1->pixmap().isNull(); }, ViTest::Patience));
        QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viSuccess);
        QVERIFY(!lDlg.ProgressBar1->isVisible());
        const QImage* lFrame = lVI.LiveFoto();
        QVERIFY(lFrame);
        QCOMPARE(lDlg.Image1->size(), lFrame->size());
        QCOMPARE(lDlg.size(), lFrame->size() + lChrome);
        const QImage lShown = lDlg.Image1->pixmap().toImage();
        QCOMPARE(lShown.size(), lFrame->size());
        QCOMPARE(lShown.pixel(3, 3), lFrame->pixel(3, 3));
        QVERIFY(lSim.Requests(cLivePath).last().contains(QStringLiteral("device={Cam+2+Id}")));

        const int lBefore = lSim.Requests(cLivePath).size();
        QTest::mouseClick(lDlg.btnRefresh, Qt::LeftButton);
        QVERIFY(lDlg.ProgressBar1->isVisible());
        // The bar goes when the frame has been taken over.
        QVERIFY(QTest::qWaitFor([&] { return !lDlg.ProgressBar1->isVisible(); }, ViTest::Patience));
        QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viSuccess);
        QCOMPARE(lSim.Requests(cLivePath).size(), lBefore + 1);
        lDlg.reject();
    }

    // With auto refresh each arrival starts the next request and nothing else does: at every arrival no
    // other request is pending, and the server sees one request per frame shown, none after auto
    // refresh went off.
    void autoRefreshKeepsOneRequestInFlight() {
        TVmsSim lSim({});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        TVI lVI;
        Configure(lVI, lSim, QStringLiteral("Cam 1 Id"), QStringLiteral("Entrance door 1"));
        QVERIFY(OpenSession(lVI));
        TfmVILiveFotoDlg lDlg(nullptr);
        lDlg.SetVI(&lVI);
        lDlg.SetAutoRefresh(true);
        lDlg.show();
        QVERIFY(lDlg.chkAuto->isChecked());

        constexpr int cFrames = 6;
        const TVI::TNotifyEvent lDialogs = lVI.OnLiveFotoDone();
        QVERIFY(lDialogs);
        QList<TVIStatus> lAtArrival;
        lVI.SetOnLiveFotoDone([&](TVI& AVI) {
            lAtArrival << AVI.GetCmdStatus(viLiveFoto);
            if (lAtArrival.size() == cFrames)
                QTest::mouseClick(lDlg.chkAuto, Qt::LeftButton); // off: this one is the last
            lDialogs(AVI);
        });
        QVERIFY(QTest::qWaitFor([&] { return lAtArrival.size() >= cFrames; }, ViTest::Patience));
        QVERIFY(WaitWhilePending(lVI));
        ViTest::DrainEvents();

        QCOMPARE(lAtArrival, QList<TVIStatus>(cFrames, viSuccess));
        QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viSuccess);
        QCOMPARE(lSim.Requests(cLivePath).size(), cFrames);
        QVERIFY(!lDlg.AutoRefresh());
        lDlg.reject();
    }

    // A failed request shows one error box with the client's text, auto refresh goes off and no further
    // request is started.
    void failureShowsOneBoxAndEndsAutoRefresh_data() {
        ViTest::AddFailureRows();
        QTest::newRow("unknown image") << QStringList{QStringLiteral("--fault"), QStringLiteral("wrongtype")}
                                       << QStringLiteral("Unknown image type \"image/gif\".");
    }
    void failureShowsOneBoxAndEndsAutoRefresh() {
        QFETCH(QStringList, args);
        QFETCH(QString, text);
        TVmsSim lSim(args);
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        TVI lVI;
        Configure(lVI, lSim, QStringLiteral("Cam 1 Id"));
        lVI.SetActive(true);
        TfmVILiveFotoDlg lDlg(nullptr);
        lDlg.SetVI(&lVI);
        TBoxCatcher lBoxes;
        lDlg.SetAutoRefresh(true);
        lDlg.show();
        QVERIFY(QTest::qWaitFor([&] { return !lBoxes.m_aTexts.isEmpty(); }, ViTest::Patience));
        ViTest::DrainEvents();

        QCOMPARE(lBoxes.m_aTexts, QStringList{text});
        QCOMPARE(lBoxes.m_aIcons.value(0), QMessageBox::Critical);
        QVERIFY(!lDlg.AutoRefresh());
        QVERIFY(!lDlg.chkAuto->isChecked());
        // A request started after the failure would be pending now.
        QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viFail);
        QVERIFY(!lDlg.ProgressBar1->isVisible());
        QVERIFY(lDlg.Image1->pixmap().isNull());
        lDlg.reject();
    }

    // Closing while a request is pending cancels it and puts back the handler that was there before;
    // a dialog destroyed without closing leaves no handler of its own behind either.
    void closingCancelsAndGivesTheHandlerBack_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("closed") << true;
        QTest::newRow("destroyed open") << false;
    }
    void closingCancelsAndGivesTheHandlerBack() {
        QFETCH(bool, close);
        TVmsSim lSim({QStringLiteral("--fault"), QStringLiteral("slow"), QStringLiteral("--delay-ms"),
                      QStringLiteral("20000")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        TVI lVI;
        Configure(lVI, lSim, QStringLiteral("Cam 1 Id"));
        lVI.SetActive(true);
        int lOldCalls = 0;
        lVI.SetOnLiveFotoDone([&](TVI&) { ++lOldCalls; });
        auto lDlg = std::make_unique<TfmVILiveFotoDlg>(nullptr);
        lDlg->SetVI(&lVI);
        lDlg->show();
        QVERIFY(lSim.WaitForRequests(cLivePath, 1));
        QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viPending);
        if (close) {
            lDlg->reject();
            QCOMPARE(lVI.GetCmdStatus(viLiveFoto), viCancelled);
        } else {
            lDlg.reset();
        }
        lVI.OnLiveFotoDone()(lVI);
        QCOMPARE(lOldCalls, 1);
    }

    // For the documentation, when TARVO_SCREENSHOT_DIR names a folder: the dialog showing a frame of
    // vmssim.
    void screenshot() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        QVERIFY(QDir().mkpath(lDir));
        TVmsSim lSim({});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        TVI lVI;
        Configure(lVI, lSim, QStringLiteral("Cam 3 Id"), QStringLiteral("Terrasse Süd 3"));
        lVI.SetActive(true);
        TfmVILiveFotoDlg lDlg(nullptr);
        lDlg.SetVI(&lVI);
        lDlg.show();
        QVERIFY(QTest::qWaitFor([&] { return !lDlg.Image1->pixmap().isNull(); }, ViTest::Patience));
        QVERIFY(lDlg.grab().save(lDir + QStringLiteral("/live-photo-server.png")));
        lDlg.reject();
    }
};

QTEST_MAIN(TLiveFotoVITest)
#include "test_livefotovi.moc"
