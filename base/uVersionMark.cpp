#include "base/uVersionMark.h"

// The build may pass the project's version; these are the defaults of the source tree.
#ifndef TARVO_VERSION_MAJOR
#define TARVO_VERSION_MAJOR 1
#endif
#ifndef TARVO_VERSION_MINOR
#define TARVO_VERSION_MINOR 0
#endif
#ifndef TARVO_VERSION_RELEASE
#define TARVO_VERSION_RELEASE 0
#endif
#ifndef TARVO_VERSION_BUILD
#define TARVO_VERSION_BUILD 0
#endif

#define TARVO_STR2(x) #x
#define TARVO_STR(x) TARVO_STR2(x)

extern "C" {
__attribute__((used)) const char g_sTarvoVersionMark[] =
    "TarvoFileVersion:" TARVO_STR(TARVO_VERSION_MAJOR) "." TARVO_STR(TARVO_VERSION_MINOR) "." TARVO_STR(
        TARVO_VERSION_RELEASE) "." TARVO_STR(TARVO_VERSION_BUILD);
}

std::uint32_t CompiledVersionPacked() {
    return std::uint32_t(TARVO_VERSION_MAJOR & 0xFF) | std::uint32_t(TARVO_VERSION_MINOR & 0xFF) << 8 |
           std::uint32_t(TARVO_VERSION_RELEASE & 0xFF) << 16 |
           std::uint32_t(TARVO_VERSION_BUILD & 0xFF) << 24;
}

void TouchVersionMark() {
    const volatile char* mark = g_sTarvoVersionMark;
    (void)mark[0];
}
