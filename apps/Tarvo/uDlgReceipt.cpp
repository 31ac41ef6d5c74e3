#include "apps/Tarvo/uDlgReceipt.h"

#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "base/uPaths.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

// The template is compiled into the program's static library: its resource must be registered.
static void InitReceiptResource() {
    Q_INIT_RESOURCE(receipt);
}

using Tarvo::TTarvoDoc;

namespace {

constexpr int cClientWidth = 698;
constexpr int cClientHeight = 446;
constexpr int cPrintCloseDelayMs = 2000;
// Tables of the full page width come out a pixel or two wider than the width they were laid out for
// (their outer border): the page is laid out this much narrower, so it never scrolls sideways.
constexpr int cPageWidthSlack = 4;

QString LoadTemplate() {
    InitReceiptResource();
    QFile lFile(QStringLiteral(":/HTML/Receipt"));
    if (!lFile.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(lFile.readAll());
}

QString AskPdfPathDialog(QWidget* AOwner, const QString& ASuggested) {
    return QFileDialog::getSaveFileName(AOwner, LoadResString(MSG_RCPT_SAVE_PDF), ASuggested,
                                        LoadResString(MSG_FILTER_PDF));
}

// APath, or with "-2", "-3"... before the extension when a file of that name exists.
QString FreeFileName(const QString& APath) {
    if (!QFileInfo::exists(APath))
        return APath;
    const QFileInfo lInfo(APath);
    for (int i = 2;; ++i) {
        const QString lPath = lInfo.dir().filePath(
            QStringLiteral("%1-%2.%3").arg(lInfo.completeBaseName()).arg(i).arg(lInfo.suffix()));
        if (!QFileInfo::exists(lPath))
            return lPath;
    }
}

} // namespace

TfmReceiptDlg::TfmReceiptDlg(QWidget* AOwner, TTarvoDoc& ADoc, const Tarvo::TReceiptData& AData,
                             bool AAutoPrint)
    : QDialog(AOwner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_pDoc(&ADoc), m_oData(AData), m_fAutoPrint(AAutoPrint), m_fnAskPdfPath(AskPdfPathDialog) {
    setObjectName(QStringLiteral("TfmReceiptDlg"));
    setWindowTitle(QStringLiteral("Receipt"));
    CreateControls();
    RegisterLangForm(this);
    m_nTotal = Tarvo::BuildReceiptRows(ADoc, m_oData, m_aRecs);
    const QString lTemplate = LoadTemplate();
    if (!lTemplate.isEmpty())
        m_sPage = Tarvo::FillReceiptPage(lTemplate, ADoc, m_oData, m_aRecs, m_nTotal);
    wbReceipt->setHtml(m_sPage);
    PlaceWindow();
}

TfmReceiptDlg::~TfmReceiptDlg() = default;

void TfmReceiptDlg::CreateControls() {
    auto* lLayout = new QVBoxLayout(this);
    lLayout->setContentsMargins(0, 0, 0, 8);
    wbReceipt = new QTextBrowser(this);
    wbReceipt->setObjectName(QStringLiteral("wbReceipt"));
    wbReceipt->setOpenLinks(false);
    wbReceipt->setFrameShape(QFrame::NoFrame);
    wbReceipt->document()->setDocumentMargin(10);
    wbReceipt->setLineWrapMode(QTextEdit::FixedPixelWidth);
    wbReceipt->setLineWrapColumnOrWidth(cClientWidth - cPageWidthSlack);
    wbReceipt->viewport()->installEventFilter(this);
    lLayout->addWidget(wbReceipt, 1);

    auto* lButtons = new QHBoxLayout;
    lButtons->setContentsMargins(8, 0, 8, 0);
    btnPrint = new QPushButton(QStringLiteral("&Print"), this);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setAutoDefault(false);
    btnOk = new QPushButton(QStringLiteral("&OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    lButtons->addWidget(btnPrint);
    lButtons->addStretch(1);
    lButtons->addWidget(btnOk);
    lLayout->addLayout(lButtons);
    connect(btnPrint, &QPushButton::clicked, this, &TfmReceiptDlg::btnPrintClick);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    timerPrint = new QTimer(this);
    timerPrint->setObjectName(QStringLiteral("timerPrint"));
    timerPrint->setInterval(cPrintCloseDelayMs);
    timerPrint->setSingleShot(true);
    connect(timerPrint, &QTimer::timeout, this, &TfmReceiptDlg::timerPrintTimer);
    resize(cClientWidth, cClientHeight);
}

void TfmReceiptDlg::PlaceWindow() {
    const TRect& lPos = m_pDoc->RcptWinPos();
    const QRect lStored(lPos.Left, lPos.Top, lPos.Right, lPos.Bottom);
    // A place on a screen that is no longer attached would hide the window.
    if (lStored.width() > 0 && lStored.height() > 0) {
        for (const QScreen* lScreen : QGuiApplication::screens())
            if (lScreen->availableGeometry().intersects(lStored)) {
                setGeometry(lStored);
                return;
            }
    }
    if (const QScreen* lScreen = QGuiApplication::primaryScreen())
        move(lScreen->availableGeometry().topLeft());
}

bool TfmReceiptDlg::eventFilter(QObject* AWatched, QEvent* AEvent) {
    // The visible width changes with the window and with the vertical scroll bar coming and going.
    if (wbReceipt && AWatched == wbReceipt->viewport() && AEvent->type() == QEvent::Resize) {
        const int lWidth = std::max(wbReceipt->viewport()->width() - cPageWidthSlack, 1);
        if (wbReceipt->lineWrapColumnOrWidth() != lWidth)
            wbReceipt->setLineWrapColumnOrWidth(lWidth);
    }
    return QDialog::eventFilter(AWatched, AEvent);
}

void TfmReceiptDlg::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    if (m_fShown)
        return;
    m_fShown = true;
    // After the window is up, as a click on "Print" would.
    if (m_fAutoPrint)
        QMetaObject::invokeMethod(this, &TfmReceiptDlg::btnPrintClick, Qt::QueuedConnection);
}

QString TfmReceiptDlg::TargetPrinter() const {
    return Tarvo::ChooseReceiptPrinter(m_pDoc->Printer(), QPrinterInfo::availablePrinterNames(),
                                       QPrinterInfo::defaultPrinterName());
}

void TfmReceiptDlg::PrintTo(QPrinter& APrinter) const {
    // Laid out on pages of the printer's printable size, so that the print carries no page numbers;
    // the document measures in the screen's logical pixels, which print() scales to the printer.
    std::unique_ptr<QTextDocument> lDoc(wbReceipt->document()->clone());
    const QScreen* lScreen = QGuiApplication::primaryScreen();
    const qreal lDpi = lScreen ? lScreen->logicalDotsPerInchY() : 96.0;
    lDoc->setPageSize(APrinter.pageRect(QPrinter::Inch).size() * lDpi);
    lDoc->print(&APrinter);
}

void TfmReceiptDlg::SavePdf(const QString& AFileName) {
    QPrinter lPrinter(QPrinter::HighResolution);
    lPrinter.setOutputFormat(QPrinter::PdfFormat);
    lPrinter.setOutputFileName(AFileName);
    lPrinter.setDocName(QFileInfo(AFileName).completeBaseName());
    lPrinter.setPageSize(QPageSize(QPageSize::A5));
    PrintTo(lPrinter);
    if (lPrinter.printerState() == QPrinter::Error || !QFileInfo(AFileName).isFile())
        throw EInOutError(QStringLiteral("The receipt could not be saved as \"%1\".").arg(AFileName));
    m_sLastPdf = AFileName;
}

void TfmReceiptDlg::DoPrint() {
    if (m_sPage.isEmpty())
        return;
    const QString lPrinterName = TargetPrinter();
    if (!lPrinterName.isEmpty()) {
        QPrinter lPrinter(QPrinter::HighResolution);
        lPrinter.setPrinterName(lPrinterName);
        lPrinter.setDocName(windowTitle());
        if (!lPrinter.isValid())
            throw Exception(FormatResString(MSG_RCPT_NO_PRINTER, {lPrinterName}));
        PrintTo(lPrinter);
        if (lPrinter.printerState() == QPrinter::Error)
            throw Exception(FormatResString(MSG_RCPT_NOT_PRINTED, {lPrinterName}));
    } else {
        // No printer at all: the receipt as a PDF file instead.
        const QString lFolder = JoinPath(DataDir(), QStringLiteral("Receipts"));
        if (!QDir().mkpath(lFolder))
            throw EInOutError(QStringLiteral("Cannot create the folder \"%1\".").arg(lFolder));
        const QString lSuggested = FreeFileName(JoinPath(lFolder, Tarvo::ReceiptPdfFileName(m_oData)));
        const QString lPath = m_fAutoPrint ? lSuggested : m_fnAskPdfPath(this, lSuggested);
        if (lPath.isEmpty())
            return;
        SavePdf(lPath);
    }
    timerPrint->start();
}

void TfmReceiptDlg::btnPrintClick() {
    try {
        DoPrint();
    } catch (const std::exception& lError) {
        ShowException(this, lError);
    }
}

void TfmReceiptDlg::timerPrintTimer() {
    timerPrint->stop();
    if (m_fAutoPrint)
        accept();
}

void TfmReceiptDlg::done(int AResult) {
    timerPrint->stop();
    const QRect lRect = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    if (lRect.width() > 0 && lRect.height() > 0)
        m_pDoc->SetRcptWinPos(TRect{lRect.left(), lRect.top(), lRect.width(), lRect.height()});
    QDialog::done(AResult);
}

void ExecReceiptDlg(QWidget* AOwner, TTarvoDoc& ADoc, const Tarvo::TReceiptData& AData, bool AAutoPrint) {
    try {
        TfmReceiptDlg lDlg(AOwner && AOwner->isVisible() ? AOwner : nullptr, ADoc, AData, AAutoPrint);
        lDlg.exec();
    } catch (const std::exception& lError) {
        ShowException(AOwner, lError);
    }
}
