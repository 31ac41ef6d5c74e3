#pragma once
// The receipt window of one finished visit: the filled receipt page, printed on the receipt printer
// without a print dialog, or saved as PDF when the desk has no printer at all.

#include "base/uDateTime.h"
#include "frontdesk/uReceipt.h"
#include "frontdesk/uReceiptData.h"

#include <QDialog>
#include <QString>

#include <functional>

class QPrinter;
class QPushButton;
class QTextBrowser;
class QTimer;
namespace Tarvo {
class TTarvoDoc;
} // namespace Tarvo

class TfmReceiptDlg : public QDialog {
    Q_OBJECT
public:
    // Builds the rows and fills the page at once. The window takes its place from the document's
    // RcptWinPos, or the top left corner of the screen when none is stored.
    TfmReceiptDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, const Tarvo::TReceiptData& AData, bool AAutoPrint);
    ~TfmReceiptDlg() override;

    QTextBrowser* wbReceipt = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnOk = nullptr;
    QTimer* timerPrint = nullptr; // 2 s after printing: closes an automatic receipt

    // Prints the page on the receipt printer (the configured one when installed, else the default one);
    // without any printer saves it as PDF: silently into "Receipts" of the data folder when printing
    // automatically, else where the operator chooses. Starts timerPrint. Failures go to the caller.
    void DoPrint();
    // Renders the page into APrinter as it is set up.
    void PrintTo(QPrinter& APrinter) const;
    // The printer DoPrint would use; empty when there is none.
    QString TargetPrinter() const;
    // timerPrint's handler: stops it and, for an automatic receipt, closes the window.
    void timerPrintTimer();

    const QString& PageHtml() const { return m_sPage; }
    const Tarvo::TRcptRecDynArray& Recs() const { return m_aRecs; }
    Extended Total() const { return m_nTotal; }
    // The PDF file the last print without a printer wrote; empty when none.
    const QString& LastPdfPath() const { return m_sLastPdf; }

    // Asks the operator for the PDF file (ASuggested proposed); an empty answer saves nothing.
    using TAskPdfPath = std::function<QString(QWidget* AOwner, const QString& ASuggested)>;
    void SetAskPdfPath(TAskPdfPath AAsk) { m_fnAskPdfPath = std::move(AAsk); }

    void done(int AResult) override;

protected:
    void showEvent(QShowEvent* AEvent) override;
    // Keeps the page's width a little inside the browser's visible width.
    bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

private:
    void CreateControls();
    void PlaceWindow();
    void btnPrintClick();
    void SavePdf(const QString& AFileName);

    Tarvo::TTarvoDoc* m_pDoc;
    Tarvo::TReceiptData m_oData;
    bool m_fAutoPrint;
    bool m_fShown = false;
    Tarvo::TRcptRecDynArray m_aRecs;
    Extended m_nTotal = 0;
    QString m_sPage;
    QString m_sLastPdf;
    TAskPdfPath m_fnAskPdfPath;
};

// Shows the receipt modally (owned by AOwner when that is visible). With AAutoPrint the window prints
// itself and closes. Failures are shown in the standard error box.
void ExecReceiptDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, const Tarvo::TReceiptData& AData,
                    bool AAutoPrint);
