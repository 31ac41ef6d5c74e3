// The front desk with a system tray (trayer inside a private Xvfb): the title-bar close hides the window
// to the tray and says so once in a tray message; losing the reader and getting it back are told in the
// tray as well as in popups. Without Xvfb or trayer the tests are skipped.

#include "apps/Tarvo/uFmMain.h"

#include "frontdesk/uTarvoDoc.h"
#include "gui/uPopupMsg.h"
#include "reader/OrvRClasses.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"
#include "tests/tarvo/XvfbTray.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray DataFile(const QByteArray& AReader) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<Tarvo version=\"1.2\">\r\n"
           "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication>"
           "<AccPrice>0</AccPrice></Main>\r\n" +
           AReader +
           "\r\n<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
           "</TimeZones>\r\n"
           "<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n</Cards>\r\n"
           "<Popup timeOut=\"60\" max=\"20\"/>\r\n"
           "</Tarvo>\r\n";
}

// The texts of the tray messages on screen now (the desktop's balloon windows).
QStringList BalloonTexts() {
    QStringList l;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible() ||
            QString::fromLatin1(w->metaObject()->className()) != QLatin1String("QBalloonTip"))
            continue;
        QStringList lLabels;
        for (QLabel* lLabel : w->findChildren<QLabel*>())
            lLabels << lLabel->text();
        l << lLabels.join(QLatin1Char('|'));
    }
    return l;
}

void CloseBalloons() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() &&
            QString::fromLatin1(w->metaObject()->className()) == QLatin1String("QBalloonTip"))
            QTest::mouseClick(w, Qt::LeftButton); // a click on a tray message closes it
    QTRY_VERIFY(BalloonTexts().isEmpty());
}

// Saves the whole screen when TARVO_SCREENSHOT_DIR names a folder (for the README's pictures).
void Screenshot(const QString& AName) {
    const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
    if (lDir.isEmpty() || !QGuiApplication::primaryScreen())
        return;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible()) {
            (void)QTest::qWaitForWindowExposed(w);
            w->repaint();
        }
    QCoreApplication::processEvents();
    QGuiApplication::primaryScreen()->grabWindow(0).save(lDir + QLatin1Char('/') + AName);
}

} // namespace

class TestDeskTray : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    static int Orvsim(const QStringList& AArgs) {
        return QProcess::execute(qEnvironmentVariable("TARVO_BIN_DIR") + QStringLiteral("/orvsim"), AArgs);
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit());
        // trayer claims the tray a moment after it starts.
        QTRY_VERIFY_WITH_TIMEOUT(QSystemTrayIcon::isSystemTrayAvailable() ||
                                     QGuiApplication::platformName() != QLatin1String("xcb"),
                                 8000);
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            QSKIP("no system tray here (Xvfb and trayer are needed)");
    }
    void init() { m_oLocale = std::make_unique<TLocaleOverride>(); }
    void cleanup() {
        m_oLocale.reset();
        qunsetenv("ORV_SIM_BUS");
        CloseBalloons();
    }

    void TitleBarCloseHidesToTheTrayAndSaysSoOnce() {
        m_oDir = std::make_unique<TTempDir>();
        TfmMain w(m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile("<Reader/>")), false);
        w.Doc().Open();
        QVERIFY(w.HasTray());
        QTRY_VERIFY(w.trayIcon->isVisible());
        TBoxCatcher lBoxes; // no question with a tray
        for (int lClose = 1; lClose <= 2; ++lClose) {
            w.ShowMainWnd(true);
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QVERIFY(!w.close());
            QVERIFY(!w.isVisible());
            QVERIFY(!w.ExitRequested());
            if (lClose == 1) {
                QTRY_COMPARE(BalloonTexts().size(), 1);
                QVERIFY2(BalloonTexts().first().contains(QStringLiteral("keeps running")),
                         qPrintable(BalloonTexts().first()));
                Screenshot(QStringLiteral("frontdesk-closed-to-tray.png"));
                CloseBalloons();
            } else {
                // Said once only: the second close hides the window in silence.
                for (int i = 0; i < 20; ++i)
                    QCoreApplication::processEvents();
                QVERIFY(BalloonTexts().isEmpty());
            }
        }
        QVERIFY(lBoxes.m_aTexts.isEmpty());
        // The tray's Show brings the window back.
        w.actShowMainWnd->trigger();
        QVERIFY(w.isVisible());
    }

    void ReaderLostAndBackAreToldInTheTray() {
        QTemporaryDir lBus;
        qputenv("ORV_SIM_BUS", lBus.path().toLocal8Bit());
        QCOMPARE(Orvsim({"plug", "COM3", "--sn", "1001"}), 0);
        m_oDir = std::make_unique<TTempDir>();
        TfmMain w(
            m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile("<Reader sn=\"1001\" port=\"COM3\"/>")),
            false);
        QVERIFY(w.DeferredStartup());
        QVERIFY(w.Reader()->Active());
        QVERIFY(!w.isVisible()); // with a tray the desk starts hidden

        QCOMPARE(Orvsim({"unplug", "COM3"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(BalloonTexts().size(), 1, 8000);
        QVERIFY2(BalloonTexts().first().contains(QStringLiteral("Reader on COM3 lost: cards are not read")),
                 qPrintable(BalloonTexts().first()));
        QCOMPARE(w.Popups().Count(), 1); // and the popup, at once
        Screenshot(QStringLiteral("frontdesk-reader-lost.png"));
        CloseBalloons();

        QCOMPARE(Orvsim({"plug", "COM3", "--sn", "1001"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(BalloonTexts().size(), 1, 8000);
        QVERIFY2(BalloonTexts().first().contains(QStringLiteral("Reader on COM3 is back")),
                 qPrintable(BalloonTexts().first()));
        Screenshot(QStringLiteral("frontdesk-reader-back.png"));
    }
};

int main(int argc, char* argv[]) {
    TXvfbTray lDisplay; // before the application: it runs on that display when it started
    QApplication lApp(argc, argv);
    TestDeskTray lTest;
    return QTest::qExec(&lTest, argc, argv);
}

#include "test_desktray.moc"
