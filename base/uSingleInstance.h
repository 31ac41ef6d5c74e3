#pragma once
// Single instance and hand-over between the two programs.
//
// The start mutex "Tarvo" is an flock on <RuntimeDir>/Tarvo: both programs take it at start, so their
// start-up checks run one at a time, and it is freed when its process ends in any way, so a crashed
// start never wedges the next one. A main window of class X exists while its process holds a shared
// lock on <RuntimeDir>/X.window (several windows of one class may hold it together); the search only
// tests for a holder and never takes the lock itself. Every descriptor is close-on-exec, so a program
// started by the hand-over inherits neither lock.
//
// A second start that finds a main window does not end in silence: it asks that window's program,
// through the local socket <RuntimeDir>/X.socket, to bring its main window to the front.

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <sys/types.h>
#include <vector>

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

// The second start's request: sends "show" to the program of the first class in AWindowClasses whose
// main window exists and waits at most ATimeoutMs for its answer. True when a running program answered
// that it took the request; false when there is no such window, no listener or no answer in time.
bool ActivateRunningInstance(const QStringList& AWindowClasses, int ATimeoutMs = 3000);

// Listens on <RuntimeDir>/AClass.socket while it exists (the latest listener of a class takes the name
// over) and calls its handler for each "show" request, on the thread that owns it (its event loop must
// run). Requests are small and read without blocking; a client that sends nothing sensible is dropped.
class TInstanceListener : public QObject {
public:
    TInstanceListener(const QString& AClass, std::function<void()> AOnShow, QObject* AParent = nullptr);
    ~TInstanceListener() override;
    // False when the socket could not be made (too long a path, no runtime folder): requests then fail
    // and the second start ends as before.
    bool IsListening() const { return m_hSocket >= 0; }

private:
    void AcceptClients();
    void ReadClient(int AClient);
    void DropClient(int AClient);

    int m_hSocket = -1;
    QByteArray m_sPath;
    dev_t m_nDev = 0;
    ino_t m_nIno = 0;
    std::function<void()> FOnShow;
    struct TClient;
    std::vector<TClient*> m_aClients;
};
