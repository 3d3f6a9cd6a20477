#include "app/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace volnar {
namespace {

QPixmap Draw(Picture picture, int pin, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    switch (picture) {
        case Picture::Application: {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(30, 60, 110));
            p.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
            p.setPen(QPen(QColor(120, 220, 120), 2.5));
            QPainterPath wave;
            wave.moveTo(4, 18);
            wave.lineTo(10, 18);
            wave.lineTo(13, 8);
            wave.lineTo(17, 26);
            wave.lineTo(20, 14);
            wave.lineTo(28, 14);
            p.setBrush(Qt::NoBrush);
            p.drawPath(wave);
            break;
        }
        case Picture::Thermometer:
            p.setPen(QPen(Qt::darkGray, 2));
            p.setBrush(Qt::white);
            p.drawRoundedRect(QRectF(12, 3, 8, 20), 4, 4);
            p.setBrush(QColor(220, 30, 30));
            p.drawEllipse(QPointF(16, 25), 5.5, 5.5);
            p.setPen(Qt::NoPen);
            p.drawRect(QRectF(14.5, 10, 3, 14));
            break;
        case Picture::AlarmPin: {
            static const QColor colours[] = {QColor(220, 40, 40), QColor(230, 140, 20),
                                             QColor(210, 200, 30), QColor(40, 160, 60),
                                             QColor(40, 90, 200)};
            p.setPen(QPen(Qt::darkGray, 1.5));
            p.setBrush(colours[pin % 5]);
            p.drawEllipse(QPointF(16, 16), 11, 11);
            p.setPen(Qt::white);
            QFont font = p.font();
            font.setPixelSize(13);
            font.setBold(true);
            p.setFont(font);
            p.drawText(QRectF(0, 0, 32, 32), Qt::AlignCenter, QString::number(pin + 1));
            break;
        }
        case Picture::Database:
            p.setPen(QPen(QColor(40, 40, 90), 1.5));
            p.setBrush(QColor(150, 170, 220));
            p.drawRect(QRectF(7, 8, 18, 17));
            p.drawEllipse(QRectF(7, 21, 18, 7));
            p.drawEllipse(QRectF(7, 4, 18, 7));
            break;
    }
    return pixmap;
}

}  // namespace

QIcon MakePicture(Picture picture, int pin) {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
        icon.addPixmap(Draw(picture, pin, size));
    }
    return icon;
}

}  // namespace volnar
