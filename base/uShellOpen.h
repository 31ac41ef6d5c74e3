#pragma once
// Opening a file or address with the desktop's default application.
//
// The GUI layer installs its opener (QDesktopServices::openUrl) with SetShellOpenFunc; this layer has no
// GUI. Without an installed opener, an executable file given parameters is started with them, and
// anything else is handed to xdg-open (or GLib's gio open); both start detached, so a failure of the
// application itself after it started is not seen here.

#include <QObject>
#include <QString>

#include <functional>

// Opens AFile with AParameters; raises Exception with the reason when it cannot.
using TShellOpenFunc = std::function<void(QObject* AOwner, const QString& AFile, const QString& AParameters)>;

// Installs the opener (an empty function restores the fallback).
void SetShellOpenFunc(TShellOpenFunc AFunc);

// Raises EInOutError "Cannot open "<file>". <reason>" when the file or address cannot be opened.
void ShellOpen(QObject* AOwner, const QString& AFile, const QString& AParameters = QString());
