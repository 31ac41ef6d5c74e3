#include "orvreader/src/uOrvLog.h"

#include <cstdio>
#include <mutex>

namespace Orv {

void LogLine(const std::string& AText) {
    static std::mutex s_oLock;
    std::lock_guard<std::mutex> g(s_oLock);
    std::fprintf(stderr, "orvreader: %s\n", AText.c_str());
    std::fflush(stderr);
}

} // namespace Orv
