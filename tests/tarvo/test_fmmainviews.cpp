// The front desk's lists as the operator works them: the highlight stays on its entry while events
// come in and lists are sorted, Enter acts on the entry shown, settings changes show at once, and the
// base station pulses whichever outputs the settings use.

#include "apps/Tarvo/uFmMain.h"

#include "apps/Tarvo/uDlgBooking.h"
#include "base/uClock.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uListView.h"
#include "reader/OrvRClasses.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0C, 0x0B, 0x0A});
const TOrv_KEYNUM cBob = MakeKeyNum({0x0D});
const TOrv_KEYNUM cCid = MakeKeyNum({0xF1, 0xE0});

// One zone all day at 2 per minute, whole amounts, per minute; AReader goes into the file as it is.
QByteArray DataFile(const QByteArray& AReader = "<Reader cardRegInterval=\"0\"/>") {
    return QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<Tarvo version=\"1.2\">\r\n"
                      "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication>"
                      "<AccPrice>0</AccPrice></Main>\r\n") +
           AReader +
           "\r\n<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
           "</TimeZones>\r\n<Cards>\r\n"
           "<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
           "<Item2 number=\"0D\" name=\"Bob\" level=\"10\"/>\r\n"
           "<Item3 number=\"E0F1\" name=\"Cid\" level=\"5\"/>\r\n"
           "</Cards>\r\n<Popup timeOut=\"60\" max=\"20\"/>\r\n</Tarvo>\r\n";
}

QString Cell(TListView* AList, int ARow, int AColumn) {
    return AList->model()->data(AList->model()->index(ARow, AColumn)).toString();
}

void SelectRow(TListView* AList, int ARow) {
    AList->setFocus();
    AList->selectionModel()->setCurrentIndex(AList->model()->index(ARow, 0),
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Runs AAction and returns the object name of the modal dialog it opened (empty: none), after
// AInspect has seen the dialog; the dialog is then cancelled.
QString ModalOpenedBy(
    const std::function<void()>& AAction, const std::function<void(QWidget*)>& AInspect = [](QWidget*) {}) {
    QString lName;
    QTimer lWatch;
    lWatch.setInterval(5);
    QObject::connect(&lWatch, &QTimer::timeout, [&] {
        if (auto* lDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            lName = lDlg->objectName();
            AInspect(lDlg);
            lDlg->reject();
        }
    });
    lWatch.start();
    AAction();
    return lName;
}

} // namespace

class TestFmMainViews : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TFixedClock> m_oClock;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    std::unique_ptr<TfmMain> MakeMain() {
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile());
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().Open();
        lMain->show();
        for (QWidget* lPage : {lMain->tsIn, lMain->tsReport, lMain->tsLog})
            lMain->pcMain->setCurrentWidget(lPage);
        return lMain;
    }
    void CardAt(TfmMain& AMain, const TOrv_KEYNUM& AKey, int AHour, int AMin) {
        m_oClock->Set(MakeDateTime(2026, 3, 2, AHour, AMin, 0));
        AMain.HandleCard(1, AKey);
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

    // The highlighted entry of each list is still highlighted after the event or sort that moved its
    // row; its name is read from the row now selected. The day: Ann in 10:00, Bob in 10:05 and out 10:10,
    // Cid in 10:20; then Ann leaves at 10:30 (for the report before the selection, which a sort moves).
    void highlightStaysOnItsEntry_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("row");      // selected before
        QTest::addColumn<QString>("name"); // of the selected entry
        QTest::addColumn<int>("nowAt");    // its row afterwards
        // Newest first: Cid in, Bob out, Bob in, Ann in; Ann's check-out comes on top.
        QTest::newRow("log, new event on top") << "lvLog" << 1 << "Bob" << 2;
        // Ann and Cid inside; Ann leaves.
        QTest::newRow("guests, one before leaves") << "lvIn" << 1 << "Cid" << 0;
        // Bob's visit, then Ann's; sorted by user name.
        QTest::newRow("report, sorted") << "lvReport" << 0 << "Bob" << 1;
        QTest::newRow("report, sorted, other row") << "lvReport" << 1 << "Ann" << 0;
    }
    void highlightStaysOnItsEntry() {
        QFETCH(QString, list);
        QFETCH(int, row);
        QFETCH(QString, name);
        QFETCH(int, nowAt);
        auto w = MakeMain();
        CardAt(*w, cAnn, 10, 0);
        CardAt(*w, cBob, 10, 5);
        CardAt(*w, cBob, 10, 10);
        CardAt(*w, cCid, 10, 20);
        auto* lv = w->findChild<TListView*>(list);
        QVERIFY(lv);
        const int lNameColumn = lv == w->lvIn ? 1 : 2;
        const bool lSort = lv == w->lvReport;
        if (lSort)
            CardAt(*w, cAnn, 10, 30);
        SelectRow(lv, row);
        QCOMPARE(Cell(lv, row, lNameColumn), name);
        if (lSort)
            Q_EMIT lv->headerClicked(Tarvo::rcUser - 1);
        else
            CardAt(*w, cAnn, 10, 30);
        QCOMPARE(lv->SelectedRows(), QList<int>{nowAt});
        QCOMPARE(lv->currentIndex().row(), nowAt);
        QCOMPARE(Cell(lv, nowAt, lNameColumn), name);
    }

    // Enter books the guest highlighted, even after a check-out moved the rows; on the log it opens
    // the comment of the check-in highlighted, as a double-click does.
    void enterActsOnTheEntryHighlighted() {
        auto w = MakeMain();
        CardAt(*w, cAnn, 10, 0);
        CardAt(*w, cBob, 10, 5);
        CardAt(*w, cCid, 10, 10);
        w->pcMain->setCurrentWidget(w->tsIn);
        SelectRow(w->lvIn, 2); // Cid
        CardAt(*w, cBob, 10, 20);
        QString lUser;
        const QString lDlg = ModalOpenedBy([&] { QTest::keyClick(w->lvIn, Qt::Key_Return); },
                                           [&](QWidget* ADlg) {
                                               if (auto* d = qobject_cast<TfrmBookingDlg*>(ADlg))
                                                   lUser = d->edtUser->text();
                                           });
        QCOMPARE(lDlg, QStringLiteral("TfrmBookingDlg"));
        QCOMPARE(lUser, QStringLiteral("Cid"));

        w->pcMain->setCurrentWidget(w->tsLog);
        SelectRow(w->lvLog, 1); // Cid's check-in
        QCOMPARE(ModalOpenedBy([&] { QTest::keyClick(w->lvLog, Qt::Key_Return); }),
                 QStringLiteral("TfmLogItemDlg"));
        SelectRow(w->lvLog, 0); // Bob's check-out has no comment dialog
        QCOMPARE(ModalOpenedBy([&] { QTest::keyClick(w->lvLog, Qt::Key_Enter, Qt::KeypadModifier); }),
                 QString());
    }

    // Settings shown in rows reach the rows with the change, not with the next card.
    void rowsFollowSettingsAtOnce_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("guests' time by the second") << "lvIn" << 4 << "10:05"
                                                    << "10:05:07";
        QTest::newRow("log sum to hundredths") << "lvLog" << 6 << "20"
                                               << "20.00";
        QTest::newRow("report sum to hundredths") << "lvReport" << 7 << "20"
                                                  << "20.00";
    }
    void rowsFollowSettingsAtOnce() {
        QFETCH(QString, list);
        QFETCH(int, column);
        QFETCH(QString, before);
        QFETCH(QString, after);
        auto w = MakeMain();
        CardAt(*w, cAnn, 10, 0);
        CardAt(*w, cAnn, 10, 10); // 10 minutes at 2
        m_oClock->Set(MakeDateTime(2026, 3, 2, 10, 5, 7));
        w->HandleCard(1, cBob);
        auto* lv = w->findChild<TListView*>(list);
        const int lRow = lv == w->lvLog ? 1 : 0;
        QCOMPARE(Cell(lv, lRow, column), before);
        w->Doc().BeginUpdate();
        w->Doc().SetTariffication(Tarvo::TARIF_SECOND);
        w->Doc().SetAccPrice(-2);
        w->Doc().EndUpdate();
        QCOMPARE(Cell(lv, lRow, column), after);
    }

    // A base station pulses an output used alone, whichever it is: the beeper at check-in and the power
    // output at check-out, or the other way round.
    void baseStationPulsesEveryOutputUsed_data() {
        QTest::addColumn<QByteArray>("outputs");
        QTest::addColumn<QString>("atIn");
        QTest::addColumn<QString>("atOut");
        QTest::newRow("beeper in, power out")
            << QByteArray("<Beep active=\"True\" initON=\"False\" time=\"60000\"/>"
                          "<Exit><Power active=\"True\" initON=\"False\" time=\"60000\"/></Exit>")
            << "indicator red=- green=- sound=on"
            << "power on";
        QTest::newRow("power in, beeper out")
            << QByteArray("<Power active=\"True\" initON=\"False\" time=\"60000\"/>"
                          "<Exit><Beep active=\"True\" initON=\"False\" time=\"60000\"/></Exit>")
            << "power on"
            << "indicator red=- green=- sound=on";
    }
    void baseStationPulsesEveryOutputUsed() {
        QFETCH(QByteArray, outputs);
        QFETCH(QString, atIn);
        QFETCH(QString, atOut);
        QTemporaryDir lBus;
        qputenv("ORV_SIM_BUS", lBus.path().toLocal8Bit());
        const QString lOrvsim = qEnvironmentVariable("TARVO_BIN_DIR") + QStringLiteral("/orvsim");
        auto events = [&] {
            QProcess p;
            p.start(lOrvsim, {QStringLiteral("events"), QStringLiteral("COM3")});
            p.waitForFinished(10000);
            QStringList l;
            for (const QString& s : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
                if (!s.isEmpty())
                    l << s.section(u' ', 1); // without the time
            return l;
        };
        QCOMPARE(QProcess::execute(lOrvsim, {"plug", "COM3", "--sn", "1001", "--model", "7"}), 0);
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile =
            m_oDir->WriteFile(QStringLiteral("Tarvo.xml"),
                              DataFile("<Reader sn=\"1001\" port=\"COM3\" cardRegInterval=\"0\"><Korvel>" +
                                       outputs + "</Korvel></Reader>"));
        m_oClock.reset(); // the reader's notifications need the real clock's time to pass
        {
            TfmMain w(lFile, false);
            QVERIFY(w.DeferredStartup());
            QVERIFY(w.Reader() && w.Reader()->Active());
            const int lOpened = events().size(); // the outputs put into their idle states
            w.HandleCard(1, cAnn);
            QTRY_VERIFY_WITH_TIMEOUT(events().mid(lOpened).contains(atIn), 5000);
            const int lIn = events().size();
            w.HandleCard(1, cAnn);
            QTRY_VERIFY_WITH_TIMEOUT(events().mid(lIn).contains(atOut), 5000);
        }
        qunsetenv("ORV_SIM_BUS");
    }
};

QTEST_MAIN(TestFmMainViews)
#include "test_fmmainviews.moc"
