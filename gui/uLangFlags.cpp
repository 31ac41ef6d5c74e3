#include "gui/uLangFlags.h"

#include <QPainter>
#include <QPixmap>

namespace {

constexpr int FlagWidth = 16;
constexpr int FlagHeight = 11;

void Stripes(QPainter& APainter, const QColor& ATop, const QColor& AMiddle, const QColor& ABottom) {
    APainter.fillRect(0, 0, FlagWidth, 4, ATop);
    APainter.fillRect(0, 4, FlagWidth, 4, AMiddle);
    APainter.fillRect(0, 8, FlagWidth, 3, ABottom);
}

} // namespace

QIcon LangFlagIcon(std::uint32_t ALangId) {
    QPixmap lPixmap(FlagWidth, FlagHeight);
    lPixmap.fill(Qt::white);
    QPainter lPainter(&lPixmap);
    switch (ALangId) {
    case 1033: // stripes with a blue canton
        for (int y = 0; y < FlagHeight; y += 2)
            lPainter.fillRect(0, y, FlagWidth, 1, QColor(0xB2, 0x22, 0x34));
        lPainter.fillRect(0, 0, 7, 6, QColor(0x3C, 0x3B, 0x6E));
        break;
    case 1049:
        Stripes(lPainter, Qt::white, QColor(0x00, 0x39, 0xA6), QColor(0xD5, 0x2B, 0x1E));
        break;
    case 1045:
        lPainter.fillRect(0, 6, FlagWidth, 5, QColor(0xDC, 0x14, 0x3C));
        break;
    case 1031:
        Stripes(lPainter, Qt::black, QColor(0xDD, 0x00, 0x00), QColor(0xFF, 0xCE, 0x00));
        break;
    default: // a grey globe: a language without a flag of its own
        lPixmap.fill(Qt::transparent);
        lPainter.setRenderHint(QPainter::Antialiasing);
        lPainter.setPen(QColor(0x60, 0x70, 0x80));
        lPainter.setBrush(QColor(0xC8, 0xD8, 0xE8));
        lPainter.drawEllipse(QRectF(3.5, 0.5, 9, 9));
        lPainter.drawLine(QPointF(8, 0.5), QPointF(8, 9.5));
        lPainter.drawLine(QPointF(3.5, 5), QPointF(12.5, 5));
        return QIcon(lPixmap);
    }
    lPainter.setPen(QColor(0x80, 0x80, 0x80));
    lPainter.drawRect(0, 0, FlagWidth - 1, FlagHeight - 1);
    return QIcon(lPixmap);
}
