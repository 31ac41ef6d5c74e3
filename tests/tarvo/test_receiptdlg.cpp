// The receipt window: its page, the printed output (as PDF, read back with pdftotext), automatic
// printing without a printer into the "Receipts" folder with the close delay, saving on request, and
// the window's place kept in the document.

#include "apps/Tarvo/uDlgReceipt.h"

#include "base/uKeyNum.h"
#include "base/uMemXml.h"
#include "frontdesk/uTarvoDoc.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <memory>

using Tarvo::TReceiptData;
using Tarvo::TTarvoDoc;

namespace {

TDateTime At(int ADay, int AHour, int AMin = 0) {
    return MakeDateTime(2024, 3, ADay, AHour, AMin);
}

// The text of a PDF file, or empty when pdftotext fails.
QString PdfText(const QString& AFileName) {
    QProcess lProcess;
    lProcess.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), AFileName, QStringLiteral("-")});
    if (!lProcess.waitForFinished(30000) || lProcess.exitCode() != 0)
        return QString();
    return QString::fromUtf8(lProcess.readAllStandardOutput());
}

} // namespace

class TReceiptDlgTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void windowShowsTheFilledPage();
    void printedOutputHoldsTheReceipt_data();
    void printedOutputHoldsTheReceipt();
    void automaticPrintWithoutPrinterSavesPdfAndCloses();
    void printOnRequestWithoutPrinterAsksForTheFile();
    void closingStopsThePrintTimer();
    void windowKeepsItsPlace();

private:
    std::unique_ptr<TfmReceiptDlg> NewDlg(bool AAutoPrint = false) {
        return std::make_unique<TfmReceiptDlg>(nullptr, *m_pDoc, m_oData, AAutoPrint);
    }
    void ZonedVisit() {
        m_oData = TReceiptData();
        m_oData.m_nReceiptN = 0;
        m_oData.m_Card.m_Number = MakeKeyNum({0x0C, 0x0B, 0x0A});
        m_oData.m_Card.m_sUserName = QStringLiteral("Anna Lind");
        m_oData.m_dtTimeIn = At(4, 19, 50);
        m_oData.m_dtTimeOut = At(4, 20, 20);
    }
    void BookedVisitWithOverdue() {
        ZonedVisit();
        m_oData.m_nReceiptN = 2;
        m_oData.m_Card.m_sUserName.clear();
        m_oData.m_fReserv = true;
        m_oData.m_dtRFrom = EncodeTime(18, 0, 0, 0);
        m_oData.m_dtRTo = EncodeTime(20, 0, 0, 0);
        m_oData.m_dtTimeIn = At(4, 18, 10);
        m_oData.m_dtTimeOut = At(4, 20, 20);
    }
    bool HasPrinters() const { return !QPrinterInfo::availablePrinterNames().isEmpty(); }

    std::unique_ptr<TLocaleOverride> m_pLocale;
    std::unique_ptr<TTempDir> m_pTemp;
    std::unique_ptr<TTarvoDoc> m_pDoc;
    TReceiptData m_oData;
};

void TReceiptDlgTest::initTestCase() {
    m_pLocale = std::make_unique<TLocaleOverride>();
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TReceiptDlgTest::init() {
    // A fresh data folder per test: the "Receipts" folder is created there.
    m_pTemp = std::make_unique<TTempDir>();
    qputenv("TARVO_DATA_DIR", QFile::encodeName(m_pTemp->Path()));
    m_pDoc = std::make_unique<TTarvoDoc>();
    TMemXml lXml(QString(), TXmlEncoding::Utf8);
    lXml.SetText(QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">"
        "<Main><StartDayTime>06:00</StartDayTime></Main><TimeZones>"
        "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"3\"/>"
        "<Item2 name=\"Evening\" startTime=\"20:00\" baseCost=\"5\" minCost=\"5\"/></TimeZones>"
        "<Cards><Item1 number=\"0A0B0C\" level=\"0\"/></Cards></Tarvo>"));
    m_pDoc->LoadFromXml(lXml);
    QVERIFY(!m_pDoc->LoadFailed());
    m_pDoc->SetTariffication(Tarvo::TARIF_MINUTE);
    m_pDoc->SetAccPrice(-2);
    m_pDoc->SetOverdueCost(5);
    m_pDoc->SetEntrance(50);
    m_pDoc->SetNDS(20);
    m_pDoc->SetReportDate(At(4, 0));
    ZonedVisit();
}

void TReceiptDlgTest::windowShowsTheFilledPage() {
    auto lDlg = NewDlg();
    QCOMPARE(lDlg->objectName(), QStringLiteral("TfmReceiptDlg"));
    QCOMPARE(lDlg->windowTitle(), QStringLiteral("Receipt"));
    QCOMPARE(lDlg->size(), QSize(698, 446));
    for (const char* lName : {"wbReceipt", "btnPrint", "btnOk", "timerPrint"})
        QVERIFY2(lDlg->findChild<QObject*>(QLatin1String(lName)), lName);
    QCOMPARE(lDlg->btnPrint->text(), QStringLiteral("&Print"));
    QVERIFY(lDlg->btnOk->isDefault());
    QCOMPARE(lDlg->timerPrint->interval(), 2000);
    QVERIFY(!lDlg->timerPrint->isActive());
    // 10 minutes at 3 and 20 at 5, plus the entrance fee.
    QCOMPARE(lDlg->Recs().size(), size_t(2));
    QCOMPARE(double(lDlg->Total()), 180.0);
    const QString lText = lDlg->wbReceipt->toPlainText();
    for (const char* lPart : {"Receipt no. 1", "Anna Lind", "19:50 - 20:00", "20:00 - 20:20",
                              "TOTAL:", "180.00", "Organisation name", "3/4/24", "Entrance fee:"})
        QVERIFY2(lText.contains(QLatin1String(lPart)), lPart);
    // Every element of the template was filled: no sample text is left.
    QVERIFY(!lDlg->PageHtml().contains(QStringLiteral("Tax note")));
    QVERIFY(!lDlg->PageHtml().contains(QStringLiteral(">Guest<")));
}

void TReceiptDlgTest::printedOutputHoldsTheReceipt_data() {
    QTest::addColumn<bool>("booked");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("zoned") << false
                           << QStringList{"Receipt no. 1", "Anna Lind", "19:50 - 20:00",     "20:00 - 20:20",
                                          "TOTAL:",        "180.00",    "Not subject to VAT"};
    QTest::newRow("booked with overdue")
        << true
        << QStringList{"Receipt no. 3", "{0A0B0C}", "Reservation 18:00 - 20:00", "Overdue 20:00 - 20:20",
                       "510.00"};
}

void TReceiptDlgTest::printedOutputHoldsTheReceipt() {
    QFETCH(bool, booked);
    QFETCH(QStringList, expected);
    if (booked)
        BookedVisitWithOverdue();
    auto lDlg = NewDlg();
    const QString lPdf = m_pTemp->FilePath(QStringLiteral("out.pdf"));
    QPrinter lPrinter(QPrinter::HighResolution);
    lPrinter.setOutputFormat(QPrinter::PdfFormat);
    lPrinter.setOutputFileName(lPdf);
    lDlg->PrintTo(lPrinter);
    const QString lText = PdfText(lPdf);
    QVERIFY2(!lText.isEmpty(), "pdftotext gave nothing");
    for (const QString& lPart : expected)
        QVERIFY2(lText.contains(lPart), qPrintable(lPart + QStringLiteral(" missing in:\n") + lText));
    // One page, without the page number a plain document print would add.
    QCOMPARE(lText.count(QLatin1Char('\f')), 1);
    QVERIFY2(!QRegularExpression(QStringLiteral("(^|\n)\\s*1\\s*(\n|\f|$)")).match(lText).hasMatch(),
             qPrintable(lText));
}

void TReceiptDlgTest::automaticPrintWithoutPrinterSavesPdfAndCloses() {
    if (HasPrinters())
        QSKIP("a printer is installed here; the PDF fallback is not taken");
    BookedVisitWithOverdue();
    const QString lExpected =
        QDir(m_pTemp->Path()).filePath(QStringLiteral("Receipts/Receipt-20240304-202000-3.pdf"));
    for (const QString& lFile : {lExpected, lExpected.chopped(4) + QStringLiteral("-2.pdf")}) {
        auto lDlg = NewDlg(true);
        lDlg->show();
        // The print runs once the window is up, without any question.
        QTRY_VERIFY(lDlg->timerPrint->isActive());
        QCOMPARE(lDlg->LastPdfPath(), lFile);
        QVERIFY(PdfText(lFile).contains(QStringLiteral("Overdue 20:00 - 20:20")));
        // It closes only when the print timer fires.
        QVERIFY(lDlg->isVisible());
        lDlg->timerPrintTimer();
        QVERIFY(!lDlg->isVisible());
        QCOMPARE(lDlg->result(), int(QDialog::Accepted));
    }
}

void TReceiptDlgTest::printOnRequestWithoutPrinterAsksForTheFile() {
    if (HasPrinters())
        QSKIP("a printer is installed here; the PDF fallback is not taken");
    auto lDlg = NewDlg();
    lDlg->show();
    QString lSuggested;
    QString lAnswer;
    lDlg->SetAskPdfPath([&](QWidget*, const QString& ASuggested) {
        lSuggested = ASuggested;
        return lAnswer;
    });
    // Cancelled: nothing saved, no timer.
    lDlg->DoPrint();
    QCOMPARE(QFileInfo(lSuggested).fileName(), QStringLiteral("Receipt-20240304-202000-1.pdf"));
    QVERIFY(lDlg->LastPdfPath().isEmpty());
    QVERIFY(!lDlg->timerPrint->isActive());
    QVERIFY(!QFileInfo::exists(lSuggested));

    lAnswer = m_pTemp->FilePath(QStringLiteral("chosen.pdf"));
    lDlg->DoPrint();
    QCOMPARE(lDlg->LastPdfPath(), lAnswer);
    QVERIFY(PdfText(lAnswer).contains(QStringLiteral("Receipt no. 1")));
    QVERIFY(lDlg->timerPrint->isActive());
    // A receipt printed on request stays open when the timer fires.
    lDlg->timerPrintTimer();
    QVERIFY(lDlg->isVisible());
    QVERIFY(!lDlg->timerPrint->isActive());
}

void TReceiptDlgTest::closingStopsThePrintTimer() {
    auto lDlg = NewDlg();
    lDlg->show();
    lDlg->timerPrint->start();
    lDlg->btnOk->click();
    QVERIFY(!lDlg->isVisible());
    QVERIFY(!lDlg->timerPrint->isActive());
}

void TReceiptDlgTest::windowKeepsItsPlace() {
    const QRect lScreen = QGuiApplication::primaryScreen()->availableGeometry();
    m_pDoc->SetModifyedFlag(false);
    {
        // Nothing stored: the top left corner of the screen, at the designed size.
        auto lDlg = NewDlg();
        QCOMPARE(lDlg->pos(), lScreen.topLeft());
        lDlg->show();
        lDlg->setGeometry(lScreen.left() + 40, lScreen.top() + 30, 600, 420);
        lDlg->accept();
    }
    const TRect lStored = m_pDoc->RcptWinPos();
    QCOMPARE(lStored, (TRect{lScreen.left() + 40, lScreen.top() + 30, 600, 420}));
    QVERIFY(m_pDoc->Modifyed());
    {
        auto lDlg = NewDlg();
        QCOMPARE(lDlg->geometry(), QRect(lScreen.left() + 40, lScreen.top() + 30, 600, 420));
    }
    // A place on no screen is not taken.
    m_pDoc->SetRcptWinPos(TRect{lScreen.right() + 5000, lScreen.bottom() + 5000, 600, 420});
    auto lDlg = NewDlg();
    QCOMPARE(lDlg->pos(), lScreen.topLeft());
}

QTEST_MAIN(TReceiptDlgTest)
#include "test_receiptdlg.moc"
