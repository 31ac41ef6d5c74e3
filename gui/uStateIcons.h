#pragma once
// Icon variants that show a state at a glance, drawn at run time over the program icon.

#include <QIcon>

namespace TarvoIcons {

// The program icon with a red "no" badge at its lower right: the reader is lost, cards are not read.
QIcon ReaderLostIcon();

} // namespace TarvoIcons
