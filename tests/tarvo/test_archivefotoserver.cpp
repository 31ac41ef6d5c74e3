// The archive photo viewer with the desk's video-server client, against vmssim: the caption from the
// camera, the scroll range around the moment, the frame of the moment asked for in UTC milliseconds
// and shown when it arrives, one request per timer tick while the bar is dragged, the busy bar while
// a frame is awaited, one failure box per failed request, the client's handler given back on close;
// and how the main window brings its client in line with the document's camera sources.

#include "apps/Tarvo/uFmMain.h"
#include "apps/Tarvo/uFmMainPhotos.h"
#include "apps/Tarvo/uVIArchiveFotoDlg.h"

#include "base/uClock.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uListView.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"
#include "tests/vi/ViTestSupport.h"

#include <QDateTime>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

#include <memory>

using Tarvo::TTarvoDoc;
using ViTest::TVmsSim;

namespace {

const char* const cArchivePath = "/archive-video-frame.dyn";

TDateTime At(int AHour, int AMin, int ASec, int AMSec = 0) {
    return MakeDateTime(2025, 1, 1, AHour, AMin, ASec, AMSec);
}

// The milliseconds vmssim is asked for: the local moment at UTC+3 (the tests' zone) plus 5 s offset.
qint64 ServerMs(int AHour, int AMin, int ASec, int AMSec = 0) {
    return QDateTime(QDate(2025, 1, 1), QTime(AHour, AMin, ASec, AMSec), QTimeZone::utc())
               .addSecs(-3 * 3600 + 5)
               .toMSecsSinceEpoch();
}

// The ts value of an archive request line ("... query=device={..}&ts=N&time=N..."); -1 without one.
qint64 RequestedMs(const QString& ALine) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("[?&=]ts=(\\d+)&time=(\\d+)")).match(ALine);
    if (!m.hasMatch() || m.captured(1) != m.captured(2))
        return -1;
    return m.captured(1).toLongLong();
}

QByteArray DataFile(int APort, const QString& AMd5) {
    return QStringLiteral("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
                          "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication></Main>\r\n"
                          "<Reader cardRegInterval=\"0\"/>\r\n"
                          "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
                          "minCost=\"1\"/></TimeZones>\r\n"
                          "<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n</Cards>\r\n"
                          "<Camera source=\"2\"><VI server=\"http://127.0.0.1:%1\" login=\"admin\" "
                          "passwmd5=\"%2\" camera=\"Cam 2 Id\" cameraTitle=\"Kassa\" timeOffs=\"5\" "
                          "stepViewing=\"100\" reqTimeOut=\"5000\"/></Camera>\r\n"
                          "<Popup timeOut=\"60\" max=\"20\"/>\r\n</Tarvo>\r\n")
        .arg(APort)
        .arg(AMd5)
        .toUtf8();
}

} // namespace

class TestArchiveFotoServer : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    QTemporaryDir m_oBus;
    std::unique_ptr<TEnvOverride> m_oTz;
    std::unique_ptr<TVmsSim> m_oSim;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TTarvoDoc> m_pDoc;
    std::unique_ptr<TLocaleOverride> m_oLocale;
    std::unique_ptr<TVI> m_oVI;
    int m_nOldHandlerCalls = 0;

    void Control(const char* AFault) {
        QVERIFY(m_oSim->Control(std::string("/sim/fault?name=") + AFault));
    }
    std::unique_ptr<TfmVIArchiveFotoDlg> NewViewer() {
        auto lDlg = std::make_unique<TfmVIArchiveFotoDlg>(nullptr, *m_pDoc, m_oVI.get());
        lDlg->show();
        return lDlg;
    }
    // The archive requests made, each once: the first of a session is sent twice, logging in and
    // then again with the session's cookie.
    QStringList ArchiveRequests() {
        QStringList lOut;
        for (const QString& lLine : m_oSim->Requests(QLatin1String(cArchivePath)))
            if (lLine.contains(QLatin1String("cookie=\"WSID=")))
                lOut << lLine;
        return lOut;
    }
    // Waits until the client has nothing pending and the viewer has taken the outcome.
    static bool Settled(TfmVIArchiveFotoDlg& ADlg) {
        return ViTest::WaitUntil([&] {
            return ADlg.VI()->GetCmdStatus(viArhFoto) != viPending && !ADlg.ProgressBar1->isVisible();
        });
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit());
        qputenv("ORV_SIM_BUS", m_oBus.path().toLocal8Bit());
        m_oTz = std::make_unique<TEnvOverride>("TZ", "Etc/GMT-3");
        m_oSim = std::make_unique<TVmsSim>(QStringList{QStringLiteral("--password"), QStringLiteral("pw"),
                                                       QStringLiteral("--cameras"), QStringLiteral("3"),
                                                       QStringLiteral("--delay-ms"), QStringLiteral("1500")});
        QVERIFY2(m_oSim->Port() > 0, m_oSim->Errors().c_str());
    }
    void cleanupTestCase() {
        m_oSim.reset();
        m_oTz.reset();
    }
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>();
        m_oDir = std::make_unique<TTempDir>();
        m_pDoc = std::make_unique<TTarvoDoc>();
        m_pDoc->SetFileName(m_oDir->FilePath(QStringLiteral("Tarvo.xml")));
        m_pDoc->SetDefaults();
        m_oVI = std::make_unique<TVI>();
        m_oVI->SetServer(m_oSim->Server());
        m_oVI->SetLogin(QStringLiteral("admin"));
        m_oVI->SetPasswMd5(ViTest::Md5("pw"));
        m_oVI->SetCurrentCamera(QStringLiteral("Cam 2 Id"));
        m_oVI->SetCurrCamTitle(QStringLiteral("Kassa"));
        m_oVI->SetTimeOffs(5);
        m_oVI->SetReqTimeout(5000);
        m_oVI->SetActive(true);
        m_nOldHandlerCalls = 0;
        m_oVI->SetOnArchiveFotoDone([this](TVI&) { ++m_nOldHandlerCalls; });
        Control("none");
    }
    void cleanup() {
        m_oVI.reset();
        m_pDoc.reset();
        m_oDir.reset();
        m_oLocale.reset();
    }

    void captionAndScrollRangeFromTheClient_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("half");
        QTest::newRow("title, 100 ms") << "Kassa" << 100 << "Kassa [01.01.2025 10:00:00 / 10:30:00]" << 600;
        QTest::newRow("no title, 250 ms") << "" << 250 << "{Cam 2 Id} [01.01.2025 10:00:00 / 10:30:00]" << 240;
        QTest::newRow("step 0 counts as 100") << "Kassa" << 0 << "Kassa [01.01.2025 10:00:00 / 10:30:00]" << 600;
        QTest::newRow("negative step") << "Kassa" << -5 << "Kassa [01.01.2025 10:00:00 / 10:30:00]" << 600;
    }
    void captionAndScrollRangeFromTheClient() {
        QFETCH(QString, title);
        QFETCH(int, step);
        QFETCH(QString, caption);
        QFETCH(int, half);
        m_oVI->SetCurrCamTitle(title);
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, step);
        QCOMPARE(lDlg->windowTitle(), caption);
        QVERIFY(lDlg->ScrollBar1->isVisible());
        QCOMPARE(lDlg->ScrollBar1->minimum(), -half);
        QCOMPARE(lDlg->ScrollBar1->maximum(), half);
        QCOMPARE(lDlg->ScrollBar1->value(), 0);
        QVERIFY(Settled(*lDlg));
    }

    void theMomentsFrameIsAskedForAndShown() {
        auto lDlg = NewViewer();
        const int lBefore = ArchiveRequests().size();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, 100);
        // Awaited: the busy bar runs, nothing is shown yet.
        QVERIFY(lDlg->ProgressBar1->isVisible());
        QVERIFY(lDlg->Image1->Picture().isNull());
        QVERIFY(lDlg->btnIn->isChecked());
        QCOMPARE(lDlg->labTime->text(), QStringLiteral("01.01.2025 10:00:00.000"));
        QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Image1->Picture().isNull(); }));
        QVERIFY(!lDlg->ProgressBar1->isVisible());
        QCOMPARE(lDlg->Image1->Picture().size(), m_oVI->ArchiveFoto()->size());
        QVERIFY(lDlg->ShownFile().isEmpty());
        const QStringList lRequests = ArchiveRequests().mid(lBefore);
        QCOMPARE(lRequests.size(), 1);
        QCOMPARE(RequestedMs(lRequests[0]), ServerMs(10, 0, 0));
        QVERIFY2(lRequests[0].contains(QLatin1String("device={Cam+2+Id}")), qPrintable(lRequests[0]));
        // The viewer had the client's event; the handler in place before never heard of the frame.
        QCOMPARE(m_nOldHandlerCalls, 0);

        // The Out button asks for the check-out's frame; In again for the check-in's.
        QTest::mouseClick(lDlg->btnOut, Qt::LeftButton);
        QVERIFY(lDlg->btnOut->isChecked() && !lDlg->btnIn->isChecked());
        QVERIFY(Settled(*lDlg));
        QCOMPARE(RequestedMs(ArchiveRequests().last()), ServerMs(10, 30, 0));
        QCOMPARE(m_oVI->CurrArhFotoDate(), At(10, 30, 0));

        // The viewer used again for the same moment shows the frame it has without asking again.
        const int lAsked = ArchiveRequests().size();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 1, 100);
        QVERIFY(!lDlg->Image1->Picture().isNull());
        QVERIFY(!lDlg->ProgressBar1->isVisible());
        ViTest::DrainEvents();
        QCOMPARE(ArchiveRequests().size(), lAsked);

        // Closed, it gives the client its handler back.
        lDlg->close();
        QCOMPARE(m_oVI->GetCmdStatus(viArhFoto), viCancelled);
        m_oVI->StartRefreshArhiveFoto();
        QVERIFY(ViTest::WaitUntil([&] { return m_nOldHandlerCalls == 1; }));
    }

    // Dragging moves the moment by the step per position from where the last tick left it; positions
    // passed before a tick give no request of their own.
    void draggingAsksOncePerTick() {
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, 100);
        QVERIFY(Settled(*lDlg));
        const int lBefore = ArchiveRequests().size();
        struct TStep {
            QList<int> m_aPositions; // positions passed before one tick
            TDateTime m_dtShown;
            const char* m_sLabel;
            qint64 m_nMs;
        } const cSteps[] = {
            {{10, 20, 30}, At(10, 0, 3), "01.01.2025 10:00:03.000", ServerMs(10, 0, 3)},
            {{25, -40}, At(9, 59, 56), "01.01.2025 09:59:56.000", ServerMs(9, 59, 56)},
            {{-41}, At(9, 59, 55, 900), "01.01.2025 09:59:55.900", ServerMs(9, 59, 55, 900)},
        };
        int lExpected = lBefore;
        for (const TStep& lStep : cSteps) {
            for (int lPos : lStep.m_aPositions) {
                lDlg->ScrollBar1->setValue(lPos);
                QVERIFY(lDlg->Timer1->isActive());
            }
            QCOMPARE(ArchiveRequests().size(), lExpected); // nothing before the tick
            QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Timer1->isActive(); }));
            ++lExpected;
            QVERIFY(ViTest::WaitUntil([&] { return ArchiveRequests().size() >= lExpected; }));
            QVERIFY(Settled(*lDlg));
            QCOMPARE(ArchiveRequests().size(), lExpected);
            QCOMPARE(RequestedMs(ArchiveRequests().last()), lStep.m_nMs);
            QCOMPARE(lDlg->FotoDateTime(), lStep.m_dtShown);
            QCOMPARE(lDlg->labTime->text(), QString::fromLatin1(lStep.m_sLabel));
            QCOMPARE(m_oVI->CurrArhFotoDate(), lStep.m_dtShown);
        }
        // Back and forth to where the last tick was: the moment stays, nothing is asked.
        lDlg->ScrollBar1->setValue(-30);
        lDlg->ScrollBar1->setValue(-41);
        QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Timer1->isActive(); }));
        ViTest::DrainEvents();
        QCOMPARE(ArchiveRequests().size(), lExpected);
        QVERIFY(!lDlg->ProgressBar1->isVisible());
    }

    void eachFailedRequestIsToldOnce() {
        Control("500");
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, 100);
        QVERIFY(ViTest::WaitUntil([&] { return lDlg->FailureBox() != nullptr; }));
        QCOMPARE(lDlg->FailureBox()->text(), QStringLiteral("Http error #500."));
        QCOMPARE(lDlg->FailureBox()->icon(), QMessageBox::Critical);
        QVERIFY(!lDlg->ProgressBar1->isVisible());
        QVERIFY(lDlg->Image1->Picture().isNull());
        lDlg->FailureBox()->close();
        QVERIFY(ViTest::WaitUntil([&] { return lDlg->FailureBox() == nullptr; }));
        ViTest::DrainEvents();
        QVERIFY(lDlg->FailureBox() == nullptr);
        QCOMPARE(lDlg->findChildren<QMessageBox*>().size(), 0);

        // A second failed request: a box of its own, with the client's text.
        Control("404");
        QTest::mouseClick(lDlg->btnOut, Qt::LeftButton);
        QVERIFY(ViTest::WaitUntil([&] { return lDlg->FailureBox() != nullptr; }));
        QCOMPARE(lDlg->FailureBox()->text(), QStringLiteral("Http error #404."));
        QCOMPARE(lDlg->findChildren<QMessageBox*>().size(), 1);

        // The server is back; a new click on the visit asks again for the moment that failed.
        Control("none");
        const int lBefore = ArchiveRequests().size();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 1, 100);
        QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Image1->Picture().isNull(); }));
        QCOMPARE(ArchiveRequests().size(), lBefore + 1);
        QCOMPARE(RequestedMs(ArchiveRequests().last()), ServerMs(10, 30, 0));
        // The box of the earlier failure is the operator's to close.
        QCOMPARE(lDlg->findChildren<QMessageBox*>().size(), 1);
    }

    // A slow answer keeps the busy bar running; closing the viewer breaks the request off and gives
    // the handler back, so the late answer reaches nobody.
    void closingWhileAwaitedBreaksOff() {
        Control("slow");
        auto lDlg = NewViewer();
        const int lBefore = ArchiveRequests().size();
        lDlg->SetParameters(At(10, 0, 0), 0, 0, 100);
        QVERIFY(ViTest::WaitUntil([&] { return ArchiveRequests().size() >= lBefore + 1; }));
        QVERIFY(lDlg->ProgressBar1->isVisible());
        QCOMPARE(m_oVI->GetCmdStatus(viArhFoto), viPending);
        QVERIFY(!lDlg->btnOut->isEnabled());
        lDlg->close();
        QCOMPARE(m_oVI->GetCmdStatus(viArhFoto), viCancelled);
        ViTest::DrainEvents();
        QVERIFY(lDlg->Image1->Picture().isNull());
        QCOMPARE(m_nOldHandlerCalls, 0);
        QVERIFY(lDlg->FailureBox() == nullptr);
    }

    // A viewer freed without being closed (with its owner) also gives the handler back.
    void freedViewerLeavesNoHandlerBehind() {
        {
            auto lDlg = NewViewer();
            lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, 100);
            QVERIFY(Settled(*lDlg));
        }
        m_oVI->SetNewArhFotoDate(At(10, 0, 1));
        m_oVI->StartRefreshArhiveFoto();
        QVERIFY(ViTest::WaitUntil([&] { return m_nOldHandlerCalls == 1; }));
    }

    // Which document changes end the session (the next request logs in again), which are taken by
    // the running client, and when the client runs at all.
    void cameraSourcesApplied() {
        const QString lMd5 = ViTest::Md5("pw");
        TVmsSim lOther({QStringLiteral("--password"), QStringLiteral("pw")});
        QVERIFY(lOther.Port() > 0);
        TVmsSim* lSim = m_oSim.get();
        m_oVI = std::make_unique<TVI>();
        TVI& lVI = *m_oVI;
        struct TRow {
            const char* m_sName;
            std::function<void(TTarvoDoc&)> m_fChange;
            bool m_fActive;
            bool m_fNewSession;
        } const cRows[] = {
            {"first wanted", [](TTarvoDoc&) {}, true, true},
            {"nothing changed", [](TTarvoDoc&) {}, true, false},
            {"camera", [](TTarvoDoc& d) { d.SetVICamera(QStringLiteral("Cam 3 Id")); }, true, false},
            {"title", [](TTarvoDoc& d) { d.SetVICameraTitle(QStringLiteral("Door")); }, true, false},
            {"time offset", [](TTarvoDoc& d) { d.SetVITimeOffs(-7); }, true, false},
            {"request time-out", [](TTarvoDoc& d) { d.SetVIReqTimeOut(7000); }, true, false},
            {"step", [](TTarvoDoc& d) { d.SetVIStepViewing(40); }, true, false},
            {"server", [&](TTarvoDoc& d) { d.SetVIServer(lOther.Server()); }, true, true},
            {"same server", [](TTarvoDoc&) {}, true, false},
            {"login", [](TTarvoDoc& d) { d.SetVILogin(QStringLiteral("Admin")); }, true, true},
            {"login back", [](TTarvoDoc& d) { d.SetVILogin(QStringLiteral("admin")); }, true, true},
            {"password digest", [](TTarvoDoc& d) { d.SetVIPasswMd5(ViTest::Md5("pw").toLower()); }, true, true},
            {"webcam source", [](TTarvoDoc& d) { d.SetCamSource(1); }, false, false},
            {"server source again", [](TTarvoDoc& d) { d.SetCamSource(2); }, true, true},
            {"no login", [](TTarvoDoc& d) { d.SetVILogin(QString()); }, false, false},
            {"login again", [](TTarvoDoc& d) { d.SetVILogin(QStringLiteral("admin")); }, true, true},
            {"no digest", [](TTarvoDoc& d) { d.SetVIPasswMd5(QString()); }, false, false},
            {"digest again", [&](TTarvoDoc& d) { d.SetVIPasswMd5(lMd5); }, true, true},
            {"no server", [](TTarvoDoc& d) { d.SetVIServer(QString()); }, false, false},
            {"no photos", [](TTarvoDoc& d) { d.SetCamSource(0); }, false, false},
        };
        m_pDoc->SetCamSource(2);
        m_pDoc->SetVIServer(m_oSim->Server());
        m_pDoc->SetVILogin(QStringLiteral("admin"));
        m_pDoc->SetVIPasswMd5(lMd5);
        m_pDoc->SetVICamera(QStringLiteral("Cam 1 Id"));
        for (const TRow& lRow : cRows) {
            lRow.m_fChange(*m_pDoc);
            ApplyVideoServer(lVI, *m_pDoc);
            QCOMPARE(VideoServerWanted(*m_pDoc), lRow.m_fActive);
            QVERIFY2(lVI.Active() == lRow.m_fActive, lRow.m_sName);
            QCOMPARE(lVI.CurrentCamera(), m_pDoc->VICamera());
            QCOMPARE(lVI.CurrCamTitle(), m_pDoc->VICameraTitle());
            QCOMPARE(lVI.TimeOffs(), m_pDoc->VITimeOffs());
            QCOMPARE(lVI.ReqTimeout(), m_pDoc->VIReqTimeOut());
            if (!lRow.m_fActive)
                continue;
            QCOMPARE(lVI.Server(), m_pDoc->VIServer());
            QCOMPARE(lVI.Login(), m_pDoc->VILogin());
            QCOMPARE(lVI.PasswMd5(), m_pDoc->VIPasswMd5());
            TVmsSim& lAsked = lVI.Server() == lOther.Server() ? lOther : *lSim;
            const int lBefore = lAsked.Requests(QStringLiteral("/api-json.dyn")).size();
            lVI.StartRefreshCameras();
            QVERIFY(ViTest::WaitUntil([&] { return lVI.GetCmdStatus(viCameras) != viPending; }));
            const QStringList lNew = lAsked.Requests(QStringLiteral("/api-json.dyn")).mid(lBefore);
            QVERIFY2(!lNew.isEmpty(), lRow.m_sName);
            const QString lLogin = QStringLiteral("u=%1&p=%2").arg(lVI.Login(), lVI.PasswMd5());
            QVERIFY2(lNew.first().contains(lLogin) == lRow.m_fNewSession,
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(lRow.m_sName), lNew.first())));
        }
    }

    // The main window: its client follows the data file at start-up, the camera icon of a log row
    // opens the viewer with that client, and the window goes with its client and viewer cleanly.
    void mainWindowUsesItsClientForTheViewer() {
        const QString lFile =
            m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile(m_oSim->Port(), ViTest::Md5("pw")));
        TFixedClock lClock(MakeDateTime(2025, 1, 1, 10, 0, 0, 0), 1000);
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        TVI* lVI = lMain->VI();
        QVERIFY(lVI && !lVI->Active());
        TBoxCatcher lBoxes; // no reader is configured
        QVERIFY(lMain->DeferredStartup());
        QVERIFY(lVI->Active());
        QCOMPARE(lVI->CurrentCamera(), QStringLiteral("Cam 2 Id"));
        QCOMPARE(lVI->TimeOffs(), 5);
        lMain->show();
        lMain->pcMain->setCurrentWidget(lMain->tsLog);
        lMain->HandleCard(1, MakeKeyNum({0x0C, 0x0B, 0x0A}));
        const int lBefore = ArchiveRequests().size();
        Q_EMIT lMain->lvLog->iconClicked(0);
        TfmVIArchiveFotoDlg* lDlg = lMain->ArchFotoDlg();
        QVERIFY(lDlg && lDlg->isVisible());
        QCOMPARE(lDlg->VI(), lVI);
        QCOMPARE(lDlg->windowTitle(), QStringLiteral("Kassa [01.01.2025 10:00:00 / -]"));
        QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Image1->Picture().isNull(); }));
        QCOMPARE(ArchiveRequests().size(), lBefore + 1);
        QCOMPARE(RequestedMs(ArchiveRequests().last()), ServerMs(10, 0, 0));
        // Freed with the window while open, and while the client is busy.
        Control("slow");
        QTest::mouseClick(lDlg->btnIn, Qt::LeftButton); // the moment on screen: nothing asked
        lDlg->ScrollBar1->setValue(5);
        QVERIFY(ViTest::WaitUntil([&] { return lVI->GetCmdStatus(viArhFoto) == viPending; }));
        QPointer<TfmVIArchiveFotoDlg> lGuard = lDlg;
        lMain.reset();
        QVERIFY(lGuard.isNull());
    }

    // Writes the picture of the viewer on a server frame for the documentation when
    // TARVO_SCREENSHOT_DIR names a folder.
    void screenshotForTheDocs() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        m_pDoc->SetArchScale(TfmVIArchiveFotoDlg::SCALE_ORIGINAL);
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, 100);
        QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Image1->Picture().isNull(); }));
        lDlg->ScrollBar1->setValue(25);
        QVERIFY(ViTest::WaitUntil([&] { return !lDlg->Timer1->isActive(); }));
        QVERIFY(Settled(*lDlg));
        QVERIFY(lDlg->grab().save(lDir + QStringLiteral("/archive-photo-server.png")));
    }

    // Without a connected client the main window's viewer shows files.
    void mainWindowWithoutServerShowsFiles() {
        const QString lFile = m_oDir->WriteFile(
            QStringLiteral("Tarvo.xml"),
            DataFile(m_oSim->Port(), ViTest::Md5("pw")).replace("source=\"2\"", "source=\"0\""));
        TFixedClock lClock(MakeDateTime(2025, 1, 1, 10, 0, 0, 0), 1000);
        TfmMain lMain(lFile, false);
        TBoxCatcher lBoxes;
        QVERIFY(lMain.DeferredStartup());
        QVERIFY(!lMain.VI()->Active());
        lMain.show();
        lMain.pcMain->setCurrentWidget(lMain.tsLog);
        lMain.HandleCard(1, MakeKeyNum({0x0C, 0x0B, 0x0A}));
        Q_EMIT lMain.lvLog->iconClicked(0);
        QVERIFY(lMain.ArchFotoDlg());
        QVERIFY(lMain.ArchFotoDlg()->VI() == nullptr);
        QCOMPARE(lMain.ArchFotoDlg()->windowTitle(), QStringLiteral("Archive photo [01.01.2025 10:00:00 / -]"));
        lMain.ArchFotoDlg()->close();
    }
};

QTEST_MAIN(TestArchiveFotoServer)
#include "test_archivefotoserver.moc"
