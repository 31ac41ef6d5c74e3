// The zones and cards lists in and out of tables: "Export" writes the list as shown (a header row of the
// list's captions, then the rows' texts) into a new workbook opened with the desktop's spreadsheet
// application or into a CSV file; "Import" reads a workbook or CSV file whole and then replaces the list
// by its rows in one document update. Failures go to the standard error box.

#include "apps/ConfigTarvo/uFmMain.h"

#include "apps/ConfigTarvo/uDlgProcessing.h"
#include "base/uDesktopApps.h"
#include "base/uListExport.h"
#include "base/uMessages.h"
#include "base/uShellOpen.h"
#include "config/uTableImport.h"
#include "gui/uCommandHelpers.h"
#include "gui/uErrorBox.h"
#include "gui/uListViewModel.h"
#include "sheet/uSheet.h"
#include "sheet/uSheetTable.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QTabWidget>

#include <exception>
#include <functional>

namespace ConfigTarvo {

namespace {

// The chosen file name, or empty when the operator cancelled.
QString AskFileName(QWidget* AOwner, const QString& AName, bool ASave, const QString& ACaption,
                    const QString& AFilter) {
    QFileDialog lDlg(AOwner, ACaption);
    lDlg.setObjectName(AName);
    lDlg.setAcceptMode(ASave ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    lDlg.setFileMode(ASave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (ASave)
        lDlg.setOption(QFileDialog::DontConfirmOverwrite);
    lDlg.setNameFilter(AFilter);
    if (lDlg.exec() != QDialog::Accepted || lDlg.selectedFiles().isEmpty())
        return QString();
    return lDlg.selectedFiles().constFirst();
}

QString ListWord(bool ACards) {
    return ACards ? QStringLiteral("Cards") : QStringLiteral("Zones");
}

} // namespace

void TfmMain::CreateTableExport() {
    m_sXlsxApp = DefaultApplicationFor(QLatin1String(XlsxMimeType));
    const QString lExcelTip = m_sXlsxApp.isEmpty()
                                  ? QStringLiteral("No application on this computer opens .xlsx workbooks")
                                  : QStringLiteral("A new .xlsx workbook of the list, opened with %1")
                                        .arg(ApplicationName(m_sXlsxApp));
    for (QAction* a : {actTzExportExcel, actCardExportExcel, actExportExcel})
        a->setToolTip(lExcelTip);
    for (QAction* a : {actTzExportCsv, actCardExportCsv, actExportCsv})
        a->setToolTip(QStringLiteral("Save the list as a CSV file"));
    for (QAction* a : {actTzImportExcel, actCardImportExcel, actImportExcel})
        a->setToolTip(QStringLiteral("Replace the list by the rows of a workbook"));
    for (QAction* a : {actTzImportCsv, actCardImportCsv, actImportCsv})
        a->setToolTip(QStringLiteral("Replace the list by the rows of a CSV file"));

    const struct {
        QAction* m_pAction;
        bool m_fCards;
        void (TfmMain::*m_pCommand)(bool);
    } lCommands[] = {
        {actTzExportExcel, false, &TfmMain::DoExportToExcel},
        {actTzExportCsv, false, &TfmMain::DoExportToCsv},
        {actTzImportExcel, false, &TfmMain::DoImportFromExcel},
        {actTzImportCsv, false, &TfmMain::DoImportFromCsv},
        {actCardExportExcel, true, &TfmMain::DoExportToExcel},
        {actCardExportCsv, true, &TfmMain::DoExportToCsv},
        {actCardImportExcel, true, &TfmMain::DoImportFromExcel},
        {actCardImportCsv, true, &TfmMain::DoImportFromCsv},
    };
    for (const auto& c : lCommands)
        connect(c.m_pAction, &QAction::triggered, this,
                [this, lCards = c.m_fCards, lCommand = c.m_pCommand] { (this->*lCommand)(lCards); });
    // The tool bar's commands act on the list of the tab shown.
    const struct {
        QAction* m_pAction;
        void (TfmMain::*m_pCommand)(bool);
    } lCurrent[] = {{actExportExcel, &TfmMain::DoExportToExcel},
                    {actExportCsv, &TfmMain::DoExportToCsv},
                    {actImportExcel, &TfmMain::DoImportFromExcel},
                    {actImportCsv, &TfmMain::DoImportFromCsv}};
    for (const auto& c : lCurrent)
        connect(c.m_pAction, &QAction::triggered, this, [this, lCommand = c.m_pCommand] {
            bool lCards = false;
            if (CurrentListIsCards(lCards))
                (this->*lCommand)(lCards);
        });
    for (QAction* a : {actTzExportExcel, actTzImportExcel, actTzExportCsv, actTzImportCsv, actCardExportExcel,
                       actCardImportExcel, actCardExportCsv, actCardImportCsv, actExportExcel, actImportExcel,
                       actExportCsv, actImportCsv})
        a->setStatusTip(a->toolTip());
    UpdateTableActions();
}

bool TfmMain::CurrentListIsCards(bool& VCards) const {
    QWidget* lShown = pcMain ? pcMain->currentWidget() : nullptr;
    VCards = lShown && lShown == tsCards;
    return lShown && (lShown == tsCards || lShown == tsZones);
}

void TfmMain::UpdateTableActions() {
    bool lCards = false;
    const bool lList = CurrentListIsCards(lCards);
    const bool lExcel = HasXlsxApplication();
    for (QAction* a : {actTzExportExcel, actCardExportExcel})
        a->setEnabled(lExcel);
    for (QAction* a : {actTzExportCsv, actTzImportExcel, actTzImportCsv, actCardExportCsv, actCardImportExcel,
                       actCardImportCsv})
        a->setEnabled(true);
    actExportExcel->setEnabled(lList && lExcel);
    for (QAction* a : {actExportCsv, actImportExcel, actImportCsv, actImport, actExport})
        a->setEnabled(lList);
}

QStringList TfmMain::ListCaptions(bool ACards) const {
    // As the list shows them now, so a translated interface exports translated headers.
    const TListViewModel* lModel = ACards ? m_pCardModel : m_pTzModel;
    QStringList lCaptions;
    for (int c = 0; c < lModel->columnCount(); ++c)
        lCaptions << lModel->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    return lCaptions;
}

void TfmMain::ExportToFile(bool ACards, const QString& AFileName) {
    const QStringList lCaptions = ListCaptions(ACards);
    const TTextRows lRows = ACards ? CardExportRows(*m_oDoc, lCaptions) : TzExportRows(*m_oDoc, lCaptions);
    WriteTableFile(AFileName, lRows, ListWord(ACards));
}

QString TfmMain::ExportToApplication(bool ACards) {
    const QString lFile = NewExportPath(ListWord(ACards), QStringLiteral("xlsx"));
    try {
        ExportToFile(ACards, lFile);
    } catch (...) {
        // The reserved name holds nothing worth keeping.
        QFile::remove(lFile);
        throw;
    }
    ShellOpen(this, lFile);
    return lFile;
}

void TfmMain::DoExportToExcel(bool ACards) {
    if (!HasXlsxApplication())
        return;
    Guarded(this, [&] { ExportToApplication(ACards); });
}

void TfmMain::DoExportToCsv(bool ACards) {
    QString lName =
        AskFileName(this, ACards ? QStringLiteral("dlgCardExportCsv") : QStringLiteral("dlgTzExportCsv"),
                    true, LoadResString(MSG_EXPORT), DialogFilter(LoadResString(MSG_FILTER_CSV)));
    if (lName.isEmpty())
        return;
    if (QFileInfo(lName).suffix().isEmpty())
        lName += QStringLiteral(".csv");
    Guarded(this, [&] { ExportToFile(ACards, lName); });
}

int TfmMain::ImportFromFile(bool ACards, const QString& AFileName) {
    // Read whole first: a file that cannot be read leaves the list as it is.
    const TTextRows lRows = ReadTableFile(AFileName);
    auto lImport = [&](const TImportCancelled& ACancelled) {
        return ACards ? ImportCards(*m_oDoc, lRows, ACancelled) : ImportTimeZones(*m_oDoc, lRows, ACancelled);
    };
    if (lRows.size() <= ImportBoxRows)
        return lImport({});
    // A long table runs in the processing box; Cancel takes effect at the next row and the rows
    // taken before it stay. An error of a row is raised here, after the box.
    int lTaken = 0;
    std::exception_ptr lError;
    TfmProcessingDlg lDlg(this);
    lDlg.setObjectName(QStringLiteral("dlgImportProcessing"));
    lDlg.ExecuteProcessing(FormatResString(MSG_IMPORTING, {QFileInfo(AFileName).fileName()}), nullptr, true,
                           int(lRows.size()), {}, [&](TfmProcessingDlg& ABox) {
                               try {
                                   lTaken = lImport([&ABox] {
                                       ABox.IncPos();
                                       ABox.DoProcess();
                                       return ABox.IsCancelled();
                                   });
                               } catch (...) {
                                   lError = std::current_exception();
                               }
                           });
    if (lError)
        std::rethrow_exception(lError);
    return lTaken;
}

void TfmMain::DoImportFromExcel(bool ACards) {
    const QString lName = AskFileName(
        this, ACards ? QStringLiteral("dlgCardImportExcel") : QStringLiteral("dlgTzImportExcel"), false,
        LoadResString(MSG_IMPORT), DialogFilter(LoadResString(MSG_FILTER_SHEET), {QStringLiteral("*.ods")}));
    if (!lName.isEmpty())
        Guarded(this, [&] { ImportFromFile(ACards, lName); });
}

void TfmMain::DoImportFromCsv(bool ACards) {
    const QString lName =
        AskFileName(this, ACards ? QStringLiteral("dlgCardImportCsv") : QStringLiteral("dlgTzImportCsv"),
                    false, LoadResString(MSG_IMPORT), DialogFilter(LoadResString(MSG_FILTER_CSV)));
    if (!lName.isEmpty())
        Guarded(this, [&] { ImportFromFile(ACards, lName); });
}

} // namespace ConfigTarvo
