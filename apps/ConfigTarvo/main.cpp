// Program entry of the configuration program: the single-instance check shared with the front desk,
// the main window and the self-closing message box.

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uFmMain.h"

#include "base/uMessages.h"
#include "config/uAppUtils.h"
#include "gui/uErrorBox.h"
#include "reader/uOrvMsgWindow.h"

#include <QApplication>
#include <QPointer>

#include <memory>

int main(int argc, char* argv[]) {
    SetMsgProgram(TMsgProgram::Config);
    // Ends at once when either program's main window exists (unless started with /N).
    if (!ConfigTarvo::CheckSingleInstance(argc, argv))
        return 0;

    QApplication lApp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ConfigTarvo"));

    auto lMain = std::make_unique<ConfigTarvo::TfmMain>();
    QPointer<ConfigTarvo::TfmMain> lWindow = lMain.get();
    SetMsgWindowExceptionHandler(
        [lWindow](std::exception_ptr AError) { ShowExceptionPtr(lWindow.data(), AError); });
    QObject::connect(
        lMain.get(), &ConfigTarvo::TfmMain::endRequested, &lApp,
        [](int AExitCode) { QCoreApplication::exit(AExitCode); }, Qt::QueuedConnection);
    auto lAutoMessage = std::make_unique<TfmAutoMessageDlg>();
    SetAutoMessageDlg(lAutoMessage.get());
    lMain->show();

    const int lResult = QApplication::exec();
    SetMsgWindowExceptionHandler(nullptr);
    SetAutoMessageDlg(nullptr);
    lMain.reset();
    lAutoMessage.reset();
    return lResult;
}
