#pragma once
// USB keyboard-style readers: the readers.ini sections of kind "keyboard". Only the input devices
// named there are opened, and each is grabbed (EVIOCGRAB) so its digits never reach another window.
// Each is a USB port named by its alias, with the device's product name as its friendly text,
// present while a matching input device exists. An open reader's worker thread reads input events
// (poll on the device and an eventfd), decodes them by key code (uOrvKeyDecoder), reads each number
// in the reader's format and reports a card insert and remove; a vanished device is reported as
// connection loss, and the port arrives again when the device is back.

#include "orvreader/src/uOrvBackend.h"
#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvReadersIni.h"

#include <memory>
#include <string>

namespace Orv {

// The backend of readers.ini at its path (ReadersIniPath) when started.
std::unique_ptr<TBackend> MakeKbdBackend();
// The same with a given configuration and input folders (for tests: "/dev/input" and
// "/sys/class/input" on a real computer).
std::unique_ptr<TBackend> MakeKbdBackend(const TReadersConf& AConf,
                                         const std::string& ADevFolder = "/dev/input",
                                         const std::string& ASysFolder = "/sys/class/input");

// A reader reading input_event records from any descriptor (an evdev device, or a pipe in tests),
// already grabbed where it needs to be. It reports connection loss when the descriptor ends.
std::unique_ptr<TBackendReader> MakeKeyboardReader(TFd AFd, const TReaderConf& AConf, const TPortDesc& APort,
                                                   TWakeFunc AWake);

} // namespace Orv
