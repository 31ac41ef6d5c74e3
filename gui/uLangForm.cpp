#include "gui/uLangForm.h"

#include "base/uLangFiles.h"
#include "base/uLocale.h"
#include "base/uPaths.h"
#include "gui/uErrorBox.h"
#include "gui/uIniLanguage.h"
#include "gui/uLangProps.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>
#include <QTreeView>
#include <QWidget>

#include <memory>
#include <vector>

namespace {

// The texts a main window was built with, kept as an unnamed child (language keys never reach it).
// What the operator types or the program fills in (the Text of edits) is not a built-in text.
class TLangBuiltInTexts : public QObject {
public:
    explicit TLangBuiltInTexts(QWidget* AForm) : QObject(AForm) {
        Keep(AForm, true);
        for (QObject* lComponent : LangComponentsOf(AForm)) {
            Keep(lComponent, false);
            // A list sized once for its English items would cut a longer translation off.
            if (auto* lCombo = qobject_cast<QComboBox*>(lComponent);
                lCombo != nullptr && lCombo->sizeAdjustPolicy() == QComboBox::AdjustToContentsOnFirstShow)
                lCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        }
    }
    void Restore() const {
        for (const TText& lText : m_aTexts)
            if (!lText.m_pObject.isNull())
                (void)SetLangProp(lText.m_pObject.data(), lText.m_fWindow, lText.m_sPath, lText.m_sValue);
    }

private:
    struct TText {
        QPointer<QObject> m_pObject;
        bool m_fWindow;
        QString m_sPath;
        QString m_sValue;
    };
    void Keep(QObject* AObject, bool AWindow) {
        for (const TLangProp& lProp : LangPropsOf(AObject, AWindow))
            if (lProp.m_sPath != QLatin1String("Text"))
                m_aTexts.push_back({AObject, AWindow, lProp.m_sPath, lProp.m_sValue});
    }
    std::vector<TText> m_aTexts;
};

const TLangBuiltInTexts* BuiltInTextsOf(const QWidget* AForm) {
    for (const QObject* lChild : AForm->children())
        if (const auto* lTexts = dynamic_cast<const TLangBuiltInTexts*>(lChild))
            return lTexts;
    return nullptr;
}

std::unique_ptr<QTranslator> g_oQtTranslator;

void InstallQtTranslation(std::uint32_t ALanguage) {
    if (g_oQtTranslator) {
        QCoreApplication::removeTranslator(g_oQtTranslator.get());
        g_oQtTranslator.reset();
    }
    const QString lLocale = QtTranslationLocale(ALanguage);
    if (lLocale.isEmpty() || QCoreApplication::instance() == nullptr)
        return;
    auto lTranslator = std::make_unique<QTranslator>();
    // Debian ships them in qt6-translations-l10n; without them the toolkit stays English.
    if (!lTranslator->load(QStringLiteral("qtbase_") + lLocale,
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(lTranslator.get());
    g_oQtTranslator = std::move(lTranslator);
}

// A name with a drive, a network path or of at most one character is taken as it stands.
QString LangFilePath(const QString& AFolder, const QString& AName) {
    if ((AName.size() > 1 && AName.at(1) == QLatin1Char(':')) || AName.startsWith(QLatin1String("\\\\")) ||
        AName.size() <= 1 || QDir::isAbsolutePath(AName))
        return AName;
    return JoinPath(AFolder, AName);
}

} // namespace

std::unique_ptr<TIniLanguage> NewProgramTranslator() {
    auto lLang = std::make_unique<TIniLanguage>();
    lLang->ComponentIncludes() << QStringLiteral("*-*-Columns<*") << QStringLiteral("*-*-Items.Strings(*")
                               << QStringLiteral("*-*-Tabs.Strings(*");
    SetLangTranslator(lLang.get());
    return lLang;
}

void RegisterLangForm(QWidget* AForm, const QStringList& AExcludes) {
    TIniLanguage* lLang = LangTranslator();
    if (lLang == nullptr || AForm == nullptr)
        return;
    const QString lClass = AForm->objectName();
    QObject::connect(AForm, &QObject::destroyed, [AForm, lClass] {
        if (TIniLanguage* lNow = LangTranslator())
            lNow->FormDestroyed(AForm, lClass);
    });
    lLang->ComponentExcludes() << AExcludes;
    try {
        lLang->RegisterForm(AForm);
    } catch (const std::exception& lError) {
        ShowException(AForm, lError);
    }
}

void RegisterLangMainForm(QWidget* AForm, const QStringList& AExcludes) {
    if (AForm != nullptr && BuiltInTextsOf(AForm) == nullptr)
        new TLangBuiltInTexts(AForm);
    RegisterLangForm(AForm, AExcludes);
}

void SelectLanguage(TIniLanguage& ALang, const QString& APrefix, std::uint32_t ALanguage,
                    const QString& ALangDir) {
    ALang.SetLoaded(false);
    InstallQtTranslation(0);
    for (QWidget* lForm : ALang.TranslateComponents())
        if (const TLangBuiltInTexts* lTexts = BuiltInTextsOf(lForm))
            lTexts->Restore();
    if (ALanguage == 0 || ALanguage == 127)
        return;
    const QString lFolder = ALangDir.isEmpty() ? LanguagesDir() : ALangDir;
    TALangs lLangs;
    FindLanguageFiles(APrefix, lLangs, lFolder);
    const int lFound = FindLangById(lLangs, ALanguage);
    if (lFound < 0)
        return;
    ALang.SetFileName(LangFilePath(lFolder, lLangs.at(static_cast<std::size_t>(lFound)).m_sFileName));
    ALang.SetLoaded(true);
    InstallQtTranslation(ALanguage);
}

void FitColumnsToCaptions(QTreeView* AView) {
    if (AView == nullptr || AView->header() == nullptr)
        return;
    QHeaderView* lHeader = AView->header();
    for (int i = 0; i < lHeader->count(); ++i)
        if (!lHeader->isSectionHidden(i) && lHeader->sectionSize(i) < lHeader->sectionSizeHint(i))
            lHeader->resizeSection(i, lHeader->sectionSizeHint(i));
}

QString QtTranslationLocale(std::uint32_t ALanguage) {
    if (ALanguage == 0 || ALanguage == 127)
        return QString();
    const QList<QLocale> lLocales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    for (const QLocale& lLocale : lLocales)
        if (lLocale.language() != QLocale::C && lLocale.language() != QLocale::English &&
            LangIdOfLocale(lLocale) == ALanguage)
            return QLocale::languageToCode(lLocale.language());
    return QString();
}
