// Program entry of the front desk: the single-instance check, the application with its services, the
// main window, and SIGTERM/SIGINT ending the program the way Exit does.

#include "apps/Tarvo/uFirstStart.h"
#include "apps/Tarvo/uFmMain.h"
#include "apps/Tarvo/uLangTemplate.h"

#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "base/uShellOpen.h"
#include "base/uSingleInstance.h"
#include "frontdesk/uAppUtils.h"
#include "gui/uErrorBox.h"
#include "gui/uLangTemplateRun.h"
#include "reader/uOrvMsgWindow.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPointer>
#include <QProcess>
#include <QSocketNotifier>
#include <QUrl>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace {

// The self-pipe: the handler only writes the signal number; the GUI thread reads it.
int g_aSignalPipe[2] = {-1, -1};

extern "C" void OnExitSignal(int ASignal) {
    const int lSaved = errno;
    const unsigned char lByte = static_cast<unsigned char>(ASignal);
    [[maybe_unused]] ssize_t n = write(g_aSignalPipe[1], &lByte, 1);
    errno = lSaved;
}

bool InstallExitSignals() {
    if (pipe2(g_aSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction lAction {};
    lAction.sa_handler = OnExitSignal;
    sigemptyset(&lAction.sa_mask);
    lAction.sa_flags = SA_RESTART;
    return sigaction(SIGTERM, &lAction, nullptr) == 0 && sigaction(SIGINT, &lAction, nullptr) == 0;
}

void ShellOpenWithDesktop(QObject* /*AOwner*/, const QString& AFile, const QString& AParameters) {
    bool lOk = false;
    if (!AParameters.isEmpty())
        lOk = QProcess::startDetached(AFile, QProcess::splitCommand(AParameters));
    else
        lOk = QDesktopServices::openUrl(QUrl::fromUserInput(AFile, QString(), QUrl::AssumeLocalFile));
    if (!lOk)
        throw Exception(LoadResString(MSG_NO_APP_OPENS));
}

} // namespace

int main(int argc, char* argv[]) {
    // A file-size limit must not kill the desk: the write fails with EFBIG instead, and the failure is
    // reported as every other write failure is.
    signal(SIGXFSZ, SIG_IGN);
    SetMsgProgram(TMsgProgram::FrontDesk);
    if (const TLangTemplateArgs lTemplate = LangTemplateArgsOf(argc, argv); lTemplate.m_fWrite)
        return RunLanguageTemplate(argc, argv, "Tarvo", lTemplate, WriteLanguageTemplate);
    // A second front desk (or one started while the configuration program runs) ends at once, after
    // asking the running program to bring its window to the front.
    if (!Tarvo::CheckSingleInstance(argc, argv)) {
        (void)ActivateRunningInstance(
            {QString::fromLatin1(TarvoWindowClass), QString::fromLatin1(ConfigTarvoWindowClass)});
        return 0;
    }

    QApplication lApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvo.Tarvo"));
    QApplication::setQuitOnLastWindowClosed(false);
    SetShellOpenFunc(ShellOpenWithDesktop);
    // Nothing to bill yet: name the data folder and offer the configuration program.
    if (!Tarvo::OfferFirstStartSetup())
        return 0;

    auto lMain = std::make_unique<TfmMain>();
    QPointer<TfmMain> lWindow = lMain.get();
    SetMsgWindowExceptionHandler(
        [lWindow](std::exception_ptr AError) { ShowExceptionPtr(lWindow.data(), AError); });

    std::unique_ptr<QSocketNotifier> lSignals;
    if (InstallExitSignals()) {
        lSignals = std::make_unique<QSocketNotifier>(g_aSignalPipe[0], QSocketNotifier::Read);
        QObject::connect(lSignals.get(), &QSocketNotifier::activated, lMain.get(), [lWindow] {
            unsigned char lBuf[16];
            while (read(g_aSignalPipe[0], lBuf, sizeof(lBuf)) > 0) {
            }
            if (lWindow)
                lWindow->DoExit();
        });
    }

    const int lResult = QApplication::exec();
    SetMsgWindowExceptionHandler(nullptr);
    lSignals.reset();
    lMain.reset();
    return lResult;
}
