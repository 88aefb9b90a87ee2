// orvex-artgen: draws every picture of Orvex into one folder.
//
// Usage: orvex-artgen OUTDIR
//
// Runs at build time. The window pictures and the icon are embedded into the
// program; the five bitmaps are files that the about box loads at start-up.
#include "art.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

// Qt's notes about the desktop session (there is none at build time) are no
// concern of a picture generator; anything else is passed on.
static void messages(QtMsgType, const QMessageLogContext &, const QString &text)
{
    if (text.startsWith(QLatin1String("QStandardPaths:")))
        return;
    std::fprintf(stderr, "orvex-artgen: %s\n", qPrintable(text));
}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvex-artgen OUTDIR\n");
        return 2;
    }
    // Draw off screen, and keep any scaling settings of the caller's desktop
    // out of the pictures.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char *name : {"QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_FONT_DPI",
                             "QT_ENABLE_HIGHDPI_SCALING", "QT_AUTO_SCREEN_SCALE_FACTOR"})
        qunsetenv(name);
    qInstallMessageHandler(messages);
    QGuiApplication app(argc, argv);

    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "orvex-artgen: cannot create %s\n", argv[1]);
        return 1;
    }

    using namespace art;
    savePng(drawBackground(), out, QStringLiteral("background.png"));
    savePng(drawMenuBar(), out, QStringLiteral("menubar.png"));
    savePng(drawSapLogo(), out, QStringLiteral("logo_sap.png"));
    savePng(drawWordLogo(), out, QStringLiteral("logo_word.png"));
    savePng(drawLed(true), out, QStringLiteral("ledon.png"));
    savePng(drawLed(false), out, QStringLiteral("ledoff.png"));
    savePng(drawIcon(), out, QStringLiteral("orvex.png"));
    savePng(drawSplash(), out, QStringLiteral("splash.png"));
    savePng(drawAbout(), out, QStringLiteral("about.png"));

    saveBmp24(drawRainbow(), out, QStringLiteral("atarirainbow.bmp"));
    const QImage logo = drawBigLogo(false);
    const QImage logoBack = drawBigLogo(true);
    saveBmp24(logo, out, QStringLiteral("atari.bmp"));
    saveBmp24(logoBack, out, QStringLiteral("atariback.bmp"));
    // The about box shows the "back" reflection under the plain logo, so that
    // reflection mirrors the plain logo's colours, and the other way round.
    saveBmp24(drawMirrorLogo(logoBack), out, QStringLiteral("atarimir.bmp"));
    saveBmp24(drawMirrorLogo(logo), out, QStringLiteral("atarimirback.bmp"));
    return 0;
}
