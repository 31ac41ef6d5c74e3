#pragma once
// Command-line parsing. A parameter that begins with "-" or "/" is a switch (that one character is
// removed); every other parameter, an empty one included, is not. Each program derives its own class
// and reacts to the parameters it knows in HandleParam.

#include <QString>
#include <QStringList>

class TCommandLineInfo {
public:
    virtual ~TCommandLineInfo() = default;

    // Called for each parameter in order; AIsLast is true for the last one. Does nothing here.
    virtual void HandleParam(const QString& AParam, bool AIsSwitch, bool AIsLast);

    // AArgs as the program received them: AArgs[0] is the program itself and is skipped.
    void ParseCommandLine(const QStringList& AArgs);
    // The same over main's arguments, decoded from the local 8-bit encoding.
    void ParseCommandLine(int AArgc, const char* const* AArgv);
};

// Splits a switch at its first "=": VName is the part before it, lower-cased, VValue the part after it
// (empty without "=").
void SplitSwitch(const QString& ASwitch, QString& VName, QString& VValue);

// A switch value read as a Boolean: a number (0 false, any other true) or "true"/"false" in any letter
// case; an empty or unreadable value gives true.
bool SwitchValueToBool(const QString& AValue);
