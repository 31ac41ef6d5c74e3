#include "base/uLangTemplateArgs.h"

#include "base/uLocale.h"

namespace {

// "--name VALUE" or "--name=VALUE" at AArgs[VIdx]; VIdx moves past the value taken. False: not this
// option. VMissing: the option stands last without its value.
bool TakeOption(const QStringList& AArgs, qsizetype& VIdx, const QString& AName, QString& VValue,
                bool& VMissing) {
    const QString& lArg = AArgs.at(VIdx);
    const QString lOption = QStringLiteral("--") + AName;
    if (lArg == lOption) {
        if (VIdx + 1 >= AArgs.size()) {
            VMissing = true;
            return true;
        }
        VValue = AArgs.at(++VIdx);
        return true;
    }
    if (lArg.startsWith(lOption + QLatin1Char('='))) {
        VValue = lArg.mid(lOption.size() + 1);
        return true;
    }
    return false;
}

} // namespace

TLangTemplateArgs ParseLangTemplateArgs(const QStringList& AArgs) {
    TLangTemplateArgs lResult;
    QString lLanguage;
    bool lLanguageGiven = false;
    for (qsizetype i = 1; i < AArgs.size(); ++i) {
        QString lValue;
        bool lMissing = false;
        if (TakeOption(AArgs, i, QStringLiteral("write-language-template"), lValue, lMissing)) {
            lResult.m_fWrite = true;
            if (lMissing || lValue.isEmpty())
                lResult.m_sError = QStringLiteral("--write-language-template needs a file name.");
            else
                lResult.m_sFile = lValue;
        } else if (TakeOption(AArgs, i, QStringLiteral("language"), lValue, lMissing)) {
            lLanguageGiven = true;
            if (lMissing)
                lResult.m_sError = QStringLiteral("--language needs a language identifier.");
            lLanguage = lValue;
        }
    }
    if (!lResult.m_sError.isEmpty() || !lLanguageGiven)
        return lResult;
    std::int32_t lId = 0;
    if (!TryStrToInt(lLanguage, lId) || lId < 0 || lId > 0xFFFF)
        lResult.m_sError =
            QStringLiteral("\"%1\" is not a language identifier (such as 1049).").arg(lLanguage);
    else
        lResult.m_nLanguage = static_cast<std::uint32_t>(lId);
    return lResult;
}
