// Program entry of the configuration program: the single-instance check shared with the front desk,
// the main window and the self-closing message box.

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uFmMain.h"
#include "apps/ConfigTarvo/uLangTemplate.h"

#include "base/uMessages.h"
#include "base/uSingleInstance.h"
#include "config/uAppUtils.h"
#include "gui/uErrorBox.h"
#include "gui/uLangTemplateRun.h"
#include "reader/uOrvMsgWindow.h"

#include <QApplication>
#include <QPointer>

#include <memory>

#include <signal.h>

int main(int argc, char* argv[]) {
    // A file-size limit must not kill the program: the write fails with EFBIG and is reported.
    signal(SIGXFSZ, SIG_IGN);
    SetMsgProgram(TMsgProgram::Config);
    if (const TLangTemplateArgs lTemplate = LangTemplateArgsOf(argc, argv); lTemplate.m_fWrite)
        return RunLanguageTemplate(argc, argv, "ConfigTarvo", lTemplate, WriteLanguageTemplate);
    // Ends at once when either program's main window exists (unless started with /N), after asking that
    // program to bring its window to the front.
    if (!ConfigTarvo::CheckSingleInstance(argc, argv)) {
        (void)ActivateRunningInstance(
            {QString::fromLatin1(ConfigTarvoWindowClass), QString::fromLatin1(TarvoWindowClass)});
        return 0;
    }

    QApplication lApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ConfigTarvo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvo.ConfigTarvo"));

    auto lMain = std::make_unique<ConfigTarvo::TfmMain>();
    QPointer<ConfigTarvo::TfmMain> lWindow = lMain.get();
    SetMsgWindowExceptionHandler(
        [lWindow](std::exception_ptr AError) { ShowExceptionPtr(lWindow.data(), AError); });
    QObject::connect(
        lMain.get(), &ConfigTarvo::TfmMain::endRequested, &lApp,
        [](int AExitCode) { QCoreApplication::exit(AExitCode); }, Qt::QueuedConnection);
    auto lAutoMessage = std::make_unique<TfmAutoMessageDlg>();
    SetAutoMessageDlg(lAutoMessage.get());
    // A second start asks for this window: raised and activated (before the start mutex is released).
    TInstanceListener lListener(QString::fromLatin1(ConfigTarvoWindowClass), [lWindow] {
        if (!lWindow)
            return;
        if (lWindow->isMinimized())
            lWindow->setWindowState(lWindow->windowState() & ~Qt::WindowMinimized);
        lWindow->show();
        lWindow->raise();
        lWindow->activateWindow();
    });
    lMain->show();

    const int lResult = QApplication::exec();
    SetMsgWindowExceptionHandler(nullptr);
    SetAutoMessageDlg(nullptr);
    lMain.reset();
    lAutoMessage.reset();
    return lResult;
}
