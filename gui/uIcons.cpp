#include "gui/uIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

#include <functional>

namespace TarvoIcons {

namespace {

// Every icon is drawn on a 32 x 32 grid and scaled, at the sizes desktops ask for.
using TDraw = std::function<void(QPainter&)>;

QIcon MakeIcon(const TDraw& ADraw) {
    QIcon icon;
    for (int n : {16, 20, 22, 24, 32, 48, 64, 128}) {
        QPixmap pm(n, n);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(n / 32.0, n / 32.0);
        ADraw(p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QPen Pen(const QColor& AColor, double AWidth) {
    return QPen(AColor, AWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void DrawClock(QPainter& p) {
    // A clock: the café bills time.
    p.setPen(Pen(QColor(0x0b, 0x4f, 0x5c), 2));
    p.setBrush(QColor(0x1f, 0x9e, 0xa8));
    p.drawEllipse(QRectF(1.5, 1.5, 29, 29));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(6, 6, 20, 20));
    p.setPen(Pen(QColor(0x0b, 0x4f, 0x5c), 2.6));
    p.drawLine(QPointF(16, 16), QPointF(16, 9));
    p.drawLine(QPointF(16, 16), QPointF(21, 19));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x6c, 0x1f));
    p.drawEllipse(QPointF(16, 16), 2, 2);
}

void DrawCamera(QPainter& p) {
    const QColor dark(0x33, 0x3b, 0x44);
    p.setPen(Qt::NoPen);
    p.setBrush(dark);
    p.drawRoundedRect(QRectF(10, 5, 12, 6), 2, 2);
    p.drawRoundedRect(QRectF(2, 9, 28, 19), 4, 4);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 18.5), 7.5, 7.5);
    p.setBrush(QColor(0x2f, 0x7f, 0xd0));
    p.drawEllipse(QPointF(16, 18.5), 5, 5);
    p.setBrush(QColor(0xff, 0xd2, 0x4a));
    p.drawEllipse(QPointF(26, 13), 1.6, 1.6);
}

// A door with an arrow: into it (check-in) or out of it (check-out).
void DrawDoorArrow(QPainter& p, bool AIn) {
    const QColor door(0x6b, 0x4f, 0x2f);
    const QColor arrow = AIn ? QColor(0x1e, 0x9e, 0x3a) : QColor(0xd2, 0x3a, 0x2a);
    const double doorX = AIn ? 23 : 1;
    p.setPen(Qt::NoPen);
    p.setBrush(door);
    p.drawRoundedRect(QRectF(doorX, 2, 8, 28), 1.5, 1.5);
    // Arrow pointing right in both: towards the door on the right, away from the door on the left.
    const double x0 = AIn ? 0.5 : 10.5;
    QPainterPath path;
    path.moveTo(x0, 11);
    path.lineTo(x0 + 9, 11);
    path.lineTo(x0 + 9, 4);
    path.lineTo(x0 + 21, 16);
    path.lineTo(x0 + 9, 28);
    path.lineTo(x0 + 9, 21);
    path.lineTo(x0, 21);
    path.closeSubpath();
    p.setPen(Pen(Qt::white, 1.0));
    p.setBrush(arrow);
    p.drawPath(path);
}

void DrawGear(QPainter& p, const QPointF& AC, double AR, const QColor& AColor) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        const double a = (i - 0.5) * M_PI * 2 / (teeth * 4);
        const double r = (i % 4 < 2) ? AR : AR * 0.72;
        const QPointF pt(AC.x() + r * std::cos(a), AC.y() + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(AC, AR * 0.28, AR * 0.28);
    p.setPen(Qt::NoPen);
    p.setBrush(AColor);
    p.drawPath(gear.subtracted(hole));
}

void DrawSettings(QPainter& p) {
    DrawGear(p, QPointF(16, 16), 15.5, QColor(0x4f, 0x5b, 0x68));
}

void DrawRunConfig(QPainter& p) {
    // A card with its holder's lines, and a start arrow: opens the card configuration.
    p.setPen(Pen(QColor(0x1c, 0x4f, 0x9c), 1.5));
    p.setBrush(QColor(0x3d, 0x7e, 0xdb));
    p.drawRoundedRect(QRectF(1.5, 5.5, 25, 17), 3, 3);
    p.setPen(Pen(Qt::white, 2));
    p.drawLine(QPointF(5, 11), QPointF(17, 11));
    p.drawLine(QPointF(5, 16), QPointF(12, 16));
    QPainterPath play;
    play.moveTo(17, 16);
    play.lineTo(31, 23.5);
    play.lineTo(17, 31);
    play.closeSubpath();
    p.setPen(Pen(Qt::white, 1.5));
    p.setBrush(QColor(0x1e, 0x9e, 0x3a));
    p.drawPath(play);
}

} // namespace

QIcon ProgramIcon() {
    static const QIcon icon = MakeIcon(DrawClock);
    return icon;
}

QIcon RunConfigIcon() {
    static const QIcon icon = MakeIcon(DrawRunConfig);
    return icon;
}

QIcon SettingsIcon() {
    static const QIcon icon = MakeIcon(DrawSettings);
    return icon;
}

QIcon CameraIcon() {
    static const QIcon icon = MakeIcon(DrawCamera);
    return icon;
}

QIcon CheckInIcon() {
    static const QIcon icon = MakeIcon([](QPainter& p) { DrawDoorArrow(p, true); });
    return icon;
}

QIcon CheckOutIcon() {
    static const QIcon icon = MakeIcon([](QPainter& p) { DrawDoorArrow(p, false); });
    return icon;
}

QList<QIcon> ListImages() {
    return {CameraIcon(), CheckInIcon(), CheckOutIcon()};
}

} // namespace TarvoIcons
