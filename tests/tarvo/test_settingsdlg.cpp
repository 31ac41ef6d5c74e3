// The settings dialog against a real document and data file: OK without changes saves nothing, every
// page's values reach the document and the file, pages never shown and values the controls cannot show
// survive, pulse durations typed in seconds are kept in milliseconds, the autorun entry follows its
// check box, and "Test" shows one popup without changing the popup limit.

#include "apps/Tarvo/uDlgSettings.h"

#include "base/uAutorun.h"
#include "frontdesk/uTariff.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uPopupMsg.h"
#include "gui/uSpinEditDouble.h"

#include "tests/common/TestSupport.h"
#include "tests/tarvo/SettingsDocFile.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

using namespace Tarvo;

namespace {

enum { PAGE_MAIN = 0, PAGE_INTERFACE, PAGE_READER, PAGE_CAMERA };
enum { BEEP = 2, POWER = 3 };

// Types AText into a decimal spin as the operator does: focus, select all, type.
void TypeInto(TSpinEditDouble* ASpin, const QString& AText) {
    ASpin->setFocus();
    ASpin->selectAll();
    QTest::keyClick(ASpin, Qt::Key_Backspace);
    QTest::keyClicks(ASpin, AText);
}

} // namespace

class TSettingsDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TSettingsDocFile> m_pFile;
    std::unique_ptr<TTempDir> m_pConfig;
    std::unique_ptr<TLocaleOverride> m_pLocale;
    std::unique_ptr<TTarvoDoc> m_pDoc;

    QString DataFile() const { return m_pFile->DataFile(); }
    std::unique_ptr<TTarvoDoc> OpenDoc() const { return m_pFile->OpenDoc(); }
    // Writes the data file with ASetup's settings and opens it as the program does at start.
    template <class TSetup> void StartWith(TSetup ASetup) {
        m_pDoc = m_pFile->Reopened(ASetup);
        QVERIFY(!m_pDoc->Modifyed());
    }
    QString AutorunFile() const { return m_pConfig->FilePath(QStringLiteral("autostart/Tarvo.desktop")); }

private Q_SLOTS:
    void init() {
        m_pFile = std::make_unique<TSettingsDocFile>();
        m_pConfig = std::make_unique<TTempDir>();
        qputenv("XDG_CONFIG_HOME", m_pConfig->Path().toLocal8Bit());
        m_pLocale = std::make_unique<TLocaleOverride>();
    }
    void cleanup() {
        m_pDoc.reset();
        m_pLocale.reset();
        m_pConfig.reset();
        m_pFile.reset();
    }

    // Every page shown, OK pressed, nothing touched: the document stays unmodified and the file is not
    // written (it was removed after opening, so any save would bring it back). The values include
    // ones the controls cannot show as they are.
    void okWithoutChangesSavesNothing() {
        TKorvelOutputsArray lOutputs{};
        lOutputs[0].m_nKorvelOutputs = 0b0101;
        lOutputs[0].m_aKorvelTimes = {0, 8030, 0, 45000}; // 0 is below the spins' 0.1 s, 45 s above 30
        lOutputs[1].m_nKorvelInit = 0b1000;
        StartWith([&](TTarvoDoc& ADoc) {
            ADoc.SetLanguage(1049); // no language file for it is listed
            ADoc.SetAccPrice(TARIFF_ACC_UNROUNDED);
            ADoc.SetPopupFontName(QStringLiteral("No Such Font Family"));
            ADoc.SetPopupTimeOut(20000);
            ADoc.SetCardRegMin(3000000000u);
            ADoc.SetKorvelOutputs(lOutputs);
            ADoc.SetNDS(18.123456789012345678L);
            ADoc.SetPrinter(QStringLiteral("Desk printer"));
            ADoc.SetCamSource(7);
        });
        const Extended lNDS = m_pDoc->NDS(); // as precise as the file keeps it
        QVERIFY(QFile::remove(DataFile()));

        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        for (int lPage : {PAGE_INTERFACE, PAGE_READER, PAGE_CAMERA, PAGE_MAIN})
            lDlg.pcSettings->setCurrentIndex(lPage);
        lDlg.tcKorvel->setCurrentIndex(1);
        lDlg.tcKorvel->setCurrentIndex(0);
        QCOMPARE(lDlg.InitPages(), 15);
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);

        QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        QVERIFY(!m_pDoc->Modifyed());
        QVERIFY(!QFile::exists(DataFile()));
        QCOMPARE(m_pDoc->Language(), 1049u);
        QCOMPARE(m_pDoc->AccPrice(), TARIFF_ACC_UNROUNDED);
        QCOMPARE(m_pDoc->PopupFontName(), QStringLiteral("No Such Font Family"));
        QCOMPARE(m_pDoc->PopupTimeOut(), 20000u);
        QCOMPARE(m_pDoc->CardRegMin(), 3000000000u);
        QVERIFY(m_pDoc->KorvelOutputs() == lOutputs);
        QVERIFY(m_pDoc->NDS() == lNDS);
        QCOMPARE(m_pDoc->Printer(), QStringLiteral("Desk printer"));
        QCOMPARE(m_pDoc->CamSource(), 7);
    }

    // Values edited on every page reach the document in one update and the data file.
    void everyPageRoundTrips() {
        StartWith([](TTarvoDoc&) {});
        int lChanges = 0;
        m_pDoc->SetOnChange([&](TDocUpdate&) { ++lChanges; });

        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        lDlg.cbLogFileFormat->setCurrentIndex(1);
        lDlg.cbLogFilePeriod->setCurrentIndex(2);
        TypeInto(lDlg.edtVAT, QStringLiteral("20"));
        lDlg.cbTariffication->setCurrentIndex(TARIF_HOUR);
        TypeInto(lDlg.edtEntrance, QStringLiteral("1.5"));
        TypeInto(lDlg.edtMinAmount, QStringLiteral("7"));
        lDlg.edtAccPrice->setValue(-2);
        TypeInto(lDlg.edtOverdue, QStringLiteral("3.25"));
        TypeInto(lDlg.edtDayPrice, QStringLiteral("99"));
        lDlg.chkAutoPrintRep->setChecked(true);
        lDlg.cbPrinter->setEditText(QStringLiteral("Front desk"));

        lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
        QCOMPARE(lDlg.cbLanguage->count(), 1);
        QCOMPARE(lDlg.cbLanguage->currentText(), QStringLiteral("English (internal)"));
        QCOMPARE(lDlg.cbFontName->itemText(0), QStringLiteral("<default>"));
        QCOMPARE(lDlg.cbFontName->currentText(), QStringLiteral("Calibri")); // Open's default, kept as text
        QCOMPARE(lDlg.cbFontSize->currentText(), QStringLiteral("20"));
        lDlg.cbFontName->setCurrentIndex(0);
        lDlg.cbFontSize->setEditText(QStringLiteral("36"));
        lDlg.edtPopupMax->setValue(3);
        lDlg.edtPopupTimeOut->setValue(15);

        lDlg.pcSettings->setCurrentIndex(PAGE_READER);
        lDlg.edtCardRegMin->setValue(2500);
        lDlg.chkKorvelWiegand->setChecked(true);
        QTest::mouseClick(lDlg.chkOutputs[0], Qt::LeftButton);
        TypeInto(lDlg.edtDurations[0], QStringLiteral("1.5"));
        lDlg.chkInitOn[0]->setChecked(true);
        lDlg.tcKorvel->setCurrentIndex(1);
        QTest::mouseClick(lDlg.chkOutputs[POWER], Qt::LeftButton);
        TypeInto(lDlg.edtDurations[POWER], QStringLiteral("30"));

        lDlg.pcSettings->setCurrentIndex(PAGE_CAMERA);
        lDlg.m_oCamSourceGroup->button(1)->click();

        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        QCOMPARE(lChanges, 2); // the settings in one update, then the save clearing the modified flag
        QVERIFY(!m_pDoc->Modifyed());

        // Read back by a fresh start from the file.
        m_pDoc.reset();
        auto lDoc = OpenDoc();
        QCOMPARE(lDoc->LogFileFormat(), 1);
        QCOMPARE(lDoc->LogFilePeriod(), 2);
        QVERIFY(lDoc->NDS() == 20);
        QCOMPARE(lDoc->Tariffication(), TARIF_HOUR);
        QVERIFY(lDoc->Entrance() == 1.5L);
        QVERIFY(lDoc->MinAmount() == 7);
        QCOMPARE(lDoc->AccPrice(), -2);
        QVERIFY(lDoc->OverdueCost() == 3.25L);
        QVERIFY(lDoc->DayCost() == 99);
        QVERIFY(lDoc->AutoPrintRep());
        QCOMPARE(lDoc->Printer(), QStringLiteral("Front desk"));
        QCOMPARE(lDoc->PopupFontName(), QStringLiteral("<default>"));
        QCOMPARE(lDoc->PopupFontSize(), 36);
        QCOMPARE(lDoc->PopupMax(), 3);
        QCOMPARE(lDoc->PopupTimeOut(), 15u);
        QCOMPARE(lDoc->CardRegMin(), 2500u);
        QVERIFY(lDoc->KorvelWiegand());
        const TKorvelOutputs& lEntry = lDoc->GetKorvelOutput(0);
        QCOMPARE(lEntry.m_nKorvelOutputs, 0b0001u);
        QCOMPARE(lEntry.m_nKorvelInit, 0b0001u);
        QCOMPARE(lEntry.m_aKorvelTimes[0], 1500u);
        const TKorvelOutputs& lExit = lDoc->GetKorvelOutput(1);
        QCOMPARE(lExit.m_nKorvelOutputs, 0b1000u);
        QCOMPARE(lExit.m_nKorvelInit, 0u);
        QCOMPARE(lExit.m_aKorvelTimes[POWER], 30000u);
        QCOMPARE(lDoc->CamSource(), 1);
        QCOMPARE(lDoc->Language(), 0u);
    }

    // Pages never shown are never read back: their controls hold nothing of the document.
    void pageNeverShownKeepsItsValues() {
        TKorvelOutputsArray lOutputs{};
        lOutputs[1].m_nKorvelOutputs = 0b0110;
        lOutputs[1].m_aKorvelTimes = {500, 600, 700, 800};
        StartWith([&](TTarvoDoc& ADoc) {
            ADoc.SetCardRegMin(4000);
            ADoc.SetKorvelWiegand(true);
            ADoc.SetKorvelOutputs(lOutputs);
            ADoc.SetPopupMax(5);
            ADoc.SetPopupFontSize(11);
            ADoc.SetCamSource(2);
        });
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        TypeInto(lDlg.edtVAT, QStringLiteral("7"));
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);

        QCOMPARE(lDlg.InitPages(), int(TfmSettingsDlg::PAGE_MAIN));
        m_pDoc.reset();
        auto lDoc = OpenDoc();
        QVERIFY(lDoc->NDS() == 7);
        QCOMPARE(lDoc->CardRegMin(), 4000u);
        QVERIFY(lDoc->KorvelWiegand());
        QVERIFY(lDoc->KorvelOutputs() == lOutputs);
        QCOMPARE(lDoc->PopupMax(), 5);
        QCOMPARE(lDoc->PopupFontSize(), 11);
        QCOMPARE(lDoc->CamSource(), 2);
    }

    // A language without a listed entry shows "English (internal)": it survives an OK, and choosing the
    // entry shown stores English.
    void languageWithoutAnEntry() {
        StartWith([](TTarvoDoc& ADoc) { ADoc.SetLanguage(1049); });
        for (bool lChoose : {false, true}) {
            TfmSettingsDlg lDlg(nullptr, *m_pDoc);
            lDlg.show();
            lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
            QCOMPARE(lDlg.cbLanguage->currentIndex(), 0);
            if (lChoose)
                Q_EMIT lDlg.cbLanguage->activated(0);
            QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
            QCOMPARE(m_pDoc->Language(), lChoose ? 0u : 1049u);
        }
    }

    void cancelDropsTheCopy() {
        StartWith([](TTarvoDoc&) {});
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        TypeInto(lDlg.edtEntrance, QStringLiteral("5"));
        lDlg.chkAutorun->setChecked(true);
        QTest::mouseClick(lDlg.btnCancel, Qt::LeftButton);
        QCOMPARE(lDlg.result(), int(QDialog::Rejected));
        QVERIFY(m_pDoc->Entrance() == 0);
        QVERIFY(!m_pDoc->Modifyed());
        QVERIFY(!QFile::exists(AutorunFile()));
    }

    // BEEP's pulse on the exit side typed in seconds; the entry side in between keeps its own.
    void durationsInSecondsBecomeMilliseconds_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<uint>("ms");
        QTest::newRow("quarter") << QStringLiteral("0.25") << 250u;
        QTest::newRow("maximum") << QStringLiteral("30.0") << 30000u;
        QTest::newRow("held below its value") << QStringLiteral("8.03") << 8030u;
        // OK by Enter leaves the field as typed; the range holds all the same.
        QTest::newRow("below the minimum") << QStringLiteral("0.05") << 100u;
        QTest::newRow("above the maximum") << QStringLiteral("31") << 30000u;
    }
    void durationsInSecondsBecomeMilliseconds() {
        QFETCH(QString, typed);
        QFETCH(uint, ms);
        StartWith([](TTarvoDoc&) {});
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        lDlg.pcSettings->setCurrentIndex(PAGE_READER);
        lDlg.tcKorvel->setCurrentIndex(1);
        QVERIFY(!lDlg.edtDurations[BEEP]->isEnabled());
        QTest::mouseClick(lDlg.chkOutputs[BEEP], Qt::LeftButton);
        QVERIFY(lDlg.edtDurations[BEEP]->isEnabled());
        TypeInto(lDlg.edtDurations[BEEP], typed);

        lDlg.tcKorvel->setCurrentIndex(0);
        QVERIFY(!lDlg.chkOutputs[BEEP]->isChecked());
        QVERIFY(!lDlg.edtDurations[BEEP]->isEnabled());
        lDlg.tcKorvel->setCurrentIndex(1);
        QVERIFY(lDlg.chkOutputs[BEEP]->isChecked());
        QVERIFY(lDlg.edtDurations[BEEP]->isEnabled());

        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QCOMPARE(m_pDoc->GetKorvelOutput(1).m_nKorvelOutputs, 1u << BEEP);
        QCOMPARE(m_pDoc->GetKorvelOutput(1).m_aKorvelTimes[BEEP], std::uint32_t(ms));
        QVERIFY(m_pDoc->GetKorvelOutput(0) == TKorvelOutputs{});
    }

    // Ticking an output without touching its duration stores the duration the spin shows: the default
    // 3.0 s for an output that never had one, the kept time otherwise, and a time beyond the spin's
    // range as the range's end it shows.
    void tickedOutputStoresTheDurationShown_data() {
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("output");
        QTest::addColumn<uint>("stored");
        QTest::addColumn<uint>("ms");
        QTest::newRow("LED G on entry, first time") << 0 << 0 << 0u << 3000u;
        QTest::newRow("Power on exit, first time") << 1 << int(POWER) << 0u << 3000u;
        QTest::newRow("BEEP with a kept time") << 0 << int(BEEP) << 700u << 700u;
        QTest::newRow("LED R beyond the range") << 1 << 1 << 45000u << 30000u;
    }
    void tickedOutputStoresTheDurationShown() {
        QFETCH(int, side);
        QFETCH(int, output);
        QFETCH(uint, stored);
        QFETCH(uint, ms);
        TKorvelOutputsArray lOutputs{};
        lOutputs[side].m_aKorvelTimes[output] = stored;
        StartWith([&](TTarvoDoc& ADoc) { ADoc.SetKorvelOutputs(lOutputs); });
        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        lDlg.pcSettings->setCurrentIndex(PAGE_READER);
        lDlg.tcKorvel->setCurrentIndex(side);
        QTest::mouseClick(lDlg.chkOutputs[output], Qt::LeftButton);
        QVERIFY(lDlg.edtDurations[output]->isEnabled());
        QCOMPARE(DurationSecToMs(lDlg.edtDurations[output]->Value()), std::uint32_t(ms));
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);

        const TKorvelOutputs& lSaved = m_pDoc->GetKorvelOutput(side);
        QCOMPARE(lSaved.m_nKorvelOutputs, 1u << output);
        QCOMPARE(lSaved.m_aKorvelTimes[output], std::uint32_t(ms));
        // The other side is left as it was.
        QVERIFY(m_pDoc->GetKorvelOutput(1 - side) == lOutputs[1 - side]);
    }

    void autorunEntryAppearsAndDisappears() {
        StartWith([](TTarvoDoc&) {});
        {
            TfmSettingsDlg lDlg(nullptr, *m_pDoc);
            lDlg.show();
            QVERIFY(!lDlg.chkAutorun->isChecked());
            lDlg.chkAutorun->setChecked(true);
            QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        }
        QFile lFile(AutorunFile());
        QVERIFY(lFile.open(QIODevice::ReadOnly));
        const QString lEntry = QString::fromUtf8(lFile.readAll());
        lFile.close();
        QVERIFY2(lEntry.contains(
                     AutorunCommandLine(QCoreApplication::applicationFilePath(), QStringLiteral("-autorun"))),
                 qPrintable(lEntry));
        QVERIFY(IsAutorun(QStringLiteral("Tarvo")));
        QVERIFY(!m_pDoc->Modifyed());

        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        QVERIFY(lDlg.chkAutorun->isChecked());
        lDlg.chkAutorun->setChecked(false);
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QVERIFY(!QFile::exists(AutorunFile()));
    }

    // "Test" shows one popup with the edited font, size and time-out under the edited limit, then
    // gives the manager its own limit back; the document keeps its values.
    void testShowsOnePopupWithTheEditedValues() {
        StartWith([](TTarvoDoc&) {});
        TPopupMsgMngr lMngr;
        lMngr.SetPmMax(10);
        lMngr.ShowPopupMessage(QStringLiteral("one"), {}, QString(), 0, 0);
        lMngr.ShowPopupMessage(QStringLiteral("two"), {}, QString(), 0, 0);

        TfmSettingsDlg lDlg(nullptr, *m_pDoc);
        lDlg.show();
        lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
        QVERIFY(lDlg.btnTest->isEnabled());
        lDlg.cbFontSize->setEditText(QStringLiteral("28"));
        lDlg.edtPopupMax->setValue(1);
        lDlg.edtPopupTimeOut->setValue(3);
        QTest::mouseClick(lDlg.btnTest, Qt::LeftButton);

        QCOMPARE(lMngr.Count(), 1);
        TfmPopupMessageDlg* lPopup = lMngr.GetItem(0);
        QCOMPARE(lPopup->labText->text(), QStringLiteral("Test"));
        QCOMPARE(lPopup->labText->font().pointSize(), 28);
        QCOMPARE(lPopup->Timer1->interval(), 3000);
        QCOMPARE(lMngr.PmMax(), 10);
        QCOMPARE(m_pDoc->PopupMax(), 10);
        QCOMPARE(m_pDoc->PopupFontSize(), 20);
        QVERIFY(!m_pDoc->Modifyed());
    }
};

QTEST_MAIN(TSettingsDlgTest)
#include "test_settingsdlg.moc"
