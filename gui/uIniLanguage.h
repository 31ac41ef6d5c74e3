#pragma once
// The translator of a program's windows and messages: loads a language file, rewrites the texts of
// the windows registered with it and answers the catalogue's message lookups while loaded. One object
// per program, owned by its main window; every window registers when created and leaves when
// destroyed (RegisterForm / UnregisterForm).
//
// Section "Forms" keys: the window's class name (its objectName), "-", the names of the components
// walked from it, "-", a property path of gui/uLangProps. Section "Strings": Str<n> = message n, "nil"
// meaning not translated. Values are coded by EncodeStr / DecodeStr.

#include "base/uIniFile.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

// Key pattern matching of the include and exclude lists: "*" skips to the next occurrence of the
// pattern's following character, "?" passes one character, ASCII letters compare without case; the
// rest of the key after the pattern is used up does not matter. An empty key matches every pattern,
// an empty pattern no non-empty key.
bool WildcardMatch(const QString& APattern, const QString& AKey);

class TIniLanguage {
public:
    TIniLanguage();
    ~TIniLanguage();
    TIniLanguage(const TIniLanguage&) = delete;
    TIniLanguage& operator=(const TIniLanguage&) = delete;

    // Loading reads FileName (a missing file gives an empty language), routes the catalogue's lookups
    // here and translates every registered window; any error undoes it all and is passed on.
    // Unloading keeps the texts already set.
    bool Loaded() const { return m_oIni != nullptr; }
    void SetLoaded(bool AValue);
    const QString& FileName() const { return m_sFilename; }
    void SetFileName(const QString& AValue); // only while not loaded (assertion)

    // Section "Forms" applied to every registered window (the first of a class only), skipping keys
    // that match an exclusion pattern; or to the single window AForm, without the exclusions.
    void Translate();
    void Translate(QWidget* AForm);
    // Writes a template for translators into AIniPath (its other sections stay): every text the
    // registered windows show whose key passes the include and exclude lists, and every catalogued
    // message of the program (its translation when loaded).
    void SaveAs(const QString& AIniPath) const;

    // Registration: AForm's objectName is its class name. A window registered while a language is
    // loaded is translated at once, the exclusion patterns (its own among them) applied.
    void RegisterForm(QWidget* AForm);
    void UnregisterForm(QWidget* AForm);
    // The same from the window's destroyed signal, where only its address and class name are left.
    void FormDestroyed(const QObject* AForm, const QString& AClassName);
    QList<QWidget*> TranslateComponents() const;

    QStringList& ComponentIncludes() { return m_aComponentIncludes; }
    QStringList& ComponentExcludes() { return m_aComponentExcludes; }
    // Remove every pattern beginning with AClassName + "-" (letter case ignored).
    void ClearExcludesForComponent(const QString& AClassName);
    void ClearIncludesForComponent(const QString& AClassName);

    // Message AId from section "Strings" (decoded); false when not loaded, absent or "nil".
    bool LookupResString(int AId, QString& VText) const;

    const QString& Title() const { return m_sTitle; }
    const QString& Author() const { return m_sAuthor; }
    std::uint32_t LangId() const { return m_nLangId; }
    const QString& FormsSect() const { return FFormsSect; }
    const QString& StringsSect() const { return FStringsSect; }

private:
    void TranslateForm(QWidget* AForm, bool AUseExcludes);
    void Unload();

    std::unique_ptr<TMemIniFile> m_oIni;
    QString m_sFilename;
    QList<QPointer<QWidget>> m_aTranslateForms;
    QString m_sTitle;
    QString m_sAuthor;
    std::uint32_t m_nLangId = 0;
    QStringList m_aComponentIncludes;
    QStringList m_aComponentExcludes;
    QString FFormsSect;
    QString FStringsSect;
};

// The named components of a window that language keys can address, the first of each name only (a
// lookup by name finds that one); the toolkit's own inner parts ("qt_...") are left out.
std::vector<QObject*> LangComponentsOf(QObject* AForm);

// The program's translator, for windows that register themselves (null when none is installed).
TIniLanguage* LangTranslator();
void SetLangTranslator(TIniLanguage* ATranslator);
