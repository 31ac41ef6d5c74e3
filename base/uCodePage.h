#pragma once
// The system's 8-bit code page: $TARVO_CODEPAGE (an iconv name such as CP1251) or the Windows code page
// of the locale's language (ru/uk/be/bg CP1251, pl/cs/sk/hu/ro/hr/sl CP1250, others CP1252).
// Characters the code page lacks become "?".

#include <QByteArray>
#include <QString>

QString SystemCodePageName();
QByteArray ToAnsi(const QString& AText);
QString FromAnsi(const QByteArray& ABytes);
// Test control: use this code page instead of the environment's (empty restores it).
void SetCodePageOverride(const QString& AIconvName);
