// The about box: where the timers' ticks take the rainbow, the scroller and the logos,
// the mouse on the picture and on the hot spot, closing and reopening; and the rainbow
// bitmap that the about box reads.
// Mouse events go through the window to the control under the pointer, as a user's do.
#define QTEST_QPA_MOUSE_HANDLING

#include "Orx_a.h"
#include "picture.h"
#include "window_fixture.h"

#include <QFrame>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <memory>

class AboutTest : public QObject {
    Q_OBJECT
    std::unique_ptr<Tquill> q;

    // The tests call the handlers tick by tick; the real timers keep their enabled
    // state but their ticks are held back.
    void tick(void (Tquill::*handler)(), int times) { while (times-- > 0) (q.get()->*handler)(); }
    bool shown() { q->show(); return QTest::qWaitForWindowExposed(q.get()); }

private slots:
    void init()
    {
        q = std::make_unique<Tquill>();
        q->Timer1->blockSignals(true);
        q->scrollometr->blockSignals(true);
    }
    void cleanup() { q.reset(); }

    // The rainbow moves up a row a tick; the tick after the 275th puts it back at -20.
    void rainbow()
    {
        for (const auto& [ticks, top] : {std::pair(1, -1), {274, -275}, {1, -20}}) {
            tick(&Tquill::Timer1Timer, ticks);
            QCOMPARE(q->RB->y(), top);
        }
    }

    void hiddenScreen_data()
    {
        QTest::addColumn<int>("ticks");
        QTest::addColumn<QList<int>>("expected");  // scroll Left and Top, logo Top, logm Top, logo Left
        QTest::newRow("1") << 1 << QList<int>{166, 1, 42, 23, -31};
        QTest::newRow("46") << 46 << QList<int>{76, 12, 60, 14, 158};
        QTest::newRow("47") << 47 << QList<int>{74, 15, 64, 12, 156};
        QTest::newRow("2124") << 2124 << QList<int>{-4080, 6, 52, 18, -15};
        QTest::newRow("2125") << 2125 << QList<int>{168, 9, 56, 16, -12};
    }

    // The hidden and the visible logo of each pair move together.
    void hiddenScreen()
    {
        QFETCH(int, ticks);
        QFETCH(QList<int>, expected);
        q->Image2Click();
        tick(&Tquill::scrollometrTimer, ticks);
        QCOMPARE(QList<int>({q->scroll->x(), q->scroll->y(), q->logo->y(), q->logm->y(), q->logo->x()}), expected);
        QCOMPARE(q->logoback->geometry(), q->logo->geometry());
        QCOMPARE(q->logmback->geometry(), q->logm->geometry());
    }

    void mouse_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("at");  // on the about picture
        QTest::addColumn<bool>("hotSpot");
        QTest::newRow("left, picture") << Qt::LeftButton << QPoint(100, 100) << false;
        QTest::newRow("right, picture") << Qt::RightButton << QPoint(61, 176) << false;
        QTest::newRow("left, below the hot spot") << Qt::LeftButton << QPoint(66, 183) << false;
        QTest::newRow("left, hot spot corner") << Qt::LeftButton << QPoint(62, 176) << true;
        QTest::newRow("left, hot spot far corner") << Qt::LeftButton << QPoint(70, 182) << true;
    }

    // A press on the picture pauses the rainbow until the release; the hot spot takes
    // its own clicks and opens the hidden screen.
    void mouse()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, at);
        QFETCH(bool, hotSpot);
        QVERIFY(shown());
        QTest::mousePress(q->Image1, button, {}, at);
        QCOMPARE(q->Timer1->isActive(), hotSpot);
        QTest::mouseRelease(q->Image1, button, {}, at);
        QVERIFY(q->Timer1->isActive());
        QCOMPARE(q->Panel1->isVisible(), !hotSpot);
        QCOMPARE(q->Panel2->isVisible(), hotSpot);
        QCOMPARE(q->scrollometr->isActive(), hotSpot);
    }

    // A press whose release cannot come because the window hides counts as released.
    void hiddenWhilePressed()
    {
        QVERIFY(shown());
        QTest::mousePress(q->Image1, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(!q->Timer1->isActive());
        q->hide();
        QVERIFY(q->Timer1->isActive());
    }

    // Without the Atari font the scroller is drawn in our chunky font, 16 pixels per
    // character, as wide as the limits -4080 and 168 expect.
    void scrollerWidth()
    {
        QCOMPARE(q->scroll->size(), QSize(257 * 16, 16));
        const QImage text = q->scroll->pixmap().toImage();
        QCOMPARE(text.pixelColor(12 * 16 + 2, 0), QColor(Qt::white));  // the top of the heading's "O"
        QCOMPARE(text.pixelColor(0, 0).alpha(), 0);                    // a space
    }

    // RB jumps from -275 back to -20: the rainbow must repeat every 256 rows.
    void rainbowPeriod()
    {
        const QImage image(BIN_DIR "/atarirainbow.bmp");
        QVERIFY(image.copy(0, 0, 353, 305) == image.copy(0, 256, 353, 305));
        QVERIFY(image.copy(0, 0, 353, 128) != image.copy(0, 128, 353, 128));
    }

    // The window keeps its screen and its moving controls when it is closed and shown
    // again; its timers run on meanwhile.
    void reopen()
    {
        QVERIFY(shown());
        q->Image2Click();
        tick(&Tquill::scrollometrTimer, 30);
        const QPoint scroll = q->scroll->pos(), logo = q->logo->pos();
        q->close();
        QVERIFY(q->Timer1->isActive() && q->scrollometr->isActive());
        QVERIFY(shown());
        QVERIFY(q->Panel2->isVisible() && !q->Panel1->isVisible());
        QCOMPARE(q->scroll->pos(), scroll);
        QCOMPARE(q->logo->pos(), logo);
    }
};

QTEST_MAIN(AboutTest)
#include "about_test.moc"
