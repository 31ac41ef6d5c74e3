#pragma once
// The simulated video management server (see main.cpp).

#include <string>

struct TVmsSimOptions {
    int m_nPort = 0;
    std::string m_sUser = "admin";
    std::string m_sPassword = "admin";
    int m_nCameras = 4;
    std::string m_sFault = "none";
    int m_nDelayMs = 5000;
};

bool IsVmsSimFault(const std::string& AName);
// Serves until killed; returns the exit status.
int RunVmsSim(const TVmsSimOptions& AOptions);
