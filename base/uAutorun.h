#pragma once
// Autorun at log-in through an XDG autostart entry: $XDG_CONFIG_HOME/autostart/<AValueName>.desktop
// ($HOME/.config when XDG_CONFIG_HOME is unset). The front desk uses the name "Tarvo" and the command
// AutorunCommandLine(<its executable>, "-autorun").

#include <QString>

// The folder of the autostart entries.
QString AutostartDir();

// "\"<AExePath>\" <ASwitch>" with the path escaped for a quoted argument of an Exec key.
QString AutorunCommandLine(const QString& AExePath, const QString& ASwitch);

// AEnable writes the entry with AData as its command (replacing it crash-safely); otherwise the entry is
// deleted, ignoring the result. Raises Exception "Failed to create key <folder>" when the folder cannot
// be created and "Failed to set data for '<name>'" when the entry cannot be written, each followed by
// the system's reason.
void SetAutorun(bool AEnable, const QString& AValueName, const QString& AData);

// True exactly when the entry exists as a desktop entry with a command that the desktop will run (not
// hidden, not disabled). A missing entry gives false; an entry that cannot be read raises Exception
// "Failed to get data for '<name>'" with the reason.
bool IsAutorun(const QString& AValueName);
