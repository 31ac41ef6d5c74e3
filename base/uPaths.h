#pragma once
// Where things live on this desktop.

#include <QString>

// Folder of the running executable.
QString ProgramDir();
// Data folder: $TARVO_DATA_DIR, else the program folder when writable and not installed (beside
// <prefix>/share/tarvo), else $XDG_DATA_HOME/Tarvo
// ($XDG_DATA_HOME defaults to ~/.local/share). An absent folder is created.
QString DataDir();
// "Languages" next to the program, else the installed <prefix>/share/tarvo/Languages.
QString LanguagesDir();
// Runtime folder for locks: $XDG_RUNTIME_DIR/tarvo, else /tmp/tarvo-$UID; created on demand with mode
// 0700. Raises EInOutError when it cannot be created or is not a private folder of this user.
QString RuntimeDir();
// The data file "Tarvo.xml" in DataDir().
QString DataFilePath();
// AFolder + "/" + AName, tolerant of a trailing separator.
QString JoinPath(const QString& AFolder, const QString& AName);
