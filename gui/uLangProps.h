#pragma once
// The one table between the property paths of language files and the texts of Qt objects. Language
// files address texts by the property names of the toolkit the programs were first written for;
// here each maps onto its Qt counterpart:
//
//   Caption              the window's title; the text of a label, button, check box, radio button,
//                        action or menu; the title of a group box; the tab text of a tab sheet
//   Hint                 the tool tip (and status tip) of a widget or action
//   Text                 the text of a line edit or of an editable combo box
//   Items.Strings(i)     item i of a combo box or list box
//   Tabs.Strings(i)      tab i of a tab bar
//   Columns<i>.Caption   header section i of a list view
//   Items(i)             node i of a tree, counted from the top in display order
//
// The template writer lists exactly what the translator can set, from this table.

#include <QObject>
#include <QString>

#include <vector>

struct TLangProp {
    QString m_sPath;  // as written in the language file ("Caption", "Columns<1>.Caption")
    QString m_sValue; // the current text
};

// Every text path of AObject the table knows, with its current text, in a stable order. AIsWindow:
// AObject is the registered window itself (its Caption is the window title).
std::vector<TLangProp> LangPropsOf(const QObject* AObject, bool AIsWindow);

// Sets the text at APath of AObject when it differs; true when the path applies to AObject. A path
// that does not apply, or an item index of a string list or tree outside it, is left alone (false).
// An index that is not a number, or a column index outside the list's columns, raises EConvertError
// or EListError.
bool SetLangProp(QObject* AObject, bool AIsWindow, const QString& APath, const QString& AText);
