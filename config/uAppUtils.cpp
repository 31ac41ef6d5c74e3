#include "config/uAppUtils.h"

#include "base/uPaths.h"
#include "base/uSingleInstance.h"

namespace ConfigTarvo {

std::unique_ptr<TAppCmdLineInfo> g_oAppCmdLine;

void TAppCmdLineInfo::HandleParam(const QString& AParam, bool AIsSwitch, bool /*AIsLast*/) {
    if (!AIsSwitch)
        return;
    QString name, value;
    SplitSwitch(AParam, name, value);
    if (name == QLatin1String("n"))
        m_fNewWin = true;
}

bool CheckSingleInstance(int AArgc, const char* const* AArgv) {
    g_oAppCmdLine = std::make_unique<TAppCmdLineInfo>();
    g_oAppCmdLine->ParseCommandLine(AArgc, AArgv);
    return ::CheckSingleInstance(g_oAppCmdLine->m_fNewWin, {QString::fromLatin1(ConfigTarvoWindowClass),
                                                            QString::fromLatin1(TarvoWindowClass)});
}

void StartTarvo() {
    StartNewInstance(JoinPath(ProgramDir(), QString::fromLatin1(TarvoWindowClass)));
}

} // namespace ConfigTarvo
