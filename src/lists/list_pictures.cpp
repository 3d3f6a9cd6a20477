#include "lists/list_pictures.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace volnar {
namespace {

constexpr int kImageSize = 16;

QPixmap Blank(int width, int height) {
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QList<QPixmap> ListActionImages() {
    QPixmap execute = Blank(kImageSize, kImageSize);
    {
        QPainter p(&execute);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath arrow;
        arrow.moveTo(4, 2);
        arrow.lineTo(14, 8);
        arrow.lineTo(4, 14);
        arrow.closeSubpath();
        p.setPen(QPen(QColor(0, 100, 0), 1));
        p.setBrush(QColor(0, 170, 0));
        p.drawPath(arrow);
    }
    QPixmap remove = Blank(kImageSize, kImageSize);
    {
        QPainter p(&remove);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(210, 0, 0), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
    }
    QPixmap edit = Blank(kImageSize, kImageSize);
    {
        QPainter p(&edit);
        p.setRenderHint(QPainter::TextAntialiasing);
        QFont font;
        font.setBold(true);
        font.setPixelSize(15);
        p.setFont(font);
        p.setPen(QColor(0, 150, 0));
        p.drawText(QRect(0, 0, kImageSize, kImageSize), Qt::AlignCenter, QStringLiteral("?"));
    }
    return {execute, remove, edit};
}

}  // namespace volnar
