#pragma once
// Start-up services of the configuration program: its command line, the single-instance check and the
// hand-over to the front desk.

#include "base/uCmdLine.h"

#include <memory>

namespace ConfigTarvo {

// -n (or /N) in any letter case; every other parameter is ignored.
class TAppCmdLineInfo : public TCommandLineInfo {
public:
    void HandleParam(const QString& AParam, bool AIsSwitch, bool AIsLast) override;

    bool m_fNewWin = false; // skip the single-instance check
};

// The parsed command line, from CheckSingleInstance to the end of the deferred start-up.
extern std::unique_ptr<TAppCmdLineInfo> g_oAppCmdLine;

// Parses the command line into g_oAppCmdLine, then (unless /N) takes the start mutex and looks for a
// main window of the configuration program and then of the front desk. False: end at once, silently.
bool CheckSingleInstance(int AArgc, const char* const* AArgv);

// Starts "<program folder>/Tarvo /N" detached; raises EInOutError when it cannot be started.
void StartTarvo();

} // namespace ConfigTarvo
