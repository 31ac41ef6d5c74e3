#pragma once
// Where things live on this desktop.

#include <QString>

// Folder of the running executable.
QString ProgramDir();
// Data folder: $TARVO_DATA_DIR, else the program folder when writable, else $XDG_DATA_HOME/Tarvo.
QString DataDir();
// "Languages" next to the program, else the installed share folder's.
QString LanguagesDir();
// Runtime folder for locks: $XDG_RUNTIME_DIR/tarvo, else /tmp/tarvo-$UID (created on demand).
QString RuntimeDir();
// The data file "Tarvo.xml" in DataDir().
QString DataFilePath();
// AFolder + "/" + AName, tolerant of a trailing separator.
QString JoinPath(const QString& AFolder, const QString& AName);
