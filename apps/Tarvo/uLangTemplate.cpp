#include "apps/Tarvo/uLangTemplate.h"

#include "apps/Tarvo/uDlgBooking.h"
#include "apps/Tarvo/uDlgReceipt.h"
#include "apps/Tarvo/uDlgSettings.h"
#include "apps/Tarvo/uFmMain.h"
#include "apps/Tarvo/uVIArchiveFotoDlg.h"
#include "apps/Tarvo/uVILiveFotoDlg.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uTarvoRecords.h"
#include "gui/uAboutBox.h"
#include "gui/uIniLanguage.h"
#include "gui/uLangForm.h"
#include "gui/uPopupMsg.h"

void WriteLanguageTemplate(const QString& AFile, std::uint32_t ALanguage) {
    // The main window installs the translator; without its deferred start-up it opens nothing.
    TfmMain lMain(QString(), false);
    TIniLanguage* lLang = LangTranslator();
    SelectLanguage(*lLang, QStringLiteral("Tarvo-"), ALanguage, lMain.Doc().LangDir());

    TCard lCard; // a guest inside needs a card
    Tarvo::TInUser lUser;
    lUser.m_pCard = &lCard;
    const Tarvo::TReceiptData lReceipt;
    TfmSettingsDlg lSettings(&lMain, lMain.Doc());
    TfrmBookingDlg lBooking(&lMain, lMain.Doc(), lUser);
    TfmLogItemDlg lLogItem(&lMain, lMain.Doc(), 0);
    TfmReceiptDlg lReceiptDlg(&lMain, lMain.Doc(), lReceipt, false);
    TfmAboutDlg lAbout(&lMain, 0, TfmAboutDlg::BuildDate());
    TfmPopupMessageDlg lPopup(&lMain.Popups(), {});
    TfmVIArchiveFotoDlg lArchive(&lMain, lMain.Doc());
    TfmVILiveFotoDlg lLive(&lMain);
    lLang->SaveAs(AFile);
}
