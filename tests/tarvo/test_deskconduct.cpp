// The front desk's conduct where nobody watches it and where the desktop has no tray: one box for a
// storm of write failures, the title-bar close asking first, Ctrl+Q, the reader lost and back, and a
// reader not found by its serial number.

#include "apps/Tarvo/uFmMain.h"

#include "base/uClock.h"
#include "frontdesk/uAppUtils.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uIcons.h"
#include "gui/uPopupMsg.h"
#include "gui/uStateIcons.h"
#include "reader/OrvRClasses.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int cGuests = 60;

// One zone all day; guests Guest1..GuestN with the keys 01..N (one byte each).
QByteArray DataFile(const QString& AReader = QStringLiteral("<Reader cardRegInterval=\"0\"/>")) {
    QString lCards;
    for (int i = 1; i <= cGuests; ++i)
        lCards += QStringLiteral("<Item%1 number=\"%2\" name=\"Guest%1\" level=\"0\"/>\r\n")
                      .arg(i)
                      .arg(QString::number(i, 16).rightJustified(2, QLatin1Char('0')).toUpper());
    return QStringLiteral(
               "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
               "<Tarvo version=\"1.2\">\r\n"
               "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication>"
               "<AccPrice>0</AccPrice></Main>\r\n"
               "%1\r\n"
               "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
               "</TimeZones>\r\n"
               "<Cards>\r\n%2</Cards>\r\n"
               "<Popup timeOut=\"60\" max=\"20\"/>\r\n"
               "</Tarvo>\r\n")
        .arg(AReader, lCards)
        .toUtf8();
}

TOrv_KEYNUM GuestKey(int AGuest) {
    return MakeKeyNum({static_cast<std::uint8_t>(AGuest)});
}

QStringList PopupTexts(TfmMain& AMain) {
    QStringList l;
    for (int i = 0; i < AMain.Popups().Count(); ++i)
        l << AMain.Popups().GetItem(i)->labText->text();
    return l;
}

QImage IconImage(const QIcon& AIcon) {
    return AIcon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

// Answers every message box that opens while it lives with AButton (Ok where the box has no such
// button) and keeps the texts.
class TBoxAnswer {
public:
    explicit TBoxAnswer(QMessageBox::StandardButton AButton) {
        m_oTimer.setInterval(5);
        QObject::connect(&m_oTimer, &QTimer::timeout, [this, AButton] {
            if (auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_aTexts << lBox->text();
                if (QAbstractButton* b = lBox->button(AButton))
                    b->click();
                else
                    lBox->done(QMessageBox::Ok);
            }
        });
        m_oTimer.start();
    }
    QStringList m_aTexts;

private:
    QTimer m_oTimer;
};

} // namespace

class TestDeskConduct : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TFixedClock> m_oClock;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    std::unique_ptr<TfmMain> MakeMain(const QByteArray& AData = DataFile()) {
        m_oDir = std::make_unique<TTempDir>();
        auto lMain = std::make_unique<TfmMain>(m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), AData), false);
        lMain->Doc().Open();
        return lMain;
    }

    // Runs the real start-up against a private reader bus with the readers APlugged ("PORT:SN" each).
    QString StartBus(QTemporaryDir& ABus, const QStringList& APlugged) {
        qputenv("ORV_SIM_BUS", ABus.path().toLocal8Bit());
        for (const QString& p : APlugged)
            if (Orvsim({"plug", p.section(':', 0, 0), "--sn", p.section(':', 1, 1)}) != 0)
                return QStringLiteral("orvsim plug failed");
        m_oClock.reset(); // the reader's notifications need the real clock's time to pass
        return QString();
    }
    static int Orvsim(const QStringList& AArgs) {
        return QProcess::execute(qEnvironmentVariable("TARVO_BIN_DIR") + QStringLiteral("/orvsim"), AArgs);
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
        qunsetenv("ORV_SIM_BUS");
        Tarvo::g_oAppCmdLine.reset();
        // Exit ends the application's event loop, and an ended loop makes every later modal box return
        // at once: a short run of the loop lets the next test start afresh.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QApplication::exec();
    }

    // Nobody at the desk and the day's log cannot be written: every check-in fails. One box shows the
    // first failure and counts the others as they come; each lost line is in the debug log, or the box
    // says that the debug log could not take them either.
    void WriteFailuresWhileTheBoxIsOpenAreCountedIntoIt_data() {
        QTest::addColumn<bool>("debugLogWritable");
        QTest::newRow("debug log writable") << true;
        QTest::newRow("debug log not writable") << false;
    }
    void WriteFailuresWhileTheBoxIsOpenAreCountedIntoIt() {
        QFETCH(bool, debugLogWritable);
        auto w = MakeMain();
        // A folder where the day's log file should be: no line can be appended to it.
        QVERIFY(QDir().mkpath(w->Doc().GetLogPath(w->Doc().ReportDate(), false)));
        const QString lDebugLog = m_oDir->FilePath(QStringLiteral("Tarvo.log"));
        if (!debugLogWritable)
            QVERIFY(QDir().mkpath(lDebugLog));

        QStringList lLost; // the log lines of the events, as they would have been written
        auto checkIn = [&](int AGuest) {
            m_oClock->Set(MakeDateTime(2026, 3, 2, 10, AGuest - 1, 0));
            w->HandleCard(1, GuestKey(AGuest));
            lLost << QStringLiteral("10:%1:00 [in] Guest%2, 0")
                         .arg(AGuest - 1, 2, 10, QLatin1Char('0'))
                         .arg(AGuest);
        };
        QSet<QMessageBox*> lBoxes;
        QString lText;
        bool lBurstDone = false;
        QTimer lScript;
        lScript.setInterval(5);
        connect(&lScript, &QTimer::timeout, [&] {
            auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!lBox)
                return;
            lBoxes.insert(lBox);
            if (!lBurstDone) {
                // More guests arrive while the box waits for somebody to click it.
                for (int g = 2; g <= cGuests; ++g)
                    checkIn(g);
                lBurstDone = true;
                return; // the event loop runs on with the box open
            }
            lText = lBox->text();
            lBox->done(QMessageBox::Ok);
        });
        lScript.start();
        checkIn(1);
        QTRY_VERIFY_WITH_TIMEOUT(lBurstDone && !QApplication::activeModalWidget(), 10000);
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents();
        QVERIFY(!QApplication::activeModalWidget());
        lScript.stop();

        QCOMPARE(lBoxes.size(), 1);
        QCOMPARE(w->Doc().LogList().Count(), cGuests); // the events stay done
        QVERIFY2(lText.contains(lLost.first()), qPrintable(lText));
        QVERIFY2(!lText.contains(lLost.last()), qPrintable(lText)); // counted, not listed
        QVERIFY2(lText.contains(QStringLiteral("And %1 more lines could not be written").arg(cGuests - 1)),
                 qPrintable(lText));
        if (debugLogWritable) {
            QVERIFY2(lText.contains(
                         QStringLiteral("they are listed in \"%1\"")
                             .arg(w->Doc().FileName().section('/', 0, -2) + QStringLiteral("/Tarvo.log"))),
                     qPrintable(lText));
            QFile f(lDebugLog);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString lLog = QString::fromLatin1(f.readAll());
            for (const QString& l : lLost)
                QVERIFY2(
                    lLog.contains(QStringLiteral("] ") + QStringLiteral("  ") + l + QStringLiteral("\r\n")),
                    qPrintable(l));
        } else {
            QVERIFY2(lText.contains(QStringLiteral("The debug log could not take them either")),
                     qPrintable(lText));
            QVERIFY2(!lText.contains(QStringLiteral("listed in")), qPrintable(lText));
        }

        // Once the box is gone, the next failure has a box of its own.
        lScript.start();
        lBurstDone = true;
        lText.clear();
        w->HandleCard(1, GuestKey(1)); // Guest1 leaves: its out-line cannot be written either
        QTRY_VERIFY_WITH_TIMEOUT(!lText.isEmpty(), 10000);
        QCOMPARE(lBoxes.size(), 2);
        QVERIFY2(!lText.contains(QStringLiteral("more line")), qPrintable(lText));
    }

    // Without a tray the window is the program: its close asks, and Yes ends the program as Exit does.
    void TitleBarCloseWithoutATrayAsksBeforeExiting_data() {
        QTest::addColumn<bool>("yes");
        QTest::newRow("Yes") << true;
        QTest::newRow("No") << false;
    }
    void TitleBarCloseWithoutATrayAsksBeforeExiting() {
        QFETCH(bool, yes);
        auto w = MakeMain();
        QVERIFY(!w->HasTray());
        w->show();
        w->Doc().SetPopupMax(7);
        {
            TBoxAnswer lAnswer(yes ? QMessageBox::Yes : QMessageBox::No);
            QCOMPARE(w->close(), yes);
            QCOMPARE(lAnswer.m_aTexts, QStringList{QStringLiteral("Exit Tarvo?")});
        }
        QCOMPARE(w->ExitRequested(), yes);
        QCOMPARE(w->isVisible(), !yes);
        QFile f(w->Doc().FileName());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().contains("max=\"7\""), yes);
    }

    void CtrlQIsExit() {
        auto w = MakeMain();
        w->show();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->Doc().SetPopupMax(7);
        TBoxCatcher lBoxes;
        QTest::keyClick(w->pcMain->currentWidget(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(w->ExitRequested());
        QVERIFY(lBoxes.m_aTexts.isEmpty()); // as Program > Exit: no question
        QFile f(w->Doc().FileName());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("max=\"7\""));
    }

    // The reader unplugged: a popup that stays says so at once and the tray icon shows it; plugged
    // back, the lost popup goes and another one says the reader is back.
    void ReaderLostAndBackAreAnnounced() {
        QTemporaryDir lBus;
        QCOMPARE(StartBus(lBus, {"COM3:1001"}), QString());
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile = m_oDir->WriteFile(
            QStringLiteral("Tarvo.xml"), DataFile(QStringLiteral("<Reader sn=\"1001\" port=\"COM3\"/>")));
        TfmMain w(lFile, false);
        QVERIFY(w.DeferredStartup());
        QVERIFY(w.Reader()->Active());
        QVERIFY(!w.ReaderLost());
        QVERIFY(PopupTexts(w).isEmpty());
        const QImage lNormal = IconImage(w.trayIcon->icon());
        QCOMPARE(lNormal, IconImage(TarvoIcons::ProgramIcon()));

        QCOMPARE(Orvsim({"unplug", "COM3"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(w.ReaderLost(), 8000);
        QCOMPARE(PopupTexts(w).size(), 1);
        QVERIFY2(PopupTexts(w).first().startsWith(QStringLiteral("Reader on COM3 lost: cards are not read")),
                 qPrintable(PopupTexts(w).first()));
        QCOMPARE(w.LastTrayMessage(), PopupTexts(w).first());
        QCOMPARE(IconImage(w.trayIcon->icon()), IconImage(TarvoIcons::ReaderLostIcon()));
        QVERIFY(IconImage(w.trayIcon->icon()) != lNormal);
        QVERIFY(w.trayIcon->toolTip().contains(QStringLiteral("Reader lost")));

        QCOMPARE(Orvsim({"plug", "COM3", "--sn", "1001"}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!w.ReaderLost(), 8000);
        QVERIFY(w.Reader()->Active());
        QCOMPARE(PopupTexts(w), QStringList{QStringLiteral("Reader on COM3 is back: cards are read again.")});
        QCOMPARE(w.LastTrayMessage(), PopupTexts(w).first());
        QCOMPARE(IconImage(w.trayIcon->icon()), lNormal);
        QVERIFY(!w.trayIcon->toolTip().contains(QStringLiteral("Reader lost")));
    }

    // The reader the settings name by its serial number is nowhere: the start says so (unless started
    // by the autorun entry), and the tray icon shows it.
    void ReaderNotFoundBySerialNumberIsReported_data() {
        QTest::addColumn<QString>("reader");
        QTest::addColumn<QStringList>("plugged");
        QTest::addColumn<bool>("autorun");
        QTest::newRow("no port, another reader") << "<Reader sn=\"1001\"/>" << QStringList{"COM4:5"} << false;
        QTest::newRow("port holds another reader")
            << "<Reader sn=\"1001\" port=\"COM3\"/>" << QStringList{"COM3:5"} << false;
        QTest::newRow("started by autorun") << "<Reader sn=\"1001\"/>" << QStringList{"COM4:5"} << true;
    }
    void ReaderNotFoundBySerialNumberIsReported() {
        QFETCH(QString, reader);
        QFETCH(QStringList, plugged);
        QFETCH(bool, autorun);
        QTemporaryDir lBus;
        QCOMPARE(StartBus(lBus, plugged), QString());
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile(reader));
        if (autorun) {
            Tarvo::g_oAppCmdLine = std::make_unique<Tarvo::TAppCmdLineInfo>();
            Tarvo::g_oAppCmdLine->m_fAutorun = true;
        }
        TfmMain w(lFile, false);
        TBoxCatcher lBoxes;
        QVERIFY(w.DeferredStartup());
        QVERIFY(!w.Reader()->Active());
        QVERIFY(w.ReaderLost());
        if (autorun) {
            QCOMPARE(lBoxes.m_aTexts, QStringList());
        } else {
            QCOMPARE(lBoxes.m_aTexts.size(), 1);
            QVERIFY2(lBoxes.m_aTexts.first().startsWith(
                         QStringLiteral("No reader with the serial number 1001 was found")),
                     qPrintable(lBoxes.m_aTexts.first()));
        }
        // Not a lost reader: it never read, so no lost popup, only the icon.
        QVERIFY(PopupTexts(w).isEmpty());
        QCOMPARE(IconImage(w.trayIcon->icon()), IconImage(TarvoIcons::ReaderLostIcon()));
    }

    // A data file the desk cannot bill or recognise cards with: the start says so in one box that
    // names every problem the document found; a sound file gives no box.
    void LoadProblemsAreShownInOneBoxAtStart_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("problems");
        const QByteArray lSound = DataFile(QString());
        QByteArray lNoZones = lSound;
        lNoZones.replace("baseCost=\"2\"", "baseCost=\"two\"");
        QByteArray lNothing = lNoZones;
        lNothing.replace("number=\"", "number=\"zz");
        QTest::newRow("sound") << lSound << 0;
        QTest::newRow("cost unreadable") << lNoZones << 1;
        QTest::newRow("no zone, no card") << lNothing << 2;
        QTest::newRow("not XML") << QByteArray("Tarvo data, kept by hand\r\n") << 1;
    }
    void LoadProblemsAreShownInOneBoxAtStart() {
        QFETCH(QByteArray, data);
        QFETCH(int, problems);
        m_oDir = std::make_unique<TTempDir>();
        TfmMain w(m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), data), false);
        TBoxCatcher lBoxes;
        QVERIFY(w.DeferredStartup());
        const QStringList lProblems = w.Doc().LoadProblems();
        QVERIFY2(lProblems.size() >= problems, qPrintable(lProblems.join('|')));
        if (problems == 0) {
            QCOMPARE(lBoxes.m_aTexts, QStringList());
            return;
        }
        QCOMPARE(lBoxes.m_aTexts.size(), 1);
        for (const QString& p : lProblems)
            QVERIFY2(lBoxes.m_aTexts.first().contains(p), qPrintable(lBoxes.m_aTexts.first()));
        QVERIFY(w.isVisible());
    }
};

QTEST_MAIN(TestDeskConduct)
#include "test_deskconduct.moc"
