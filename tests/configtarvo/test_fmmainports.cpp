// The configuration window's reader port on tab "Main" against a real virtual reader bus: the port
// chosen in the combo is the port saved with the reader's serial number, the port list follows plug
// and unplug at once, and the status bar tells the reader's state.

#include "tests/configtarvo/ConfigBench.h"

#include "config/uRdPortList.h"
#include "reader/OrvRClasses.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimeEdit>

using namespace ConfigBench;

class TestFmMainPorts : public QObject {
    Q_OBJECT

    TBench m_oBench;

    TfmMain& Main() { return m_oBench.Main(); }
    QStringList PortItems() {
        QStringList lItems;
        for (int i = 0; i < Main().cbRdPort->count(); ++i)
            lItems << Main().cbRdPort->itemText(i);
        return lItems;
    }
    QString ReaderState() {
        auto* lLabel = Main().findChild<QLabel*>(QStringLiteral("labReaderState"));
        return lLabel && Main().statusBar()->isVisible() ? lLabel->text() : QString();
    }

private Q_SLOTS:
    void initTestCase() { m_oBench.InitCase(); }
    void init() { m_oBench.Init(); }
    void cleanup() { m_oBench.Cleanup(); }
    void cleanupTestCase() { m_oBench.CleanupCase(); }

    void chosenPortIsSavedWithItsReader_data() {
        QTest::addColumn<bool>("typed");
        QTest::newRow("chosen from the list with the arrow keys") << false;
        QTest::newRow("typed and left") << true;
    }
    void chosenPortIsSavedWithItsReader() {
        QFETCH(bool, typed);
        m_oBench.Plug(QStringLiteral("COM3"), 1001);
        m_oBench.Plug(QStringLiteral("COM10"), 2002, 7);
        m_oBench.WriteDataFile({}, [](TTarvoDoc& ADoc) {
            ADoc.SetReaderSn(1001);
            ADoc.SetReaderPort(QStringLiteral("COM3"));
        });
        m_oBench.StartMain();
        Main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Main()));
        const QString lCom10 = QStringLiteral("COM10    %1 s/n 2002").arg(ReaderModelName(7));
        // The search at start-up knows the readers on the ports.
        QTRY_VERIFY2_WITH_TIMEOUT(PortItems().contains(lCom10), qPrintable(PortItems().join('|')), Patience);
        QCOMPARE(PortItems().size(), 2);
        QVERIFY(Main().cbRdPort->currentText().startsWith(QStringLiteral("COM3")));

        QComboBox* lCombo = Main().cbRdPort;
        lCombo->setFocus();
        QTRY_VERIFY_WITH_TIMEOUT(lCombo->lineEdit()->hasFocus(), Patience);
        if (typed) {
            lCombo->lineEdit()->selectAll();
            QTest::keyClicks(lCombo->lineEdit(), QStringLiteral("COM10"));
            Main().edtRdSn->setFocus(); // leaving the field
        } else {
            const int lTarget = PortItems().indexOf(lCom10);
            while (lCombo->currentIndex() != lTarget)
                QTest::keyClick(lCombo, lCombo->currentIndex() > lTarget ? Qt::Key_Up : Qt::Key_Down);
        }
        QCOMPARE(Main().edtRdSn->value(), 2002);
        QVERIFY2(PortNameOfComboText(lCombo->currentText()) == QStringLiteral("COM10"),
                 qPrintable(lCombo->currentText()));

        Main().btnOk->click();
        const auto lSaved = m_oBench.SavedDoc();
        QCOMPARE(lSaved->ReaderSn(), 2002);
        QCOMPARE(lSaved->ReaderPort(), QStringLiteral("COM10"));
    }

    void aTypedSerialPortIsStoredAsTheLibraryNamesIt_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("leading zero") << "COM03"
                                      << "COM3";
        QTest::newRow("small letters") << "com3"
                                       << "COM3";
        QTest::newRow("USB name unchanged") << "usb-03"
                                            << "usb-03";
    }
    void aTypedSerialPortIsStoredAsTheLibraryNamesIt() {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        m_oBench.WriteDataFile({}, nullptr);
        m_oBench.StartMain();
        Main().cbRdPort->setEditText(typed);
        Main().btnOk->click();
        QCOMPARE(m_oBench.SavedDoc()->ReaderPort(), stored);
    }

    void uncommittedEditsSurviveTheWiegandSwitch() {
        // Another reader setting changes the document: what the operator typed and did not commit yet
        // stays in the controls and is what OK saves.
        m_oBench.WriteDataFile({}, [](TTarvoDoc& ADoc) {
            ADoc.SetReaderSn(1001);
            ADoc.SetReaderPort(QStringLiteral("COM3"));
        });
        m_oBench.StartMain();
        Main().edtRdSn->setValue(4321);
        Main().cbRdPort->setEditText(QStringLiteral("COM8"));
        Main().dtpStartDay->setTime(QTime(7, 30));
        Main().chkWiegand->click();
        QCOMPARE(Main().edtRdSn->value(), 4321);
        QCOMPARE(Main().cbRdPort->currentText(), QStringLiteral("COM8"));
        QCOMPARE(Main().dtpStartDay->time(), QTime(7, 30));
        Main().btnOk->click();
        const auto lSaved = m_oBench.SavedDoc();
        QCOMPARE(lSaved->ReaderSn(), 4321);
        QCOMPARE(lSaved->ReaderPort(), QStringLiteral("COM8"));
        QVERIFY(lSaved->KorvelWiegand());
        QCOMPARE(lSaved->StartDay(), EncodeTime(7, 30, 0, 0));
    }

    void portListFollowsPlugAndUnplug_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("friendly");
        QTest::addColumn<QString>("shown");
        QTest::newRow("serial port") << "COM41"
                                     << "" << QStringLiteral("COM41    %1 s/n 41").arg(ReaderModelName(7));
        QTest::newRow("USB reader shown by its serial name")
            << "usb-desk"
            << "COM45" << QStringLiteral("COM45    %1 s/n 41").arg(ReaderModelName(7));
    }
    void portListFollowsPlugAndUnplug() {
        QFETCH(QString, port);
        QFETCH(QString, friendly);
        QFETCH(QString, shown);
        m_oBench.Plug(QStringLiteral("COM3"), 1001);
        m_oBench.WriteDataFile({}, [](TTarvoDoc& ADoc) {
            ADoc.SetReaderSn(1001);
            ADoc.SetReaderPort(QStringLiteral("COM3"));
        });
        m_oBench.StartMain();
        const QString lCom3 = QStringLiteral("COM3    %1 s/n 1001").arg(ReaderModelName(1));
        QTRY_COMPARE_WITH_TIMEOUT(PortItems(), QStringList{lCom3}, Patience);
        // The serial number typed but not committed is not the one "Find" looks for, so only the
        // detector can bring the new reader into the list.
        m_oBench.Plug(port, 41, 7, friendly);
        QTRY_COMPARE_WITH_TIMEOUT(PortItems(), (QStringList{lCom3, shown}), Patience);
        QCOMPARE(PortNameOfComboText(Main().cbRdPort->currentText()), QStringLiteral("COM3"));
        m_oBench.Unplug(port);
        QTRY_COMPARE_WITH_TIMEOUT(PortItems(), QStringList{lCom3}, Patience);
        m_oBench.Unplug(QStringLiteral("COM3"));
        QTRY_VERIFY_WITH_TIMEOUT(PortItems().isEmpty(), Patience);
        // The configured port stays the text of the combo while its reader is away.
        QCOMPARE(Main().cbRdPort->currentText(), QStringLiteral("COM3"));
    }

    void statusBarTellsTheReaderState() {
        m_oBench.Plug(QStringLiteral("COM33"), 33);
        m_oBench.WriteDataFile({}, [](TTarvoDoc& ADoc) { ADoc.SetReaderPort(QStringLiteral("COM33")); });
        m_oBench.StartMain();
        QCOMPARE(ReaderState(), QStringLiteral("No reader open"));
        Main().pcMain->setCurrentWidget(Main().tsCards);
        QVERIFY(Main().Reader()->Active());
        QCOMPARE(ReaderState(), QStringLiteral("Reader open on COM33"));

        m_oBench.Unplug(QStringLiteral("COM33"));
        QTRY_COMPARE_WITH_TIMEOUT(ReaderState(), QStringLiteral("Reader on COM33 lost: cards are not read"),
                                  Patience);
        m_oBench.Plug(QStringLiteral("COM33"), 33);
        QTRY_COMPARE_WITH_TIMEOUT(ReaderState(), QStringLiteral("Reader open on COM33"), Patience);
        // The session stays open on the other tabs, and its loss shows there too.
        Main().pcMain->setCurrentWidget(Main().tsZones);
        QCOMPARE(ReaderState(), QStringLiteral("Reader open on COM33"));
        m_oBench.Unplug(QStringLiteral("COM33"));
        QTRY_COMPARE_WITH_TIMEOUT(ReaderState(), QStringLiteral("Reader on COM33 lost: cards are not read"),
                                  Patience);
        m_oBench.Plug(QStringLiteral("COM33"), 33);
        Main().pcMain->setCurrentWidget(Main().tsCards);
        QTRY_COMPARE_WITH_TIMEOUT(ReaderState(), QStringLiteral("Reader open on COM33"), Patience);

        Main().actReleasePort->trigger();
        QCOMPARE(ReaderState(), QStringLiteral("No reader open"));
    }
};

QTEST_MAIN(TestFmMainPorts)
#include "test_fmmainports.moc"
