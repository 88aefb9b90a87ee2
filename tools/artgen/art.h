// Orvex artwork generator: shared drawing helpers.
//
// Every picture of the program is drawn here from code. Nothing depends on the
// clock, the environment or a system random source: each picture uses its own
// fixed-seed generator, so two runs on the same machine give the same bytes.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainterPath>
#include <QString>

#include <array>
#include <cstdint>

namespace art {

// Small deterministic generator (xorshift64*), so that no picture depends on a
// library's random engine or its distributions.
class Rng {
public:
    explicit Rng(std::uint64_t seed);
    std::uint32_t next();
    double uniform();                 // [0, 1)
    double range(double lo, double hi);
    int below(int n);                 // [0, n)
private:
    std::uint64_t state_;
};

// The sixteen colours of the classic Windows palette, in their usual order.
extern const std::array<QRgb, 16> kStandardColours;
enum StdColour {
    Black, Maroon, Green, Olive, Navy, Purple, Teal, Silver,
    Grey, Red, Lime, Yellow, Blue, Fuchsia, Aqua, White
};

// An Atari-like colour: hue turn 0..1 starting at gold and running through
// orange, red, purple, blue, cyan and green back to gold; luma 0..1.
QRgb atariColour(double hueTurn, double luma, double saturation = 1.0);
// The 16 hues x 16 lumas table built from atariColour (hue 0 is grey).
QRgb atariPalette(int hue, int lum);

// Fonts by exact family name and pixel size (never point sizes, so that no
// screen resolution enters the pictures).
QFont makeFont(const QString &family, int pixelSize, bool bold, bool italic);

// Separable box blur (three passes approximate a Gaussian) of a premultiplied
// ARGB image, in place.
void blur(QImage &img, int radius);

// Turns an image with alpha into a 24-bit picture for a control that keys its
// transparency on white: fully transparent pixels become white; all others are
// composed over `matte` (the colour the picture will be seen on) and kept off
// pure white.
QImage keyOnWhite(const QImage &argb, QColor matte);

// Converts a picture drawn only in the sixteen standard colours into a
// palette image with exactly that palette. Fails loudly on any other colour.
QImage toStandardPalette(const QImage &rgb);

// A 5x7 pixel font of our own (capitals, digits, some punctuation), drawn
// with blocks of `scale` pixels; `bold` doubles every stroke to the right,
// which gives the chunky look of 8-bit home computer lettering. Returns the
// width drawn. The colour of each pixel row comes from `rowColour(y)` when
// given, else `colour`.
struct PixelText {
    int scale = 1;
    bool bold = false;
    int spacing = 1;          // blank font pixels between glyphs
    QRgb colour = 0xffffffff;
    QRgb (*rowColour)(int y, void *ctx) = nullptr;
    void *ctx = nullptr;
};
int pixelTextWidth(const QString &text, const PixelText &style);
int drawPixelText(QImage &img, int x, int y, const QString &text, const PixelText &style);

// Helpers for the brushed metal surfaces.
double mean(const QImage &img, int x0, int y0, int w, int h);

// Saving; both exit the program with a message on failure.
void savePng(const QImage &img, const QString &dir, const QString &name);
void saveBmp24(const QImage &img, const QString &dir, const QString &name);

// The pictures.
QImage drawBackground();
QImage drawMenuBar();
QImage drawSapLogo();
QImage drawWordLogo();
QImage drawLed(bool lit);
QImage drawIcon();
QImage drawSplash();
QImage drawAbout();
QImage drawRainbow();
QImage drawBigLogo(bool back);
QImage drawMirrorLogo(const QImage &logo);

} // namespace art
