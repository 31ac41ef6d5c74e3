#pragma once
// A private X display with a system tray for window tests that need one: Xvfb on a free display
// number and Debian's `trayer` inside it. Started before the application object, so that the test
// program runs on the xcb platform of that display; ended (both processes) with the object.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

class TXvfbTray {
public:
    TXvfbTray() {
        int lPipe[2];
        if (::pipe(lPipe) != 0)
            return;
        const std::string lFd = std::to_string(lPipe[1]);
        m_nXvfb = Spawn({"Xvfb", "-displayfd", lFd, "-screen", "0", "1024x600x24", "-nolisten", "tcp"});
        ::close(lPipe[1]);
        std::string lDisplay;
        char c;
        // Xvfb writes its display number and a line end once it accepts clients.
        while (::read(lPipe[0], &c, 1) == 1 && c != '\n')
            lDisplay += c;
        ::close(lPipe[0]);
        if (m_nXvfb <= 0 || lDisplay.empty())
            return;
        m_sDisplay = ":" + lDisplay;
        ::setenv("DISPLAY", m_sDisplay.c_str(), 1);
        m_nTrayer = Spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                           "--height", "24", "--transparent", "false", "--SetDockType", "true"});
        if (m_nTrayer > 0)
            ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    ~TXvfbTray() {
        for (pid_t p : {m_nTrayer, m_nXvfb})
            if (p > 0) {
                ::kill(p, SIGTERM);
                while (::waitpid(p, nullptr, 0) < 0 && errno == EINTR) {
                }
            }
    }
    TXvfbTray(const TXvfbTray&) = delete;
    TXvfbTray& operator=(const TXvfbTray&) = delete;

    // Whether the display and its tray program run (the tray itself may take a moment to be claimed).
    bool Started() const { return m_nTrayer > 0; }
    const std::string& Display() const { return m_sDisplay; }

private:
    static pid_t Spawn(std::vector<std::string> AArgs) {
        std::vector<char*> lArgv;
        for (auto& s : AArgs)
            lArgv.push_back(s.data());
        lArgv.push_back(nullptr);
        posix_spawn_file_actions_t lActions;
        posix_spawn_file_actions_init(&lActions);
        posix_spawn_file_actions_addopen(&lActions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&lActions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&lActions, 2, "/dev/null", O_WRONLY, 0);
        pid_t lPid = -1;
        if (posix_spawnp(&lPid, lArgv[0], &lActions, nullptr, lArgv.data(), environ) != 0)
            lPid = -1;
        posix_spawn_file_actions_destroy(&lActions);
        return lPid;
    }

    pid_t m_nXvfb = -1;
    pid_t m_nTrayer = -1;
    std::string m_sDisplay;
};
