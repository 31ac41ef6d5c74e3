#pragma once
// The Alt letter of a caption, for the window tests that check every caption has one of its own.

#include <QChar>
#include <QString>

// The letter after a single "&" of a caption, lower case; a null character when there is none.
inline QChar Mnemonic(const QString& AText) {
    for (qsizetype i = 0; i + 1 < AText.size(); ++i) {
        if (AText.at(i) != u'&')
            continue;
        if (AText.at(i + 1) == u'&') {
            ++i;
            continue;
        }
        return AText.at(i + 1).toLower();
    }
    return QChar();
}
