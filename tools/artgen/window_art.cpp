// Orvex artwork generator: the main window's pictures and the program icon.
#include "art.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace art {

namespace {

// A brushed-metal field: white noise smeared along (dx, dy) plus a brightness
// of its own for every stroke line, so that neighbouring strokes differ.
std::vector<double> brushed(int w, int h, int dx, int dy, int halfLength, double lineWeight, Rng &rng)
{
    std::vector<double> noise(static_cast<size_t>(w) * h);
    for (double &v : noise)
        v = rng.uniform() * 2.0 - 1.0;
    auto at = [&](int x, int y) {
        x = ((x % w) + w) % w;
        y = ((y % h) + h) % h;
        return noise[static_cast<size_t>(y) * w + x];
    };
    // The stroke lines are numbered across the brushing direction.
    const int lines = w + h + 2;
    std::vector<double> lineShade(static_cast<size_t>(lines));
    for (double &v : lineShade)
        v = rng.uniform() * 2.0 - 1.0;
    auto lineOf = [&](int x, int y) { return dy == 0 ? y : (dy < 0 ? x + y : x - y + h); };

    std::vector<double> field(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double s = 0;
            for (int k = -halfLength; k <= halfLength; ++k)
                s += at(x + k * dx, y + k * dy);
            s /= std::sqrt(2.0 * halfLength + 1);
            const int l = lineOf(x, y);
            const double shade = 0.6 * lineShade[static_cast<size_t>(l)]
                + 0.2 * lineShade[static_cast<size_t>(std::max(0, l - 1))]
                + 0.2 * lineShade[static_cast<size_t>(std::min(lines - 1, l + 1))];
            field[static_cast<size_t>(y) * w + x] = s + lineWeight * shade;
        }
    }
    return field;
}

// Maps a field to grey levels with the given mean and spread, then nudges the
// whole picture so that its rounded mean is exactly `target`.
void toGrey(QImage &img, const std::vector<double> &field, QRect area, double target, double spread)
{
    double sum = 0, sq = 0;
    const int w = img.width();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const double v = field[static_cast<size_t>(y) * w + x];
            sum += v;
            sq += v * v;
        }
    const double n = static_cast<double>(area.width()) * area.height();
    const double m = sum / n, sd = std::sqrt(std::max(1e-9, sq / n - m * m));
    for (int pass = 0; pass < 2; ++pass) {
        double shift = 0;
        if (pass == 1)
            shift = target - mean(img, area.x(), area.y(), area.width(), area.height());
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const double v = target + shift + spread * (field[static_cast<size_t>(y) * w + x] - m) / sd;
                const int g = std::clamp(static_cast<int>(std::lround(v)), 0, 255);
                img.setPixel(x, y, qRgb(g, g, g));
            }
    }
}

QPainterPath textPath(const QFont &font, const QString &text)
{
    QPainterPath p;
    p.addText(0, 0, font, text);
    return p;
}

} // namespace

QImage drawBackground()
{
    const int w = 372, h = 164;
    Rng rng(0x0a11ce5);
    std::vector<double> field = brushed(w, h, 1, -1, 14, 0.9, rng);

    // A few longer scratches, lighter or darker than their surroundings.
    for (int i = 0; i < 70; ++i) {
        int x = rng.below(w), y = rng.below(h);
        const int len = 12 + rng.below(60);
        const double amp = rng.range(-1.6, 1.6);
        for (int k = 0; k < len; ++k, ++x, --y) {
            if (x >= w || y < 0)
                break;
            const double fade = std::sin(M_PI * (k + 0.5) / len);
            field[static_cast<size_t>(y) * w + x] += amp * fade;
        }
    }
    // Broad, soft sheen across the strokes, as a brushed plate catches light.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double u = (x - y) / 90.0;
            field[static_cast<size_t>(y) * w + x] += 0.45 * std::sin(u * 1.3 + 0.4) + 0.25 * std::sin(u * 3.1);
        }

    QImage img(w, h, QImage::Format_RGB888);
    toGrey(img, field, img.rect(), 126.0, 6.5);
    return img;
}

QImage drawMenuBar()
{
    const int w = 473, h = 18;
    Rng rng(0xba4ba4);
    std::vector<double> field = brushed(w, h, 1, 0, 20, 0.7, rng);
    // Inner shadow below the black top edge and beside the black left edge.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double &v = field[static_cast<size_t>(y) * w + x];
            if (y == 2 || x == 2)
                v -= 2.4;
            else if (y == 3 || x == 3)
                v -= 1.1;
            if (y == 16)
                v += 0.9;
        }
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(Qt::black);
    // Interior: rows 2..16, columns 2..471; the bar's right edge is column 472.
    toGrey(img, field, QRect(2, 2, w - 3, h - 3), 95.0, 5.0);
    for (int x = 2; x < w; ++x)
        img.setPixel(x, h - 1, qRgb(192, 192, 192));
    for (int y = 2; y < h; ++y)
        img.setPixel(w - 1, y, qRgb(192, 192, 192));
    return img;
}

QImage drawSapLogo()
{
    QImage img(149, 42, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const QFont font = makeFont(QStringLiteral("Liberation Sans"), 27, true, true);
    QPainterPath sap = textPath(font, QStringLiteral("SAP"));
    const QRectF b = sap.boundingRect();
    sap.translate(3 - b.left(), 2 - b.top());
    const QRectF r = sap.boundingRect();

    // Three slanted strokes of rising height, like a level meter.
    QPainterPath emblem;
    const double base = r.bottom(), slant = 0.25;
    for (int i = 0; i < 3; ++i) {
        const double height = 8.0 + 5.5 * i;
        const double x = r.right() + 6 + i * 8.0;
        QPolygonF bar;
        bar << QPointF(x, base) << QPointF(x + 5, base) << QPointF(x + 5 + slant * height, base - height)
            << QPointF(x + slant * height, base - height);
        emblem.addPolygon(bar);
        emblem.closeSubpath();
    }

    // Soft shadow first, so that it lies under the letters.
    {
        QImage shadow(img.size(), QImage::Format_ARGB32_Premultiplied);
        shadow.fill(Qt::transparent);
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.translate(2, 2);
        sp.fillPath(sap, QColor(0, 0, 0, 150));
        sp.fillPath(emblem, QColor(0, 0, 0, 150));
        sp.end();
        blur(shadow, 1);
        p.drawImage(0, 0, shadow);
    }

    // Chrome fill: light sky above the horizon, darker ground below it.
    QLinearGradient chrome(0, r.top(), 0, r.bottom());
    chrome.setColorAt(0.00, QColor(250, 250, 250));
    chrome.setColorAt(0.45, QColor(196, 196, 200));
    chrome.setColorAt(0.50, QColor(70, 70, 74));
    chrome.setColorAt(0.58, QColor(104, 104, 108));
    chrome.setColorAt(1.00, QColor(210, 210, 214));
    p.setPen(QPen(QColor(0, 0, 0), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(chrome);
    p.drawPath(sap);

    const QColor strokes[3] = {QColor(150, 150, 154), QColor(96, 96, 100), QColor(40, 40, 44)};
    for (int i = 0; i < 3; ++i) {
        QPainterPath one;
        one.addPolygon(emblem.toSubpathPolygons().at(i));
        QLinearGradient g(0, base - 20, 0, base);
        g.setColorAt(0, strokes[i].lighter(135));
        g.setColorAt(1, strokes[i]);
        p.setBrush(g);
        p.drawPath(one);
    }
    p.end();
    return keyOnWhite(img, QColor(126, 126, 126));
}

QImage drawWordLogo()
{
    QImage img(91, 28, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    const QFont font = makeFont(QStringLiteral("Liberation Sans"), 19, true, true);
    QPainterPath word = textPath(font, QStringLiteral("ORVEX"));
    const QRectF b = word.boundingRect();
    word.translate(2 - b.left(), 2 - b.top());
    const QRectF r = word.boundingRect();

    QImage shadow(img.size(), QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    {
        QPainter sp(&shadow);
        sp.setRenderHint(QPainter::Antialiasing);
        sp.translate(1.5, 1.5);
        sp.fillPath(word, QColor(0, 0, 40, 170));
    }
    blur(shadow, 1);
    p.drawImage(0, 0, shadow);

    QLinearGradient blue(0, r.top(), 0, r.bottom());
    blue.setColorAt(0.0, QColor(120, 170, 255));
    blue.setColorAt(0.45, QColor(30, 90, 255));
    blue.setColorAt(1.0, QColor(0, 30, 170));
    p.setPen(QPen(QColor(0, 0, 90), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(blue);
    p.drawPath(word);
    p.end();
    return keyOnWhite(img, QColor(126, 126, 126));
}

// One 16 x 16 LED glyph at x0, in standard colours only: a round lens of
// colour `lens` with a darker crescent `rim` at its lower right and a small
// highlight `shine` at its upper left, set in a sunken two-ring bezel.
static void ledGlyph(QImage &img, int x0, StdColour lens, StdColour rim, StdColour shine)
{
    const auto c = [](StdColour s) { return kStandardColours[s]; };
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const double dx = x - 7.5, dy = y - 7.5;
            const double d = std::hypot(dx, dy);
            // Positive towards the upper left, where the light comes from.
            const double facing = -(dx + dy) / std::max(d, 1e-6) / std::sqrt(2.0);
            QRgb col = c(Olive);
            if (d <= 7.9) {
                if (d > 6.9)
                    col = facing > -0.2 ? c(Grey) : c(White);     // outer ring of the sunken bezel
                else if (d > 5.9)
                    col = facing > -0.2 ? c(Black) : c(Silver);   // inner ring
                else {
                    col = c(lens);
                    if (d > 4.1 && facing < -0.25)
                        col = c(rim);
                    const double hx = x + 0.5 - 5.2, hy = y + 0.5 - 5.2;
                    if (hx * hx + hy * hy <= 1.0)
                        col = c(shine);
                }
            }
            img.setPixel(x0 + x, y, col);
        }
    }
}

QImage drawLed(bool lit)
{
    QImage img(32, 16, QImage::Format_RGB32);
    if (lit) {
        ledGlyph(img, 0, Lime, Green, White);
        ledGlyph(img, 16, Silver, Grey, White);
    } else {
        ledGlyph(img, 0, Green, Black, Silver);
        ledGlyph(img, 16, Grey, Black, Silver);
    }
    return toStandardPalette(img);
}

QImage drawIcon()
{
    // Pixel art in the standard colours: a screen with rainbow raster bars
    // and two beamed notes in front of it.
    const int n = 32;
    QImage img(n, n, QImage::Format_RGB32);
    const auto c = [](StdColour s) { return kStandardColours[s]; };

    auto inHead = [](double x, double y, double cx, double cy) {
        const double a = -30 * M_PI / 180, dx = x - cx, dy = y - cy;
        const double u = dx * std::cos(a) + dy * std::sin(a), v = -dx * std::sin(a) + dy * std::cos(a);
        return (u * u) / (4.6 * 4.6) + (v * v) / (3.0 * 3.0) <= 1.0;
    };
    // Pixel centres at +0.5. Heads, stems and a slanted beam.
    auto note = [&](int x, int y) {
        const double px = x + 0.5, py = y + 0.5;
        if (inHead(px, py, 8.5, 24.5) || inHead(px, py, 21.5, 21.0))
            return true;
        if (x >= 11 && x <= 12 && y >= 6 && y <= 24)
            return true;
        if (x >= 24 && x <= 25 && y >= 3 && y <= 21)
            return true;
        const double beamTop = 5.6 - (px - 11.0) * 3.0 / 15.0;
        return x >= 11 && x <= 25 && py >= beamTop && py < beamTop + 4.2;
    };
    const StdColour bars[] = {Red, Yellow, Lime, Aqua, Blue, Fuchsia};
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            QRgb col = c(Navy);
            if (y >= 17 && y <= 28)
                col = c(bars[(y - 17) / 2]);
            else if (y > 28)
                col = c(Purple);
            // Faint stars in the navy sky.
            if ((x == 5 && y == 5) || (x == 18 && y == 11) || (x == 29 && y == 8) || (x == 3 && y == 13))
                col = c(Silver);
            if (note(x, y)) {
                col = c(White);
                const bool edgeRight = !note(x + 1, y) || !note(x + 1, y + 1) || !note(x, y + 1);
                if (edgeRight && y > 9)
                    col = c(Silver);
            } else {
                bool near = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        near = near || note(x + dx, y + dy);
                if (near)
                    col = c(Black);
            }
            if (x == 0 || y == 0 || x == n - 1 || y == n - 1)
                col = c(Black);
            img.setPixel(x, y, col);
        }
    }
    return toStandardPalette(img);
}

} // namespace art
