#pragma once
// Small pieces both programs' file commands share.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

// A catalogue filter "Text (*.a)|*.a|Other|*.b;*.c" in the file dialog's form
// "Text (*.a);;Other (*.b *.c)": each pair's patterns, space separated, in brackets after its text.
// AExtra patterns are added to the first pair.
QString DialogFilter(const QString& AFilter, const QStringList& AExtra = {});

// Runs a command of the operator's; an error it raises goes to the standard error box over AOwner.
void Guarded(QWidget* AOwner, const std::function<void()>& ACommand);
