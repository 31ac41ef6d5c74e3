#pragma once
// POSIX file helpers of the library: result codes from errno, owned descriptors, private folders
// and capped reads. Pure system calls, so the reader configuration can be built with them into a
// program as well as into the library.

#include <cstddef>
#include <cstdint>
#include <string>

namespace Orv {

// errno as a result code.
std::int32_t ErrnoResult(int AErrno);

// An owned file descriptor.
class TFd {
public:
    TFd() = default;
    explicit TFd(int AFd) : m_h(AFd) {}
    ~TFd() { Reset(); }
    TFd(TFd&& A) noexcept : m_h(A.Release()) {}
    TFd& operator=(TFd&& A) noexcept {
        if (this != &A)
            Reset(A.Release());
        return *this;
    }
    int Get() const { return m_h; }
    bool Valid() const { return m_h >= 0; }
    int Release() {
        int h = m_h;
        m_h = -1;
        return h;
    }
    void Reset(int AFd = -1);

private:
    int m_h = -1;
};

// Creates a folder and its missing parents, private to the user.
std::int32_t MakeFolders(const std::string& APath);

// Reads AFd to its end into VText; VTooLong (and no text) when it holds more than AMax bytes.
// ORV_OK, or the read's errno as a result.
std::int32_t ReadUpTo(int AFd, std::size_t AMax, std::string& VText, bool& VTooLong);

} // namespace Orv
