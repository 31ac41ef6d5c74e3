// The settings dialog's VI page against the real video-server client and vmssim: "Refresh" logs in with
// the page's values and lists the server's cameras as "link   // title", a failed refresh shows one
// error box with the client's text, only the password's MD5 is stored and an untouched password field
// keeps the stored hash, OK stores every VI setting, values the controls cannot show survive, closing
// breaks the client's requests off and gives its cameras-done handler back, and "Foto..." hands the
// configured client to the live photo dialog.

#include "apps/Tarvo/uDlgSettings.h"

#include "frontdesk/uTarvoDoc.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"
#include "tests/tarvo/SettingsDocFile.h"
#include "tests/tarvo/ViDialogCases.h"
#include "tests/vi/ViTestSupport.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

#include <climits>
#include <memory>

using namespace Tarvo;
using ViTest::cAdminMd5;
using ViTest::TVmsSim;

namespace {

enum { PAGE_CAMERA = 3 };
const QString cSep = QStringLiteral("   // ");

// The cameras vmssim serves, in the order of its device tree.
struct TSimCamera {
    const char* m_sLink;
    const char* m_sTitle; // UTF-8
};
const TSimCamera cSimCameras[] = {{"Cam 1 Id", "Entrance door 1"},
                                  {"Cam 2 Id", "Kassa Käyttö 2"},
                                  {"Cam 3 Id", "Terrasse Süd 3"},
                                  {"Cam 4 Id", "Sali Öljy 4"},
                                  {"Cam 5 Id", "Back yard 5"}};

// Key presses carrying AText's characters, beyond ASCII too.
void TypeChars(QWidget* AWidget, const QString& AText) {
    for (const QChar lChar : AText) {
        QKeyEvent lPress(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(lChar));
        QApplication::sendEvent(AWidget, &lPress);
        QKeyEvent lRelease(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(lChar));
        QApplication::sendEvent(AWidget, &lRelease);
    }
}

void TypeText(QLineEdit* AEdit, const QString& AText) {
    AEdit->setFocus();
    AEdit->selectAll();
    QTest::keyClick(AEdit, Qt::Key_Backspace);
    TypeChars(AEdit, AText);
}

void TypeValue(QSpinBox* ASpin, int AValue) {
    ASpin->setFocus();
    ASpin->selectAll();
    QTest::keyClicks(ASpin, QString::number(AValue));
    QTest::keyClick(ASpin, Qt::Key_Tab);
}

} // namespace

class TSettingsVITest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TSettingsDocFile> m_pFile;
    std::unique_ptr<TLocaleOverride> m_pLocale;
    std::unique_ptr<TTarvoDoc> m_pDoc;

    QString DataFile() const { return m_pFile->DataFile(); }
    std::unique_ptr<TTarvoDoc> OpenDoc() const { return m_pFile->OpenDoc(); }
    // Writes the data file with the video server as the photo source and ASetup's settings, and opens
    // it as the program does at start.
    template <class TSetup> void StartWith(TSetup ASetup) {
        m_pDoc = m_pFile->Reopened([&](TTarvoDoc& ADoc) {
            ADoc.SetCamSource(2);
            ADoc.SetVILogin(QStringLiteral("admin"));
            ADoc.SetVIPasswMd5(cAdminMd5);
            ADoc.SetVIStepViewing(100);
            ASetup(ADoc);
        });
        QVERIFY(!m_pDoc->Modifyed());
    }
    static void ShowVIPage(TfmSettingsDlg& ADlg) {
        ADlg.show();
        ADlg.pcSettings->setCurrentIndex(PAGE_CAMERA);
        QVERIFY(ADlg.edtServer->isVisible());
    }
    static bool WaitWhilePending(TVI& AVI, TVICmdKind AKind) {
        return QTest::qWaitFor([&] { return AVI.GetCmdStatus(AKind) != viPending; }, ViTest::Patience);
    }

private Q_SLOTS:
    void init() {
        m_pFile = std::make_unique<TSettingsDocFile>();
        m_pLocale = std::make_unique<TLocaleOverride>(); // 8-bit code page CP1252
    }
    void cleanup() {
        m_pDoc.reset();
        m_pLocale.reset();
        m_pFile.reset();
    }

    // "Refresh" switches the client on with the page's server and login, lists every camera with its
    // title (blanks and letters beyond ASCII) and selects the stored one; choosing another entry and
    // OK store its link and title.
    void refreshListsTheServersCameras() {
        TVmsSim lSim({QStringLiteral("--cameras"), QStringLiteral("5")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        StartWith([&](TTarvoDoc& ADoc) {
            ADoc.SetVIServer(lSim.Server());
            ADoc.SetVICamera(QStringLiteral("Cam 3 Id"));
            ADoc.SetVICameraTitle(QStringLiteral("Old title"));
        });
        TVI lVI;
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.SetVI(&lVI);
        ShowVIPage(lDlg);
        QCOMPARE(lDlg.cbCamera->count(), 0); // the client has listed nothing yet
        QCOMPARE(lDlg.cbCamera->currentText(), QStringLiteral("Cam 3 Id") + cSep + QStringLiteral("Old title"));
        QVERIFY(!lVI.Active());

        QTest::mouseClick(lDlg.btnCamVIRefresh, Qt::LeftButton);
        QVERIFY(lVI.Active());
        QCOMPARE(lVI.Server(), lSim.Server());
        QCOMPARE(lVI.PasswMd5(), cAdminMd5);
        QVERIFY(QTest::qWaitFor([&] { return lDlg.cbCamera->count() > 0; }, ViTest::Patience));
        QCOMPARE(lVI.GetCmdStatus(viCameras), viSuccess);
        QCOMPARE(lDlg.cbCamera->count(), int(std::size(cSimCameras)));
        for (int i = 0; i < lDlg.cbCamera->count(); ++i)
            QCOMPARE(lDlg.cbCamera->itemText(i), QString::fromUtf8(cSimCameras[i].m_sLink) + cSep +
                                                     QString::fromUtf8(cSimCameras[i].m_sTitle));
        QCOMPARE(lDlg.cbCamera->currentIndex(), 2);
        QCOMPARE(lDlg.cbCamera->currentText(), lDlg.cbCamera->itemText(2));

        lDlg.cbCamera->setFocus();
        QTest::keyClick(lDlg.cbCamera, Qt::Key_Down);
        QCOMPARE(lDlg.cbCamera->currentIndex(), 3);
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QVERIFY(!lDlg.isVisible());
        const auto lSaved = OpenDoc();
        QCOMPARE(lSaved->VICamera(), QString::fromUtf8(cSimCameras[3].m_sLink));
        QCOMPARE(lSaved->VICameraTitle(), QString::fromUtf8(cSimCameras[3].m_sTitle));
    }

    // A refresh that fails shows exactly one error box with the client's text; the list stays empty.
    void refreshFailureShowsOneErrorBox_data() { ViTest::AddFailureRows(); }
    void refreshFailureShowsOneErrorBox() {
        QFETCH(QStringList, args);
        QFETCH(QString, text);
        TVmsSim lSim(args);
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        StartWith([&](TTarvoDoc& ADoc) {
            ADoc.SetVIServer(lSim.Server());
            ADoc.SetVIReqTimeOut(3000);
        });
        TVI lVI;
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.SetVI(&lVI);
        ShowVIPage(lDlg);
        TBoxCatcher lBoxes;
        QTest::mouseClick(lDlg.btnCamVIRefresh, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return !lBoxes.m_aTexts.isEmpty(); }, ViTest::Patience));
        QVERIFY(WaitWhilePending(lVI, viCameras));
        ViTest::DrainEvents();
        QString lClientText;
        QCOMPARE(lVI.GetCmdStatus(viCameras, &lClientText), viFail);
        QCOMPARE(lClientText, text);
        QCOMPARE(lBoxes.m_aTexts, QStringList{text});
        QCOMPARE(lBoxes.m_aIcons.value(0), QMessageBox::Critical);
        QCOMPARE(lDlg.cbCamera->count(), 0);
    }

    // The edit shows the stored hash, masked. Left alone it keeps the hash; a typed password is stored
    // as the MD5 of its bytes in the 8-bit code page, 32 upper-case hexadecimal digits, and the edit
    // then shows that hash instead of the password.
    void passwordKeepsOnlyItsHash_data() {
        QTest::addColumn<bool>("type");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("hash");
        const QString lStored = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");
        QTest::newRow("untouched") << false << QString() << lStored;
        QTest::newRow("ascii") << true << QStringLiteral("admin") << cAdminMd5;
        QTest::newRow("cp1252 letter")
            << true << QStringLiteral("p\u00E4ssword")
            << QString::fromLatin1(
                   QCryptographicHash::hash(QByteArray("p\xE4ssword"), QCryptographicHash::Md5).toHex())
                   .toUpper();
        QTest::newRow("cleared") << true << QString() << QStringLiteral("D41D8CD98F00B204E9800998ECF8427E");
    }
    void passwordKeepsOnlyItsHash() {
        QFETCH(bool, type);
        QFETCH(QString, password);
        QFETCH(QString, hash);
        StartWith([](TTarvoDoc& ADoc) { ADoc.SetVIPasswMd5(QStringLiteral("0123456789ABCDEF0123456789ABCDEF")); });
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        ShowVIPage(lDlg);
        QCOMPARE(lDlg.edtPassword->echoMode(), QLineEdit::Password);
        QCOMPARE(lDlg.edtPassword->text(), m_pDoc->VIPasswMd5());
        if (type)
            TypeText(lDlg.edtPassword, password);
        QVERIFY(lDlg.StoreSettings());
        QCOMPARE(m_pDoc->VIPasswMd5(), hash);
        QCOMPARE(OpenDoc()->VIPasswMd5(), hash);
        QCOMPARE(lDlg.edtPassword->text(), hash);
        // Stored once: a second OK keeps the hash rather than hashing it again.
        QVERIFY(lDlg.StoreSettings());
        QCOMPARE(m_pDoc->VIPasswMd5(), hash);
    }

    // A password typed on the page is what "Refresh" logs in with.
    void typedPasswordLogsIn() {
        TVmsSim lSim({QStringLiteral("--password"), QStringLiteral("s3cret")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        StartWith([&](TTarvoDoc& ADoc) { ADoc.SetVIServer(lSim.Server()); });
        TVI lVI;
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.SetVI(&lVI);
        ShowVIPage(lDlg);
        TBoxCatcher lBoxes;
        TypeText(lDlg.edtPassword, QStringLiteral("s3cret"));
        QTest::mouseClick(lDlg.btnCamVIRefresh, Qt::LeftButton);
        QVERIFY(WaitWhilePending(lVI, viCameras));
        QVERIFY(QTest::qWaitFor([&] { return lDlg.cbCamera->count() > 0; }, ViTest::Patience));
        QCOMPARE(lVI.GetCmdStatus(viCameras), viSuccess);
        QVERIFY(lBoxes.m_aTexts.isEmpty());
        QCOMPARE(lVI.PasswMd5(), lDlg.edtPassword->text());
        QVERIFY(lVI.PasswMd5() != cAdminMd5);
    }

    // OK stores what the page shows: the server without blanks around it, the login, the camera text
    // split at "//", and the numbers, -1 as the request time-out meaning no limit.
    void okStoresTheVISettings_data() {
        QTest::addColumn<QString>("cameraText");
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("timeout");
        QTest::addColumn<uint>("storedTimeout");
        QTest::newRow("link and title") << QStringLiteral("cam1   //  Entrance ") << QStringLiteral("cam1")
                                        << QStringLiteral("Entrance") << 1500 << 1500u;
        QTest::newRow("link alone") << QStringLiteral("cam1") << QStringLiteral("cam1") << QString() << 0 << 0u;
        QTest::newRow("no limit") << QStringLiteral("Cam 7 Id//Kassa Käyttö") << QStringLiteral("Cam 7 Id")
                                  << QStringLiteral("Kassa Käyttö") << -1 << 4294967295u;
        QTest::newRow("nothing") << QString() << QString() << QString() << 1000000 << 1000000u;
    }
    void okStoresTheVISettings() {
        QFETCH(QString, cameraText);
        QFETCH(QString, camera);
        QFETCH(QString, title);
        QFETCH(int, timeout);
        QFETCH(uint, storedTimeout);
        StartWith([](TTarvoDoc& ADoc) {
            ADoc.SetVIServer(QStringLiteral("http://old.example:80"));
            ADoc.SetVICamera(QStringLiteral("old"));
            ADoc.SetVICameraTitle(QStringLiteral("Old"));
            ADoc.SetVIReqTimeOut(30000);
        });
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        ShowVIPage(lDlg);
        TypeText(lDlg.edtServer, QStringLiteral("  http://10.0.0.5:8080 "));
        TypeText(lDlg.edtLogin, QStringLiteral("desk"));
        lDlg.cbCamera->setFocus();
        lDlg.cbCamera->lineEdit()->selectAll();
        QTest::keyClick(lDlg.cbCamera->lineEdit(), Qt::Key_Backspace);
        TypeChars(lDlg.cbCamera->lineEdit(), cameraText);
        TypeValue(lDlg.edtTimeOffs, -7200);
        TypeValue(lDlg.edtStepViewing, 250);
        TypeValue(lDlg.edtViReqTimeOut, timeout);
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QVERIFY(!lDlg.isVisible());

        const auto lSaved = OpenDoc();
        QCOMPARE(lSaved->VIServer(), QStringLiteral("http://10.0.0.5:8080"));
        QCOMPARE(lSaved->VILogin(), QStringLiteral("desk"));
        QCOMPARE(lSaved->VIPasswMd5(), cAdminMd5);
        QCOMPARE(lSaved->VICamera(), camera);
        QCOMPARE(lSaved->VICameraTitle(), title);
        QCOMPARE(lSaved->VITimeOffs(), -7200);
        QCOMPARE(lSaved->VIStepViewing(), 250);
        QCOMPARE(lSaved->VIReqTimeOut(), std::uint32_t(storedTimeout));
        QCOMPARE(lSaved->CamSource(), 2);
    }

    // OK on the VI page without touching anything changes nothing, even for values the controls cannot
    // show: a time-out above the spin's range, a step below it, a camera link holding "//".
    void untouchedPageKeepsItsValues_data() {
        QTest::addColumn<uint>("timeout");
        QTest::addColumn<int>("shownTimeout");
        QTest::newRow("beyond the range") << 4000000000u << 1000000;
        QTest::newRow("no limit") << 4294967295u << -1;
    }
    void untouchedPageKeepsItsValues() {
        QFETCH(uint, timeout);
        QFETCH(int, shownTimeout);
        StartWith([&](TTarvoDoc& ADoc) {
            ADoc.SetVIServer(QStringLiteral("http://127.0.0.1:9"));
            ADoc.SetVIReqTimeOut(timeout);
            ADoc.SetVIStepViewing(0);
            ADoc.SetVITimeOffs(INT_MIN);
            ADoc.SetVICamera(QStringLiteral("rtsp://cam//7"));
            ADoc.SetVICameraTitle(QStringLiteral("Yard"));
        });
        QVERIFY(QFile::remove(DataFile()));
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        ShowVIPage(lDlg);
        QCOMPARE(lDlg.edtViReqTimeOut->value(), shownTimeout);
        QCOMPARE(lDlg.edtTimeOffs->value(), INT_MIN);
        QCOMPARE(lDlg.cbCamera->currentText(), QStringLiteral("rtsp://cam//7") + cSep + QStringLiteral("Yard"));
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QVERIFY(!lDlg.isVisible());
        QVERIFY(!m_pDoc->Modifyed());
        QVERIFY(!QFile::exists(DataFile()));
        QCOMPARE(m_pDoc->VIReqTimeOut(), std::uint32_t(timeout));
        QCOMPARE(m_pDoc->VIStepViewing(), 0);
        QCOMPARE(m_pDoc->VICamera(), QStringLiteral("rtsp://cam//7"));
    }

    // However the dialog ends, a pending camera request is broken off and the handler that was in place
    // before the VI page is back.
    void closingGivesTheHandlerBack_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Cancel") << QStringLiteral("cancel");
        QTest::newRow("OK") << QStringLiteral("ok");
        QTest::newRow("destroyed open") << QStringLiteral("destroy");
    }
    void closingGivesTheHandlerBack() {
        QFETCH(QString, how);
        TVmsSim lSim({QStringLiteral("--fault"), QStringLiteral("slow"), QStringLiteral("--delay-ms"),
                      QStringLiteral("20000")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        StartWith([&](TTarvoDoc& ADoc) { ADoc.SetVIServer(lSim.Server()); });
        TVI lVI;
        int lOldCalls = 0;
        lVI.SetOnCamerasDone([&](TVI&) { ++lOldCalls; });
        auto lDlg = std::make_unique<TfmSettingsDlg>(nullptr, *m_pDoc);
        lDlg->SetVI(&lVI);
        ShowVIPage(*lDlg);
        lVI.OnCamerasDone()(lVI); // the page's handler now: it refills the list
        QCOMPARE(lOldCalls, 0);
        QTest::mouseClick(lDlg->btnCamVIRefresh, Qt::LeftButton);
        QVERIFY(lSim.WaitForRequests(QStringLiteral("/api-json.dyn"), 1));
        QCOMPARE(lVI.GetCmdStatus(viCameras), viPending);

        if (how == QLatin1String("cancel"))
            QTest::mouseClick(lDlg->btnCancel, Qt::LeftButton);
        else if (how == QLatin1String("ok"))
            QTest::mouseClick(lDlg->btnOk, Qt::LeftButton);
        if (how == QLatin1String("destroy")) {
            lDlg.reset();
        } else {
            QVERIFY(!lDlg->isVisible());
            QCOMPARE(lVI.GetCmdStatus(viCameras), viCancelled);
        }
        QVERIFY(lVI.OnCamerasDone());
        lVI.OnCamerasDone()(lVI);
        QCOMPARE(lOldCalls, 1);
    }

    // "Foto..." configures the client from the page, breaks its pending requests off and runs the live
    // dialog with it; without a complete login there is no client to run it with.
    void fotoRunsTheLiveDialogWithTheClient_data() {
        QTest::addColumn<QString>("login");
        QTest::addColumn<bool>("runs");
        QTest::newRow("complete login") << QStringLiteral("admin") << true;
        QTest::newRow("no login") << QString() << false;
    }
    void fotoRunsTheLiveDialogWithTheClient() {
        QFETCH(QString, login);
        QFETCH(bool, runs);
        TVmsSim lSim({QStringLiteral("--fault"), QStringLiteral("slow"), QStringLiteral("--delay-ms"),
                      QStringLiteral("20000")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        StartWith([&](TTarvoDoc& ADoc) { ADoc.SetVIServer(lSim.Server()); });
        TVI lVI;
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.SetVI(&lVI);
        int lRuns = 0;
        TVIStatus lCamerasStatus = viPending;
        lDlg.FRunLiveFotoVI = [&](QWidget* AOwner, TVI& AVI) {
            ++lRuns;
            QCOMPARE(AOwner, &lDlg);
            QCOMPARE(&AVI, &lVI);
            lCamerasStatus = AVI.GetCmdStatus(viCameras);
        };
        ShowVIPage(lDlg);
        QTest::mouseClick(lDlg.btnCamVIRefresh, Qt::LeftButton);
        QCOMPARE(lVI.GetCmdStatus(viCameras), viPending);

        TypeText(lDlg.edtLogin, login);
        lDlg.cbCamera->setEditText(QStringLiteral("Cam 2 Id   // Kassa"));
        TypeValue(lDlg.edtTimeOffs, 5);
        TypeValue(lDlg.edtViReqTimeOut, 2500);
        QTest::mouseClick(lDlg.btnCamVIFoto, Qt::LeftButton);
        QCOMPARE(lRuns, runs ? 1 : 0);
        QCOMPARE(lVI.Active(), runs);
        QCOMPARE(lVI.CurrentCamera(), QStringLiteral("Cam 2 Id"));
        QCOMPARE(lVI.CurrCamTitle(), QStringLiteral("Kassa"));
        QCOMPARE(lVI.TimeOffs(), 5);
        QCOMPARE(lVI.ReqTimeout(), 2500u);
        if (runs) {
            QCOMPARE(lCamerasStatus, viCancelled);
            QCOMPARE(lVI.Login(), login);
        }
    }

    // For the documentation, when TARVO_SCREENSHOT_DIR names a folder: the VI page filled from vmssim.
    void screenshot() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        QVERIFY(QDir().mkpath(lDir));
        TVmsSim lSim({QStringLiteral("--cameras"), QStringLiteral("5")});
        QVERIFY2(lSim.Port() > 0, lSim.Errors().c_str());
        StartWith([&](TTarvoDoc& ADoc) {
            ADoc.SetVIServer(lSim.Server());
            ADoc.SetVICamera(QStringLiteral("Cam 2 Id"));
            ADoc.SetVITimeOffs(0);
            ADoc.SetVIReqTimeOut(30000);
        });
        TVI lVI;
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.SetVI(&lVI);
        ShowVIPage(lDlg);
        QTest::mouseClick(lDlg.btnCamVIRefresh, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([&] { return lDlg.cbCamera->count() > 0; }, ViTest::Patience));
        QVERIFY(lDlg.grab().save(lDir + QStringLiteral("/settings-vi.png")));
    }
};

QTEST_MAIN(TSettingsVITest)
#include "test_settingsvi.moc"
