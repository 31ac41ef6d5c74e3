#pragma once
// Single instance and hand-over between the two programs.
//
// The start mutex "Tarvo" is an flock on <RuntimeDir>/Tarvo: both programs take it at start, so their
// start-up checks run one at a time, and it is freed when its process ends in any way, so a crashed
// start never wedges the next one. A main window of class X exists while its process holds a shared
// lock on <RuntimeDir>/X.window (several windows of one class may hold it together); the search only
// tests for a holder and never takes the lock itself. Every descriptor is close-on-exec, so a program
// started by the hand-over inherits neither lock.

#include <QString>
#include <QStringList>

// Window classes of the two main windows; also the names of their executables.
inline constexpr const char* TarvoWindowClass = "Tarvo";
inline constexpr const char* ConfigTarvoWindowClass = "ConfigTarvo";

// Returns true when the program may go on. ASkip (the switch /N) returns true at once. Otherwise waits
// without time limit for the start mutex, then looks for a main window of each class in AWindowClasses
// in turn: when one exists the mutex is released and the result is false; else the mutex stays held.
// A mutex that cannot be created or opened gives false.
bool CheckSingleInstance(bool ASkip, const QStringList& AWindowClasses);
// Releases the start mutex; does nothing when this process does not hold it.
void ReleaseInstanceMutex();
// Whether this process holds the start mutex.
bool InstanceMutexHeld();
// Whether another open of the start mutex holds it now (does not wait; for diagnostics and tests).
bool InstanceMutexBusy();

// Whether a main window of class AClass exists in any process of the user.
bool MainWindowExists(const QString& AClass);

// Held by a main window for its whole life: its class is found while this object exists.
class TMainWindowPresence {
public:
    explicit TMainWindowPresence(const QString& AClass);
    ~TMainWindowPresence();
    TMainWindowPresence(const TMainWindowPresence&) = delete;
    TMainWindowPresence& operator=(const TMainWindowPresence&) = delete;
    // False when the lock file could not be opened or locked (the window is then not found).
    bool IsHeld() const { return m_hFile >= 0; }

private:
    int m_hFile = -1;
};

// Hand-over: starts AProgramPath with the switch /N as a new, detached process. Raises EInOutError with
// the system's reason when it cannot be started. The caller then ends itself.
void StartNewInstance(const QString& AProgramPath);
