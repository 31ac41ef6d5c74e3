#pragma once
// The programs' icons, drawn at run time so they stay crisp at any size: the program icon, the
// toolbar images and the list-view images.

#include <QIcon>
#include <QList>

namespace TarvoIcons {

// Program icon (window, tray, about box).
QIcon ProgramIcon();
// Toolbar: "Run TarvoConfig" and "Settings...".
QIcon RunConfigIcon();
QIcon SettingsIcon();
// List images: camera (first column of log and report), check-in and check-out arrows (log).
QIcon CameraIcon();
QIcon CheckInIcon();
QIcon CheckOutIcon();

// Image list of the log and report views: index 0 camera, 1 check-in, 2 check-out.
enum TListImage { liCamera = 0, liCheckIn = 1, liCheckOut = 2 };
QList<QIcon> ListImages();

} // namespace TarvoIcons
