#pragma once
// A window's life with the program's translator: it registers when created (translated at once when a
// language is loaded) and leaves when destroyed. Main windows also keep their built-in texts, so that
// choosing another language, English included, starts from the English texts again.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class QTreeView;
class QWidget;
class TIniLanguage;

// The program's translator: the template writer also lists the column captions of list views, the
// items of lists (combo boxes) and the tabs of tab bars, which both programs translate. Installed as
// LangTranslator().
std::unique_ptr<TIniLanguage> NewProgramTranslator();

// Call at the end of the window's constructor, once its components exist and its objectName is its
// class name. Without an installed translator it does nothing. A translation that fails is shown in
// the standard error box; the window stays as it was built. AExcludes: key patterns of this window
// that are neither translated nor written to a template (the contents of its edit fields); they leave
// with the window.
void RegisterLangForm(QWidget* AForm, const QStringList& AExcludes = QStringList());
// As RegisterLangForm, and keeps AForm's built-in texts for SelectLanguage.
void RegisterLangMainForm(QWidget* AForm, const QStringList& AExcludes = QStringList());

// Chooses the language ALanguage (a language identifier; 0 and 127 the built-in English) among the
// files APrefix + "*.lng" of ALangDir (default LanguagesDir()): unloads the current one, gives every
// main window its built-in texts back, loads the file found and translates every registered window,
// and installs the toolkit's own translations of that language. An error undoes the loading and is
// passed on; the windows then show English.
void SelectLanguage(TIniLanguage& ALang, const QString& APrefix, std::uint32_t ALanguage,
                    const QString& ALangDir = QString());

// Widens every column of AView that is narrower than its caption (translated captions are often
// longer than the English ones the widths were chosen for); wider columns stay.
void FitColumnsToCaptions(QTreeView* AView);

// The locale name ("ru", "pl") of the toolkit's translations for a language identifier; empty for
// English and unknown identifiers.
QString QtTranslationLocale(std::uint32_t ALanguage);
