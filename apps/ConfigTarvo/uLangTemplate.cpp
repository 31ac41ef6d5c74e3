#include "apps/ConfigTarvo/uLangTemplate.h"

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uDlgCard.h"
#include "apps/ConfigTarvo/uDlgProcessing.h"
#include "apps/ConfigTarvo/uDlgReaderDevices.h"
#include "apps/ConfigTarvo/uDlgTimeZone.h"
#include "apps/ConfigTarvo/uFmMain.h"
#include "gui/uAboutBox.h"
#include "gui/uIniLanguage.h"
#include "gui/uLangForm.h"

void WriteLanguageTemplate(const QString& AFile, std::uint32_t ALanguage) {
    // The main window installs the translator; without its deferred start-up it opens nothing.
    ConfigTarvo::TfmMain lMain(QString(), false);
    TIniLanguage* lLang = LangTranslator();
    SelectLanguage(*lLang, QStringLiteral("ConfigTarvo-"), ALanguage);

    TfmCardDlg lCard(&lMain);
    TfmTimeZoneDlg lTimeZone(&lMain);
    TfmProcessingDlg lProcessing(&lMain);
    TfmAutoMessageDlg lAutoMessage(&lMain);
    TfmAboutDlg lAbout(&lMain, 0, TfmAboutDlg::BuildDate());
    TfmReaderDevicesDlg lReaderDevices(&lMain);
    lLang->SaveAs(AFile);
}
