// The application icon for the desktop's menu: the motif of the About
// picture (a loudspeaker sending orange sound waves under a clock) on a tile
// of the same sky, drawn for each size of the icon theme.
#include "app_icon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace {

// The drawing is laid out on a 256 x 256 grid and scaled to the size asked.
constexpr double kGrid = 256.0;

struct Pens {
    double unitsPerPixel;
    // A stroke of `units` on the grid, never thinner than `minPixels` on the image.
    double width(double units, double minPixels = 1.0) const {
        return std::max(units, minPixels * unitsPerPixel);
    }
};

void tile(QPainter& p, const Pens& pens) {
    const double edge = pens.width(6);
    const double inset = 8 + edge / 2;
    const QRectF r(inset, inset, kGrid - 2 * inset, kGrid - 2 * inset);
    QLinearGradient sky(0, r.top(), 0, r.bottom());
    sky.setColorAt(0, QColor(210, 228, 250));
    sky.setColorAt(1, QColor(120, 160, 215));
    p.setPen(QPen(QColor(40, 70, 130), edge));
    p.setBrush(sky);
    p.drawRoundedRect(r, 40, 40);
}

// The clock, top right, at 8:20 like the About picture.
void clock(QPainter& p, const Pens& pens, bool ticks) {
    const QPointF c(182, 72);
    const double r = 52;
    const QColor ink(40, 50, 70);
    p.setPen(QPen(ink, pens.width(9)));
    p.setBrush(QColor(255, 252, 235));
    p.drawEllipse(c, r, r);
    if (ticks) {
        for (int h = 0; h < 12; ++h) {
            const double a = h * M_PI / 6;
            const double inner = (h % 3 == 0) ? r - 17 : r - 11;
            p.setPen(QPen(ink, h % 3 == 0 ? 6 : 3.5, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(c.x() + std::sin(a) * inner, c.y() - std::cos(a) * inner),
                       QPointF(c.x() + std::sin(a) * (r - 6), c.y() - std::cos(a) * (r - 6)));
        }
    }
    auto hand = [&](double angle, double length, double width) {
        p.setPen(QPen(QColor(30, 30, 40), pens.width(width, 1.5), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, QPointF(c.x() + std::sin(angle) * length, c.y() - std::cos(angle) * length));
    };
    hand(M_PI * 2 * (8.0 + 20.0 / 60) / 12, r * 0.5, 11);
    hand(M_PI * 2 * 20.0 / 60, r * 0.76, 7);
    if (ticks) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(c, 7, 7);
    }
}

// The loudspeaker, lower left, opening to the right, and its sound waves.
void loudspeaker(QPainter& p, const Pens& pens, int waves) {
    const double sy = 172;
    const QColor ink(25, 25, 30);
    p.setPen(QPen(ink, pens.width(5), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient metal(0, sy - 60, 0, sy + 60);
    metal.setColorAt(0, QColor(120, 125, 135));
    metal.setColorAt(1, QColor(45, 48, 55));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(30, sy - 26, 40, 52), 6, 6);
    QPainterPath cone;
    cone.moveTo(70, sy - 26);
    cone.lineTo(118, sy - 62);
    cone.lineTo(118, sy + 62);
    cone.lineTo(70, sy + 26);
    cone.closeSubpath();
    p.drawPath(cone);
    p.setBrush(QColor(170, 175, 185));
    p.drawEllipse(QRectF(110, sy - 62, 16, 124));

    const double radii[] = {40, 70, 100};
    const double widths[] = {14, 12, 10};
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < waves; ++i) {
        const double radius = radii[i];
        const QRectF arc(118 - radius, sy - radius, radius * 2, radius * 2);
        p.setPen(QPen(QColor(255, 170 - i * 40, 0), pens.width(widths[i], 2), Qt::SolidLine, Qt::FlatCap));
        p.drawArc(arc, -30 * 16, 60 * 16);
    }
}

// 16 px: the tile, the loudspeaker and two waves laid on whole pixels; a
// clock of this size would only blur the rest.
void drawSixteen(QPainter& p) {
    QLinearGradient sky(0, 1, 0, 15);
    sky.setColorAt(0, QColor(210, 228, 250));
    sky.setColorAt(1, QColor(120, 160, 215));
    p.setPen(QPen(QColor(40, 70, 130), 1));
    p.setBrush(sky);
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2.5, 2.5);

    QLinearGradient metal(0, 3, 0, 13);
    metal.setColorAt(0, QColor(120, 125, 135));
    metal.setColorAt(1, QColor(45, 48, 55));
    p.setPen(QPen(QColor(25, 25, 30), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(metal);
    p.drawRect(QRectF(1.5, 6.5, 2, 3));
    QPainterPath cone;
    cone.moveTo(3.5, 6.5);
    cone.lineTo(6.5, 3.5);
    cone.lineTo(6.5, 12.5);
    cone.lineTo(3.5, 9.5);
    cone.closeSubpath();
    p.drawPath(cone);

    p.setBrush(Qt::NoBrush);
    const QPointF centre(6.5, 8);
    const struct { double radius; QColor colour; } waves[] = {{3.2, QColor(255, 170, 0)}, {6.2, QColor(255, 120, 0)}};
    for (const auto& wave : waves) {
        p.setPen(QPen(wave.colour, 1.5, Qt::SolidLine, Qt::FlatCap));
        p.drawArc(QRectF(centre.x() - wave.radius, centre.y() - wave.radius, 2 * wave.radius, 2 * wave.radius),
                  -50 * 16, 100 * 16);
    }
}

}  // namespace

QImage drawAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, true);
    if (size <= 16) {
        p.scale(size / 16.0, size / 16.0);
        drawSixteen(p);
    } else {
        p.scale(size / kGrid, size / kGrid);
        const Pens pens{kGrid / size};
        // Below 48 px the clock loses its ticks and the third wave, so that
        // each stroke stays at least a pixel wide.
        const bool small = size < 48;
        tile(p, pens);
        clock(p, pens, !small);
        loudspeaker(p, pens, small ? 2 : 3);
    }
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}
