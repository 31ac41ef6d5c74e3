#pragma once
// tarvoctl: the front desk's data from a shell, for scripts, cron and installers.
//
//   tarvoctl [--data DIR] report [--date YYYY-MM-DD] -o FILE.csv|FILE.xlsx|FILE.ods
//   tarvoctl [--data DIR] cards export FILE | cards import FILE
//   tarvoctl [--data DIR] zones export FILE | zones import FILE
//   tarvoctl [--data DIR] inside
//   tarvoctl [--data DIR] vi cameras | vi live FILE | vi archive "YYYY-MM-DD hh:mm:ss" FILE
//   tarvoctl camera list | camera shot NAME FILE.jpg [--mode N]
//   tarvoctl readers [list] | readers watch
//
// Exit status 0 on success, 1 with one line on standard error naming what failed, 2 for a usage error.

#include <QStringList>
#include <QTextStream>

namespace TarvoCtl {

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailed = 1;
inline constexpr int ExitUsage = 2;

// A failure of a command: its text is the one line on standard error.
class ECtlFailure {
public:
    explicit ECtlFailure(QString AText) : m_sText(std::move(AText)) {}
    const QString& Text() const { return m_sText; }

private:
    QString m_sText;
};

// A usage error: the text, then the command's usage.
class ECtlUsage : public ECtlFailure {
public:
    using ECtlFailure::ECtlFailure;
};

struct TCtlIo {
    QTextStream& m_oOut;
    QTextStream& m_oErr;
};

// Runs the command line AArgs (without the program name).
int Run(const QStringList& AArgs, TCtlIo AIo);

// The commands (uCtlReport.cpp, uCtlTables.cpp); AArgs start after the command's name. They raise
// ECtlFailure or ECtlUsage.
void ReportCommand(const QStringList& AArgs, TCtlIo AIo);
void InsideCommand(const QStringList& AArgs, TCtlIo AIo);
void TableCommand(bool ACards, const QStringList& AArgs, TCtlIo AIo);
void ViCommand(const QStringList& AArgs, TCtlIo AIo); // uCtlVi.cpp
// The webcams (uCtlCamera.cpp).
void CameraCommand(const QStringList& AArgs, TCtlIo AIo);
// The card readers (uCtlReaders.cpp).
void ReadersCommand(const QStringList& AArgs, TCtlIo AIo);

// True when AArgs ask for help ("--help" or "-h").
bool AsksForHelp(const QStringList& AArgs);

} // namespace TarvoCtl
