#pragma once
// The one way the system writes its text files line by line (log, report and debug log files).

#include <QString>

// Appends AText followed by CR LF, converted to the 8-bit code page, to AFileName, creating the file
// (never its folder) when missing. The line goes out in one write() under an exclusive lock over the
// whole file and is flushed to disk (fdatasync) before the lock is released, so concurrent writers in
// any process never interleave within a line and a line reported written survives a power cut. A write
// that stops short is cut off again, so a full disk leaves no half line. A file whose last line has no
// end (a cut or a hand edit) gets its line ended first, so the new line never runs into it.
//
// Returns false when the line could not be written completely and durably; then errno holds the
// system's error code and VError (when given) a message naming the file and the reason. Raises nothing:
// the caller decides how to tell the operator.
[[nodiscard]] bool AppendLineToFile(const QString& AText, const QString& AFileName,
                                    QString* VError = nullptr);

// A line file opened and locked the way every append locks it: an exclusive open-file-description
// lock over the whole file. A file may be replaced by a rename while a writer waits for the lock (the
// rewrite of a day's log does so while it holds the lock), so after locking the descriptor is checked
// to still be the file at the path, and the path is opened again otherwise: nothing is ever written to
// a file that has been replaced.
class TLockedLineFile {
public:
    // AFlags as for open(2) (O_CLOEXEC is added). Handle() is -1 when the file could not be opened;
    // Error() is then its errno.
    TLockedLineFile(const QString& AFileName, int AFlags);
    ~TLockedLineFile();
    TLockedLineFile(const TLockedLineFile&) = delete;
    TLockedLineFile& operator=(const TLockedLineFile&) = delete;

    int Handle() const { return m_hFile; }
    int Error() const { return m_nError; }
    // False on file systems without locking support (some network file systems).
    bool Locked() const { return m_fLocked; }
    // Closes the descriptor (unlocking it); the errno of a failing close, else 0.
    int Close();

private:
    int m_hFile = -1;
    int m_nError = 0;
    bool m_fLocked = false;
};
