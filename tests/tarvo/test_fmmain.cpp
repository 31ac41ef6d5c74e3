// The front desk's main window without a reader: cards handed to its card handling as the reader
// attachment does, the popups they raise, the three lists with their sorting, the repeat filter, and
// closing.

#include "apps/Tarvo/uFmMain.h"

#include "base/uClock.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uListView.h"
#include "gui/uPopupMsg.h"
#include "reader/OrvRClasses.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0C, 0x0B, 0x0A});
const TOrv_KEYNUM cBob = MakeKeyNum({0x0D});
const TOrv_KEYNUM cCid = MakeKeyNum({0xF1, 0xE0}); // no user name
const TOrv_KEYNUM cStranger = MakeKeyNum({0x77, 0x66});

// One zone all day at 2 per minute (1 at level 10), whole amounts.
QByteArray DataFile(int ATariffication, int ACardRegMin) {
    return QStringLiteral(
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
               "<Tarvo version=\"1.2\">\r\n"
               "<Main><StartDayTime>06:00</StartDayTime><Tariffication>%1</Tariffication>"
               "<AccPrice>0</AccPrice></Main>\r\n"
               "<Reader cardRegInterval=\"%2\"/>\r\n"
               "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
               "</TimeZones>\r\n"
               "<Cards>\r\n"
               "<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
               "<Item2 number=\"0D\" name=\"Bob\" level=\"10\"/>\r\n"
               "<Item3 number=\"E0F1\" level=\"5\"/>\r\n"
               "</Cards>\r\n"
               "<Popup timeOut=\"60\" max=\"20\"/>\r\n"
               "</Tarvo>\r\n")
        .arg(ATariffication)
        .arg(ACardRegMin)
        .toUtf8();
}

QString Cell(TListView* AList, int ARow, int AColumn) {
    return AList->model()->data(AList->model()->index(ARow, AColumn)).toString();
}

QStringList Column(TListView* AList, int AColumn) {
    QStringList l;
    for (int r = 0; r < AList->model()->rowCount(); ++r)
        l << Cell(AList, r, AColumn);
    return l;
}

QString LastPopupText(TfmMain& AMain) {
    TPopupMsgMngr& m = AMain.Popups();
    // The label shows the message's CR LF line breaks as plain line breaks.
    return m.Count() == 0 ? QString()
                          : m.GetItem(m.Count() - 1)->labText->text().replace(u'\n', QStringLiteral("\r\n"));
}

} // namespace

class TestFmMain : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TFixedClock> m_oClock;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    std::unique_ptr<TfmMain> MakeMain(int ATariffication, int ACardRegMin) {
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile =
            m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile(ATariffication, ACardRegMin));
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().Open();
        return lMain;
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit()); }
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>();
        m_oClock = std::make_unique<TFixedClock>(MakeDateTime(2026, 3, 2, 10, 0, 0), 1000);
    }
    void cleanup() {
        m_oClock.reset();
        m_oLocale.reset();
    }

    void CheckInAndOutAnnouncedInPopups_data() {
        QTest::addColumn<int>("tariff");
        QTest::addColumn<int>("stay"); // seconds
        QTest::addColumn<QString>("duration");
        QTest::newRow("per minute, hours and minutes") << 2 << 4530 << "1 h. 16 min";
        QTest::newRow("per minute, 29 s") << 2 << 29 << "0 min";
        QTest::newRow("per minute, 30 s") << 2 << 30 << "1 min";
        QTest::newRow("hourly") << 3 << 4530 << "1 h";
        QTest::newRow("hourly, 89 min 29 s") << 3 << 89 * 60 + 29 << "1 h";
        QTest::newRow("hourly, 89 min 30 s") << 3 << 89 * 60 + 30 << "2 h";
        QTest::newRow("per second") << 1 << 4530 << "1 h. 15 min. 30 sec";
        QTest::newRow("per second, seconds only") << 1 << 7 << "7 sec";
    }
    void CheckInAndOutAnnouncedInPopups() {
        QFETCH(int, tariff);
        QFETCH(int, stay);
        QFETCH(QString, duration);
        auto w = MakeMain(tariff, 0);
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 14, 40));
        w->HandleCard(1, cAnn);
        QCOMPARE(w->Popups().Count(), 1);
        // The arrival rounded to minutes.
        QCOMPARE(LastPopupText(*w), QStringLiteral("Ann\r\n is logged at 10:15."));
        QVERIFY(!w->Popups().GetItem(0)->UserData().has_value());

        m_oClock->AdvanceMs(std::int64_t(stay) * 1000);
        w->HandleCard(1, cAnn);
        QCOMPARE(w->Popups().Count(), 2);
        const QString lText = LastPopupText(*w);
        const QString lSum = Tarvo::TTarvoDoc::PriceToStr(w->Doc().Report().Get(0)->m_nSum, 0);
        QCOMPARE(lText, QStringLiteral("Ann\r\n has been %1.\r\nSum: %2.").arg(duration, lSum));
        // The check-out popup carries the visit for its receipt.
        const auto* lData = std::any_cast<Tarvo::TReceiptData>(&w->Popups().GetItem(1)->UserData());
        QVERIFY(lData);
        QCOMPARE(lData->m_nReceiptN, 0);
        QCOMPARE(lData->m_Card.m_sUserName, QStringLiteral("Ann"));
    }

    void CardWithoutNameIsShownByItsKey() {
        auto w = MakeMain(2, 0);
        w->HandleCard(1, cCid);
        QCOMPARE(LastPopupText(*w), QStringLiteral("{E0F1}\r\n is logged at 10:00."));
        m_oClock->AdvanceMs(30 * 60 * 1000);
        w->HandleCard(1, cCid);
        QCOMPARE(LastPopupText(*w), QStringLiteral("{E0F1}\r\n has been 30 min.\r\nSum: 45."));
        // An unregistered card changes nothing and shows nothing.
        w->HandleCard(1, cStranger);
        QCOMPARE(w->Popups().Count(), 2);
        QCOMPARE(w->Doc().LogList().Count(), 2);
    }

    void RepeatsWithinTheIntervalCountOnce_data() {
        QTest::addColumn<int>("regMin");
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<int>("cardType2");
        QTest::addColumn<bool>("counted");
        QTest::newRow("same card at once") << 3000 << 10 << 1 << false;
        QTest::newRow("same card just inside") << 3000 << 2999 << 1 << false;
        QTest::newRow("same card after the interval") << 3000 << 3000 << 1 << true;
        QTest::newRow("same number, other card type") << 3000 << 10 << 2 << true;
        QTest::newRow("no interval") << 0 << 0 << 1 << true;
    }
    void RepeatsWithinTheIntervalCountOnce() {
        QFETCH(int, regMin);
        QFETCH(int, afterMs);
        QFETCH(int, cardType2);
        QFETCH(bool, counted);
        auto w = MakeMain(2, regMin);
        m_oClock->SetTick(0xFFFFFF00u); // the tick counter wraps around in between
        w->HandleCard(1, cAnn);
        QCOMPARE(w->Doc().InUsers().Count(), 1);
        m_oClock->AdvanceMs(afterMs);
        w->HandleCard(static_cast<std::uint32_t>(cardType2), cAnn);
        QCOMPARE(w->Doc().InUsers().Count(), counted ? 0 : 1);
        QCOMPARE(w->Doc().LogList().Count(), counted ? 2 : 1);
    }

    void RepeatIgnoredDoesNotRenewTheInterval() {
        auto w = MakeMain(2, 3000);
        w->HandleCard(1, cAnn);
        m_oClock->AdvanceMs(2000);
        w->HandleCard(1, cAnn); // ignored
        m_oClock->AdvanceMs(1500);
        w->HandleCard(1, cAnn); // 3.5 s after the first: counts
        QCOMPARE(w->Doc().InUsers().Count(), 0);
        // Another card between two presentations of one card lets the second count at once.
        m_oClock->AdvanceMs(5000);
        w->HandleCard(1, cAnn);
        w->HandleCard(1, cBob);
        w->HandleCard(1, cAnn);
        QCOMPARE(w->Doc().InUsers().Count(), 1);
        QCOMPARE(w->Doc().InUsers().Get(0)->m_pCard->m_sUserName, QStringLiteral("Bob"));
    }

    void ListsFollowTheDocumentAndSort() {
        auto w = MakeMain(2, 0);
        // A day: Ann 10:00-10:30 (60), Bob 10:05-11:05 (60 at level 10), Cid 10:10-10:20 (15 at level 5).
        w->HandleCard(1, cAnn);
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 5, 0));
        w->HandleCard(1, cBob);
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 10, 0));
        w->HandleCard(1, cCid);
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 20, 0));
        w->HandleCard(1, cCid);
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 30, 0));
        w->HandleCard(1, cAnn);

        // The log page is filled when first shown; newest first.
        w->pcMain->setCurrentWidget(w->tsIn);
        w->pcMain->setCurrentWidget(w->tsLog);
        QVERIFY(w->InitPages() & TfmMain::PAGE_LOG);
        QCOMPARE(Column(w->lvLog, 1),
                 (QStringList{"10:30:00", "10:20:00", "10:10:00", "10:05:00", "10:00:00"}));
        QCOMPARE(Column(w->lvLog, 2), (QStringList{"Ann", "{E0F1}", "{E0F1}", "Bob", "Ann"}));
        QCOMPARE(Column(w->lvLog, 4), (QStringList{"Out", "Out", "In", "In", "In"}));

        // Guests inside: only Bob; the page follows later events without being shown again.
        QCOMPARE(Column(w->lvIn, 1), QStringList{"Bob"});
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 40, 0));
        w->HandleCard(1, cAnn);
        QCOMPARE(Column(w->lvIn, 1), (QStringList{"Bob", "Ann"}));
        QCOMPARE(Column(w->lvLog, 1).first(), QStringLiteral("10:40:00"));

        // Report: sums, total, sorting by header clicks (ascending, then descending).
        w->pcMain->setCurrentWidget(w->tsReport);
        QCOMPARE(Column(w->lvReport, 2), (QStringList{"{E0F1}", "Ann"}));
        QCOMPARE(w->edtTotalSum->text(), QStringLiteral("75"));
        m_oClock->Set(MakeDateTime(2026, 3, 2, 11, 5, 0));
        w->HandleCard(1, cBob);
        QCOMPARE(Column(w->lvReport, 2), (QStringList{"{E0F1}", "Ann", "Bob"}));
        QCOMPARE(Column(w->lvReport, 7), (QStringList{"15", "60", "60"}));
        QCOMPARE(w->edtTotalSum->text(), QStringLiteral("135"));

        // By user name: the card without a name has the empty name.
        Q_EMIT w->lvReport->headerClicked(Tarvo::rcUser - 1);
        QCOMPARE(Column(w->lvReport, 2), (QStringList{"{E0F1}", "Ann", "Bob"}));
        Q_EMIT w->lvReport->headerClicked(Tarvo::rcUser - 1);
        QCOMPARE(Column(w->lvReport, 2), (QStringList{"Bob", "Ann", "{E0F1}"}));
        QCOMPARE(w->RepVD().SortColumn(), -Tarvo::rcUser);
        // Sum ascending: ties of equal sums by user name.
        Q_EMIT w->lvReport->headerClicked(Tarvo::rcSum - 1);
        QCOMPARE(Column(w->lvReport, 2), (QStringList{"{E0F1}", "Ann", "Bob"}));
        // A new visit lands in its sorted place.
        m_oClock->Set(MakeDateTime(2026, 3, 2, 11, 10, 0));
        w->HandleCard(1, cAnn); // Ann 10:40-11:10: 60
        QCOMPARE(Column(w->lvReport, 7), (QStringList{"15", "60", "60", "60"}));
        QCOMPARE(Column(w->lvReport, 2), (QStringList{"{E0F1}", "Ann", "Ann", "Bob"}));

        Q_EMIT w->lvIn->headerClicked(Tarvo::icUser - 1);
        QCOMPARE(w->InVD().SortColumn(), static_cast<int>(Tarvo::icUser));
    }

    void TitleBarCloseAnsweredNoKeepsExitSaves() {
        auto w = MakeMain(2, 0);
        w->show();
        {
            TBoxCatcher lBoxes; // without a tray (as offscreen) the close asks first; not answered Yes
            QVERIFY(!w->close());
            QCOMPARE(lBoxes.m_aTexts, QStringList{QStringLiteral("Exit Tarvo?")});
        }
        QVERIFY(w->isVisible());
        QVERIFY(!w->ExitRequested());

        w->Doc().SetPopupMax(7);
        QVERIFY(w->Doc().Modifyed());
        w->DoExit();
        QVERIFY(w->ExitRequested());
        QVERIFY(!w->isVisible());
        QFile f(w->Doc().FileName());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("max=\"7\""));
        QCOMPARE(w->Doc().OpenRef(), 0);
    }

    // The real start-up against a private reader bus: the reader is connected and named in the caption,
    // follows its port out and back, and is connected again when the configuration program cannot be
    // started (there is none beside the test program).
    void ReaderFollowsItsPortAndSurvivesAFailedHandOver() {
        QTemporaryDir lBus;
        qputenv("ORV_SIM_BUS", lBus.path().toLocal8Bit());
        const QString lOrvsim = qEnvironmentVariable("TARVO_BIN_DIR") + QStringLiteral("/orvsim");
        auto orvsim = [&](const QStringList& AArgs) { return QProcess::execute(lOrvsim, AArgs); };
        QCOMPARE(orvsim({"plug", "COM3", "--sn", "1001"}), 0);
        m_oDir = std::make_unique<TTempDir>();
        QByteArray lData = DataFile(2, 0);
        lData.replace("<Reader cardRegInterval=\"0\"/>", "<Reader sn=\"1001\" port=\"COM3\"/>");
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), lData);
        m_oClock.reset(); // the reader's notifications need the real clock's time to pass
        {
            TfmMain w(lFile, false);
            QVERIFY(w.DeferredStartup());
            // Without a system tray (as offscreen) the window is shown: it is the only way to the program.
            QCOMPARE(w.isVisible(), !w.HasTray());
            QVERIFY(w.Reader() && w.Reader()->Active());
            QVERIFY(w.windowTitle().endsWith(QStringLiteral(" (COM3)")));

            QCOMPARE(orvsim({"unplug", "COM3"}), 0);
            QTRY_VERIFY_WITH_TIMEOUT(!w.Reader()->Active(), 8000);
            QVERIFY(!w.windowTitle().endsWith(QLatin1Char(')')));
            QCOMPARE(orvsim({"plug", "COM3", "--sn", "1001"}), 0);
            QTRY_VERIFY_WITH_TIMEOUT(w.Reader()->Active(), 8000);
            QVERIFY(w.windowTitle().endsWith(QStringLiteral(" (COM3)")));

            bool lRaised = false;
            try {
                w.DoRunTarvoConfig();
            } catch (const Exception&) {
                lRaised = true;
            }
            QVERIFY(lRaised);
            QVERIFY(!w.ExitRequested());
            QVERIFY(w.Reader()->Active());
        }
        qunsetenv("ORV_SIM_BUS");
    }

    void CaptionNamesProductAndVersion() {
        auto w = MakeMain(2, 0);
        QVERIFY(w->windowTitle().startsWith(QStringLiteral("Tarvo (Velmo) v")));
        QCOMPARE(w->windowTitle(), w->BuildCaption());
        // Without a reader session there is no port in it.
        QVERIFY(!w->windowTitle().endsWith(QLatin1Char(')')));
        QCOMPARE(w->objectName(), QStringLiteral("TfmMain"));
    }
};

QTEST_MAIN(TestFmMain)
#include "test_fmmain.moc"
