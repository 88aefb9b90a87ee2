// Orvex artwork generator: generator, palettes, blur, pixel font, saving.
#include "art.h"

#include <QFile>
#include <QFontInfo>
#include <QImageWriter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

namespace art {

Rng::Rng(std::uint64_t seed) : state_(seed ? seed : 0x9e3779b97f4a7c15ull) {}

std::uint32_t Rng::next()
{
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<std::uint32_t>((state_ * 0x2545f4914f6cdd1dull) >> 32);
}

double Rng::uniform() { return next() / 4294967296.0; }
double Rng::range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
int Rng::below(int n) { return static_cast<int>(uniform() * n); }

const std::array<QRgb, 16> kStandardColours = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

static int clamp255(double v)
{
    return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
}

QRgb atariColour(double hueTurn, double luma, double saturation)
{
    // YIQ with the chroma vector turning from gold (+I, a little -Q) towards
    // +Q (purple) and round again, like the hue knob of an 8-bit machine.
    const double angle = (hueTurn * 360.0 - 28.0) * M_PI / 180.0;
    const double chroma = 0.30 * saturation * (0.55 + 0.45 * std::sin(M_PI * std::clamp(luma, 0.0, 1.0)));
    const double i = chroma * std::cos(angle);
    const double q = chroma * std::sin(angle);
    const double y = luma;
    const double r = y + 0.956 * i + 0.621 * q;
    const double g = y - 0.272 * i - 0.647 * q;
    const double b = y - 1.106 * i + 1.703 * q;
    auto gamma = [](double c) { return 255.0 * std::pow(std::clamp(c, 0.0, 1.0), 0.9); };
    return qRgb(clamp255(gamma(r)), clamp255(gamma(g)), clamp255(gamma(b)));
}

QRgb atariPalette(int hue, int lum)
{
    const double luma = 0.05 + 0.88 * (lum & 15) / 15.0;
    if (hue == 0)
        return atariColour(0, luma, 0);
    return atariColour((hue - 1) / 15.0, luma);
}

QFont makeFont(const QString &family, int pixelSize, bool bold, bool italic)
{
    QFont f(family);
    f.setFamilies({family});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setKerning(true);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
    static std::map<QString, bool> warned;
    if (QFontInfo(f).family() != family && !warned[family]) {
        warned[family] = true;
        std::fprintf(stderr, "orvex-artgen: font \"%s\" not found, using \"%s\"\n",
                     qPrintable(family), qPrintable(QFontInfo(f).family()));
    }
    return f;
}

// One box pass along rows (horizontal) or columns of 4-byte pixels.
static void boxPass(QImage &img, int radius, bool horizontal)
{
    const int w = img.width(), h = img.height();
    const int len = horizontal ? w : h, lines = horizontal ? h : w;
    std::vector<int> sum(4);
    std::vector<std::uint8_t> line(static_cast<size_t>(len) * 4);
    const int span = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        auto px = [&](int i) -> std::uint8_t * {
            const int x = horizontal ? i : l, y = horizontal ? l : i;
            return img.scanLine(y) + x * 4;
        };
        for (int i = 0; i < len; ++i)
            std::copy_n(px(i), 4, &line[static_cast<size_t>(i) * 4]);
        auto at = [&](int i, int c) { return line[static_cast<size_t>(std::clamp(i, 0, len - 1)) * 4 + c]; };
        for (int c = 0; c < 4; ++c) {
            sum[c] = 0;
            for (int i = -radius; i <= radius; ++i)
                sum[c] += at(i, c);
        }
        for (int i = 0; i < len; ++i) {
            std::uint8_t *p = px(i);
            for (int c = 0; c < 4; ++c) {
                p[c] = static_cast<std::uint8_t>((sum[c] + span / 2) / span);
                sum[c] += at(i + radius + 1, c) - at(i - radius, c);
            }
        }
    }
}

void blur(QImage &img, int radius)
{
    if (radius <= 0)
        return;
    if (img.format() != QImage::Format_ARGB32_Premultiplied)
        img = img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(img, radius, true);
        boxPass(img, radius, false);
    }
}

QImage keyOnWhite(const QImage &argb, QColor matte)
{
    const QImage src = argb.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(src.size(), QImage::Format_RGB888);
    for (int y = 0; y < src.height(); ++y) {
        const QRgb *s = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        uchar *d = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(s[x]);
            int r = 255, g = 255, b = 255;
            if (a >= 40) {
                const double rest = 1.0 - a / 255.0;
                r = clamp255(qRed(s[x]) + matte.red() * rest);
                g = clamp255(qGreen(s[x]) + matte.green() * rest);
                b = clamp255(qBlue(s[x]) + matte.blue() * rest);
                if (r == 255 && g == 255 && b == 255)
                    r = g = b = 254;
            }
            d[x * 3] = static_cast<uchar>(r);
            d[x * 3 + 1] = static_cast<uchar>(g);
            d[x * 3 + 2] = static_cast<uchar>(b);
        }
    }
    return out;
}

QImage toStandardPalette(const QImage &rgb)
{
    const QImage src = rgb.convertToFormat(QImage::Format_RGB32);
    QImage out(src.size(), QImage::Format_Indexed8);
    out.setColorTable(QList<QRgb>(kStandardColours.begin(), kStandardColours.end()));
    for (int y = 0; y < src.height(); ++y) {
        for (int x = 0; x < src.width(); ++x) {
            const QRgb c = src.pixel(x, y) | 0xff000000u;
            const auto it = std::find(kStandardColours.begin(), kStandardColours.end(), c);
            if (it == kStandardColours.end()) {
                std::fprintf(stderr, "orvex-artgen: colour %06x at %d,%d is not a standard colour\n",
                             c & 0xffffffu, x, y);
                std::exit(1);
            }
            out.setPixel(x, y, static_cast<uint>(it - kStandardColours.begin()));
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Pixel font: 5 x 7 cells, '#' set.

static const std::map<QChar, std::array<const char *, 7>> &glyphs()
{
    static const std::map<QChar, std::array<const char *, 7>> g = {
        {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
        {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
        {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
        {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
        {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
        {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
        {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
        {'I', {".###.", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
        {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
        {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
        {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
        {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
        {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
        {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
        {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
        {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
        {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
        {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
        {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
        {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
        {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
        {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
        {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
        {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
        {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
        {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
        {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
        {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
        {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
        {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
        {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
        {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
        {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
        {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
        {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
        {'.', {".....", ".....", ".....", ".....", ".....", ".##..", ".##.."}},
        {',', {".....", ".....", ".....", ".....", ".##..", "..#..", ".#..."}},
        {':', {".....", ".##..", ".##..", ".....", ".##..", ".##..", "....."}},
        {'-', {".....", ".....", ".....", "#####", ".....", ".....", "....."}},
        {'&', {".##..", "#..#.", "#.#..", ".#...", "#.#.#", "#..#.", ".##.#"}},
        {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
        {'/', {".....", "....#", "...#.", "..#..", ".#...", "#....", "....."}},
        {'(', {"...#.", "..#..", ".#...", ".#...", ".#...", "..#..", "...#."}},
        {')', {".#...", "..#..", "...#.", "...#.", "...#.", "..#..", ".#..."}},
        {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
        {'*', {".....", "#.#.#", ".###.", "#####", ".###.", "#.#.#", "....."}},
        {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
    };
    return g;
}

static int glyphColumns(const PixelText &s) { return 5 + (s.bold ? 1 : 0); }

int pixelTextWidth(const QString &text, const PixelText &s)
{
    if (text.isEmpty())
        return 0;
    return (static_cast<int>(text.size()) * (glyphColumns(s) + s.spacing) - s.spacing) * s.scale;
}

int drawPixelText(QImage &img, int x, int y, const QString &text, const PixelText &s)
{
    const auto &g = glyphs();
    int cx = x;
    for (QChar ch : text) {
        const auto it = g.find(ch.toUpper());
        if (it == g.end()) {
            std::fprintf(stderr, "orvex-artgen: no pixel glyph for '%c'\n", ch.toLatin1());
            std::exit(1);
        }
        for (int row = 0; row < 7; ++row) {
            for (int col = 0; col < glyphColumns(s); ++col) {
                auto set = [&](int c) { return c >= 0 && c < 5 && it->second[row][c] == '#'; };
                if (!(set(col) || (s.bold && set(col - 1))))
                    continue;
                for (int dy = 0; dy < s.scale; ++dy) {
                    const int py = y + row * s.scale + dy;
                    if (py < 0 || py >= img.height())
                        continue;
                    const QRgb c = s.rowColour ? s.rowColour(py, s.ctx) : s.colour;
                    for (int dx = 0; dx < s.scale; ++dx) {
                        const int px = cx + col * s.scale + dx;
                        if (px >= 0 && px < img.width())
                            img.setPixel(px, py, c);
                    }
                }
            }
        }
        cx += (glyphColumns(s) + s.spacing) * s.scale;
    }
    return cx - x - s.spacing * s.scale;
}

double mean(const QImage &img, int x0, int y0, int w, int h)
{
    double sum = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) {
            const QRgb c = img.pixel(x, y);
            sum += (qRed(c) + qGreen(c) + qBlue(c)) / 3.0;
        }
    return sum / (static_cast<double>(w) * h);
}

void savePng(const QImage &img, const QString &dir, const QString &name)
{
    QImageWriter writer(dir + QLatin1Char('/') + name, "png");
    writer.setCompression(9);
    if (!writer.write(img)) {
        std::fprintf(stderr, "orvex-artgen: cannot write %s: %s\n", qPrintable(writer.fileName()),
                     qPrintable(writer.errorString()));
        std::exit(1);
    }
}

void saveBmp24(const QImage &img, const QString &dir, const QString &name)
{
    // Qt writes 24 bits per pixel for any opaque true-colour image.
    const QImage rgb = img.convertToFormat(QImage::Format_RGB32);
    const QString path = dir + QLatin1Char('/') + name;
    if (!rgb.save(path, "BMP")) {
        std::fprintf(stderr, "orvex-artgen: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.read(30).at(28) != 24) {
        std::fprintf(stderr, "orvex-artgen: %s is not a 24-bit bitmap\n", qPrintable(path));
        std::exit(1);
    }
}

} // namespace art
