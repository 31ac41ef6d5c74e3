// The report list's "Export" menu: the day's report as a CSV file, as a new workbook opened with the
// desktop's spreadsheet application, or as a workbook saved wherever the operator says. The report
// itself is never changed by an export; failures go to the standard error box.

#include "apps/Tarvo/uFmMain.h"

#include "base/uDesktopApps.h"
#include "base/uListExport.h"
#include "base/uMessages.h"
#include "base/uShellOpen.h"
#include "frontdesk/uReportExport.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uCommandHelpers.h"
#include "gui/uErrorBox.h"
#include "gui/uListView.h"
#include "gui/uListViewModel.h"
#include "sheet/uSheet.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

#include <exception>
#include <functional>

using namespace Tarvo;

namespace {

// In the language of the moment, as every dialog text.
QString XlsxFilter() {
    return LoadResString(MSG_FILTER_XLSX);
}
QString OdsFilter() {
    return LoadResString(MSG_FILTER_ODS);
}

// The chosen file name, or empty when the operator cancelled.
QString AskSaveName(QWidget* AOwner, const char* AName, const QString& ACaption, const QString& AFilter,
                    QString* VSelectedFilter = nullptr) {
    QFileDialog lDlg(AOwner, ACaption);
    lDlg.setObjectName(QString::fromLatin1(AName));
    lDlg.setAcceptMode(QFileDialog::AcceptSave);
    lDlg.setFileMode(QFileDialog::AnyFile);
    lDlg.setNameFilter(AFilter);
    if (lDlg.exec() != QDialog::Accepted || lDlg.selectedFiles().isEmpty())
        return QString();
    if (VSelectedFilter)
        *VSelectedFilter = lDlg.selectedNameFilter();
    return lDlg.selectedFiles().constFirst();
}

} // namespace

void TfmMain::CreateRepExport() {
    actRepExportSheet = new QAction(QStringLiteral("Spreadsheet file..."), this);
    actRepExportSheet->setObjectName(QStringLiteral("actRepExportSheet"));
    actRepExportSheet->setToolTip(QStringLiteral("Save the report as an .xlsx or .ods workbook"));
    if (auto* lMenu = menuReport->findChild<QMenu*>(QStringLiteral("miExport")))
        lMenu->addAction(actRepExportSheet);

    actRepExportCsv->setEnabled(true);
    actRepExportCsv->setToolTip(QStringLiteral("Save the report as a CSV file"));
    // Whether the desktop has an application for each workbook type: asked once, at the window's start.
    const struct {
        QAction* m_pAction;
        const char* m_pMimeType;
        const char* m_pExt;
    } lApps[] = {{actRepExportExcel, XlsxMimeType, "xlsx"}, {actRepExportOOCalc, OdsMimeType, "ods"}};
    for (const auto& a : lApps) {
        const QString lId = DefaultApplicationFor(QLatin1String(a.m_pMimeType));
        a.m_pAction->setEnabled(!lId.isEmpty());
        a.m_pAction->setToolTip(
            lId.isEmpty()
                ? QStringLiteral("No application on this computer opens .%1 workbooks").arg(a.m_pExt)
                : QStringLiteral("A new .%1 workbook of the report, opened with %2")
                      .arg(QLatin1String(a.m_pExt), ApplicationName(lId)));
    }
    for (QAction* a : {actRepExportCsv, actRepExportExcel, actRepExportOOCalc, actRepExportSheet})
        a->setStatusTip(a->toolTip());

    connect(actRepExportCsv, &QAction::triggered, this, [this] { DoRepExportToCsv(); });
    connect(actRepExportExcel, &QAction::triggered, this, [this] { DoRepExportToExcel(); });
    connect(actRepExportOOCalc, &QAction::triggered, this, [this] { DoRepExportToOOCalc(); });
    connect(actRepExportSheet, &QAction::triggered, this, [this] { DoRepExportToSheet(); });
}

std::vector<QStringList> TfmMain::RepExportRows() const {
    // The captions as the list shows them now, so a translated interface exports translated headers.
    QStringList lCaptions;
    TListViewModel* lModel = lvReport->ListModel();
    for (int c = 0; c < lModel->columnCount(); ++c)
        lCaptions << lModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return ReportExportRows(*m_oRepVD, *m_oDoc, lCaptions);
}

QString TfmMain::RepExportName() const {
    int y = 0, m = 0, d = 0;
    DecodeDate(m_oDoc->ReportDate(), y, m, d);
    return FormatResString(MSG_REPORT_FILE_NAME, {QDate(y, m, d).toString(Qt::ISODate)});
}

void TfmMain::DoRepExportToCsv() {
    QString lName = AskSaveName(this, "dlgRepExportCsv", LoadResString(MSG_EXPORT_REPORT),
                                DialogFilter(LoadResString(MSG_FILTER_CSV)));
    if (lName.isEmpty())
        return;
    if (QFileInfo(lName).suffix().isEmpty())
        lName += QStringLiteral(".csv");
    Guarded(this, [&] { DoRepExportToCsv(lName); });
}

void TfmMain::DoRepExportToCsv(const QString& AFileName) {
    WriteCsvRows(AFileName, RepExportRows());
}

void TfmMain::DoRepExportToExcel() {
    Guarded(this, [this] { RepExportToApplication(QStringLiteral("xlsx")); });
}

void TfmMain::DoRepExportToOOCalc() {
    Guarded(this, [this] { RepExportToApplication(QStringLiteral("ods")); });
}

void TfmMain::RepExportToApplication(const QString& AExt) {
    const std::vector<QStringList> lRows = RepExportRows();
    const QString lName = RepExportName();
    const QString lFile = NewExportPath(lName, AExt);
    try {
        WriteSheetFile(lFile, lRows, lName);
    } catch (...) {
        // The reserved name holds nothing worth keeping.
        QFile::remove(lFile);
        throw;
    }
    ShellOpen(this, lFile);
}

void TfmMain::DoRepExportToSheet() {
    QString lFilter;
    const QString lOdsFilter = OdsFilter();
    QString lName = AskSaveName(this, "dlgRepExportSheet", LoadResString(MSG_EXPORT_REPORT),
                                XlsxFilter() + QStringLiteral(";;") + lOdsFilter, &lFilter);
    if (lName.isEmpty())
        return;
    // A name of the other workbook type stays as typed; any other gets the chosen type's extension.
    if (SheetKindOf(lName) != TSheetKind::Xlsx && SheetKindOf(lName) != TSheetKind::Ods)
        lName += lFilter == lOdsFilter ? QStringLiteral(".ods") : QStringLiteral(".xlsx");
    Guarded(this, [&] { DoRepExportToSheet(lName); });
}

void TfmMain::DoRepExportToSheet(const QString& AFileName) {
    WriteSheetFile(AFileName, RepExportRows(), RepExportName());
}
