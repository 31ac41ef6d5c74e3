#pragma once
// Start-up services of the front desk: its command line, the single-instance check, the hand-over to
// the configuration program and its autorun entry.

#include "base/uCmdLine.h"

#include <QString>

#include <memory>

namespace Tarvo {

// -autorun[=value], -show and -n (or /N); switches in any letter case, unknown ones ignored.
class TAppCmdLineInfo : public TCommandLineInfo {
public:
    void HandleParam(const QString& AParam, bool AIsSwitch, bool AIsLast) override;

    bool m_fAutorun = false; // started by the autorun entry
    bool m_fNewWin = false;  // skip the single-instance check
    bool m_fShow = false;    // show the main window at start instead of only the tray icon
};

// The parsed command line, from CheckSingleInstance to the end of the deferred start-up.
extern std::unique_ptr<TAppCmdLineInfo> g_oAppCmdLine;

// Parses the command line into g_oAppCmdLine, then (unless /N) takes the start mutex and looks for a
// main window of the front desk and then of the configuration program. False: end at once, silently.
bool CheckSingleInstance(int AArgc, const char* const* AArgv);

// Autorun entry of the front desk: the name "Tarvo", the command "\"<executable>\" -autorun".
inline constexpr const char* AutorunValueName = "Tarvo";
QString AutorunData(const QString& AExePath);

// Starts "<program folder>/ConfigTarvo /N" detached; raises EInOutError when it cannot be started.
void StartConfigTarvo();

} // namespace Tarvo
