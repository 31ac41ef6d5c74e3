#include "base/uCmdLine.h"

#include <QLocale>

void TCommandLineInfo::HandleParam(const QString& /*AParam*/, bool /*AIsSwitch*/, bool /*AIsLast*/) {}

void TCommandLineInfo::ParseCommandLine(const QStringList& AArgs) {
    const qsizetype last = AArgs.size() - 1;
    for (qsizetype i = 1; i <= last; ++i) {
        QString param = AArgs.at(i);
        const bool isSwitch = param.startsWith(QLatin1Char('-')) || param.startsWith(QLatin1Char('/'));
        if (isSwitch)
            param.remove(0, 1);
        HandleParam(param, isSwitch, i == last);
    }
}

void TCommandLineInfo::ParseCommandLine(int AArgc, const char* const* AArgv) {
    QStringList args;
    for (int i = 0; i < AArgc && AArgv != nullptr; ++i)
        args.append(AArgv[i] != nullptr ? QString::fromLocal8Bit(AArgv[i]) : QString());
    ParseCommandLine(args);
}

void SplitSwitch(const QString& ASwitch, QString& VName, QString& VValue) {
    const qsizetype eq = ASwitch.indexOf(QLatin1Char('='));
    VName = (eq < 0 ? ASwitch : ASwitch.left(eq)).toLower();
    VValue = eq < 0 ? QString() : ASwitch.mid(eq + 1);
}

bool SwitchValueToBool(const QString& AValue) {
    if (AValue.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (AValue.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = c.toDouble(AValue, &ok);
    return ok ? number != 0.0 : true;
}
