#pragma once
// Replacing a file so that a crash or power cut leaves either the old or the new complete content.

#include <QByteArray>
#include <QString>

// Writes ABytes to a temporary file in AFileName's folder, flushes it to disk, renames it over
// AFileName and flushes the folder. Raises EInOutError naming the file and the reason.
void WriteFileAtomically(const QString& AFileName, const QByteArray& ABytes);
