#pragma once
// The front desk's debug log "Tarvo.log": one header line per log object, then one line per Write,
// "hh:nn:ss.zzz [T] text". The file grows without limit; it is created at the first Write.

#include <QChar>
#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>

// "Tarvo.log" in the data folder.
QString DebugLogPath();

class TLogWritten {
public:
    // Stores the path; the file is not touched.
    explicit TLogWritten(const QString& APath);
    TLogWritten(const TLogWritten&) = delete;
    TLogWritten& operator=(const TLogWritten&) = delete;

    const QString& FileName() const { return m_sFileName; }

    // The packed version of the reader library for the header (set by the reader layer; 0 until then).
    void SetReaderVersionFunc(std::function<std::uint32_t()> AFunc);

    // Appends "hh:nn:ss.zzz [AMsgType] AMsgText" at the local time of now, after the header line when it
    // is the first. Safe from any thread; lines stay whole and in order. Returns whether the line was
    // written; on failure VError (when given) names the file and the reason.
    bool Write(QChar AMsgType, const QString& AMsgText, QString* VError = nullptr);

private:
    void WriteHeader();

    QString m_sFileName;
    std::mutex m_CS;
    bool m_fInit = false;
    std::function<std::uint32_t()> m_fnReaderVersion;
};
