// Orvex artwork generator: the about box's picture and its five bitmaps.
#include "art.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace art {

// ---------------------------------------------------------------------------
// Rainbow: 16 raster bars of 16 rows. Every row's colour depends only on its
// row number modulo 256, so the picture repeats exactly every 256 rows and
// the about box's jump back by 256 rows cannot be seen.

QImage drawRainbow()
{
    const int w = 353, h = 561, period = 256, barRows = 16;
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const int t = y % period;
        const int bar = t / barRows, row = t % barRows;
        // Luma rises to the middle of the bar and falls again.
        const int step = row < barRows / 2 ? row : barRows - 1 - row;
        const double luma = 0.10 + 0.78 * step / 7.0;
        const double hue = bar / double(period / barRows);
        const QRgb c = atariColour(hue, luma);
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        std::fill(line, line + w, c);
    }
    return img;
}

// ---------------------------------------------------------------------------
// The scroller screen's logo: "ORVEX" in heavy slanted capitals, every pixel
// row in its own colour, the way 8-bit demos changed colour per scan line.

namespace {

struct Chrome {
    int skyHue, skyTopLum, skyLowLum;     // above the horizon
    int groundHue, groundEndHue;          // below it, hue drifting
    int groundLowLum, groundEndLum;
    int outlineHue;
};

QRgb chromeRow(const Chrome &c, double t)
{
    auto evenLum = [](double l) { return std::clamp(2 * static_cast<int>(std::lround(l / 2.0)), 0, 14); };
    if (t < 0.5) {
        const double u = t / 0.5;
        return atariPalette(c.skyHue, evenLum(c.skyTopLum + (c.skyLowLum - c.skyTopLum) * u));
    }
    const double u = (t - 0.5) / 0.5;
    const int hue = static_cast<int>(std::lround(c.groundHue + (c.groundEndHue - c.groundHue) * u));
    return atariPalette(hue, evenLum(c.groundLowLum + (c.groundEndLum - c.groundLowLum) * u));
}

QPainterPath logoPath(QRectF box)
{
    const QFont font = makeFont(QStringLiteral("DejaVu Sans"), 60, true, false);
    QPainterPath path;
    path.addText(0, 0, font, QStringLiteral("ORVEX"));
    path = QTransform(1, 0, -0.24, 1, 0, 0).map(path); // slant to the right
    const QRectF b = path.boundingRect();
    QTransform fit;
    fit.translate(box.left(), box.top());
    fit.scale(box.width() / b.width(), box.height() / b.height());
    fit.translate(-b.left(), -b.top());
    return fit.map(path);
}

} // namespace

QImage drawBigLogo(bool back)
{
    const int w = 201, h = 49;
    const Chrome warm = {1, 14, 8, 3, 5, 2, 12, 5};
    const Chrome cool = {9, 14, 8, 7, 11, 2, 12, 7};
    const Chrome &c = back ? cool : warm;

    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    const QPainterPath path = logoPath(QRectF(5, 4, 186, 39));
    const QRectF r = path.boundingRect();

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Hard drop shadow, then a dark outline, then the rows of colour.
    p.fillPath(path.translated(4, 3), QColor(atariPalette(c.outlineHue, 2)).darker(160));
    p.strokePath(path, QPen(QColor(atariPalette(c.outlineHue, 2)), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setClipPath(path);
    for (int y = static_cast<int>(std::floor(r.top())); y <= static_cast<int>(std::ceil(r.bottom())); ++y) {
        const double t = std::clamp((y + 0.5 - r.top()) / r.height(), 0.0, 1.0);
        p.fillRect(QRectF(0, y, w, 1), QColor(chromeRow(c, t)));
    }
    // A thin bright line along the horizon, like light on polished metal.
    const int horizon = static_cast<int>(std::lround(r.top() + r.height() * 0.5));
    p.fillRect(QRectF(0, horizon - 1, w, 1), QColor(atariPalette(c.skyHue, 14)));
    p.end();
    return img;
}

// The same logo as seen mirrored in water on a navy ground: flipped, squeezed
// to half its height, rippled and fading into the water with depth.
QImage drawMirrorLogo(const QImage &logo)
{
    const int w = 201, h = 25;
    const QRgb navy = qRgb(0, 0, 128);
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const double depth = y / double(h - 1);
        const int sy = std::clamp(logo.height() - 1 - static_cast<int>(std::lround(y * (logo.height() - 1) / double(h - 1))),
                                  0, logo.height() - 1);
        const int shift = static_cast<int>(std::lround((0.6 + 2.2 * depth) * std::sin(y * 1.35 + 0.7)));
        const double strength = (0.78 - 0.5 * depth) * ((y % 2) ? 0.82 : 1.0);
        for (int x = 0; x < w; ++x) {
            const QRgb s = logo.pixel(std::clamp(x + shift, 0, w - 1), sy);
            const double a = std::min(1.0, std::max({qRed(s), qGreen(s), qBlue(s)}) / 90.0) * strength;
            auto mix = [&](int water, int colour) {
                return std::clamp(static_cast<int>(std::lround(water + (colour - water) * a)), 0, 255);
            };
            img.setPixel(x, y, qRgb(mix(qRed(navy), qRed(s)), mix(qGreen(navy), qGreen(s)),
                                    mix(qBlue(navy), qBlue(s))));
        }
    }
    return img;
}

// ---------------------------------------------------------------------------
// About picture.

namespace {

QRgb titleRow(int y, void *)
{
    // Scan-line colours running from gold through red to violet.
    const double t = (y - 12) / 28.0;
    const double luma = 0.74 - 0.10 * ((y - 12) % 4) - 0.12 * t;
    return atariColour(0.02 + 0.40 * t, luma);
}

void drawJoystick(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    // Cable leaving the back of the base.
    QPainterPath cable(QPointF(282, 70));
    cable.cubicTo(QPointF(300, 58), QPointF(288, 34), QPointF(318, 20));
    p.setPen(QPen(QColor(14, 14, 16), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable);
    p.setPen(QPen(QColor(70, 70, 78), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cable.translated(-0.6, -0.8));

    // Base: front face and top face.
    p.setPen(Qt::NoPen);
    QPainterPath front;
    front.addRoundedRect(QRectF(208, 80, 92, 18), 5, 5);
    QLinearGradient fg(0, 80, 0, 98);
    fg.setColorAt(0, QColor(46, 46, 52));
    fg.setColorAt(1, QColor(12, 12, 14));
    p.fillPath(front, fg);
    QPolygonF top;
    top << QPointF(222, 60) << QPointF(288, 60) << QPointF(300, 86) << QPointF(208, 86);
    QPainterPath topPath;
    topPath.addPolygon(top);
    topPath.closeSubpath();
    QLinearGradient tg(0, 60, 0, 86);
    tg.setColorAt(0, QColor(40, 40, 46));
    tg.setColorAt(1, QColor(78, 78, 88));
    p.fillPath(topPath, tg);
    p.setPen(QPen(QColor(120, 120, 132), 1.0));
    p.drawLine(QPointF(208.5, 86.5), QPointF(299.5, 86.5));
    p.setPen(Qt::NoPen);

    // Fire button: a short red cylinder in the far left corner.
    p.setBrush(QColor(120, 24, 10));
    p.drawEllipse(QRectF(224, 64, 20, 9));
    p.drawRect(QRectF(224, 64 + 0.5, 20, 4));
    QRadialGradient button(QPointF(231, 64), 12);
    button.setColorAt(0, QColor(255, 140, 90));
    button.setColorAt(1, QColor(214, 46, 20));
    p.setBrush(button);
    p.drawEllipse(QRectF(224, 60, 20, 9));

    // Rubber boot and the stick.
    QRadialGradient boot(QPointF(258, 72), 16);
    boot.setColorAt(0, QColor(60, 60, 66));
    boot.setColorAt(1, QColor(10, 10, 12));
    p.setBrush(boot);
    p.drawEllipse(QRectF(242, 66, 32, 12));
    QPolygonF shaft;
    shaft << QPointF(254, 72) << QPointF(262, 72) << QPointF(270, 22) << QPointF(262, 22);
    QLinearGradient sg(254, 0, 270, 0);
    sg.setColorAt(0.0, QColor(8, 8, 10));
    sg.setColorAt(0.45, QColor(92, 92, 104));
    sg.setColorAt(1.0, QColor(8, 8, 10));
    QPainterPath shaftPath;
    shaftPath.addPolygon(shaft);
    shaftPath.closeSubpath();
    p.fillPath(shaftPath, sg);
    QRadialGradient knob(QPointF(264, 18), 9);
    knob.setColorAt(0, QColor(120, 120, 134));
    knob.setColorAt(1, QColor(12, 12, 14));
    p.setBrush(knob);
    p.drawEllipse(QRectF(259, 14, 14, 11));
    p.setRenderHint(QPainter::Antialiasing, false);
}

} // namespace

QImage drawAbout()
{
    const int w = 319, h = 192;
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        const double t = y / double(h - 1);
        const QRgb c = qRgb(static_cast<int>(4 * t), static_cast<int>(8 + 8 * t), static_cast<int>(22 + 40 * t));
        QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        std::fill(line, line + w, c);
    }

    // Stars: single dim pixels, plus a few small crosses. One of those crosses
    // sits at 66,179.
    Rng rng(0x57a125);
    for (int i = 0; i < 90; ++i) {
        const int x = rng.below(w), y = rng.below(h);
        const int v = 50 + rng.below(110);
        img.setPixel(x, y, qRgb(v * 8 / 10, v * 9 / 10, v));
    }
    auto cross = [&](int x, int y, int bright) {
        const QRgb arm = qRgb(bright / 2, bright / 2 + 8, bright / 2 + 30);
        img.setPixel(x, y, qRgb(bright, bright, std::min(255, bright + 20)));
        img.setPixel(x - 1, y, arm);
        img.setPixel(x + 1, y, arm);
        img.setPixel(x, y - 1, arm);
        img.setPixel(x, y + 1, arm);
    };

    QPainter p(&img);
    drawJoystick(p);
    p.end();

    // Title with a hard shadow, and the version under it.
    PixelText shadow;
    shadow.scale = 4;
    shadow.bold = true;
    shadow.colour = qRgb(0, 0, 60);
    drawPixelText(img, 17, 15, QStringLiteral("ORVEX!"), shadow);
    PixelText title = shadow;
    title.rowColour = titleRow;
    drawPixelText(img, 14, 12, QStringLiteral("ORVEX!"), title);

    PixelText small;
    small.bold = true;
    small.colour = atariPalette(9, 12);
    drawPixelText(img, 16, 48, QStringLiteral("VERSION 1.0"), small);

    // A raster line of every hue under the title block.
    for (int x = 14; x < 196; ++x) {
        const double t = (x - 14) / 182.0;
        img.setPixel(x, 62, atariColour(t, 0.72));
        img.setPixel(x, 63, atariColour(t, 0.48));
    }

    PixelText plain;
    plain.colour = atariPalette(1, 13);
    drawPixelText(img, 16, 72, QStringLiteral("MAKES SAP TUNES FROM"), plain);
    drawPixelText(img, 16, 82, QStringLiteral("CMC, MPT AND TMC SONGS"), plain);

    PixelText head = small;
    head.colour = atariPalette(13, 12);
    drawPixelText(img, 16, 110, QStringLiteral("CREDITS"), head);
    PixelText line = plain;
    line.colour = atariPalette(9, 14);
    PixelText who = plain;
    who.colour = atariPalette(1, 14);
    const char *roles[] = {"PROGRAM", "GRAPHICS", "TESTING"};
    for (int i = 0; i < 3; ++i) {
        const int y = 124 + i * 11;
        drawPixelText(img, 16, y, QString::fromLatin1(roles[i]), line);
        // Dotted leader up to the name.
        for (int x = 16 + pixelTextWidth(QString::fromLatin1(roles[i]), line) + 4; x < 150; x += 3)
            img.setPixel(x, y + 6, atariPalette(9, 8));
        drawPixelText(img, 154, y, QStringLiteral("THE ORVEX TEAM"), who);
    }
    PixelText greet = plain;
    greet.colour = atariPalette(12, 12);
    drawPixelText(img, 16, 160, QStringLiteral("GREETINGS TO ALL POKEY MUSICIANS!"), greet);

    PixelText foot = plain;
    foot.colour = atariPalette(9, 7);
    const QString made = QStringLiteral("FOR LINUX DESKTOPS WITH QT 6");
    drawPixelText(img, w - 14 - pixelTextWidth(made, foot), 178, made, foot);

    cross(66, 179, 235);
    cross(283, 112, 190);
    cross(214, 176, 170);
    cross(121, 6, 180);
    return img.convertToFormat(QImage::Format_RGB888);
}

} // namespace art
