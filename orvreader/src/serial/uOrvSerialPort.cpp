#include "orvreader/src/serial/uOrvSerialPort.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace Orv {

namespace {

speed_t SpeedCode(std::uint32_t ASpeed) {
    switch (ASpeed) {
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

} // namespace

std::int32_t OpenSerialPort(const std::string& APath, std::uint32_t ASpeed, std::uint8_t AStopBits,
                            TFd& VFd) {
    TFd h(open(APath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!h.Valid()) {
        const int e = errno;
        if (e == ENOENT || e == ENODEV || e == ENXIO)
            return ORV_E_PORT_NOT_FOUND;
        return e == EBUSY ? ORV_E_PORT_BUSY : ErrnoResult(e);
    }
    if (!isatty(h.Get()))
        return ErrnoResult(ENOTTY);
    if (flock(h.Get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK ? ORV_E_PORT_BUSY : ErrnoResult(errno);
    if (ioctl(h.Get(), TIOCEXCL) != 0)
        return ErrnoResult(errno);
    termios t{};
    if (tcgetattr(h.Get(), &t) != 0)
        return ErrnoResult(errno);
    cfmakeraw(&t);
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    if (AStopBits == 2)
        t.c_cflag |= CSTOPB;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, SpeedCode(ASpeed));
    cfsetospeed(&t, SpeedCode(ASpeed));
    if (tcsetattr(h.Get(), TCSANOW, &t) != 0)
        return ErrnoResult(errno);
    // A pseudo-terminal or a bare UART has no modem lines: not a failure.
    int lLines = TIOCM_DTR | TIOCM_RTS;
    ioctl(h.Get(), TIOCMBIS, &lLines);
    tcflush(h.Get(), TCIFLUSH);
    VFd = std::move(h);
    return ORV_OK;
}

} // namespace Orv
