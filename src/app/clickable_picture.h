// A picture that reports clicks (the two error indicators of the editor).
#pragma once

#include <QPixmap>
#include <QWidget>

class QMouseEvent;
class QPaintEvent;

class ClickablePicture : public QWidget {
    Q_OBJECT
public:
    explicit ClickablePicture(const QPixmap& pixmap, QWidget* parent = nullptr);
Q_SIGNALS:
    void clicked();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    QPixmap pixmap_;
};
