#include "orvreader/src/uOrvFiles.h"

#include "orvreader/OrvBase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace Orv {

std::int32_t ErrnoResult(int AErrno) {
    return ORV_FROM_ERRNO(AErrno == 0 ? EIO : AErrno);
}

void TFd::Reset(int AFd) {
    if (m_h >= 0)
        close(m_h);
    m_h = AFd;
}

std::int32_t MakeFolders(const std::string& APath) {
    for (std::size_t lPos = 1; lPos <= APath.size(); ++lPos) {
        if (lPos != APath.size() && APath[lPos] != '/')
            continue;
        std::string lPart = APath.substr(0, lPos);
        if (mkdir(lPart.c_str(), 0700) != 0 && errno != EEXIST)
            return ErrnoResult(errno);
    }
    struct stat st {};
    if (stat(APath.c_str(), &st) != 0)
        return ErrnoResult(errno);
    if (!S_ISDIR(st.st_mode))
        return ErrnoResult(ENOTDIR);
    return ORV_OK;
}

std::int32_t ReadUpTo(int AFd, std::size_t AMax, std::string& VText, bool& VTooLong) {
    VTooLong = false;
    std::string lText;
    char lBuf[4096];
    for (;;) {
        ssize_t n = read(AFd, lBuf, sizeof lBuf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ErrnoResult(errno);
        if (n == 0)
            break;
        lText.append(lBuf, std::size_t(n));
        if (lText.size() > AMax) {
            VTooLong = true;
            return ORV_OK;
        }
    }
    VText = std::move(lText);
    return ORV_OK;
}

} // namespace Orv
