#pragma once
// Serial readers that send card numbers as text frames: the readers.ini sections of kind "serial".
// Each is a serial port named by its COM alias, present while its device exists. An open reader has
// a worker thread that waits in poll on the port and an eventfd (stop, or the device gone), frames
// the bytes, reads each frame in the reader's number format and reports a card insert and remove per
// number. A vanished device (hang-up, read error, or the hot-plug scan no longer finding it) is
// reported as connection loss; the reader opens again once the device is back.

#include "orvreader/src/uOrvBackend.h"
#include "orvreader/src/uOrvReadersIni.h"

#include <memory>

namespace Orv {

// The serial backend of readers.ini at its path (ReadersIniPath) when started.
std::unique_ptr<TBackend> MakeSerialBackend();
// The same with a given configuration, for tests.
std::unique_ptr<TBackend> MakeSerialBackend(const TReadersConf& AConf);

// A device name of readers.ini as a path: a bare name ("ttyUSB0") is under /dev.
std::string DevicePath(const std::string& ADevice);

} // namespace Orv
