#include "scripts/script_pictures.h"

#include <QPainter>

namespace volnar::scripts {

namespace {

QPixmap Blank(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A page with a pencil across it, at the picture's right.
void DrawPageAndPencil(QPainter& p, int left) {
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(left, 2, 18, 24);
    p.setPen(QColor(150, 150, 150));
    for (int y = 8; y <= 20; y += 4) {
        p.drawLine(left + 3, y, left + 15, y);
    }
    p.setPen(QPen(QColor(200, 140, 0), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(left + 8, 22, left + 20, 8);
    p.setPen(QPen(QColor(60, 60, 60), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(left + 7, 23, left + 8, 22);
}

}  // namespace

QPixmap RelayScriptPicture() {
    QPixmap pixmap = Blank(48, 28);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // A relay: a coil box with a switch arm.
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(60, 90, 160));
    p.drawRect(2, 8, 14, 16);
    p.setPen(QPen(Qt::white, 1));
    for (int y = 11; y <= 21; y += 3) {
        p.drawLine(5, y, 13, y);
    }
    p.setPen(QPen(QColor(40, 40, 40), 2));
    p.drawLine(9, 8, 18, 3);
    DrawPageAndPencil(p, 24);
    return pixmap;
}

QPixmap IoScriptPicture() {
    QPixmap pixmap = Blank(48, 28);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Up and down arrows: a pin set high or low.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 140, 0));
    p.drawPolygon(QPolygon({QPoint(2, 12), QPoint(7, 3), QPoint(12, 12)}));
    p.drawRect(5, 12, 4, 12);
    p.setBrush(QColor(200, 0, 0));
    p.drawPolygon(QPolygon({QPoint(12, 16), QPoint(17, 25), QPoint(22, 16)}));
    p.drawRect(15, 4, 4, 12);
    DrawPageAndPencil(p, 26);
    return pixmap;
}

}  // namespace volnar::scripts
