#pragma once
// Opening a serial reader's port: raw 8N1 (or 8N2) at the configured speed, held exclusively.

#include "orvreader/OrvBase.h"
#include "orvreader/src/uOrvBus.h"

#include <cstdint>
#include <string>

namespace Orv {

// Opens APath non-blocking for reading: the terminal in raw mode at ASpeed with AStopBits (2 gives
// two, anything else one), locked against every other program (TIOCEXCL for opens that are not
// root's, flock for those that honour it), DTR and RTS raised where the port has them (many
// readers are powered from these lines). ORV_E_PORT_BUSY when another program holds the port,
// ORV_E_PORT_NOT_FOUND when the device is not there, another failure when it is no terminal.
std::int32_t OpenSerialPort(const std::string& APath, std::uint32_t ASpeed, std::uint8_t AStopBits, TFd& VFd);

} // namespace Orv
