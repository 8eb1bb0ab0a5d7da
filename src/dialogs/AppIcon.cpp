#include "dialogs/AppIcon.h"

#include <QPainter>
#include <QPixmap>

static QPixmap FilmStrip(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 40, 48));
    painter.drawRoundedRect(QRectF(3, 1, 26, 30), 2, 2);
    // Sprocket holes on both edges.
    painter.setBrush(Qt::white);
    for (int k = 0; k < 5; ++k) {
        painter.drawRect(QRectF(5, 3 + k * 6, 2.5, 3));
        painter.drawRect(QRectF(24.5, 3 + k * 6, 2.5, 3));
    }
    // Two frames, the lower one a picture.
    painter.setBrush(QColor(250, 250, 250));
    painter.drawRect(QRectF(9.5, 3, 13, 11.5));
    painter.setBrush(QColor(90, 160, 230));
    painter.drawRect(QRectF(9.5, 17.5, 13, 11.5));
    painter.setBrush(QColor(250, 200, 60));
    painter.drawEllipse(QPointF(19, 21), 2, 2);
    painter.setBrush(QColor(60, 140, 70));
    painter.drawPolygon(QPolygonF({QPointF(9.5, 29), QPointF(14, 22.5), QPointF(18.5, 29)}));
    return pixmap;
}

QIcon VistromAppIcon() {
    static const QIcon icon = [] {
        QIcon i;
        for (int size : {16, 24, 32, 48, 64})
            i.addPixmap(FilmStrip(size));
        return i;
    }();
    return icon;
}
