#pragma once
// The one way the system writes its text files line by line (log, report and debug log files).

#include <QString>

// Appends AText followed by CR LF, converted to the 8-bit code page, to AFileName, creating the file
// (never its folder) when missing. The line goes out in one write() under an exclusive lock over the
// whole file and is flushed to disk (fdatasync) before the lock is released, so concurrent writers in
// any process never interleave within a line and a line reported written survives a power cut. A write
// that stops short is cut off again, so a full disk leaves no half line.
//
// Returns false when the line could not be written completely and durably; then errno holds the
// system's error code and VError (when given) a message naming the file and the reason. Raises nothing:
// the caller decides how to tell the operator.
[[nodiscard]] bool AppendLineToFile(const QString& AText, const QString& AFileName,
                                    QString* VError = nullptr);
