// The configuration main window in-process against a real virtual reader bus: closing with and without
// changes, the lists' commands, "Find", the card reading modes and the port following plug and unplug.
// Readers are plugged and cards presented with the orvsim tool of the build's bin folder.

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uDlgProcessing.h"
#include "apps/ConfigTarvo/uFmMain.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "config/uRdPortList.h"
#include "config/uTarvoDoc.h"
#include "gui/uListView.h"
#include "reader/OrvRClasses.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace ConfigTarvo;

namespace {

// Longest a test waits for the bus and the detector (milliseconds): it only guards failures and leaves
// room for a loaded machine.
constexpr int Patience = 20000;

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lKey{};
    HexToKeyNum(QString::fromLatin1(AHex), lKey);
    return lKey;
}

// Answers every message box that comes up with AButton and keeps its text.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(QMessageBox::StandardButton AButton) : m_nButton(AButton) {
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!lBox)
                return;
            m_aTexts << lBox->text();
            if (QAbstractButton* lButton = lBox->button(m_nButton))
                lButton->click();
            else
                lBox->reject();
        });
        m_oTimer.start(20);
    }
    QStringList m_aTexts;

private:
    QMessageBox::StandardButton m_nButton;
    QTimer m_oTimer;
};

} // namespace

class TestFmMain : public QObject {
    Q_OBJECT

    QTemporaryDir m_oRoot;
    QString m_sOrvsim;
    QString m_sDataFile;
    std::unique_ptr<TfmAutoMessageDlg> m_oPopup;
    std::unique_ptr<TfmMain> m_oMain;
    QStringList m_aPlugged;

    void Orvsim(const QStringList& AArgs) {
        QProcess lRun;
        lRun.start(m_sOrvsim, AArgs);
        QVERIFY2(lRun.waitForFinished(20000), "orvsim did not end");
        QVERIFY2(lRun.exitCode() == 0, qPrintable(AArgs.join(' ') + ": " + lRun.readAllStandardError()));
    }
    void Plug(const QString& APort, int ASn, int AModel = 1, const QString& AFriendly = QString()) {
        QStringList lArgs{QStringLiteral("plug"),    APort,
                          QStringLiteral("--sn"),    QString::number(ASn),
                          QStringLiteral("--model"), QString::number(AModel)};
        if (!AFriendly.isEmpty())
            lArgs << QStringLiteral("--friendly") << AFriendly;
        Orvsim(lArgs);
        m_aPlugged << APort;
    }
    void Unplug(const QString& APort) {
        Orvsim({QStringLiteral("unplug"), APort});
        m_aPlugged.removeAll(APort);
    }
    void Present(const QString& APort, const QString& AKey) {
        Orvsim({QStringLiteral("present"), APort, AKey});
    }

    // A data file with three cards and two zones; the caller changes the settings it needs.
    void WriteDataFile(const std::function<void(TTarvoDoc&)>& ASetUp) {
        TTarvoDoc lDoc;
        lDoc.SetFileName(m_sDataFile);
        lDoc.Open();
        lDoc.AddTimeZone(QStringLiteral("Day"), EncodeTime(9, 0, 0, 0), 2, 1);
        lDoc.AddTimeZone(QStringLiteral("Evening"), EncodeTime(18, 0, 0, 0), 3, 1.5L);
        lDoc.AddCard(Key("A1B2C3"), QStringLiteral("Anna"), QString(), 1);
        lDoc.AddCard(Key("0D0E0F"), QStringLiteral("Boris"), QString(), 2);
        lDoc.AddCard(Key("AB12CD"), QStringLiteral("Clara"), QStringLiteral("staff"), 3);
        lDoc.SetCardRdMode(crm_Add);
        if (ASetUp)
            ASetUp(lDoc);
        lDoc.Save();
    }
    void StartMain() {
        m_oMain = std::make_unique<TfmMain>(m_sDataFile, false);
        m_oMain->show();
        QVERIFY(m_oMain->DeferredStartup());
    }
    void ShowCards() { m_oMain->pcMain->setCurrentWidget(m_oMain->tsCards); }
    std::unique_ptr<TTarvoDoc> SavedDoc() {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(m_sDataFile);
        lDoc->Open();
        return lDoc;
    }
    QStringList CardNames() {
        QStringList lNames;
        for (int i = 0; i < m_oMain->Doc().Cards().Count(); ++i)
            lNames << m_oMain->Doc().Cards().GetCard(i)->m_sUserName;
        return lNames;
    }
    QString PopupText() { return m_oPopup->isVisible() ? m_oPopup->Text() : QString(); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_oRoot.isValid());
        const QByteArray lBin = qgetenv("TARVO_BIN_DIR");
        m_sOrvsim = QString::fromLocal8Bit(lBin) + QStringLiteral("/orvsim");
        QVERIFY2(!lBin.isEmpty() && QFile::exists(m_sOrvsim), "TARVO_BIN_DIR must hold orvsim");
        QDir(m_oRoot.path()).mkpath(QStringLiteral("bus"));
        QDir(m_oRoot.path()).mkpath(QStringLiteral("run"));
        qputenv("ORV_SIM_BUS", (m_oRoot.path() + QStringLiteral("/bus")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", (m_oRoot.path() + QStringLiteral("/run")).toLocal8Bit());
        SetMsgProgram(TMsgProgram::Config);
        m_oPopup = std::make_unique<TfmAutoMessageDlg>();
        SetAutoMessageDlg(m_oPopup.get());
    }
    void init() {
        static int s_nRun = 0;
        m_sDataFile = m_oRoot.path() + QStringLiteral("/data%1/Tarvo.xml").arg(++s_nRun);
        QDir().mkpath(QFileInfo(m_sDataFile).absolutePath());
    }
    void cleanup() {
        m_oMain.reset();
        m_oPopup->hide();
        for (const QString& lPort : QStringList(m_aPlugged))
            Unplug(lPort);
    }
    void cleanupTestCase() {
        SetAutoMessageDlg(nullptr);
        m_oPopup.reset();
    }

    // ---- closing ---------------------------------------------------------------------------------------

    void closing_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("modify");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<bool>("closed");
        const int None = QMessageBox::NoButton;
        QTest::newRow("OK saves") << "ok" << true << None << false << true << true;
        QTest::newRow("Cancel discards without a question")
            << "cancel" << true << None << false << false << true;
        QTest::newRow("close unmodified asks nothing") << "close" << false << None << false << false << true;
        QTest::newRow("close modified, Yes saves")
            << "close" << true << int(QMessageBox::Yes) << true << true << true;
        QTest::newRow("close modified, No discards")
            << "close" << true << int(QMessageBox::No) << true << false << true;
        QTest::newRow("close modified, Cancel stays")
            << "close" << true << int(QMessageBox::Cancel) << true << false << false;
    }
    void closing() {
        QFETCH(QString, how);
        QFETCH(bool, modify);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, saved);
        QFETCH(bool, closed);
        WriteDataFile(nullptr);
        StartMain();
        // The serial number edited on tab "Main" reaches the document only by a commit.
        m_oMain->edtRdSn->setValue(4242);
        if (modify)
            m_oMain->Doc().DeleteCard(0);
        TBoxAnswerer lAnswer(answer == QMessageBox::NoButton ? QMessageBox::Yes
                                                             : QMessageBox::StandardButton(answer));
        QSignalSpy lEnd(m_oMain.get(), &TfmMain::endRequested);
        if (how == QLatin1String("ok"))
            m_oMain->btnOk->click();
        else if (how == QLatin1String("cancel"))
            m_oMain->btnCancel->click();
        else
            m_oMain->close();
        QCOMPARE(!lAnswer.m_aTexts.isEmpty(), asked);
        if (asked)
            QCOMPARE(lAnswer.m_aTexts.first(), QStringLiteral("Save changes?"));
        QCOMPARE(m_oMain->isVisible(), !closed);
        QCOMPARE(lEnd.size(), closed ? 1 : 0);
        if (closed)
            QCOMPARE(lEnd.first().first().toInt(), 0);
        const auto lSaved = SavedDoc();
        QCOMPARE(lSaved->Cards().Count(), saved ? 2 : 3);
        // OK commits the Main controls; the title-bar Yes saves the document as it stands.
        QCOMPARE(lSaved->ReaderSn(), how == QLatin1String("ok") ? 4242 : 0);
    }

    void okKeepsTheFrontDesksItems() {
        // A file as the front desk writes it, with its own settings beside the shared items.
        QFile lFile(m_sDataFile);
        QVERIFY(lFile.open(QIODevice::WriteOnly));
        lFile.write("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                    "<Tarvo version=\"1.2\">\r\n<Main>\r\n<StartDayTime>06:00</StartDayTime>\r\n"
                    "<Tariffication>2</Tariffication>\r\n<AccPrice>0</AccPrice>\r\n</Main>\r\n"
                    "<Reader sn=\"1001\" port=\"COM3\"/>\r\n"
                    "<Cards>\r\n<Item4 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n</Cards>\r\n"
                    "<Popup max=\"5\" timeOut=\"2\"/>\r\n</Tarvo>\r\n");
        lFile.close();
        StartMain();
        QCOMPARE(m_oMain->edtRdSn->value(), 1001);
        QCOMPARE(m_oMain->cbRdPort->currentText(), QStringLiteral("COM3"));
        m_oMain->Doc().AddCard(Key("0D0E0F"), QStringLiteral("Bob"), QString(), 1);
        m_oMain->btnOk->click();
        QVERIFY(!m_oMain->isVisible());
        QVERIFY(lFile.open(QIODevice::ReadOnly));
        const QString lXml = QString::fromUtf8(lFile.readAll());
        QVERIFY2(lXml.contains(QStringLiteral("<Popup max=\"5\" timeOut=\"2\"/>")), qPrintable(lXml));
        QVERIFY(lXml.contains(QStringLiteral("<Tariffication>2</Tariffication>")));
        QVERIFY(lXml.contains(QStringLiteral("name=\"Ann\"")));
        QVERIFY(lXml.contains(QStringLiteral("name=\"Bob\"")));
    }

    void failedHandOverSavesAndStays() {
        // No front desk beside the test program: the start fails after the save, the window stays.
        WriteDataFile(nullptr);
        StartMain();
        m_oMain->Doc().DeleteCard(0);
        TBoxAnswerer lAnswer(QMessageBox::Ok);
        QSignalSpy lEnd(m_oMain.get(), &TfmMain::endRequested);
        m_oMain->actRunTarvo->trigger();
        QCOMPARE(lAnswer.m_aTexts.size(), 1);
        QVERIFY(lEnd.isEmpty());
        QVERIFY(m_oMain->isVisible());
        QCOMPARE(SavedDoc()->Cards().Count(), 2);
    }

    // ---- the processing box and the message popup -------------------------------------------------

    void processingDialog_data() {
        QTest::addColumn<QString>("work");
        QTest::addColumn<bool>("result");
        QTest::addColumn<int>("errorBoxes");
        QTest::newRow("Cancel while the work goes on") << "endless" << false << 0;
        QTest::newRow("Cancel once the work has ended counts as OK") << "endsAtCancel" << true << 0;
        QTest::newRow("the work handler ends it") << "steps" << true << 0;
        QTest::newRow("an error of the work handler is shown and cancels") << "raises" << false << 1;
    }
    void processingDialog() {
        QFETCH(QString, work);
        QFETCH(bool, result);
        QFETCH(int, errorBoxes);
        TfmProcessingDlg lDlg;
        TBoxAnswerer lAnswer(QMessageBox::Ok);
        TfmProcessingDlg::TProcessEvent lState, lExecute;
        if (work == QLatin1String("endless") || work == QLatin1String("endsAtCancel")) {
            // "Cancel" is pressed once the box runs; the state handler may find the work done then.
            QTimer::singleShot(50, &lDlg, [&lDlg] { lDlg.btnCancel->click(); });
            lState = [work](TfmProcessingDlg& ADlg) {
                if (work == QLatin1String("endsAtCancel") && ADlg.IsCancelled())
                    ADlg.Finish();
            };
        } else {
            lExecute = [work](TfmProcessingDlg& ADlg) {
                for (int i = 0; i < 3; ++i) {
                    ADlg.IncPos();
                    ADlg.DoProcess();
                }
                if (work == QLatin1String("raises"))
                    throw EInOutError(QStringLiteral("disk gone"));
            };
        }
        QCOMPARE(lDlg.ExecuteProcessing(QStringLiteral("Working..."), nullptr, true, 3, lState, lExecute),
                 result);
        QCOMPARE(lAnswer.m_aTexts.size(), errorBoxes);
        if (lExecute) {
            QCOMPARE(lDlg.Current(), 3);
            QCOMPARE(lDlg.pbProgress->value(), 3);
        }
    }

    void popupClosesOnItsKeys() {
        for (Qt::Key lKey : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Space}) {
            m_oPopup->ShowAutoMessage(QStringLiteral("Key \"AB\" not found."));
            QVERIFY(m_oPopup->isVisible());
            QTest::keyClick(m_oPopup.get(), Qt::Key_X);
            QVERIFY(m_oPopup->isVisible());
            QTest::keyClick(m_oPopup.get(), lKey);
            QVERIFY(!m_oPopup->isVisible());
        }
    }

    // ---- lists -------------------------------------------------------------------------------------------

    void deleteKeyRemovesExactlyTheSelectedRows() {
        WriteDataFile(nullptr);
        StartMain();
        ShowCards();
        TBoxAnswerer lAnswer(QMessageBox::Ok);
        // Nothing selected: no question, nothing deleted.
        m_oMain->lvCards->clearSelection();
        QTest::keyClick(m_oMain->lvCards, Qt::Key_Delete);
        QVERIFY(lAnswer.m_aTexts.isEmpty());
        QCOMPARE(m_oMain->Doc().Cards().Count(), 3);

        auto* lSel = m_oMain->lvCards->selectionModel();
        lSel->select(m_oMain->lvCards->model()->index(0, 0),
                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        lSel->select(m_oMain->lvCards->model()->index(2, 0),
                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(m_oMain->lvCards, Qt::Key_Delete);
        QCOMPARE(lAnswer.m_aTexts, QStringList{QStringLiteral("Really?")});
        QCOMPARE(CardNames(), QStringList{QStringLiteral("Boris")});
        QCOMPARE(m_oMain->lvCards->model()->rowCount(), 1);

        // Ctrl+A selects every row; Shift+Delete is not the delete command.
        m_oMain->Doc().AddCard(Key("112233"), QStringLiteral("Dora"), QString(), 0);
        QTest::keyClick(m_oMain->lvCards, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_oMain->lvCards->SelectedRows(), (QList<int>{0, 1}));
        QTest::keyClick(m_oMain->lvCards, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(m_oMain->Doc().Cards().Count(), 2);
    }

    void keyViewFollowsTheMenuAndTheCombo() {
        WriteDataFile(nullptr);
        StartMain();
        QCOMPARE(m_oMain->lvCards->model()->index(0, 1).data().toString(), KeyNumToStr(Key("A1B2C3"), 0));
        m_oMain->miKeyViewWinPak->trigger();
        QCOMPARE(m_oMain->Doc().KeyView(), 1);
        QCOMPARE(m_oMain->cbKeyView->currentIndex(), 1);
        QCOMPARE(m_oMain->lvCards->model()->index(0, 1).data().toString(), KeyNumToStr(Key("A1B2C3"), 1));
        m_oMain->cbKeyView->setCurrentIndex(0);
        QCOMPARE(m_oMain->Doc().KeyView(), 0);
    }

    // The tool bar's Import and Export act on the list shown: off on tab "Main".
    void importExportFollowTheTab() {
        WriteDataFile(nullptr);
        StartMain();
        for (QWidget* lTab : {m_oMain->tsMain, m_oMain->tsZones, m_oMain->tsCards}) {
            m_oMain->pcMain->setCurrentWidget(lTab);
            m_oMain->UpdateActions();
            QCOMPARE(m_oMain->actImport->isEnabled(), lTab != m_oMain->tsMain);
            QCOMPARE(m_oMain->actExport->isEnabled(), lTab != m_oMain->tsMain);
        }
        QCOMPARE(m_oMain->cbLanguage->count(), 1);
        QCOMPARE(m_oMain->cbLanguage->itemText(0), QStringLiteral("English (internal)"));
    }

    // ---- ports and "Find" -----------------------------------------------------------------------------

    void portComboTextIsStoredAsThePortName() {
        WriteDataFile(nullptr);
        StartMain();
        m_oMain->cbRdPort->setEditText(QStringLiteral("COM3    Korvel s/n 5"));
        m_oMain->pcMain->setCurrentWidget(m_oMain->tsZones); // leaving tab "Main" commits
        QCOMPARE(m_oMain->Doc().ReaderPort(), QStringLiteral("COM3"));
    }

    void findMovesThePortToTheReader_data() {
        QTest::addColumn<int>("sn");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("port");
        QTest::newRow("found on a USB port by its serial name")
            << 4711 << "Reader with s/n 4711 is found on \"COM15\"."
            << "COM15";
        QTest::newRow("not found") << 999 << "Reader with s/n 999 is not found."
                                   << "COM11";
    }
    void findMovesThePortToTheReader() {
        QFETCH(int, sn);
        QFETCH(QString, message);
        QFETCH(QString, port);
        Plug(QStringLiteral("COM11"), 1000);
        Plug(QStringLiteral("COM2"), 1001);
        WriteDataFile([sn](TTarvoDoc& ADoc) {
            ADoc.SetReaderSn(sn);
            ADoc.SetReaderPort(QStringLiteral("COM11"));
        });
        StartMain();
        Plug(QStringLiteral("ftdi-find"), 4711, 1, QStringLiteral("COM15"));
        TBoxAnswerer lAnswer(QMessageBox::Ok);
        bool lSawDialog = false;
        QTimer lWatch;
        connect(&lWatch, &QTimer::timeout, [&] {
            if (TfmProcessingDlg* lDlg = m_oMain->FindDlg())
                lSawDialog = lSawDialog || lDlg->labText->text().contains(QString::number(sn));
        });
        lWatch.start(10);
        m_oMain->DoFindReader();
        QVERIFY(lSawDialog);
        QVERIFY(!m_oMain->SearchMode());
        QCOMPARE(lAnswer.m_aTexts, QStringList{message});
        QCOMPARE(m_oMain->Doc().ReaderPort(), port);
        // The full scan knows the readers: COM10-style ordinal order and the model with its number.
        QStringList lItems;
        for (int i = 0; i < m_oMain->cbRdPort->count(); ++i)
            lItems << m_oMain->cbRdPort->itemText(i);
        QCOMPARE(lItems.mid(0, 2),
                 (QStringList{QStringLiteral("COM11    %1 s/n 1000").arg(ReaderModelName(1)),
                              QStringLiteral("COM15    %1 s/n 4711").arg(ReaderModelName(1))}));
        QCOMPARE(lItems.value(2), QStringLiteral("COM2    %1 s/n 1001").arg(ReaderModelName(1)));
    }

    // ---- card reading -----------------------------------------------------------------------------------

    void cardModes() {
        Plug(QStringLiteral("COM31"), 31);
        WriteDataFile([](TTarvoDoc& ADoc) { ADoc.SetReaderPort(QStringLiteral("COM31")); });
        StartMain();
        // Not opened before tab "Cards" is shown.
        QVERIFY(!m_oMain->Reader()->Active());
        ShowCards();
        QVERIFY(m_oMain->Reader()->Active());
        QVERIFY(m_oMain->windowTitle().endsWith(QStringLiteral("(COM31)")));

        // Add: a new card is appended and selected; a known one is reported and selected.
        Present(QStringLiteral("COM31"), QStringLiteral("5566778899"));
        QTRY_COMPARE_WITH_TIMEOUT(m_oMain->Doc().Cards().Count(), 4, Patience);
        QCOMPARE(CompareKeyNums(m_oMain->Doc().Cards().GetCard(3)->m_Number, Key("5566778899")), 0);
        QCOMPARE(m_oMain->lvCards->SelectedRows(), QList<int>{3});
        Present(QStringLiteral("COM31"), QStringLiteral("0D0E0F"));
        QTRY_COMPARE_WITH_TIMEOUT(
            PopupText(), QStringLiteral("Key \"%1\" already exists.").arg(KeyNumToStr(Key("0D0E0F"), 0)),
            Patience);
        QCOMPARE(m_oMain->Doc().Cards().Count(), 4);
        QCOMPARE(m_oMain->lvCards->SelectedRows(), QList<int>{1});

        // The longer number of a known card replaces the stored shorter one.
        Present(QStringLiteral("COM31"), QStringLiteral("07A1B2C3"));
        QTRY_COMPARE_WITH_TIMEOUT(m_oMain->Doc().Cards().GetCard(0)->m_Number[0], std::uint8_t(4), Patience);
        QCOMPARE(m_oMain->Doc().Cards().Count(), 4);
        QCOMPARE(m_oMain->Doc().Cards().GetCard(0)->m_sUserName, QStringLiteral("Anna"));

        // Find: unknown reported, known selected.
        m_oMain->cbCardRdMode->setCurrentIndex(crm_Find);
        QCOMPARE(m_oMain->Doc().CardRdMode(), crm_Find);
        Present(QStringLiteral("COM31"), QStringLiteral("FFEEDD"));
        QTRY_COMPARE_WITH_TIMEOUT(PopupText(),
                                  QStringLiteral("Key \"%1\" not found.").arg(KeyNumToStr(Key("FFEEDD"), 0)),
                                  Patience);
        Present(QStringLiteral("COM31"), QStringLiteral("AB12CD"));
        QTRY_COMPARE_WITH_TIMEOUT(m_oMain->lvCards->SelectedRows(), QList<int>{2}, Patience);

        // Delete: removed at once, without a question.
        m_oMain->cbCardRdMode->setCurrentIndex(crm_Delete);
        Present(QStringLiteral("COM31"), QStringLiteral("0D0E0F"));
        QTRY_COMPARE_WITH_TIMEOUT(m_oMain->Doc().Cards().Count(), 3, Patience);
        QCOMPARE(m_oMain->Doc().FindCardByUserName(QStringLiteral("Boris")), -1);

        // Count the cards the window has been handed, to know when an ignored one has arrived.
        int lDelivered = 0;
        const TOrvRCardEvent lWindowHandler = m_oMain->Reader()->OnCardInsert();
        m_oMain->Reader()->SetOnCardInsert([&](TOrvReader* ASender, const TOrvR_CARD_INFO* AInfo) {
            ++lDelivered;
            lWindowHandler(ASender, AInfo);
        });

        // Inactive: the session stays open and cards do nothing.
        m_oMain->cbCardRdMode->setCurrentIndex(crm_Inactive);
        QVERIFY(m_oMain->Reader()->Active());
        Present(QStringLiteral("COM31"), QStringLiteral("123456"));
        QTRY_COMPARE_WITH_TIMEOUT(lDelivered, 1, Patience);
        QCOMPARE(m_oMain->Doc().Cards().Count(), 3);

        // Cards are ignored on another tab.
        m_oMain->cbCardRdMode->setCurrentIndex(crm_Add);
        m_oMain->pcMain->setCurrentWidget(m_oMain->tsZones);
        QVERIFY(m_oMain->Reader()->Active());
        Present(QStringLiteral("COM31"), QStringLiteral("654321"));
        QTRY_COMPARE_WITH_TIMEOUT(lDelivered, 2, Patience);
        ShowCards();
        Present(QStringLiteral("COM31"), QStringLiteral("0A0B0C"));
        QTRY_COMPARE_WITH_TIMEOUT(m_oMain->Doc().Cards().Count(), 4, Patience);
        QCOMPARE(m_oMain->Doc().FindCardByNumber(Key("654321")), -1);
    }

    void wiegandBaseStationFindsTheShortCard() {
        Plug(QStringLiteral("COM32"), 32, 7);
        WriteDataFile([](TTarvoDoc& ADoc) {
            ADoc.SetReaderPort(QStringLiteral("COM32"));
            ADoc.SetKorvelWiegand(true);
        });
        StartMain();
        ShowCards();
        QVERIFY(m_oMain->Reader()->Active());
        QCOMPARE(m_oMain->Reader()->RdType(), TOrvR_RD_TYPE(ORVR_RD_KORVEL));
        // Five bytes, the upper two 0: the card stored with three bytes, unchanged.
        Present(QStringLiteral("COM32"), QStringLiteral("0000AB12CD"));
        QTRY_COMPARE_WITH_TIMEOUT(
            PopupText(), QStringLiteral("Key \"%1\" already exists.").arg(KeyNumToStr(Key("AB12CD"), 0)),
            Patience);
        QCOMPARE(m_oMain->Doc().Cards().Count(), 3);
        QCOMPARE(m_oMain->Doc().Cards().GetCard(2)->m_Number[0], std::uint8_t(3));
    }

    void unplugClosesAndReplugReopens() {
        Plug(QStringLiteral("COM33"), 33);
        WriteDataFile([](TTarvoDoc& ADoc) { ADoc.SetReaderPort(QStringLiteral("COM33")); });
        StartMain();
        ShowCards();
        QVERIFY(m_oMain->Reader()->Active());
        Unplug(QStringLiteral("COM33"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_oMain->Reader()->Active(), Patience);
        QCOMPARE(m_oMain->windowTitle(), QStringLiteral("Config tarvo (Velmo)"));
        Plug(QStringLiteral("COM33"), 33);
        QTRY_VERIFY_WITH_TIMEOUT(m_oMain->Reader()->Active(), Patience);
        Present(QStringLiteral("COM33"), QStringLiteral("C0FFEE"));
        QTRY_COMPARE_WITH_TIMEOUT(m_oMain->Doc().Cards().Count(), 4, Patience);

        // "Release port" closes the session.
        QVERIFY(m_oMain->actReleasePort->isEnabled());
        m_oMain->actReleasePort->trigger();
        QVERIFY(!m_oMain->Reader()->Active());
    }

    void failedOpenIsReported() {
        WriteDataFile([](TTarvoDoc& ADoc) { ADoc.SetReaderPort(QStringLiteral("COM39")); });
        StartMain();
        TBoxAnswerer lAnswer(QMessageBox::Ok);
        ShowCards();
        QVERIFY(!m_oMain->Reader()->Active());
        QCOMPARE(lAnswer.m_aTexts.size(), 1);
        QVERIFY(lAnswer.m_aTexts.first().startsWith(
            QStringLiteral("Failed to connect to the reader to \"COM39\".")));
    }
};

QTEST_MAIN(TestFmMain)
#include "test_fmmain.moc"
