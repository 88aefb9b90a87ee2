// The pictures: the ones embedded in the program and the five bitmap files that the
// about box reads at start-up.

#include <QImage>
#include <QTest>

class ArtTest : public QObject {
    Q_OBJECT

private slots:
    void pictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("colours");  // in the palette; 0 for true colour
        QTest::addColumn<QColor>("key");   // bottom-left pixel of a transparent picture
        const QColor none, white(255, 255, 255), olive(128, 128, 0);
        QTest::newRow("background") << ":/pictures/background.png" << QSize(372, 164) << 0 << none;
        QTest::newRow("menu bar") << ":/pictures/menubar.png" << QSize(473, 18) << 0 << none;
        QTest::newRow("SAP logo") << ":/pictures/logo_sap.png" << QSize(149, 42) << 0 << white;
        QTest::newRow("word logo") << ":/pictures/logo_word.png" << QSize(91, 28) << 0 << white;
        QTest::newRow("LED on") << ":/pictures/ledon.png" << QSize(32, 16) << 16 << olive;
        QTest::newRow("LED off") << ":/pictures/ledoff.png" << QSize(32, 16) << 16 << olive;
        QTest::newRow("splash") << ":/pictures/splash.png" << QSize(638, 474) << 0 << none;
        QTest::newRow("about") << ":/pictures/about.png" << QSize(319, 192) << 0 << none;
        QTest::newRow("icon") << ":/pictures/orvex.png" << QSize(32, 32) << 16 << none;
        QTest::newRow("rainbow") << BIN_DIR "/atarirainbow.bmp" << QSize(353, 561) << 0 << none;
        QTest::newRow("logo") << BIN_DIR "/atari.bmp" << QSize(201, 49) << 0 << none;
        QTest::newRow("logo back") << BIN_DIR "/atariback.bmp" << QSize(201, 49) << 0 << none;
        QTest::newRow("mirror") << BIN_DIR "/atarimir.bmp" << QSize(201, 25) << 0 << none;
        QTest::newRow("mirror back") << BIN_DIR "/atarimirback.bmp" << QSize(201, 25) << 0 << none;
    }

    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QFETCH(int, colours);
        QFETCH(QColor, key);
        const QImage image(path);
        QCOMPARE(image.size(), size);
        QCOMPARE(image.colorCount(), colours);
        QVERIFY(!image.hasAlphaChannel());
        if (key.isValid())
            QCOMPARE(image.pixelColor(0, image.height() - 1), key);
    }

    // RB jumps from -275 back to -20: the rainbow must repeat every 256 rows.
    void rainbowPeriod()
    {
        const QImage image(BIN_DIR "/atarirainbow.bmp");
        QVERIFY(image.copy(0, 0, 353, 305) == image.copy(0, 256, 353, 305));
        QVERIFY(image.copy(0, 0, 353, 128) != image.copy(0, 128, 353, 128));
    }
};

QTEST_MAIN(ArtTest)
#include "art_test.moc"
