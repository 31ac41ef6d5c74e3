// Program entry of the configuration program: the single-instance check shared with the front desk,
// the main window and the self-closing message box.

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uFmMain.h"
#include "apps/ConfigTarvo/uLangTemplate.h"

#include "base/uLangTemplateArgs.h"
#include "base/uMessages.h"
#include "base/uSingleInstance.h"
#include "config/uAppUtils.h"
#include "gui/uErrorBox.h"
#include "reader/uOrvMsgWindow.h"

#include <QApplication>
#include <QPointer>

#include <cstdio>
#include <memory>

#include <signal.h>

namespace {

// --write-language-template: every window once, unshown, into the template; no data file, no reader.
int WriteTemplateAndExit(int argc, char* argv[], const TLangTemplateArgs& AArgs) {
    if (!AArgs.m_sError.isEmpty()) {
        std::fprintf(stderr, "ConfigTarvo: %s\n", AArgs.m_sError.toLocal8Bit().constData());
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen"); // nothing is shown: no desktop needed
    QApplication lApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ConfigTarvo"));
    try {
        WriteLanguageTemplate(AArgs.m_sFile, AArgs.m_nLanguage);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ConfigTarvo: %s\n", QString::fromUtf8(e.what()).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList lArgs;
    for (int i = 0; i < argc; ++i)
        lArgs << QString::fromLocal8Bit(argv[i]);
    return lArgs;
}

} // namespace

int main(int argc, char* argv[]) {
    // A file-size limit must not kill the program: the write fails with EFBIG and is reported.
    signal(SIGXFSZ, SIG_IGN);
    SetMsgProgram(TMsgProgram::Config);
    if (const TLangTemplateArgs lTemplate = ParseLangTemplateArgs(ArgumentsOf(argc, argv));
        lTemplate.m_fWrite)
        return WriteTemplateAndExit(argc, argv, lTemplate);
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
