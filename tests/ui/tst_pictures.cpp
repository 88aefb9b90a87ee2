// The main window's six pictures in their controls: sizes, transparent colours, what
// shows of each, and the window icon.

#include "Orx_u.h"
#include "support.h"

#include <QTest>

#include <memory>

class PicturesTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<orvex::ConversionState> state;
    std::unique_ptr<TSW> w;

    QImage windowImage()
    {
        return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

private slots:
    void initTestCase()
    {
        testing_ui::quietPlatformNotes();
    }
    void init()
    {
        state = std::make_unique<orvex::ConversionState>();
        w = std::make_unique<TSW>(nullptr, state.get());
    }
    void cleanup()
    {
        w.reset();
        state.reset();
    }

    void pictures_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("resource");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("transparent");
        QTest::addColumn<QColor>("key");
        QTest::newRow("Image1") << "Image1" << ":/pictures/background.png" << QSize(372, 164) << false << QColor();
        QTest::newRow("Image3") << "Image3" << ":/pictures/menubar.png" << QSize(473, 18) << false << QColor();
        QTest::newRow("Image2") << "Image2" << ":/pictures/logo_sap.png" << QSize(149, 42) << true
                                << QColor(255, 255, 255);
        QTest::newRow("Image4") << "Image4" << ":/pictures/logo_word.png" << QSize(91, 28) << true
                                << QColor(255, 255, 255);
        QTest::newRow("ledon") << "ledon" << ":/pictures/ledon.png" << QSize(32, 16) << true << QColor(128, 128, 0);
        QTest::newRow("ledoff") << "ledoff" << ":/pictures/ledoff.png" << QSize(32, 16) << true
                                << QColor(128, 128, 0);
    }

    void pictures()
    {
        QFETCH(QString, name);
        QFETCH(QString, resource);
        QFETCH(QSize, size);
        QFETCH(bool, transparent);
        QFETCH(QColor, key);

        auto* picture = w->findChild<Picture*>(name);
        QVERIFY(picture);
        QCOMPARE(picture->picture(), resource);
        QCOMPARE(picture->image().size(), size);
        QCOMPARE(picture->isTransparent(), transparent);
        QVERIFY(!picture->isStretched());
        if (transparent)
            QCOMPARE(picture->transparentColor().rgb(), key.rgb());
        if (name.startsWith("led")) {
            // Sixteen colours at most, from the standard palette
            QSet<QRgb> colours;
            const QImage image = picture->image().convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    colours.insert(image.pixel(x, y));
            QVERIFY(colours.size() <= 16);
        }
    }

    // The background's part that shows is a mid gray.
    void backgroundGray()
    {
        const QImage image = w->Image1->image().convertToFormat(QImage::Format_RGB32).copy(0, 0, 337, 161);
        double sum[3] = {0, 0, 0};
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb p = image.pixel(x, y);
                sum[0] += qRed(p);
                sum[1] += qGreen(p);
                sum[2] += qBlue(p);
            }
        }
        const double count = double(image.width()) * image.height();
        for (double channel : sum)
            QVERIFY2(qAbs(channel / count - 126) <= 3, qPrintable(QString::number(channel / count)));
    }

    // Drawn at natural size from the top-left corner, cut off at the control's edge;
    // the transparent colour lets the background through.
    void drawnInTheWindow()
    {
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        const QImage shot = windowImage();
        const QImage background = w->Image1->image().convertToFormat(QImage::Format_RGB32);
        const QImage bar = w->Image3->image().convertToFormat(QImage::Format_RGB32);

        // The background shows unscaled where nothing lies over it
        for (const QPoint p : {QPoint(2, 2), QPoint(334, 3), QPoint(3, 150), QPoint(150, 122), QPoint(330, 120)})
            QCOMPARE(shot.pixel(p) & 0xFFFFFF, background.pixel(p) & 0xFFFFFF);
        // The menu bar strip from its top-left corner, between the titles
        for (const QPoint p : {QPoint(0, 0), QPoint(1, 17), QPoint(300, 5), QPoint(320, 10)})
            QCOMPARE(shot.pixel(p + QPoint(8, 8)) & 0xFFFFFF, bar.pixel(p) & 0xFFFFFF);

        // Where a transparent picture holds its key colour, the background shows.
        for (Picture* picture : {w->Image2, w->ledoff}) {
            const QImage image = picture->image().convertToFormat(QImage::Format_RGB32);
            const QRgb key = picture->transparentColor().rgb() & 0xFFFFFF;
            int keyed = 0, drawn = 0;
            for (int y = 0; y < std::min(image.height(), picture->height()); ++y) {
                for (int x = 0; x < std::min(image.width(), picture->width()); ++x) {
                    const QPoint at = picture->pos() + QPoint(x, y);
                    if (!w->rect().contains(at) || w->Image4->geometry().contains(at))
                        continue;
                    if ((image.pixel(x, y) & 0xFFFFFF) == key) {
                        QCOMPARE(shot.pixel(at) & 0xFFFFFF, background.pixel(at) & 0xFFFFFF);
                        ++keyed;
                    } else {
                        QCOMPARE(shot.pixel(at) & 0xFFFFFF, image.pixel(x, y) & 0xFFFFFF);
                        ++drawn;
                    }
                }
            }
            QVERIFY(keyed > 0 && drawn > 0);
        }
        // The LEDs' olive never shows
        for (int y = 125; y < 145; ++y)
            for (int x = 8; x < 25; ++x)
                QVERIFY((shot.pixel(x, y) & 0xFFFFFF) != 0x808000);
    }

    void windowIcon()
    {
        QVERIFY(!w->windowIcon().isNull());
        QCOMPARE(w->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
        QVERIFY(!QImage(":/pictures/orvex.png").isNull());
    }
};

QTEST_MAIN(PicturesTest)
#include "tst_pictures.moc"
