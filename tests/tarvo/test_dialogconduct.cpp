// How the front desk's windows behave on a Linux desktop: every caption an operator can reach has an
// Alt letter of its own, toolbar buttons explain themselves, dialogs open where the eye is and with
// the focus on something to edit, and the receipt fits its window.

#include "apps/Tarvo/uDlgBooking.h"
#include "apps/Tarvo/uDlgReceipt.h"
#include "apps/Tarvo/uDlgSettings.h"
#include "apps/Tarvo/uFmMain.h"

#include "base/uClock.h"
#include "base/uKeyNum.h"
#include "frontdesk/uTarvoDoc.h"
#include "tests/common/Mnemonics.h"
#include "tests/common/TestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

using Tarvo::TReceiptData;
using Tarvo::TTarvoDoc;

namespace {

// What is wrong with the Alt letters of the controls AWindow shows now: a label, check box, radio
// button or push button without one, a label whose letter leads nowhere, a letter used twice.
QStringList MnemonicFaults(QWidget* AWindow) {
    QStringList lFaults;
    QHash<QChar, QString> lUsed;
    auto use = [&](QWidget* AControl, const QString& AText) {
        const QChar c = Mnemonic(AText);
        if (c.isNull())
            return false;
        if (lUsed.contains(c))
            lFaults
                << QStringLiteral("%1 and %2 share Alt+%3").arg(lUsed.value(c), AControl->objectName(), c);
        lUsed.insert(c, AControl->objectName());
        return true;
    };
    for (QWidget* w : AWindow->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(AWindow))
            continue;
        if (auto* lLabel = qobject_cast<QLabel*>(w)) {
            if (lLabel->text().isEmpty())
                continue;
            if (!use(lLabel, lLabel->text()))
                lFaults << QStringLiteral("label %1 \"%2\" has no Alt letter")
                               .arg(w->objectName(), lLabel->text());
            else if (!lLabel->buddy())
                lFaults << QStringLiteral("label %1 leads nowhere").arg(w->objectName());
        } else if (qobject_cast<QToolButton*>(w)) {
            continue; // tool buttons carry tool tips instead
        } else if (auto* lButton = qobject_cast<QAbstractButton*>(w)) {
            if (!use(lButton, lButton->text()))
                lFaults
                    << QStringLiteral("%1 \"%2\" has no Alt letter").arg(w->objectName(), lButton->text());
        } else if (auto* lGroup = qobject_cast<QGroupBox*>(w)) {
            use(lGroup, lGroup->title());
        }
    }
    return lFaults;
}

// Each page of ATabs in turn: the faults of what AWindow shows with it.
QStringList FaultsOfEveryPage(QWidget* AWindow, QTabWidget* ATabs) {
    QStringList lFaults;
    for (int i = 0; i < ATabs->count(); ++i) {
        ATabs->setCurrentIndex(i);
        for (const QString& f : MnemonicFaults(AWindow))
            lFaults << ATabs->tabText(i) + QStringLiteral(": ") + f;
    }
    return lFaults;
}

TDateTime At(int AHour, int AMin) {
    return MakeDateTime(2024, 3, 4, AHour, AMin);
}

} // namespace

class TestDialogConduct : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TLocaleOverride> m_oLocale;
    std::unique_ptr<TTarvoDoc> m_pDoc;

    QString WriteData() {
        return m_oDir->WriteFile(
            QStringLiteral("Tarvo.xml"),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">"
            "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication>"
            "<AccPrice>-2</AccPrice></Main><TimeZones>"
            "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"3\"/>"
            "<Item2 name=\"Evening\" startTime=\"20:00\" baseCost=\"5\" minCost=\"5\"/></TimeZones>"
            "<Cards><Item1 number=\"0A0B0C\" name=\"Anna Lind\" level=\"0\"/></Cards></Tarvo>");
    }
    TReceiptData Visit(TDateTime AIn, TDateTime AOut) const {
        TReceiptData lData;
        lData.m_nReceiptN = 0;
        lData.m_Card = *m_pDoc->Cards().GetCard(0);
        lData.m_dtTimeIn = AIn;
        lData.m_dtTimeOut = AOut;
        return lData;
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit()); }
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>();
        m_oDir = std::make_unique<TTempDir>();
        qputenv("TARVO_DATA_DIR", QFile::encodeName(m_oDir->Path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_oDir->FilePath(QStringLiteral("config"))));
        m_pDoc = std::make_unique<TTarvoDoc>();
        m_pDoc->SetFileName(WriteData());
        m_pDoc->Open();
    }
    void cleanup() {
        m_pDoc.reset();
        m_oLocale.reset();
        m_oDir.reset();
    }

    void everyCaptionHasAnAltLetterOfItsOwn() {
        {
            TfmMain lMain(m_pDoc->FileName(), false);
            lMain.show();
            QCOMPARE(FaultsOfEveryPage(&lMain, lMain.pcMain), QStringList());
            // The toolbar's buttons show only icons: each says what it does.
            const auto lTools = lMain.tbMain->findChildren<QToolButton*>();
            QVERIFY(!lTools.isEmpty());
            for (QToolButton* b : lTools)
                if (b->isVisibleTo(lMain.tbMain) && b->defaultAction())
                    QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->defaultAction()->objectName()));
        }
        {
            TfmSettingsDlg lDlg(nullptr, *m_pDoc);
            lDlg.show();
            const QStringList lFaults = FaultsOfEveryPage(&lDlg, lDlg.pcSettings);
            QVERIFY2(lFaults.isEmpty(), qPrintable(lFaults.join(u'\n')));
        }
        m_pDoc->AddInUser(m_pDoc->Cards().GetCard(0), At(10, 0));
        {
            TfrmBookingDlg lDlg(nullptr, *m_pDoc, *m_pDoc->InUsers().Get(0));
            lDlg.show();
            QCOMPARE(MnemonicFaults(&lDlg), QStringList());
        }
        {
            TfmLogItemDlg lDlg(nullptr, *m_pDoc, At(10, 0));
            lDlg.show();
            QCOMPARE(MnemonicFaults(&lDlg), QStringList());
        }
        {
            TfmReceiptDlg lDlg(nullptr, *m_pDoc, Visit(At(19, 50), At(20, 20)), false);
            lDlg.show();
            QCOMPARE(MnemonicFaults(&lDlg), QStringList());
        }
    }

    // The card and user fields only show: the dialog opens on the booking switch.
    void bookingOpensOnWhatTheOperatorEdits() {
        m_pDoc->AddInUser(m_pDoc->Cards().GetCard(0), At(10, 0));
        TfrmBookingDlg lDlg(nullptr, *m_pDoc, *m_pDoc->InUsers().Get(0));
        lDlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&lDlg));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(lDlg.chkEnabled));
        // Tab walks the editable controls first.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != lDlg.edtCard && QApplication::focusWidget() != lDlg.edtUser);
    }

    // Receipts of every kind fit the window's width at its default size.
    void receiptNeedsNoSidewaysScrolling_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("two zones") << 0;
        QTest::newRow("booking with overdue") << 1;
        QTest::newRow("day across every zone") << 2;
    }
    void receiptNeedsNoSidewaysScrolling() {
        QFETCH(int, kind);
        m_pDoc->SetEntrance(50);
        m_pDoc->SetMinAmount(10);
        m_pDoc->SetNDS(20);
        m_pDoc->SetOverdueCost(5);
        TReceiptData lData = Visit(At(19, 50), At(20, 20));
        if (kind == 1) {
            lData.m_fReserv = true;
            lData.m_dtRFrom = EncodeTime(18, 0, 0, 0);
            lData.m_dtRTo = EncodeTime(20, 0, 0, 0);
            lData.m_dtTimeIn = At(18, 10);
        } else if (kind == 2) {
            lData.m_dtTimeIn = At(7, 0);
            lData.m_dtTimeOut = At(23, 59) + 1;
        }
        TfmReceiptDlg lDlg(nullptr, *m_pDoc, lData, false);
        lDlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lDlg));
        QCoreApplication::processEvents();
        QVERIFY2(!lDlg.wbReceipt->horizontalScrollBar()->isVisible(),
                 qPrintable(QStringLiteral("page %1 wide in a view of %2")
                                .arg(lDlg.wbReceipt->document()->size().width())
                                .arg(lDlg.wbReceipt->viewport()->width())));
    }

    // Opened from the tray, with the main window hidden, the settings dialog is centred on the screen.
    void settingsFromTheTrayAreCentredOnTheScreen() {
        TfmMain lMain(m_pDoc->FileName(), false);
        lMain.Doc().Open();
        // Left somewhere off the middle, then hidden to the tray.
        lMain.move(0, 0);
        QVERIFY(!lMain.isVisible());
        QRect lPlace;
        QTimer lWatch;
        lWatch.setInterval(5);
        connect(&lWatch, &QTimer::timeout, [&] {
            if (auto* lDlg = qobject_cast<TfmSettingsDlg*>(QApplication::activeModalWidget())) {
                if (!QTest::qWaitForWindowExposed(lDlg))
                    return;
                lPlace = lDlg->frameGeometry();
                lDlg->reject();
            }
        });
        lWatch.start();
        lMain.actSettings->trigger();
        QVERIFY(lPlace.isValid());
        const QRect lScreen = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2((lPlace.center() - lScreen.center()).manhattanLength() <= 4,
                 qPrintable(QStringLiteral("dialog at %1,%2 %3x%4, screen centre %5,%6")
                                .arg(lPlace.x())
                                .arg(lPlace.y())
                                .arg(lPlace.width())
                                .arg(lPlace.height())
                                .arg(lScreen.center().x())
                                .arg(lScreen.center().y())));
    }

    // Writes the dialogs' pictures for the documentation when TARVO_SCREENSHOT_DIR names a folder.
    void screenshots() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        auto save = [&](QWidget& AWindow, const char* AName) {
            QCoreApplication::processEvents();
            QVERIFY(AWindow.grab().save(QDir(lDir).filePath(QLatin1String(AName))));
        };
        m_pDoc->SetCardRegMin(1500);
        Tarvo::TKorvelOutputsArray lOutputs{};
        lOutputs[0].m_nKorvelOutputs = 0b1001;
        lOutputs[0].m_nKorvelInit = 0b1000;
        lOutputs[0].m_aKorvelTimes = {1500, 0, 0, 250};
        m_pDoc->SetKorvelOutputs(lOutputs);
        m_pDoc->SetEntrance(50);
        m_pDoc->SetNDS(20);
        m_pDoc->SetOverdueCost(5);
        m_pDoc->SetReportDate(At(0, 0));
        {
            TfmSettingsDlg lDlg(nullptr, *m_pDoc);
            lDlg.show();
            const char* lNames[] = {"settings-main.png", "settings-interface.png", "settings-reader.png",
                                    "settings-camera.png"};
            for (int i = 0; i < 4; ++i) {
                lDlg.pcSettings->setCurrentIndex(i);
                save(lDlg, lNames[i]);
            }
        }
        m_pDoc->AddInUser(m_pDoc->Cards().GetCard(0), At(18, 5));
        m_pDoc->SetRecentBooking(EncodeTime(18, 0, 0, 0), EncodeTime(20, 30, 0, 0), false);
        {
            TfrmBookingDlg lDlg(nullptr, *m_pDoc, *m_pDoc->InUsers().Get(0));
            lDlg.show();
            save(lDlg, "booking.png");
        }
        {
            TfmLogItemDlg lDlg(nullptr, *m_pDoc, At(18, 5));
            lDlg.edtComment->setText(QStringLiteral("window table"));
            lDlg.show();
            save(lDlg, "logitem.png");
        }
        {
            TfmReceiptDlg lDlg(nullptr, *m_pDoc, Visit(At(18, 47), At(21, 12)), false);
            lDlg.show();
            save(lDlg, "receipt-zoned.png");
        }
        TReceiptData lBooked = Visit(At(18, 10), At(20, 20));
        lBooked.m_nReceiptN = 2;
        lBooked.m_fReserv = true;
        lBooked.m_dtRFrom = EncodeTime(18, 0, 0, 0);
        lBooked.m_dtRTo = EncodeTime(20, 0, 0, 0);
        {
            TfmReceiptDlg lDlg(nullptr, *m_pDoc, lBooked, false);
            lDlg.show();
            save(lDlg, "receipt-booked.png");
        }
    }
};

QTEST_MAIN(TestDialogConduct)
#include "test_dialogconduct.moc"
