#include "gui/uStateIcons.h"

#include "gui/uIcons.h"

#include <QPainter>
#include <QPixmap>

namespace TarvoIcons {

QIcon ReaderLostIcon() {
    const QIcon base = ProgramIcon();
    QIcon icon;
    for (int n : {16, 20, 22, 24, 32, 48, 64, 128}) {
        QPixmap pm = base.pixmap(n, n);
        if (pm.size() != QSize(n, n))
            pm = pm.scaled(n, n, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(n / 32.0, n / 32.0);
        // A badge big enough to be seen at 16 pixels: a red disc with a white bar across it.
        p.setPen(QPen(Qt::white, 1.5));
        p.setBrush(QColor(0xd0, 0x21, 0x21));
        p.drawEllipse(QRectF(14.5, 14.5, 17, 17));
        p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(18.5, 23), QPointF(27.5, 23));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace TarvoIcons
