// Draws the program's embedded pictures (ids 0..10) into PNG files.
// Run once by resources/draw_images.sh; the PNG files it writes are committed
// under resources/images and compiled into the program from resources.qrc.
// With --app-icon it draws the application icon into an icon-theme folder
// instead; the build does that for the installed program.
#include <QColor>
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app_icon.h"

namespace {

// The window background of the program, behind the pictures without alpha.
const QColor kDialogGround(240, 240, 240);

QImage canvas(int w, int h, bool alpha, QColor ground = Qt::transparent) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(alpha ? QColor(Qt::transparent) : ground);
    return img;
}

bool save(const QImage& img, bool alpha, const QDir& dir, const char* name) {
    QImage out = alpha ? img.convertToFormat(QImage::Format_ARGB32) : img.convertToFormat(QImage::Format_RGB888);
    const QString path = dir.filePath(QString::fromLatin1(name));
    if (!out.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s %dx%d\n", qPrintable(path), out.width(), out.height());
    return true;
}

void smooth(QPainter& p) { p.setRenderHint(QPainter::Antialiasing, true); }

// 0: 45 x 30, a red disc with a white cross.
QImage indicator() {
    QImage img = canvas(45, 30, false, kDialogGround);
    QPainter p(&img);
    smooth(p);
    QRadialGradient g(QPointF(19, 11), 16);
    g.setColorAt(0, QColor(255, 110, 100));
    g.setColorAt(1, QColor(200, 20, 20));
    p.setPen(QPen(QColor(130, 0, 0), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(9, 1.5, 27, 27));
    p.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(16.5, 9), QPointF(28.5, 21));
    p.drawLine(QPointF(28.5, 9), QPointF(16.5, 21));
    return img;
}

void page(QPainter& p, const QRectF& r, QColor fill, QColor edge) {
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawRect(r);
}

// 1: 24 x 24, the copy-day button: two day sheets, one copied onto the other.
QImage copyDay() {
    QImage img = canvas(24, 24, true);
    QPainter p(&img);
    smooth(p);
    page(p, QRectF(1.5, 1.5, 13, 15), QColor(225, 235, 250), QColor(60, 80, 130));
    p.fillRect(QRectF(2, 2, 12, 3), QColor(70, 110, 190));
    page(p, QRectF(9.5, 7.5, 13, 15), Qt::white, QColor(60, 80, 130));
    p.fillRect(QRectF(10, 8, 12, 3), QColor(70, 110, 190));
    p.setPen(QPen(QColor(120, 130, 150), 1));
    for (int y = 14; y <= 20; y += 3) p.drawLine(QPointF(12, y + 0.5), QPointF(20, y + 0.5));
    // a small green arrow from the first sheet to the second
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(20, 150, 40));
    QPainterPath arrow;
    arrow.moveTo(3, 9);
    arrow.lineTo(7, 9);
    arrow.lineTo(7, 6.5);
    arrow.lineTo(11, 11);
    arrow.lineTo(7, 15.5);
    arrow.lineTo(7, 13);
    arrow.lineTo(3, 13);
    arrow.closeSubpath();
    p.drawPath(arrow);
    return img;
}

// 2: 50 x 25, a blue arrow pointing right on a yellow ground.
QImage copyArrow() {
    QImage img = canvas(50, 25, false, QColor(255, 230, 40));
    QPainter p(&img);
    smooth(p);
    QPainterPath arrow;
    arrow.moveTo(5, 9);
    arrow.lineTo(30, 9);
    arrow.lineTo(30, 3);
    arrow.lineTo(45, 12.5);
    arrow.lineTo(30, 22);
    arrow.lineTo(30, 16);
    arrow.lineTo(5, 16);
    arrow.closeSubpath();
    QLinearGradient g(0, 3, 0, 22);
    g.setColorAt(0, QColor(80, 140, 255));
    g.setColorAt(1, QColor(0, 50, 190));
    p.setPen(QPen(QColor(0, 30, 120), 1));
    p.setBrush(g);
    p.drawPath(arrow);
    return img;
}

// 3: 146 x 155, the About picture: a loudspeaker sending sound waves under a clock.
QImage aboutPicture() {
    QImage img = canvas(146, 155, false, Qt::white);
    QPainter p(&img);
    smooth(p);
    QLinearGradient sky(0, 0, 0, 155);
    sky.setColorAt(0, QColor(210, 228, 250));
    sky.setColorAt(1, QColor(120, 160, 215));
    p.fillRect(img.rect(), sky);

    // The clock, top right.
    const QPointF c(98, 40);
    const double r = 30;
    p.setPen(QPen(QColor(40, 50, 70), 3));
    p.setBrush(QColor(255, 252, 235));
    p.drawEllipse(c, r, r);
    for (int h = 0; h < 12; ++h) {
        const double a = h * M_PI / 6;
        const double inner = (h % 3 == 0) ? r - 8 : r - 5;
        p.setPen(QPen(QColor(40, 50, 70), h % 3 == 0 ? 2.5 : 1.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(c.x() + std::sin(a) * inner, c.y() - std::cos(a) * inner),
                   QPointF(c.x() + std::sin(a) * (r - 2), c.y() - std::cos(a) * (r - 2)));
    }
    auto hand = [&](double angle, double length, double width, QColor colour) {
        p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, QPointF(c.x() + std::sin(angle) * length, c.y() - std::cos(angle) * length));
    };
    hand(M_PI * 2 * (8.0 + 20.0 / 60) / 12, 15, 4, QColor(30, 30, 40));   // 8:20
    hand(M_PI * 2 * 20.0 / 60, 23, 2.5, QColor(30, 30, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 30, 30));
    p.drawEllipse(c, 3, 3);

    // The loudspeaker, lower left: a box with a cone opening to the right.
    const double sy = 110;
    p.setPen(QPen(QColor(25, 25, 30), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QLinearGradient metal(0, sy - 30, 0, sy + 30);
    metal.setColorAt(0, QColor(120, 125, 135));
    metal.setColorAt(1, QColor(45, 48, 55));
    p.setBrush(metal);
    p.drawRoundedRect(QRectF(14, sy - 12, 18, 24), 3, 3);
    QPainterPath cone;
    cone.moveTo(32, sy - 12);
    cone.lineTo(58, sy - 32);
    cone.lineTo(58, sy + 32);
    cone.lineTo(32, sy + 12);
    cone.closeSubpath();
    p.drawPath(cone);
    p.setBrush(QColor(170, 175, 185));
    p.drawEllipse(QRectF(54, sy - 32, 8, 64));

    // Sound waves.
    for (int i = 0; i < 3; ++i) {
        const double radius = 18 + i * 14;
        QRectF arc(58 - radius, sy - radius, radius * 2, radius * 2);
        p.setPen(QPen(QColor(255, 170 - i * 40, 0), 4.5 - i * 0.8, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(arc, -40 * 16, 80 * 16);
    }
    return img;
}

// 4: new document, a blank page with a folded corner.
QImage iconNew() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    smooth(p);
    QPainterPath sheet;
    sheet.moveTo(2.5, 0.5);
    sheet.lineTo(10, 0.5);
    sheet.lineTo(13.5, 4);
    sheet.lineTo(13.5, 15.5);
    sheet.lineTo(2.5, 15.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 100), 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QPainterPath fold;
    fold.moveTo(10, 0.5);
    fold.lineTo(10, 4);
    fold.lineTo(13.5, 4);
    p.setBrush(QColor(210, 215, 225));
    p.drawPath(fold);
    return img;
}

// 5: open, a yellow folder.
QImage iconOpen() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    smooth(p);
    p.setPen(QPen(QColor(150, 100, 0), 1));
    p.setBrush(QColor(230, 180, 40));
    QPainterPath back;
    back.moveTo(0.5, 3.5);
    back.lineTo(5.5, 3.5);
    back.lineTo(7, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(0.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(0.5, 13.5);
    front.lineTo(3, 7.5);
    front.lineTo(15.5, 7.5);
    front.lineTo(13, 13.5);
    front.closeSubpath();
    p.setBrush(QColor(255, 215, 80));
    p.drawPath(front);
    return img;
}

// 6: save, a blue floppy disk.
QImage iconSave() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    QPainterPath body;
    body.moveTo(0.5, 0.5);
    body.lineTo(13, 0.5);
    body.lineTo(15.5, 3);
    body.lineTo(15.5, 15.5);
    body.lineTo(0.5, 15.5);
    body.closeSubpath();
    p.setPen(QPen(QColor(10, 30, 90), 1));
    p.setBrush(QColor(40, 80, 190));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.fillRect(QRect(3, 1, 9, 5), QColor(200, 205, 215));   // metal shutter
    p.fillRect(QRect(9, 2, 2, 3), QColor(40, 80, 190));
    p.fillRect(QRect(3, 9, 10, 6), Qt::white);              // label
    p.fillRect(QRect(4, 11, 8, 1), QColor(150, 160, 180));
    p.fillRect(QRect(4, 13, 8, 1), QColor(150, 160, 180));
    return img;
}

void roundBadge(QPainter& p, QColor light, QColor dark) {
    QRadialGradient g(QPointF(6, 5), 10);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(140), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
}

// 7: help, a white question mark in a blue disc.
QImage iconHelp() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    smooth(p);
    roundBadge(p, QColor(110, 170, 255), QColor(20, 70, 190));
    QPainterPath q;
    q.moveTo(5.2, 6);
    q.cubicTo(5.2, 2.6, 10.8, 2.6, 10.8, 5.8);
    q.cubicTo(10.8, 7.8, 8, 8, 8, 10);
    p.setPen(QPen(Qt::white, 2.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 12.6), 1.3, 1.3);
    return img;
}

// 8: web site, a globe.
QImage iconWeb() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    smooth(p);
    roundBadge(p, QColor(120, 200, 255), QColor(10, 90, 180));
    p.setPen(QPen(QColor(235, 250, 255), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4.5, 0.8, 7, 14.4));       // meridian
    p.drawLine(QPointF(8, 0.8), QPointF(8, 15.2));
    p.drawLine(QPointF(0.8, 8), QPointF(15.2, 8));   // equator
    p.drawLine(QPointF(2.2, 4.5), QPointF(13.8, 4.5));
    p.drawLine(QPointF(2.2, 11.5), QPointF(13.8, 11.5));
    return img;
}

// 9: about, a white "i" in a blue disc.
QImage iconAbout() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    smooth(p);
    roundBadge(p, QColor(110, 170, 255), QColor(20, 70, 190));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.3), 1.5, 1.5);
    p.drawRoundedRect(QRectF(6.7, 6.8, 2.6, 6.6), 0.8, 0.8);
    p.drawRect(QRectF(5.8, 12.2, 4.4, 1.2));
    return img;
}

// 10: exit, a white power sign in a red disc.
QImage iconExit() {
    QImage img = canvas(16, 16, true);
    QPainter p(&img);
    smooth(p);
    roundBadge(p, QColor(255, 120, 110), QColor(190, 20, 20));
    p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(3.6, 4, 8.8, 8.8), 125 * 16, 290 * 16);
    p.drawLine(QPointF(8, 2.8), QPointF(8, 7.6));
    return img;
}

// Writes DIR/NxN/apps/NAME.png for every size of the application icon.
bool drawAppIconTheme(const QDir& theme, const char* name) {
    bool ok = true;
    for (int size : kAppIconSizes) {
        const QString sub = QString("%1x%1/apps").arg(size);
        if (!QDir().mkpath(theme.filePath(sub))) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(theme.filePath(sub)));
            ok = false;
            continue;
        }
        const QString file = sub + "/" + QString::fromLocal8Bit(name) + ".png";
        ok = save(drawAppIcon(size), true, theme, file.toLocal8Bit().constData()) && ok;
    }
    return ok;
}

bool makeDir(const QDir& dir) {
    if (dir.exists() || QDir().mkpath(dir.path())) return true;
    std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--app-icon") == 0) {
        const QDir theme(QString::fromLocal8Bit(argv[2]));
        return makeDir(theme) && drawAppIconTheme(theme, argv[3]) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: %s <output directory>\n"
                     "       %s --app-icon <icon theme directory> <icon name>\n",
                     argv[0], argv[0]);
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!makeDir(dir)) return 1;
    struct Item {
        const char* name;
        QImage (*draw)();
        bool alpha;
    };
    const Item items[] = {
        {"00_indicator.png", indicator, false}, {"01_copy_day.png", copyDay, true},
        {"02_copy_arrow.png", copyArrow, false}, {"03_about.png", aboutPicture, false},
        {"04_new.png", iconNew, true},          {"05_open.png", iconOpen, true},
        {"06_save.png", iconSave, true},        {"07_help.png", iconHelp, true},
        {"08_web.png", iconWeb, true},          {"09_about.png", iconAbout, true},
        {"10_exit.png", iconExit, true},
    };
    bool ok = true;
    for (const Item& item : items) ok = save(item.draw(), item.alpha, dir, item.name) && ok;
    return ok ? 0 : 1;
}
