#pragma once
// Helpers shared by the test programs: a fixed clock, a fixed locale, moments from their parts and a
// private temporary folder.

#include "base/uDateTime.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <ostream>

// A moment from its parts (local time); raises EConvertError on invalid parts.
TDateTime MakeDateTime(int AYear, int AMonth, int ADay, int AHour = 0, int AMin = 0, int ASec = 0,
                       int AMSec = 0);

// Replaces "now" and the tick counter for its lifetime; the system clock is back on destruction.
// Advancing moves both by the same number of milliseconds (the tick counter wraps at 32 bits).
class TFixedClock {
public:
    explicit TFixedClock(TDateTime ANow, std::uint32_t ATick = 0);
    ~TFixedClock();
    TFixedClock(const TFixedClock&) = delete;
    TFixedClock& operator=(const TFixedClock&) = delete;

    void Set(TDateTime ANow) { m_dtNow = ANow; }
    void SetTick(std::uint32_t ATick) { m_nTick = ATick; }
    void AdvanceMs(std::int64_t AMSecs);
    TDateTime Get() const { return m_dtNow; }
    std::uint32_t Tick() const { return m_nTick; }

private:
    TDateTime m_dtNow;
    std::uint32_t m_nTick;
};

// Fixes the decimal separator, the system language id and the 8-bit code page for its lifetime, so
// a test gives the same result under every user locale; the environment's values are back on
// destruction. The defaults are those of an English (United States) Windows desktop.
class TLocaleOverride {
public:
    explicit TLocaleOverride(QChar ADecimalSep = QLatin1Char('.'), std::uint32_t ALangId = 1033,
                             const QString& ACodePage = QStringLiteral("CP1252"));
    ~TLocaleOverride();
    TLocaleOverride(const TLocaleOverride&) = delete;
    TLocaleOverride& operator=(const TLocaleOverride&) = delete;
};

// A private temporary folder removed with its content on destruction.
class TTempDir {
public:
    TTempDir();
    const QString& Path() const { return m_sPath; }
    QString FilePath(const QString& AName) const;
    // Writes ABytes to AName in the folder (creating subfolders) and returns the full path.
    QString WriteFile(const QString& AName, const QByteArray& ABytes) const;

private:
    QTemporaryDir m_oDir;
    QString m_sPath;
};

// Sets an environment variable for its lifetime; the old value (or its absence) is back on destruction.
class TEnvOverride {
public:
    TEnvOverride(const char* AName, const QByteArray& AValue);
    ~TEnvOverride();
    TEnvOverride(const TEnvOverride&) = delete;
    TEnvOverride& operator=(const TEnvOverride&) = delete;

private:
    const char* m_pName;
    bool m_fHad;
    QByteArray m_aOld;
};

// GoogleTest prints QString values in failure messages.
void PrintTo(const QString& AValue, std::ostream* AStream);
