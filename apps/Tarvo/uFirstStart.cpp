#include "apps/Tarvo/uFirstStart.h"

#include "base/uMessages.h"
#include "base/uPaths.h"
#include "frontdesk/uAppUtils.h"
#include "frontdesk/uFirstStart.h"
#include "gui/uErrorBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace Tarvo {

bool OfferFirstStartSetup(QWidget* AParent) {
    const bool lHandOver = g_oAppCmdLine && g_oAppCmdLine->m_fNewWin;
    if (!ShouldOfferSetup(CurrentFirstStartFacts(lHandOver)))
        return true;

    QMessageBox lBox(QMessageBox::Information, QStringLiteral("Tarvo"), FirstStartText(DataDir()),
                     QMessageBox::NoButton, AParent);
    lBox.setObjectName(QStringLiteral("dlgFirstStart"));
    QPushButton* lStart = lBox.addButton(LoadResString(MSG_FIRST_START_CONFIG), QMessageBox::AcceptRole);
    lStart->setObjectName(QStringLiteral("btnStartConfig"));
    QPushButton* lContinue = lBox.addButton(LoadResString(MSG_FIRST_START_GO_ON), QMessageBox::RejectRole);
    lContinue->setObjectName(QStringLiteral("btnContinue"));
    lBox.setDefaultButton(lStart);
    lBox.setEscapeButton(lContinue);
    lBox.exec();
    if (lBox.clickedButton() != lStart)
        return true;
    try {
        StartConfigTarvo();
    } catch (const std::exception& e) {
        ShowException(AParent, e);
        return true;
    }
    return false;
}

} // namespace Tarvo
