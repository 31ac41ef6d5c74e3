#pragma once
// The kind of reader port a stored port name denotes.

#include <QString>

// Numbered as the reader library numbers its port types (TOrvP_PORT_TYPE): the reader layer converts
// with a plain cast.
enum class TPortKind : int { Undef = 0, Com = 1, Ft = 2, Ip = 3, Ips = 4 };

// Com for "COM" in any letter case followed by an integer (COM7, com12); Ft (a USB device) for every
// other name, "COM" alone included.
TPortKind PortTypeOfName(const QString& AName);
