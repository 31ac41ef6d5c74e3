#pragma once
// The desktop's applications for file types: what opens a spreadsheet here. Asked of GLib's gio, which
// reads the user's and the system's mimeapps.list and desktop files as every desktop does.

#include <QString>

inline constexpr const char* XlsxMimeType =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
inline constexpr const char* OdsMimeType = "application/vnd.oasis.opendocument.spreadsheet";

// The desktop-file id of the default application for AMimeType ("libreoffice-calc.desktop"), empty
// when there is none or gio is not installed.
QString DefaultApplicationFor(const QString& AMimeType);
// The name users see for that application (its desktop file's Name), else the id.
QString ApplicationName(const QString& ADesktopId);
