// "Reader devices...": a PC/SC reader of a private pcscd (tests/orvreader/PcscHarness.h) is listed,
// marked as the reader, tried with our virtual card (its number shown in every format) and saved to
// readers.ini, after which the library names it by the alias the dialog gave it.

#include "apps/ConfigTarvo/uDlgReaderDevices.h"
#include "apps/ConfigTarvo/uFmMain.h"
#include "orvreader/OrvReader.h"
#include "tests/orvreader/PcscHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

class TestReaderDevices : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void MarkTryAndSaveAPcscReader();
    void TheMainTabOpensTheDialog();

private:
    QTreeWidgetItem* FindDevice(TfmReaderDevicesDlg& ADlg, const QString& AText);
    QString IniPath() const { return m_oDir.path() + QStringLiteral("/config/tarvo/readers.ini"); }

    QTemporaryDir m_oDir;
    std::unique_ptr<PcscTest::TPrivatePcscd> m_pPcscd;
    bool m_fStarted = false;
};

void TestReaderDevices::initTestCase() {
    const std::string lMissing = PcscTest::MissingTools();
    if (!lMissing.empty())
        QSKIP(lMissing.c_str());
    QVERIFY(m_oDir.isValid());
    QDir(m_oDir.path()).mkpath(QStringLiteral("run"));
    QDir(m_oDir.path()).mkpath(QStringLiteral("bus"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_oDir.path() + QStringLiteral("/run")));
    qputenv("ORV_SIM_BUS", QFile::encodeName(m_oDir.path() + QStringLiteral("/bus")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_oDir.path() + QStringLiteral("/config")));
    qputenv("ORV_PCSC_VIRTUAL", "1");
    m_pPcscd = std::make_unique<PcscTest::TPrivatePcscd>();
    QVERIFY(m_pPcscd->Start());
    QCOMPARE(OrvR_Initialize(ORV_INIT_GLOBAL | ORV_INIT_DETECTOR), ORV_OK);
    m_fStarted = true;
}

void TestReaderDevices::cleanupTestCase() {
    if (m_fStarted)
        OrvR_Finalyze();
    m_pPcscd.reset();
}

QTreeWidgetItem* TestReaderDevices::FindDevice(TfmReaderDevicesDlg& ADlg, const QString& AText) {
    for (int i = 0; i < ADlg.lvDevices->topLevelItemCount(); ++i)
        if (ADlg.lvDevices->topLevelItem(i)->text(0) == AText)
            return ADlg.lvDevices->topLevelItem(i);
    return nullptr;
}

void TestReaderDevices::MarkTryAndSaveAPcscReader() {
    TfmReaderDevicesDlg lDlg(nullptr, IniPath());
    QCOMPARE(lDlg.objectName(), QStringLiteral("TfmReaderDevicesDlg"));
    lDlg.show();
    QTreeWidgetItem* lItem = FindDevice(lDlg, QStringLiteral("Virtual PCD 00"));
    QVERIFY2(lItem, "the PC/SC reader is not listed");
    QCOMPARE(lItem->text(1), QStringLiteral("PC/SC reader"));
    lDlg.lvDevices->setCurrentItem(lItem);
    QVERIFY(!lDlg.btnTest->isEnabled());
    lDlg.chkReader->setChecked(true);
    QCOMPARE(lDlg.edtAlias->text(), QStringLiteral("NFC1"));
    QCOMPARE(lItem->text(2), QStringLiteral("NFC1"));
    QCOMPARE(lDlg.cbFormat->currentIndex(), 2); // hexadecimal UID
    QVERIFY(!lDlg.cbSpeed->isEnabled());

    QTest::mouseClick(lDlg.btnTest, Qt::LeftButton);
    QVERIFY2(lDlg.labTest->text().contains(QStringLiteral("NFC1 now")), qPrintable(lDlg.labTest->text()));
    PcscTest::TVirtualCard lCard(m_pPcscd->Port(), "04A23B7C");
    QTRY_COMPARE_WITH_TIMEOUT(lDlg.lvNumbers->topLevelItemCount(), 6, 15000);
    const char* const lExpected[] = {"0077740924", "162,15228", "04A23B7C",
                                     "7C3BA204",   "77740924",  "2084282884"};
    for (int f = 0; f < 6; ++f)
        QCOMPARE(lDlg.lvNumbers->topLevelItem(f)->text(1), QString::fromLatin1(lExpected[f]));
    QVERIFY(lDlg.labTest->text().contains(QStringLiteral("04A23B7C")));

    // Writes the picture for the documentation when TARVO_SCREENSHOT_DIR names a folder.
    const QString lShots = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
    if (!lShots.isEmpty())
        QVERIFY(lDlg.grab().save(lShots + QStringLiteral("/reader-devices.png")));

    // Bytes reversed: the file says so and the library reads the next card that way.
    lDlg.cbFormat->setCurrentIndex(3);
    QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
    QCOMPARE(lDlg.result(), int(QDialog::Accepted));
    QFile f(IniPath());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString lText = QString::fromUtf8(f.readAll());
    QVERIFY2(lText.contains(QStringLiteral("[NFC1]\nkind=pcsc\ndevice=Virtual PCD 00\nformat=hexrev\n")),
             qPrintable(lText));

    // A new dialog shows what the file holds.
    TfmReaderDevicesDlg lAgain(nullptr, IniPath());
    QTreeWidgetItem* lSame = FindDevice(lAgain, QStringLiteral("Virtual PCD 00"));
    QVERIFY(lSame);
    lAgain.lvDevices->setCurrentItem(lSame);
    QVERIFY(lAgain.chkReader->isChecked());
    QCOMPARE(lAgain.cbFormat->currentIndex(), 3);
    // Unmarked, the device leaves the file.
    lAgain.chkReader->setChecked(false);
    QVERIFY(lAgain.Configuration().aReaders.empty());
}

void TestReaderDevices::TheMainTabOpensTheDialog() {
    ConfigTarvo::TfmMain lMain;
    QVERIFY(lMain.btnRdDevices);
    QCOMPARE(lMain.btnRdDevices->objectName(), QStringLiteral("btnRdDevices"));
    QTimer::singleShot(0, [] {
        QTRY_VERIFY(qobject_cast<TfmReaderDevicesDlg*>(QApplication::activeModalWidget()));
        QApplication::activeModalWidget()->close();
    });
    QTest::mouseClick(lMain.btnRdDevices, Qt::LeftButton);
}

QTEST_MAIN(TestReaderDevices)
#include "test_readerdevices.moc"
