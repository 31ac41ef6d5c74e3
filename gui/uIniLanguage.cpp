#include "gui/uIniLanguage.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "base/uLangFiles.h"
#include "base/uMessages.h"
#include "base/uSafeFile.h"
#include "gui/uLangProps.h"

#include <QHash>
#include <QMenu>
#include <QSet>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

TIniLanguage* gTranslator = nullptr;

QChar FoldAscii(QChar AChar) {
    return AChar.unicode() < 128 ? AChar.toLower() : AChar;
}

bool SameName(const QString& A, const QString& B) {
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

bool MatchesAny(const QStringList& APatterns, const QString& AKey) {
    return std::any_of(APatterns.begin(), APatterns.end(),
                       [&](const QString& APattern) { return WildcardMatch(APattern, AKey); });
}

// Everything a window owns, in creation order, depth first, but not what belongs to another window
// placed under it (a dialog whose owner it is): that one has its own keys. Menus are part of theirs.
void CollectOwned(QObject* AOwner, std::vector<QObject*>& VFound) {
    for (QObject* lChild : AOwner->children()) {
        const auto* lWidget = qobject_cast<const QWidget*>(lChild);
        if (lWidget != nullptr && lWidget->isWindow() && qobject_cast<const QMenu*>(lWidget) == nullptr)
            continue;
        VFound.push_back(lChild);
        CollectOwned(lChild, VFound);
    }
}

std::vector<QObject*> OwnedComponents(QObject* AOwner) {
    std::vector<QObject*> lFound;
    CollectOwned(AOwner, lFound);
    return lFound;
}

QObject* FindComponent(QObject* AOwner, const QString& AName) {
    for (QObject* lChild : OwnedComponents(AOwner))
        if (SameName(lChild->objectName(), AName))
            return lChild;
    return nullptr;
}

// An INI file as lines in order, for the template writer: what the file held stays where it was.
class TIniLines {
public:
    explicit TIniLines(const TMemIniFile& AIni) {
        for (const QString& lName : AIni.Sections())
            m_aSections.push_back({lName, AIni.ReadSectionValues(lName)});
    }
    // Replaces the first line of AKey in ASection, or appends one (and the section when missing).
    void Write(const QString& ASection, const QString& AKey, const QString& AValue) {
        auto& lLines = Section(ASection);
        for (auto& lLine : lLines)
            if (SameName(lLine.first, AKey)) {
                lLine.second = AValue;
                return;
            }
        lLines.emplace_back(AKey, AValue);
    }
    void ReplaceSection(const QString& ASection, std::vector<std::pair<QString, QString>> ALines) {
        Section(ASection) = std::move(ALines);
    }
    QByteArray Bytes() const {
        QString lText;
        for (const auto& [lName, lLines] : m_aSections) {
            if (!lText.isEmpty())
                lText += QLatin1String("\r\n");
            lText += QLatin1Char('[') + lName + QLatin1String("]\r\n");
            for (const auto& [lKey, lValue] : lLines)
                lText += lKey + QLatin1Char('=') + lValue + QLatin1String("\r\n");
        }
        return QByteArray("\xEF\xBB\xBF") + lText.toUtf8();
    }

private:
    std::vector<std::pair<QString, QString>>& Section(const QString& AName) {
        for (auto& lSection : m_aSections)
            if (SameName(lSection.first, AName))
                return lSection.second;
        m_aSections.push_back({AName, {}});
        return m_aSections.back().second;
    }
    std::vector<std::pair<QString, std::vector<std::pair<QString, QString>>>> m_aSections;
};

} // namespace

std::vector<QObject*> LangComponentsOf(QObject* AForm) {
    std::vector<QObject*> lFound;
    QSet<QString> lNames;
    for (QObject* lChild : OwnedComponents(AForm)) {
        const QString lName = lChild->objectName();
        if (lName.isEmpty() || lName.startsWith(QLatin1String("qt_")))
            continue;
        const QString lFolded = lName.toCaseFolded();
        if (lNames.contains(lFolded))
            continue;
        lNames.insert(lFolded);
        lFound.push_back(lChild);
    }
    return lFound;
}

bool WildcardMatch(const QString& APattern, const QString& AKey) {
    if (AKey.isEmpty())
        return true;
    if (APattern.isEmpty())
        return false;
    qsizetype k = 0;
    bool lSkip = false;
    for (const QChar c : APattern) {
        if (c == QLatin1Char('*')) {
            lSkip = true;
            continue;
        }
        if (c == QLatin1Char('?')) {
            if (k >= AKey.size())
                return false;
            ++k;
            continue;
        }
        const QChar lWanted = FoldAscii(c);
        if (lSkip) {
            while (k < AKey.size() && FoldAscii(AKey.at(k)) != lWanted)
                ++k;
            lSkip = false;
        }
        if (k >= AKey.size() || FoldAscii(AKey.at(k)) != lWanted)
            return false;
        ++k;
    }
    return true;
}

TIniLanguage::TIniLanguage()
    : m_aComponentIncludes{QStringLiteral("*-caption"), QStringLiteral("*-*-caption"),
                           QStringLiteral("*-*-hint"), QStringLiteral("*-*-text")},
      FFormsSect(QStringLiteral("Forms")), FStringsSect(QStringLiteral("Strings")) {}

TIniLanguage::~TIniLanguage() {
    Unload();
    if (gTranslator == this)
        gTranslator = nullptr;
}

void TIniLanguage::SetFileName(const QString& AValue) {
    TARVO_ASSERT(!Loaded(), "uIniLanguage");
    m_sFilename = AValue;
}

void TIniLanguage::SetLoaded(bool AValue) {
    if (AValue == Loaded())
        return;
    Unload();
    if (!AValue)
        return;
    try {
        auto lIni = std::make_unique<TMemIniFile>(m_sFilename);
        const QString cGlobal = QStringLiteral("Global");
        m_sTitle = lIni->ReadString(cGlobal, QStringLiteral("Title"), QString());
        m_sAuthor = lIni->ReadString(cGlobal, QStringLiteral("Author"), QString());
        m_nLangId = ParseLangId(lIni->ReadString(cGlobal, QStringLiteral("LangId"), QString()));
        m_oIni = std::move(lIni);
        SetMsgLookup([this](int AId, QString& VText) { return LookupResString(AId, VText); });
        Translate();
    } catch (...) {
        Unload();
        throw;
    }
}

void TIniLanguage::Unload() {
    if (!m_oIni)
        return;
    m_oIni.reset();
    SetMsgLookup({});
}

bool TIniLanguage::LookupResString(int AId, QString& VText) const {
    if (!m_oIni || AId <= 0)
        return false;
    const QString lKey = QStringLiteral("Str%1").arg(AId);
    if (!m_oIni->ValueExists(FStringsSect, lKey))
        return false;
    const QString lValue = m_oIni->ReadString(FStringsSect, lKey, QString());
    if (lValue == QLatin1String("nil"))
        return false;
    VText = DecodeStr(lValue);
    return true;
}

void TIniLanguage::RegisterForm(QWidget* AForm) {
    TARVO_ASSERT(AForm != nullptr, "uIniLanguage");
    m_aTranslateForms.append(QPointer<QWidget>(AForm));
    // The window's own exclusions hold here too: they keep its edit fields' contents its own.
    if (Loaded())
        TranslateForm(AForm, true);
}

void TIniLanguage::UnregisterForm(QWidget* AForm) {
    m_aTranslateForms.removeIf(
        [&](const QPointer<QWidget>& AItem) { return AItem.isNull() || AItem == AForm; });
    if (AForm != nullptr)
        ClearExcludesForComponent(AForm->objectName());
}

void TIniLanguage::FormDestroyed(const QObject* AForm, const QString& AClassName) {
    m_aTranslateForms.removeIf([&](const QPointer<QWidget>& AItem) {
        return AItem.isNull() || static_cast<const QObject*>(AItem.data()) == AForm;
    });
    ClearExcludesForComponent(AClassName);
}

QList<QWidget*> TIniLanguage::TranslateComponents() const {
    QList<QWidget*> lForms;
    for (const QPointer<QWidget>& lForm : m_aTranslateForms)
        if (!lForm.isNull())
            lForms << lForm.data();
    return lForms;
}

namespace {

void ClearPatternsFor(QStringList& VPatterns, const QString& AClassName) {
    const QString lPrefix = AClassName + QLatin1Char('-');
    VPatterns.removeIf([&](const QString& APattern) {
        return APattern.left(lPrefix.size()).compare(lPrefix, Qt::CaseInsensitive) == 0;
    });
}

} // namespace

void TIniLanguage::ClearExcludesForComponent(const QString& AClassName) {
    ClearPatternsFor(m_aComponentExcludes, AClassName);
}

void TIniLanguage::ClearIncludesForComponent(const QString& AClassName) {
    ClearPatternsFor(m_aComponentIncludes, AClassName);
}

void TIniLanguage::Translate() {
    const QList<QWidget*> lForms = TranslateComponents();
    QSet<QString> lDone; // of two windows of one class, only the first registered is translated
    for (QWidget* lForm : lForms) {
        const QString lClass = lForm->objectName().toCaseFolded();
        if (lDone.contains(lClass))
            continue;
        lDone.insert(lClass);
        TranslateForm(lForm, true);
    }
}

void TIniLanguage::Translate(QWidget* AForm) {
    TARVO_ASSERT(AForm != nullptr, "uIniLanguage");
    TranslateForm(AForm, false);
}

void TIniLanguage::TranslateForm(QWidget* AForm, bool AUseExcludes) {
    if (!m_oIni)
        return;
    const QString lClass = AForm->objectName();
    for (const auto& [lKey, lValue] : m_oIni->ReadSectionValues(FFormsSect)) {
        const QStringList lParts = lKey.split(QLatin1Char('-'));
        if (lParts.size() < 2 || !SameName(lParts.front(), lClass))
            continue;
        QObject* lTarget = AForm;
        QString lCheckKey = lClass;
        for (qsizetype i = 1; i + 1 < lParts.size() && lTarget != nullptr; ++i) {
            lTarget = FindComponent(lTarget, lParts.at(i));
            if (lTarget != nullptr)
                lCheckKey += QLatin1Char('-') + lTarget->objectName();
        }
        if (lTarget == nullptr)
            continue;
        lCheckKey += QLatin1Char('-') + lParts.back();
        if (AUseExcludes && MatchesAny(m_aComponentExcludes, lCheckKey))
            continue;
        SetLangProp(lTarget, lTarget == AForm, lParts.back(), DecodeStr(lValue));
    }
}

void TIniLanguage::SaveAs(const QString& AIniPath) const {
    TIniLines lFile{TMemIniFile(AIniPath)};
    const auto lWanted = [&](const QString& AKey) {
        return MatchesAny(m_aComponentIncludes, AKey) && !MatchesAny(m_aComponentExcludes, AKey);
    };
    QSet<QString> lClasses;
    for (QWidget* lForm : TranslateComponents()) {
        const QString lClass = lForm->objectName();
        if (lClass.isEmpty() || lClasses.contains(lClass.toCaseFolded()))
            continue;
        lClasses.insert(lClass.toCaseFolded());
        const auto lWriteProps = [&](QObject* AObject, const QString& APrefix) {
            for (const TLangProp& lProp : LangPropsOf(AObject, AObject == lForm)) {
                const QString lKey = APrefix + lProp.m_sPath;
                // Items of a list are written even when empty, so a translator sees every position.
                const bool lItem = lProp.m_sPath.startsWith(QLatin1String("Items."));
                if ((lItem || !lProp.m_sValue.isEmpty()) && lWanted(lKey))
                    lFile.Write(FFormsSect, lKey, EncodeStr(lProp.m_sValue));
            }
        };
        lWriteProps(lForm, lClass + QLatin1Char('-'));
        for (QObject* lComponent : LangComponentsOf(lForm))
            lWriteProps(lComponent, lClass + QLatin1Char('-') + lComponent->objectName() + QLatin1Char('-'));
    }
    std::vector<std::pair<QString, QString>> lStrings;
    for (const int lId : CatalogueIds(MsgProgram())) {
        QString lText;
        if (!LookupResString(lId, lText))
            lText = BuiltInResString(lId, MsgProgram());
        lStrings.emplace_back(QStringLiteral("Str%1").arg(lId), EncodeStr(lText));
    }
    lFile.ReplaceSection(FStringsSect, std::move(lStrings));
    WriteFileAtomically(AIniPath, lFile.Bytes());
}

TIniLanguage* LangTranslator() {
    return gTranslator;
}

void SetLangTranslator(TIniLanguage* ATranslator) {
    gTranslator = ATranslator;
}
