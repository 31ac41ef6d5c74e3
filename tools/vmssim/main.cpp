// vmssim: a small video management server on loopback for tests and demos. It serves the device tree,
// live and archived frames (each frame shows its camera and moment as text), the WSID login with its
// redirect, and fault switches. Every request is printed on standard output, one line each.
//
//   vmssim [--port N] [--user U] [--password P] [--cameras K] [--fault NAME] [--delay-ms N]
//
// --port 0 (the default) picks a free port; the first line of standard output is "port N".
// Faults (also switched at run time with GET /sim/fault?name=NAME[&delay=N]):
//   none, slow (answer after --delay-ms), refused (nothing listens), 404, 500, longhead (a head over
//   1024 bytes), nolength (no Content-Length), garbage (bytes that are no image and no JSON),
//   wrongtype (image/gif), uppertype (IMAGE/JPEG, IMAGE/PNG), keepalive (non-200 answers keep the
//   connection).
// GET /sim/forget ends every session (held WSID cookies are refused from then on).

#include "tools/vmssim/uVmsSim.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TVmsSimOptions lOptions;
    for (int i = 1; i < argc; ++i) {
        const std::string lArg = argv[i];
        auto lValue = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vmssim: %s needs a value\n", lArg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        try {
            if (lArg == "--port")
                lOptions.m_nPort = std::stoi(lValue());
            else if (lArg == "--user")
                lOptions.m_sUser = lValue();
            else if (lArg == "--password")
                lOptions.m_sPassword = lValue();
            else if (lArg == "--cameras")
                lOptions.m_nCameras = std::stoi(lValue());
            else if (lArg == "--fault")
                lOptions.m_sFault = lValue();
            else if (lArg == "--delay-ms")
                lOptions.m_nDelayMs = std::stoi(lValue());
            else if (lArg == "--help" || lArg == "-h") {
                std::printf("Usage: vmssim [--port N] [--user U] [--password P] [--cameras K] [--fault NAME] "
                            "[--delay-ms N]\n");
                return 0;
            } else {
                std::fprintf(stderr, "vmssim: unknown option \"%s\"\n", lArg.c_str());
                return 2;
            }
        } catch (const std::exception&) {
            std::fprintf(stderr, "vmssim: %s needs a number\n", lArg.c_str());
            return 2;
        }
    }
    if (lOptions.m_nPort < 0 || lOptions.m_nPort > 65535 || lOptions.m_nCameras < 0 ||
        lOptions.m_nDelayMs < 0 || !IsVmsSimFault(lOptions.m_sFault)) {
        std::fprintf(stderr, "vmssim: bad port, camera count, delay or fault name\n");
        return 2;
    }
    QGuiApplication lApp(argc, argv);
    return RunVmsSim(lOptions);
}
