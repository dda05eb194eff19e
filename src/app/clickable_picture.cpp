#include "app/clickable_picture.h"

#include <QMouseEvent>
#include <QPainter>

ClickablePicture::ClickablePicture(const QPixmap& pixmap, QWidget* parent) : QWidget(parent), pixmap_(pixmap) {
    setCursor(Qt::PointingHandCursor);
}

void ClickablePicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(rect(), pixmap_);
}

void ClickablePicture::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) Q_EMIT clicked();
}
