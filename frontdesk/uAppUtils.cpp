#include "frontdesk/uAppUtils.h"

#include "base/uAutorun.h"
#include "base/uPaths.h"
#include "base/uSingleInstance.h"

namespace Tarvo {

std::unique_ptr<TAppCmdLineInfo> g_oAppCmdLine;

void TAppCmdLineInfo::HandleParam(const QString& AParam, bool AIsSwitch, bool /*AIsLast*/) {
    if (!AIsSwitch)
        return;
    QString name, value;
    SplitSwitch(AParam, name, value);
    if (name == QLatin1String("autorun"))
        m_fAutorun = SwitchValueToBool(value);
    else if (name == QLatin1String("n"))
        m_fNewWin = true;
    else if (name == QLatin1String("show"))
        m_fShow = true;
}

bool CheckSingleInstance(int AArgc, const char* const* AArgv) {
    g_oAppCmdLine = std::make_unique<TAppCmdLineInfo>();
    g_oAppCmdLine->ParseCommandLine(AArgc, AArgv);
    return ::CheckSingleInstance(g_oAppCmdLine->m_fNewWin, {QString::fromLatin1(TarvoWindowClass),
                                                            QString::fromLatin1(ConfigTarvoWindowClass)});
}

QString AutorunData(const QString& AExePath) {
    return AutorunCommandLine(AExePath, QStringLiteral("-autorun"));
}

void StartConfigTarvo() {
    StartNewInstance(JoinPath(ProgramDir(), QString::fromLatin1(ConfigTarvoWindowClass)));
}

} // namespace Tarvo
