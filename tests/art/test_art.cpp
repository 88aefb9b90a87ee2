// Checks the program's generated pictures: the embedded ones (through the
// linked resources), the bitmaps next to the program in the build's bin/,
// and that the generator draws the same bytes every time.
#include <QtTest>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <map>

namespace {

const QList<QRgb> kStandardColours = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};

const QStringList kEmbedded = {
    QStringLiteral("background.png"), QStringLiteral("menubar.png"), QStringLiteral("logo_sap.png"),
    QStringLiteral("logo_word.png"),  QStringLiteral("ledon.png"),   QStringLiteral("ledoff.png"),
    QStringLiteral("splash.png"),     QStringLiteral("about.png"),   QStringLiteral("orvex.png"),
};
const QStringList kBitmaps = {
    QStringLiteral("atarirainbow.bmp"), QStringLiteral("atari.bmp"), QStringLiteral("atariback.bmp"),
    QStringLiteral("atarimir.bmp"), QStringLiteral("atarimirback.bmp"),
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

quint32 be32(const QByteArray &b, int at)
{
    return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16) | (quint32(quint8(b[at + 2])) << 8)
        | quint32(quint8(b[at + 3]));
}

// What a PNG file's header says about its pixels.
struct PngHeader {
    bool ok = false;
    int width = 0, height = 0, bitDepth = 0, colourType = -1;
    QList<QRgb> palette;   // from the PLTE chunk, if any
    bool transparency = false;
};

PngHeader pngHeader(const QByteArray &b)
{
    PngHeader h;
    if (!b.startsWith("\x89PNG\r\n\x1a\n") || b.size() < 33 || b.mid(12, 4) != "IHDR")
        return h;
    h.width = int(be32(b, 16));
    h.height = int(be32(b, 20));
    h.bitDepth = quint8(b[24]);
    h.colourType = quint8(b[25]);
    for (int at = 8; at + 8 <= b.size();) {
        const int length = int(be32(b, at));
        const QByteArray type = b.mid(at + 4, 4);
        if (type == "PLTE")
            for (int i = 0; i + 3 <= length; i += 3)
                h.palette << qRgb(quint8(b[at + 8 + i]), quint8(b[at + 9 + i]), quint8(b[at + 10 + i]));
        if (type == "tRNS")
            h.transparency = true;
        at += 12 + length;
    }
    h.ok = true;
    return h;
}

QImage embedded(const QString &name)
{
    return QImage(QStringLiteral(":/pictures/") + name);
}

QRgb rgb(const QImage &img, int x, int y) { return img.pixel(x, y) & 0xffffffu; }

QString colourText(QRgb c)
{
    return QStringLiteral("%1,%2,%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c));
}

QRgb mostCommonColour(const QImage &img, double *share = nullptr)
{
    std::map<QRgb, int> counts;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ++counts[rgb(img, x, y)];
    auto best = counts.begin();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        if (it->second > best->second)
            best = it;
    if (share)
        *share = best->second / double(img.width() * img.height());
    return best->first;
}

void meanRgb(const QImage &img, QRect area, double &r, double &g, double &b)
{
    r = g = b = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb c = img.pixel(x, y);
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
    const double n = double(area.width()) * area.height();
    r /= n;
    g /= n;
    b /= n;
}

bool isGrey(QRgb c) { return qRed(c) == qGreen(c) && qGreen(c) == qBlue(c); }

// The bit count of a Windows bitmap file's pixels.
int bmpBitsPerPixel(const QByteArray &b)
{
    if (!b.startsWith("BM") || b.size() < 30)
        return -1;
    return quint8(b[28]) | (quint8(b[29]) << 8);
}

QString binDir() { return QStringLiteral(ORVEX_BUILD_BIN_DIR); }

} // namespace

class ArtTest : public QObject {
    Q_OBJECT

private slots:
    void embeddedPictureFormat_data();
    void embeddedPictureFormat();
    void transparentColour_data();
    void transparentColour();
    void logosStayInsideTheirShownPart_data();
    void logosStayInsideTheirShownPart();
    void wordLogoIsBlue();
    void ledGlyphs_data();
    void ledGlyphs();
    void backgroundIsMidGrey();
    void menuBarEdges();
    void splashGround();
    void aboutHotSpotDetail();
    void bitmapFiles_data();
    void bitmapFiles();
    void rainbowRepeatsEvery256Rows();
    void generatorIsDeterministicAndMatchesBuild();
};

void ArtTest::embeddedPictureFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("palette");
    QTest::newRow("background") << "background.png" << 372 << 164 << false;
    QTest::newRow("menubar") << "menubar.png" << 473 << 18 << false;
    QTest::newRow("logo_sap") << "logo_sap.png" << 149 << 42 << false;
    QTest::newRow("logo_word") << "logo_word.png" << 91 << 28 << false;
    QTest::newRow("ledon") << "ledon.png" << 32 << 16 << true;
    QTest::newRow("ledoff") << "ledoff.png" << 32 << 16 << true;
    QTest::newRow("splash") << "splash.png" << 638 << 474 << false;
    QTest::newRow("about") << "about.png" << 319 << 192 << false;
    QTest::newRow("icon") << "orvex.png" << 32 << 32 << true;
}

void ArtTest::embeddedPictureFormat()
{
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, palette);

    const QByteArray bytes = readAll(QStringLiteral(":/pictures/") + name);
    QVERIFY2(!bytes.isEmpty(), qPrintable(name + " is not among the embedded resources"));
    const PngHeader h = pngHeader(bytes);
    QVERIFY2(h.ok, "not a PNG file");
    QCOMPARE(h.width, width);
    QCOMPARE(h.height, height);
    QVERIFY(!h.transparency);
    if (palette) {
        QCOMPARE(h.colourType, 3); // palette
        QCOMPARE(h.palette, kStandardColours);
    } else {
        QCOMPARE(h.colourType, 2); // true colour, no alpha
        QCOMPARE(h.bitDepth, 8);   // 8 bits per channel: 24-bit pixels
    }
    const QImage img = embedded(name);
    QCOMPARE(img.size(), QSize(width, height));
    if (palette) {
        QCOMPARE(img.format(), QImage::Format_Indexed8);
        QCOMPARE(img.colorTable(), kStandardColours);
    } else {
        QVERIFY(!img.hasAlphaChannel());
    }
}

void ArtTest::transparentColour_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRgb>("colour");
    QTest::newRow("logo_sap") << "logo_sap.png" << qRgb(255, 255, 255);
    QTest::newRow("logo_word") << "logo_word.png" << qRgb(255, 255, 255);
    QTest::newRow("ledon") << "ledon.png" << qRgb(128, 128, 0);
    QTest::newRow("ledoff") << "ledoff.png" << qRgb(128, 128, 0);
}

void ArtTest::transparentColour()
{
    // The window keys a transparent picture on its bottom-left pixel.
    QFETCH(QString, name);
    QFETCH(QRgb, colour);
    const QImage img = embedded(name);
    QVERIFY(!img.isNull());
    QCOMPARE(colourText(rgb(img, 0, img.height() - 1)), colourText(colour & 0xffffffu));
}

void ArtTest::logosStayInsideTheirShownPart_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("shown");
    QTest::newRow("logo_sap") << "logo_sap.png" << QSize(137, 33);
    QTest::newRow("logo_word") << "logo_word.png" << QSize(81, 19); // the window's edge cuts it lower down
}

void ArtTest::logosStayInsideTheirShownPart()
{
    QFETCH(QString, name);
    QFETCH(QSize, shown);
    const QImage img = embedded(name);
    int drawn = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (rgb(img, x, y) == 0xffffffu)
                continue;
            ++drawn;
            QVERIFY2(x < shown.width() && y < shown.height(),
                     qPrintable(QStringLiteral("pixel %1,%2 would be cut off").arg(x).arg(y)));
        }
    QVERIFY2(drawn > 200, "the logo is (nearly) empty");
}

void ArtTest::wordLogoIsBlue()
{
    const QImage img = embedded(QStringLiteral("logo_word.png"));
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = rgb(img, x, y);
            // Letter pixels: clearly saturated towards blue.
            if (c == 0xffffffu || qBlue(c) < qRed(c) + 60)
                continue;
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
            ++n;
        }
    QVERIFY2(n > 150, "too few blue pixels");
    QVERIFY(b / n > 150);
}

void ArtTest::ledGlyphs_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRgb>("centre");
    QTest::newRow("ledon") << "ledon.png" << qRgb(0, 255, 0);
    QTest::newRow("ledoff") << "ledoff.png" << qRgb(0, 128, 0);
}

void ArtTest::ledGlyphs()
{
    QFETCH(QString, name);
    QFETCH(QRgb, centre);
    const QImage img = embedded(name);
    const QRgb olive = qRgb(128, 128, 0) & 0xffffffu;

    // Left glyph: the lens colour at the centre, in a black, white and grey bezel.
    for (int y = 7; y <= 8; ++y)
        for (int x = 7; x <= 8; ++x)
            QCOMPARE(colourText(rgb(img, x, y)), colourText(centre & 0xffffffu));
    bool black = false, white = false, grey = false;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const QRgb c = rgb(img, x, y);
            black = black || c == 0u;
            white = white || c == 0xffffffu;
            grey = grey || c == 0x808080u || c == 0xc0c0c0u;
        }
    QVERIFY(black && white && grey);
    // Corners are ground.
    QCOMPARE(rgb(img, 0, 0), olive);
    QCOMPARE(rgb(img, 15, 15), olive);

    // Right glyph: the same LED in greys only.
    int lens = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 16; x < 32; ++x) {
            const QRgb c = rgb(img, x, y);
            QVERIFY2(c == olive || isGrey(c), qPrintable(QStringLiteral("colour %1 at %2,%3")
                                                             .arg(colourText(c)).arg(x).arg(y)));
            lens += c != olive;
        }
    QVERIFY(lens > 100);
    QVERIFY(isGrey(rgb(img, 24, 8)));
}

void ArtTest::backgroundIsMidGrey()
{
    const QImage img = embedded(QStringLiteral("background.png"));
    double r, g, b;
    meanRgb(img, img.rect(), r, g, b);
    QVERIFY2(qAbs(r - 126) <= 2 && qAbs(g - 126) <= 2 && qAbs(b - 126) <= 2,
             qPrintable(QStringLiteral("average %1, %2, %3").arg(r).arg(g).arg(b)));
    // Also over the part that shows in the window.
    meanRgb(img, QRect(0, 0, 337, 161), r, g, b);
    QVERIFY(qAbs(r - 126) <= 3 && qAbs(g - 126) <= 3 && qAbs(b - 126) <= 3);
    // A texture, not a flat fill.
    int lighter = 0, darker = 0;
    for (int x = 0; x < img.width(); ++x) {
        const int v = qRed(img.pixel(x, 80));
        lighter += v > 132;
        darker += v < 120;
    }
    QVERIFY(lighter > 20 && darker > 20);
}

void ArtTest::menuBarEdges()
{
    const QImage img = embedded(QStringLiteral("menubar.png"));
    const QRgb black = 0u, light = 0xc0c0c0u;
    for (int x = 0; x < 321; ++x) {
        QCOMPARE(rgb(img, x, 0), black);
        QCOMPARE(rgb(img, x, 1), black);
        QCOMPARE(rgb(img, x, 17), x < 2 ? black : light);
    }
    for (int y = 0; y < 18; ++y) {
        QCOMPARE(rgb(img, 0, y), black);
        QCOMPARE(rgb(img, 1, y), black);
    }
    double r, g, b;
    meanRgb(img, QRect(2, 2, 319, 15), r, g, b);
    QVERIFY2(qAbs(r - 95) <= 3 && qAbs(g - 95) <= 3 && qAbs(b - 95) <= 3,
             qPrintable(QStringLiteral("interior average %1, %2, %3").arg(r).arg(g).arg(b)));
    // The bar goes on beyond the part that shows: no light edge in it.
    for (int y = 2; y < 17; ++y)
        for (int x = 2; x < 321; ++x)
            QVERIFY(qRed(img.pixel(x, y)) < 170);
}

void ArtTest::splashGround()
{
    const QImage img = embedded(QStringLiteral("splash.png"));
    double share = 0;
    QCOMPARE(colourText(mostCommonColour(img, &share)), QStringLiteral("192,193,196"));
    QVERIFY(share > 0.3);
    // The ground shows at the right, between the staff and the computer.
    QCOMPARE(colourText(rgb(img, 620, 200)), QStringLiteral("192,193,196"));
}

void ArtTest::aboutHotSpotDetail()
{
    // The hidden hot spot covers columns 62-70 and rows 176-182: something
    // small must be there, a few pixels only.
    const QImage img = embedded(QStringLiteral("about.png"));
    int differ = 0;
    for (int y = 176; y <= 182; ++y)
        for (int x = 62; x <= 70; ++x)
            differ += rgb(img, x, y) != rgb(img, 56, y); // the ground of that row
    QVERIFY(differ >= 1);
    QVERIFY(differ <= 20);
}

void ArtTest::bitmapFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRgb>("ground");
    QTest::newRow("atarirainbow") << "atarirainbow.bmp" << QSize(353, 561) << QRgb(0);
    QTest::newRow("atari") << "atari.bmp" << QSize(201, 49) << qRgb(0, 0, 0);
    QTest::newRow("atariback") << "atariback.bmp" << QSize(201, 49) << qRgb(0, 0, 0);
    QTest::newRow("atarimir") << "atarimir.bmp" << QSize(201, 25) << qRgb(0, 0, 128);
    QTest::newRow("atarimirback") << "atarimirback.bmp" << QSize(201, 25) << qRgb(0, 0, 128);
}

void ArtTest::bitmapFiles()
{
    // The about box loads these from the folder that the program starts in.
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QFETCH(QRgb, ground);
    const QString path = binDir() + QLatin1Char('/') + name;
    const QByteArray bytes = readAll(path);
    QVERIFY2(!bytes.isEmpty(), qPrintable(path + " is missing"));
    QCOMPARE(bmpBitsPerPixel(bytes), 24);
    const QImage img(path);
    QCOMPARE(img.size(), size);
    if (ground != 0) {
        QCOMPARE(colourText(mostCommonColour(img)), colourText(ground & 0xffffffu));
        // and a logo is drawn on it
        double share = 0;
        mostCommonColour(img, &share);
        QVERIFY(share < 0.8);
    }
}

void ArtTest::rainbowRepeatsEvery256Rows()
{
    const QImage img(binDir() + QStringLiteral("/atarirainbow.bmp"));
    QCOMPARE(img.size(), QSize(353, 561));
    for (int y = 0; y + 256 < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != img.pixel(x, y + 256))
                QFAIL(qPrintable(QStringLiteral("row %1 differs from row %2 at column %3").arg(y).arg(y + 256).arg(x)));
    // Bands of colour, not one colour.
    QSet<QRgb> rows;
    for (int y = 0; y < 256; ++y)
        rows.insert(rgb(img, 0, y));
    QVERIFY(rows.size() >= 32);
}

void ArtTest::generatorIsDeterministicAndMatchesBuild()
{
    QTemporaryDir first, second;
    QVERIFY(first.isValid() && second.isValid());
    for (const QString &dir : {first.path(), second.path()}) {
        QProcess gen;
        gen.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        gen.start(QStringLiteral(ORVEX_ARTGEN), {dir});
        QVERIFY2(gen.waitForFinished(-1), "the generator did not run");
        QCOMPARE(gen.exitStatus(), QProcess::NormalExit);
        QCOMPARE(gen.exitCode(), 0);
    }
    const QStringList all = kEmbedded + kBitmaps;
    QStringList listed = QDir(first.path()).entryList(QDir::Files, QDir::Name);
    QStringList expected = all;
    expected.sort();
    QCOMPARE(listed, expected);
    for (const QString &name : all) {
        const QByteArray a = readAll(first.path() + QLatin1Char('/') + name);
        const QByteArray b = readAll(second.path() + QLatin1Char('/') + name);
        QVERIFY2(!a.isEmpty(), qPrintable(name));
        QVERIFY2(a == b, qPrintable(name + " differs between two runs"));
        // The build's copies are the generator's current output.
        const QString built = kEmbedded.contains(name) ? QStringLiteral(":/pictures/") + name
                                                       : binDir() + QLatin1Char('/') + name;
        QVERIFY2(readAll(built) == a, qPrintable(built + " is not what the generator draws now"));
    }
}

QTEST_GUILESS_MAIN(ArtTest)
#include "test_art.moc"
